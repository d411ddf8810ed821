#include "debugger/debugger_window.h"

#include "debugger/disassembly_pane.h"
#include "debugger/memory_pane.h"
#include "debugger/registers_pane.h"
#include "debugger/stack_pane.h"

#include <QCloseEvent>
#include <QLabel>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>

namespace kestrel {

DebuggerWindow::DebuggerWindow(Debugger& debugger, QWidget* parent)
    : QWidget(parent, Qt::Window), debugger_(debugger) {
    setObjectName(QStringLiteral("debuggerWindow"));
    setWindowTitle(QStringLiteral("Kestrel Debugger"));
    controls_ = new DebugControls(*this, [this](const DebugControls::Command& c) { run(c); });
    registers_ = new RegistersPane;
    stack_ = new StackPane;
    disassembly_ = new DisassemblyPane;
    memory_ = new MemoryPane;
    connect(disassembly_, &DisassemblyPane::lineClicked, this, &DebuggerWindow::toggleBreakpoint);
    connect(memory_, &MemoryPane::breakpointAsked, this, &DebuggerWindow::toggleBreakpoint);
    connect(memory_, &MemoryPane::told, this, &DebuggerWindow::say);

    auto* side = new QSplitter(Qt::Vertical);
    side->addWidget(registers_);
    side->addWidget(stack_);
    side->setStretchFactor(1, 1);
    auto* top = new QSplitter(Qt::Horizontal);
    top->addWidget(disassembly_);
    top->addWidget(side);
    top->setStretchFactor(0, 1);
    auto* panes = new QSplitter(Qt::Vertical);
    panes->addWidget(top);
    panes->addWidget(memory_);
    panes->setSizes({340, 260});

    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("debuggerMessage"));
    message_->setTextFormat(Qt::PlainText);
    message_->setStyleSheet(QStringLiteral("color: #b00000"));
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("debuggerStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(controls_);
    layout->addWidget(panes, 1);
    layout->addWidget(message_);
    layout->addWidget(status_);
    resize(760, 680);

    refresh_.setInterval(RefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { refresh(); });
}

void DebuggerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return; // shown again after being minimised
    debugger_.Attach();
    since_ = DebugSnapshot::Take(debugger_).registers;
    say({});
    refresh(true);
    showPcInMemory_ = true;
    refresh_.start();
}

void DebuggerWindow::closeEvent(QCloseEvent* event) {
    refresh_.stop();
    debugger_.Detach();
    shown_.reset();
    QWidget::closeEvent(event);
}

// The marks of the registers show what changed since the program was last
// sent on, so after a step or a stop, what that run changed.
// A command refused runs nothing and leaves the marks as they were.
void DebuggerWindow::run(const DebugControls::Command& command) {
    const RegisterValues before = DebugSnapshot::Take(debugger_).registers;
    const StepResult result = command(debugger_);
    if (result == StepResult::Done || result == StepResult::Started) since_ = before;
    say(QString::fromUtf8(StepResultText(result)));
    refresh(true);
}

void DebuggerWindow::toggleBreakpoint(std::uint32_t address) {
    if (!debugger_.ToggleBreakpoint(address)) {
        say(AddressText(address) + QStringLiteral(" is outside this machine's memory."));
        return;
    }
    say({});
    refresh(true);
}

void DebuggerWindow::say(const QString& message) {
    message_->setText(message);
}

void DebuggerWindow::refresh(bool force) {
    // On the first tick after the window showed, when the memory view has its size.
    if (showPcInMemory_ && !force) {
        showPcInMemory_ = false;
        memory_->goTo(debugger_.PC(), false);
    }
    DebugSnapshot now = DebugSnapshot::Take(debugger_);
    if (!force && shown_ && now == *shown_) return;
    controls_->followState(now.state == ProgramState::Halted);
    registers_->show(now.registers, since_);
    stack_->show(now.stack);
    disassembly_->show(now);
    memory_->show(now);
    const QString status = StatusText(now);
    if (status_->text() != status) status_->setText(status);
    shown_ = std::move(now);
}

} // namespace kestrel
