#include "form1.h"

#include "debugger/debugger_window.h"
#include "machine_menu.h"
#include "romdb/rom_machine.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace kestrel {

namespace {

struct ButtonPlace {
    const char* caption;
    int left;
    int top;
};

// Command1(0..15): the caption and place of each index. Index i rebinds
// keypad key i + 1, so the grid reads 1 2 3 A / 4 5 6 B / 7 8 9 C / 0 E F D.
constexpr ButtonPlace ButtonPlaces[KeypadKeys] = {
    {"1", 56, 144},  {"2", 96, 144},  {"3", 136, 144}, {"4", 56, 176},
    {"5", 96, 176},  {"6", 136, 176}, {"7", 56, 208},  {"8", 96, 208},
    {"9", 136, 208}, {"0", 56, 240},  {"E", 96, 240},  {"F", 136, 240},
    {"A", 176, 144}, {"B", 176, 176}, {"C", 176, 208}, {"D", 176, 240},
};
constexpr int ButtonWidth = 33;
constexpr int ButtonHeight = 25;
constexpr int PictureWidth = 273;
constexpr int PictureHeight = 137;

// A caption is shown as itself: '&' would otherwise mark a mnemonic.
QString literalCaption(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

[[noreturn]] void endProcess() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent), machine_(*this) {
    showProgramTitle({});
    buildControls();
    buildMenus();
    setAcceptDrops(true);
    Form_Load();
    // From the event loop, once the window's first requests are out: SDL's
    // loading and probing would otherwise hold up its appearance.
    QMetaObject::invokeMethod(
        this, [this] { tonePlayer_.startOpening(); }, Qt::QueuedConnection);
}

Form1::~Form1() {
    delete debuggerWindow_;
    keyPreview_.reset();
    machine_.EndAllRuns();
}

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Wider than the client area; its right-hand 12 pixels are cut off.
    picture_ = new PictureBox(machine_.Surface(), client);
    picture_->setObjectName(QStringLiteral("Picture1"));
    picture_->setGeometry(0, 0, PictureWidth, PictureHeight);
    picture_->setFocusPolicy(Qt::StrongFocus);

    QWidget* previous = picture_;
    for (int i = 0; i < KeypadKeys; ++i) {
        const ButtonPlace& place = ButtonPlaces[i];
        auto* button = new QPushButton(QString::fromLatin1(place.caption), client);
        button->setObjectName(QStringLiteral("Command1_%1").arg(i));
        button->setGeometry(place.left, place.top, ButtonWidth, ButtonHeight);
        // Keys belong to the machine: a focused button would be clicked by
        // Space or Enter, and Enter is a keypad key.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        buttons_[static_cast<std::size_t>(i)] = button;
        setTabOrder(previous, button);
        previous = button;
    }

    label_ = new QLabel(client);
    label_->setObjectName(QStringLiteral("Label1"));
    label_->setGeometry(56, 272, 153, 25);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label_->setTextFormat(Qt::PlainText);

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(17);
    timer1_.setTimerType(Qt::PreciseTimer);
    connect(&timer1_, &QTimer::timeout, this, [this] { machine_.Timer1_Timer(); });

    picture_->setFocus();
}

void Form1::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false); // in the window, above the client area
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File"));
    QAction* openRom = file->addAction(QStringLiteral("Open ROM"), this, &Form1::OpenROM_Click);
    openRom->setObjectName(QStringLiteral("OpenROM"));
    QAction* exit = file->addAction(QStringLiteral("Exit"), this, &Form1::Exit_Click);
    exit->setObjectName(QStringLiteral("Exit"));

    QMenu* cpu = bar->addMenu(QStringLiteral("CPU"));
    cpu->setObjectName(QStringLiteral("CPU"));
    QAction* reset =
        cpu->addAction(QStringLiteral("Reset"), this, [this] { machine_.Reset_Click(); });
    reset->setObjectName(QStringLiteral("Reset"));
    QAction* pause = cpu->addAction(QStringLiteral("Pause"), this, &Form1::pausex_Click);
    pause->setObjectName(QStringLiteral("pausex"));

    // Additions beyond the defined menus, after their own items.
    new MachineMenu(
        *cpu, [this](const MachineKind& kind) { chooseMachine(kind); },
        [this] { chooseFromRomDatabase(); });
    speedMenu_ = new SpeedMenu(*cpu, machine_);
    // A caption without a mnemonic, and no shortcut: every key in this window is the program's.
    QAction* debugger = cpu->addAction(QStringLiteral("Debugger..."), this, &Form1::openDebugger);
    debugger->setObjectName(QStringLiteral("Debugger"));

    QAction* about = bar->addAction(QStringLiteral("About"), this, &Form1::About_Click);
    about->setObjectName(QStringLiteral("About"));
}

// Start-up, in this order: key map, key preview, random seed, the tick.
void Form1::Form_Load() {
    machine_.LoadDefaultKeyMap();
    keyPreview_ = std::make_unique<KeyPreview>(*this, machine_);
    machine_.SeedRandomFromClock();
    timer1_.start();
}

