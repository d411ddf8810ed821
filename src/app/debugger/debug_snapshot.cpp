#include "debugger/debug_snapshot.h"

namespace kestrel {

namespace {

QString stateName(ProgramState state) {
    switch (state) {
    case ProgramState::NoProgram: return QStringLiteral("No program");
    case ProgramState::Running: return QStringLiteral("Running");
    case ProgramState::Paused: return QStringLiteral("Paused");
    case ProgramState::WaitingForKey: return QStringLiteral("Waiting for a key");
    case ProgramState::Ended: return QStringLiteral("Ended");
    case ProgramState::Faulted: return QStringLiteral("Faulted");
    case ProgramState::Halted: return QStringLiteral("Halted");
    }
    return {};
}

// Why a halted program is held: the core words the breakpoints, watches and
// faults itself; a break and a step carry no text of their own.
QString stopText(const StopReport& stop) {
    if (!stop.text.empty()) return QString::fromStdString(stop.text);
    switch (stop.cause) {
    case StopCause::Break: return QStringLiteral("Break at ") + AddressText(stop.address);
    case StopCause::Step: return QStringLiteral("Step done at ") + AddressText(stop.address);
    default: return {};
    }
}

} // namespace

QString RegisterName(int reg) {
    static const char* const Names[] = {"I", "PC", "SP", "DT", "ST"};
    if (reg < 16) return QStringLiteral("V%1").arg(reg, 1, 16).toUpper();
    return QString::fromLatin1(Names[reg - 16]);
}

QString RegisterText(int reg, std::uint64_t value) {
    const int digits = reg == RegI || reg == RegPC ? 4 : 2;
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString AddressText(std::uint32_t address) {
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(address, 3, 16, QLatin1Char('0')).toUpper();
}

DebugSnapshot DebugSnapshot::Take(const Debugger& debugger) {
    DebugSnapshot s;
    s.kind = &debugger.Kind();
    s.set = debugger.InstructionSet();
    s.state = debugger.State();
    s.stop = debugger.Stop();
    s.frame = debugger.FrameCount();
    for (int k = 0; k < 16; ++k)
        s.registers[static_cast<std::size_t>(k)] = debugger.V()[static_cast<std::size_t>(k)];
    s.registers[RegI] = debugger.I();
    s.registers[RegPC] = debugger.PC();
    s.registers[RegSP] = static_cast<std::uint64_t>(debugger.SP());
    s.registers[RegDT] = debugger.DelayTimer();
    s.registers[RegST] = debugger.SoundTimer();
    s.stack = debugger.Stack();
    s.breakpoints = debugger.Breakpoints();
    const std::span<const std::uint8_t> memory = debugger.Memory();
    s.memory.assign(memory.begin(), memory.end());
    return s;
}

bool DebugSnapshot::operator==(const DebugSnapshot& o) const {
    return kind == o.kind && set == o.set && state == o.state && stop.cause == o.stop.cause &&
           stop.address == o.stop.address && stop.text == o.stop.text && frame == o.frame &&
           registers == o.registers && stack == o.stack && breakpoints == o.breakpoints &&
           memory == o.memory;
}

QString StatusText(const DebugSnapshot& s) {
    QString text = stateName(s.state);
    const QString why = s.state == ProgramState::Halted ? stopText(s.stop) : QString();
    if (!why.isEmpty()) text += QStringLiteral(": ") + why;
    text += QStringLiteral("  ·  ") +
            QString::fromUtf8(s.kind->name.data(), static_cast<qsizetype>(s.kind->name.size()));
    if (s.kind->clock == Clock::Frames) text += QStringLiteral(", frame %1").arg(s.frame);
    return text;
}

} // namespace kestrel
