#include "key_preview.h"

#include "machine/machine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kestrel {

KeyPreview::KeyPreview(QWidget& window, Machine& machine) : window_(window), machine_(machine) {
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setInterval(10);
    releaseTimer_.setTimerType(Qt::PreciseTimer);
    connect(&releaseTimer_, &QTimer::timeout, this, &KeyPreview::flushRelease);
    qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview() {
    qApp->removeEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowDeactivate && watched == &window_) {
        dropPendingRelease();
        downCodes_.fill(0);
        machine_.Form_Deactivate();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &window_) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    // A held key stays held: X11 sends repeated presses and releases.
    if (key.isAutoRepeat()) return true;
    if (type == QEvent::KeyPress) {
        keyDown(key);
    } else {
        keyUp(key);
    }
    return true;
}

void KeyPreview::keyDown(const QKeyEvent& key) {
    if (pendingRelease_.active) {
        if (key.nativeScanCode() == pendingRelease_.scanCode &&
            key.timestamp() == pendingRelease_.timestamp) {
            // The second half of a repeat: the key never went up.
            dropPendingRelease();
            return;
        }
        flushRelease();
    }
    const quint32 scanCode = key.nativeScanCode();
    const int code = codes_.codeFor(key.key(), key.modifiers(), scanCode, key.nativeVirtualKey());
    if (remembers(scanCode)) downCodes_[scanCode] = code;
    machine_.Form_KeyDown(code, PlaceOfScanCode(scanCode));
}

// Every key-up releases the held key, whether the key has a code or not.
void KeyPreview::keyUp(const QKeyEvent& key) {
    const quint32 scanCode = key.nativeScanCode();
    int code = remembers(scanCode) ? downCodes_[scanCode] : 0;
    if (code == 0)
        code = codes_.codeFor(key.key(), key.modifiers(), scanCode, key.nativeVirtualKey());
    const KeyPlace place = PlaceOfScanCode(scanCode);
    if (scanCode == 0) {
        machine_.Form_KeyUp(code, place);
        return;
    }
    // A key of the real keyboard: it may be the first half of a repeat.
    flushRelease();
    pendingRelease_ = {true, scanCode, key.timestamp(), code, place};
    releaseTimer_.start();
}

void KeyPreview::flushRelease() {
    if (!pendingRelease_.active) return;
    dropPendingRelease();
    if (remembers(pendingRelease_.scanCode)) downCodes_[pendingRelease_.scanCode] = 0;
    machine_.Form_KeyUp(pendingRelease_.code, pendingRelease_.place);
}

void KeyPreview::dropPendingRelease() {
    pendingRelease_.active = false;
    releaseTimer_.stop();
}

} // namespace kestrel
