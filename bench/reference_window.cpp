// The yardstick for Kestrel's start: a window with Form1's menu bar, sixteen
// buttons and label at the same size, and no machine, tick or tone behind
// it. The start-to-window benchmark starts it alongside the real binary.

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Reference window"));

    auto* client = new QWidget(&window);
    client->setFixedSize(261, 311);
    window.setCentralWidget(client);
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    auto* picture = new QWidget(client);
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

    window.show();
    return QApplication::exec();
}
