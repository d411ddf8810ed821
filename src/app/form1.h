#pragma once

#include "base/host.h"
#include "frame_clock.h"
#include "key_preview.h"
#include "machine/machine.h"
#include "picture_box.h"
#include "speed_menu.h"
#include "tone_player.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QLabel;
class QPushButton;

namespace kestrel {

class DebuggerWindow;

// The main window. It owns the machine and is its host: the picture, the
// status label, the remap buttons, the tone, the menus and the yields all
// come through here; the keyboard comes through its key preview. Everything runs on the one UI
// thread; the machine's run loop is entered only from the top of the event loop.
class Form1 : public QMainWindow, public Host {
    Q_OBJECT
  public:
    // The client area's size, fixed.
    static constexpr int ClientWidth = 261;
    static constexpr int ClientHeight = 311;
    static constexpr const char* AboutText =
        "Kestrel - an implementation\r\n"
        "of a Chip8 Virtual Machine.\r\n"
        "With thanks to the author of the earlier source code that this interpreter is based "
        "on.\r\n"
        "This release is beta and won't run many games, yet.\r\n"
        "\r\n";

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The machine the window owns, for the tests and benchmarks; the
    // controls are found by their object names.
    Machine& machine() { return machine_; }
    FrameClock& frameClock() { return frameClock_; }

    // Menu commands.
    void OpenROM_Click();
    void Exit_Click();
    void pausex_Click() { machine_.pausex_Click(); }
    void About_Click();
    void Command1_Click(int Index);
    // CPU > Machine: resets on the machine chosen; its clock takes over.
    void chooseMachine(const MachineKind& kind);
    // CPU > Machine > "From the ROM database": resets on the machine the
    // database chooses for the last opened ROM, and opens each ROM so after.
    void chooseFromRomDatabase();
    // CPU > "Debugger...": shows the debugger window beside this one, made the first time.
    void openDebugger();

    // Host.
    void yield() override { QCoreApplication::processEvents(); }
    void idleYield() override { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); }
    void tone(int hz, int ms) override { tonePlayer_.play(hz, ms); }
    void stopTone() override { tonePlayer_.stop(); }
    void playPattern(const SoundPattern& pattern, double samplesPerSecond) override {
        tonePlayer_.playPattern(pattern, samplesPerSecond);
    }
    void setStatusText(const std::string& text) override;
    void setButtonCaption(int index, const std::string& utf8Text) override;
    void surfaceChanged() override { picture_->markChanged(); }
    void requestRun() override;
    void reportFault(const std::string& text) override { showWarning(text); }
    void reportLoadError(const std::string& text) override { showWarning(text); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void Form_Load();
    void openFile(const QString& fileName);
    void showWarning(const std::string& text);
    void openFromRomDatabase(const std::string& path);
    void showProgramTitle(const std::string& title); // none: the fixed title alone

    TonePlayer tonePlayer_; // keeps a tone asked for before its device is open
    Machine machine_;
    PictureBox* picture_ = nullptr;
    std::array<QPushButton*, KeypadKeys> buttons_{};
    QLabel* label_ = nullptr;
    QTimer timer1_{this}; // a child, so that it is found by its name
    // The standard machines' frames; Kestrel's machine has its tick instead.
    FrameClock frameClock_{[this] { machine_.StartFrame(); }, this};
    std::unique_ptr<KeyPreview> keyPreview_;
    SpeedMenu* speedMenu_ = nullptr;           // a child of the CPU menu
    bool fromRomDatabase_ = false;             // until another machine is chosen or Kestrel closes
    DebuggerWindow* debuggerWindow_ = nullptr; // a child, deleted before the machine it shows
};

} // namespace kestrel
