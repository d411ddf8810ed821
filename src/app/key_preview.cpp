#include "key_preview.h"

#include "vm/machine.h"

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
        machine_.Form_KeyUp();
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
    machine_.Form_KeyDown(
        codes_.codeFor(key.key(), key.modifiers(), key.nativeScanCode(), key.nativeVirtualKey()));
}

// Every key-up releases the held key, whether the key has a code or not.
void KeyPreview::keyUp(const QKeyEvent& key) {
    if (key.nativeScanCode() == 0) {
        machine_.Form_KeyUp();
        return;
    }
    // A key of the real keyboard: it may be the first half of a repeat.
    flushRelease();
    pendingRelease_ = {true, key.nativeScanCode(), key.timestamp()};
    releaseTimer_.start();
}

void KeyPreview::flushRelease() {
    if (!pendingRelease_.active) return;
    dropPendingRelease();
    machine_.Form_KeyUp();
}

void KeyPreview::dropPendingRelease() {
    pendingRelease_.active = false;
    releaseTimer_.stop();
}

} // namespace kestrel
