#include "debugger/disassembly_model.h"

#include "debugger/debug_snapshot.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include <algorithm>

namespace kestrel {

namespace {

bool sameLine(const debug::DisassemblyLine& a, const debug::DisassemblyLine& b) {
    return a.address == b.address && a.bytes == b.bytes && a.text == b.text && a.target == b.target;
}

QString bytesText(const std::vector<std::uint8_t>& bytes) {
    QString text;
    for (std::uint8_t byte : bytes)
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

} // namespace

int DisassemblyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int DisassemblyModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant DisassemblyModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const Titles[Columns] = {"", "Address", "Bytes", "Instruction", "Goes to"};
    return QString::fromLatin1(Titles[section]);
}

QVariant DisassemblyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const debug::DisassemblyLine& line = lines_[row];
    const Marks& marks = marks_[row];
    const bool targeted = !comesFrom_[row].empty();
    switch (role) {
    case AddressRole: return line.address;
    case Qt::DisplayRole:
        switch (index.column()) {
        case Mark:
            return QString(marks.breakpoint ? QStringLiteral("● ") : QStringLiteral("  ")) +
                   (marks.pc ? QStringLiteral("▶") : QStringLiteral(" "));
        case Address:
            return QStringLiteral("%1").arg(line.address, 4, 16, QLatin1Char('0')).toUpper();
        case Bytes: return bytesText(line.bytes);
        case Instruction: return QString::fromStdString(line.text);
        case Target:
            return line.target ? QStringLiteral("→ ") + AddressText(*line.target) : QString();
        }
        return {};
    case Qt::ForegroundRole:
        if (index.column() == Mark && marks.breakpoint) return QBrush(QColor(0xC0, 0, 0));
        if (index.column() == Target) return QBrush(QColor(0, 0x50, 0xA0));
        return {};
    case Qt::BackgroundRole:
        if (marks.pc) return QBrush(QColor(0xFF, 0xF0, 0x90));
        if (marks.breakpoint) return QBrush(QColor(0xFF, 0xD8, 0xD8));
        return {};
    case Qt::FontRole:
        if (index.column() == Address && targeted) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole: {
        QString tip = marks.breakpoint ? QStringLiteral("Breakpoint: click to clear")
                                       : QStringLiteral("Click to set a breakpoint");
        for (std::uint32_t from : comesFrom_[row])
            tip += QStringLiteral("\nTarget of the jump or call at ") + AddressText(from);
        return tip;
    }
    }
    return {};
}

bool DisassemblyModel::setLines(std::vector<debug::DisassemblyLine> lines) {
    if (std::equal(lines.begin(), lines.end(), lines_.begin(), lines_.end(), sameLine))
        return false;
    beginResetModel();
    lines_ = std::move(lines);
    marks_.assign(lines_.size(), Marks{});
    comesFrom_.assign(lines_.size(), {});
    for (const debug::DisassemblyLine& line : lines_)
        if (line.target)
            if (const std::optional<int> row = rowOf(*line.target))
                comesFrom_[static_cast<std::size_t>(*row)].push_back(line.address);
    endResetModel();
    return true;
}

void DisassemblyModel::setMarks(std::uint32_t pc, const std::vector<std::uint32_t>& breakpoints) {
    for (std::size_t row = 0; row < lines_.size(); ++row) {
        const std::uint32_t address = lines_[row].address;
        const Marks marks{address == pc,
                          std::binary_search(breakpoints.begin(), breakpoints.end(), address)};
        if (marks == marks_[row]) continue;
        marks_[row] = marks;
        emit dataChanged(index(static_cast<int>(row), 0),
                         index(static_cast<int>(row), Columns - 1));
    }
}

std::optional<int> DisassemblyModel::rowOf(std::uint32_t address) const {
    const auto at = std::lower_bound(
        lines_.begin(), lines_.end(), address,
        [](const debug::DisassemblyLine& line, std::uint32_t a) { return line.address < a; });
    if (at == lines_.end() || at->address != address) return std::nullopt;
    return static_cast<int>(at - lines_.begin());
}

} // namespace kestrel
