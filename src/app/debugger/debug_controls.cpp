#include "debugger/debug_controls.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QToolButton>

#include <utility>

namespace kestrel {

namespace {

StepResult continueOrBreak(Debugger& debugger) {
    if (debugger.State() == ProgramState::Halted)
        debugger.Continue();
    else
        debugger.Break();
    return StepResult::Done;
}

struct Control {
    const char* caption;
    const char* objectName;
    QKeyCombination key;
    StepResult (*act)(Debugger&);
};

// In the order of the buttons. F5, F10, F11 and Shift+F11 are the desktop
// debuggers' own. The frame steps take F8, with Shift for the one that goes
// back, as Shift+F11 goes back out of a call; step back takes F7, beside it.
// Ctrl and Alt with function keys are left alone: desktops take them for
// workspaces and window commands.
const Control Controls[] = {
    {"Continue", "debugContinue", QKeyCombination(Qt::Key_F5), &continueOrBreak},
    {"Step over", "debugStepOver", QKeyCombination(Qt::Key_F10),
     [](Debugger& d) { return d.StepOver(); }},
    {"Step into", "debugStepInto", QKeyCombination(Qt::Key_F11),
     [](Debugger& d) { return d.Step(); }},
    {"Step out", "debugStepOut", QKeyCombination(Qt::SHIFT, Qt::Key_F11),
     [](Debugger& d) { return d.StepOut(); }},
    {"Step frame", "debugStepFrame", QKeyCombination(Qt::Key_F8),
     [](Debugger& d) { return d.StepFrame(); }},
    {"Step back", "debugStepBack", QKeyCombination(Qt::Key_F7),
     [](Debugger& d) { return d.StepBack(); }},
    {"Back one frame", "debugBackOneFrame", QKeyCombination(Qt::SHIFT, Qt::Key_F8),
     [](Debugger& d) { return d.BackOneFrame(); }},
};

QString buttonText(const QString& caption, const QKeySequence& key) {
    return caption + QLatin1Char('\n') + key.toString(QKeySequence::NativeText);
}

} // namespace

DebugControls::DebugControls(QWidget& window, std::function<void(const Command&)> run)
    : QWidget(&window), run_(std::move(run)) {
    setObjectName(QStringLiteral("debugControls"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (const Control& control : Controls) {
        auto* action = new QAction(QString::fromLatin1(control.caption), &window);
        action->setObjectName(QString::fromLatin1(control.objectName));
        action->setShortcut(QKeySequence(control.key));
        action->setShortcutContext(Qt::WindowShortcut);
        action->setIconText(buttonText(action->text(), action->shortcut()));
        window.addAction(action);
        connect(action, &QAction::triggered, this, [this, act = control.act] { run_(act); });
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        row->addWidget(button);
        if (continue_ == nullptr) continue_ = action;
    }
    followState(false);
}

void DebugControls::followState(bool halted) {
    if (halted_ == halted) return;
    halted_ = halted;
    continue_->setText(halted ? QStringLiteral("Continue") : QStringLiteral("Break"));
    continue_->setIconText(buttonText(continue_->text(), continue_->shortcut()));
}

} // namespace kestrel
