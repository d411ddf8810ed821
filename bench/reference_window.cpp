// The yardstick for Kestrel's start: a window with Form1's menu bar, sixteen
// buttons and label at the same size, and no machine, tick or tone behind
// it. The start-to-window benchmark starts it alongside the real binary.
// With the argument "repaint", its picture area is repainted from an image
// 60 times a second and nothing else: the yardstick for the window's CPU
// share at 60 frames a second (bench/frame_pacing.cpp).

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace {

// Paints a 256 x 128 image, the size of Kestrel's picture, on each repaint.
class Picture : public QWidget {
  public:
    explicit Picture(QWidget* parent) : QWidget(parent), image_(256, 128, QImage::Format_RGB32) {
        image_.fill(Qt::black);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(QPoint(8, 4), image_);
    }

  private:
    QImage image_;
};

} // namespace

int main(int argc, char** argv) {
    const bool repaint = argc > 1 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("repaint");
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Reference window"));

    auto* client = new QWidget(&window);
    client->setFixedSize(261, 311);
    window.setCentralWidget(client);
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    auto* picture = new Picture(client);
    picture->setGeometry(0, 0, 273, 137);
    const char* captions = "123A456B789C0EFD";
    for (int i = 0; i < 16; ++i) {
        auto* button = new QPushButton(QString(QLatin1Char(captions[i])), client);
        button->setGeometry(56 + 40 * (i % 4), 144 + 32 * (i / 4), 33, 25);
        button->setFocusPolicy(Qt::NoFocus);
    }
    auto* label = new QLabel(client);
    label->setGeometry(56, 272, 153, 25);

    QMenuBar* bar = window.menuBar();
    bar->setNativeMenuBar(false);
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Open ROM"));
    file->addAction(QStringLiteral("Exit"), &app, &QApplication::quit);
    QMenu* cpu = bar->addMenu(QStringLiteral("CPU"));
    cpu->addAction(QStringLiteral("Reset"));
    cpu->addAction(QStringLiteral("Pause"));
    bar->addAction(QStringLiteral("About"));

    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frames, &QTimer::timeout, picture, [picture] { picture->update(); });
    if (repaint) frames.start(1000 / 60);

    window.show();
    return QApplication::exec();
}