void Form1::OpenROM_Click() {
    // The toolkit's own dialog, with no filter, title or folder of ours. It
    // is Qt's widget dialog, the one Linux shows without a platform theme,
    // on every desktop alike.
    const QString fileName = QFileDialog::getOpenFileName(
        this, QString(), QString(), QString(), nullptr, QFileDialog::DontUseNativeDialog);
    openFile(fileName);
}

void Form1::openFile(const QString& fileName) {
    const std::string path =
        fileName.isEmpty() ? std::string() : QFile::encodeName(fileName).toStdString();
    if (fromRomDatabase_)
        openFromRomDatabase(path);
    else
        machine_.OpenRom(path);
}

// Nothing that runs or waits beneath continues: the process ends here.
void Form1::Exit_Click() {
    machine_.EndAllRuns();
    endProcess();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Exit_Click();
}

void Form1::About_Click() {
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("About Kestrel"));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromLatin1(AboutText));
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void Form1::Command1_Click(int Index) {
    machine_.Command1_Click(Index);
}

void Form1::chooseMachine(const MachineKind& kind) {
    fromRomDatabase_ = false;
    showProgramTitle({});
    machine_.SelectMachine(kind);
    speedMenu_->followMachine();
    if (kind.clock == Clock::Frames) {
        timer1_.stop();
        if (!frameClock_.isActive()) frameClock_.start();
    } else {
        frameClock_.stop();
        timer1_.start();
    }
}

void Form1::openDebugger() {
    if (debuggerWindow_ == nullptr) {
        debuggerWindow_ = new DebuggerWindow(machine_.Debug(), this);
        debuggerWindow_->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    debuggerWindow_->show();
    debuggerWindow_->raise();
    debuggerWindow_->activateWindow();
}

void Form1::setStatusText(const std::string& text) {
    label_->setText(QString::fromStdString(text));
}

void Form1::setButtonCaption(int index, const std::string& utf8Text) {
    if (index < 0 || index >= KeypadKeys) return;
    buttons_[static_cast<std::size_t>(index)]->setText(literalCaption(QString::fromUtf8(utf8Text)));
}

// From the top of the event loop, never inside the handler that asked.
void Form1::requestRun() {
    QMetaObject::invokeMethod(
        this, [this] { machine_.RunDriver(); }, Qt::QueuedConnection);
}

// A stopped run and a refused file are told alike: a modal box with OK.
void Form1::showWarning(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kestrel"), QString::fromStdString(text),
                    QMessageBox::Ok, this);
    box.exec();
}

// The box comes before anything changes, as a refusal does, since its own
// event loop serves the old run meanwhile. A copy too long for the machine
// chosen is refused by the machine, which starts with the font alone.
void Form1::chooseFromRomDatabase() {
    const std::vector<std::uint8_t>& copy = machine_.RomCopy();
    const RomMachine rom =
        RomMachineFor(romdb::RomDatabase::Vendored().Choose(romdb::Sha1(copy)), copy);
    const bool fits = copy.size() <= rom.kind.romLimit;
    if (fits && !rom.warning.empty()) showWarning(rom.warning);
    chooseMachine(rom.kind);
    fromRomDatabase_ = true;
    if (!fits) return;
    showProgramTitle(rom.programTitle);
    if (rom.palette) machine_.SetPalette(*rom.palette);
}

// Read up to the longest ROM any machine holds, then run on the machine the
// database chooses, which is always a standard one, or refused there: the
// frame clock that choosing this item started goes on.
void Form1::openFromRomDatabase(const std::string& path) {
    if (path.empty()) { // a cancelled dialog resets, as on every machine
        machine_.OpenRom(path);
        return;
    }
    std::optional<std::vector<std::uint8_t>> bytes = machine_.ReadRom(path, XoChipMachine);
    if (!bytes) return;
    const RomMachine rom =
        RomMachineFor(romdb::RomDatabase::Vendored().Choose(romdb::Sha1(*bytes)), *bytes);
    if (bytes->size() <= rom.kind.romLimit && !rom.warning.empty()) showWarning(rom.warning);
    if (!machine_.OpenRomOn(path, std::move(*bytes), rom.kind, rom.writtenFor)) return;
    showProgramTitle(rom.programTitle);
    if (rom.palette) machine_.SetPalette(*rom.palette);
}

void Form1::showProgramTitle(const std::string& title) {
    QString text = QStringLiteral("Kestrel - by KD");
    if (!title.empty()) text += QStringLiteral(" - ") + QString::fromStdString(title);
    setWindowTitle(text);
}

namespace {

// One local file, and no dialog or box of ours open: a drop served inside a
// box's own loop could open a box inside it, and so on without end.
bool isDroppableFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    return urls.size() == 1 && urls.front().isLocalFile() &&
           QApplication::activeModalWidget() == nullptr;
}

} // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (isDroppableFile(*event->mimeData())) event->acceptProposedAction();
}

// A dropped file is opened as if it had been chosen in the dialog.
void Form1::dropEvent(QDropEvent* event) {
    if (!isDroppableFile(*event->mimeData())) return;
    event->acceptProposedAction();
    openFile(event->mimeData()->urls().front().toLocalFile());
}

} // namespace kestrel
