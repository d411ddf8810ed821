#pragma once

#include "key_translation.h"
#include "scan_code_place.h"

#include <array>

#include <QObject>
#include <QTimer>

class QKeyEvent;
class QWidget;

namespace kestrel {

class Machine;

// The window's key preview: every key event meant for the window or one of
// its controls goes to the machine as a host key code and no further, so
// keys never click a button, move the focus or open a menu. Dialogs and
// menus are other windows and keep their keys.
//
// Two things of the desktop are smoothed out here: X11 repeats a held key as
// release/press pairs, which must not release it, and a key released while
// another window has the focus sends no key-up, so losing the focus releases
// every held key.
//
// Each key also goes to the machine with its place in the letter block, from
// its native scan code, and a key-up carries the code and place its key-down
// had: a layout may give the key another character once Shift is down.
class KeyPreview : public QObject {
    Q_OBJECT
  public:
    // Watches every event of the application from now on, for `window`.
    KeyPreview(QWidget& window, Machine& machine);
    ~KeyPreview() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void keyDown(const QKeyEvent& key);
    void keyUp(const QKeyEvent& key);
    void flushRelease();
    void dropPendingRelease();

    QWidget& window_;
    Machine& machine_;
    HostKeyCodes codes_;
    // The code each key of the real keyboard went down with, by scan code
    // (X keycodes are 8..255; a made-up event has 0); 0 while it is up.
    std::array<int, 256> downCodes_{};
    bool remembers(quint32 scanCode) const { return scanCode > 0 && scanCode < downCodes_.size(); }

    // X11 repeat pairs carry one timestamp, and Qt does not always mark
    // them. A real key release waits briefly here so that the press of such
    // a pair can cancel it.
    struct PendingRelease {
        bool active = false;
        quint32 scanCode = 0;
        quint64 timestamp = 0;
        int code = 0;
        KeyPlace place{};
    };
    PendingRelease pendingRelease_;
    QTimer releaseTimer_;
};

} // namespace kestrel
