#include "debugger/memory_model.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace kestrel {

namespace {

QString hex(std::uint64_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QChar shown(std::uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar(u'.');
}

} // namespace

int MemoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0
                            : static_cast<int>((memory_.size() + BytesPerRow - 1) / BytesPerRow);
}

int MemoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : BytesPerRow + 1;
}

QVariant MemoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical)
        return hex(static_cast<std::uint64_t>(section) * BytesPerRow, 4);
    return section == TextColumn ? QStringLiteral("Text")
                                 : hex(static_cast<std::uint64_t>(section), 1);
}

QVariant MemoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const std::size_t first = static_cast<std::size_t>(index.row()) * BytesPerRow;
    if (index.column() == TextColumn) {
        if (role != Qt::DisplayRole) return {};
        QString text;
        for (std::size_t a = first; a < first + BytesPerRow && a < memory_.size(); ++a)
            text += shown(memory_[a]);
        return text;
    }
    const std::size_t address = first + static_cast<std::size_t>(index.column());
    if (address >= memory_.size()) return {};
    switch (role) {
    case Qt::DisplayRole: return hex(memory_[address], 2);
    case Qt::BackgroundRole:
        if (atPc(address)) return QBrush(QColor(0xFF, 0xF0, 0x90));
        if (address == index_) return QBrush(QColor(0xC8, 0xE8, 0xFF));
        return {};
    case Qt::ToolTipRole: {
        QString tip = QStringLiteral("0x") + hex(address, 4);
        if (atPc(address)) tip += QStringLiteral(": PC");
        if (address == index_) tip += QStringLiteral(": I");
        return tip;
    }
    }
    return {};
}

void MemoryModel::rowsChanged(std::size_t first, std::size_t last) {
    emit dataChanged(index(static_cast<int>(first / BytesPerRow), 0),
                     index(static_cast<int>(last / BytesPerRow), BytesPerRow));
}

void MemoryModel::show(const std::vector<std::uint8_t>& memory, std::uint32_t pc, int pcLength,
                       std::uint64_t index) {
    if (memory.size() != memory_.size()) {
        beginResetModel();
        memory_ = memory;
        pc_ = pc;
        pcLength_ = pcLength;
        index_ = index;
        endResetModel();
        return;
    }
    const auto changed = std::mismatch(memory.begin(), memory.end(), memory_.begin()).first;
    if (changed != memory.end()) {
        const auto last = std::mismatch(memory.rbegin(), memory.rend(), memory_.rbegin()).first;
        memory_ = memory;
        rowsChanged(static_cast<std::size_t>(changed - memory.begin()),
                    memory.size() - 1 - static_cast<std::size_t>(last - memory.rbegin()));
    }
    if (pc != pc_ || pcLength != pcLength_) {
        const std::uint32_t was = pc_;
        const int wasLength = pcLength_;
        pc_ = pc;
        pcLength_ = pcLength;
        if (was < memory_.size())
            rowsChanged(was, std::min<std::size_t>(was + wasLength, memory_.size()) - 1);
        if (pc < memory_.size())
            rowsChanged(pc, std::min<std::size_t>(pc + pcLength, memory_.size()) - 1);
    }
    if (index != index_) {
        const std::uint64_t was = index_;
        index_ = index;
        if (was < memory_.size()) rowsChanged(was, was);
        if (index < memory_.size()) rowsChanged(index, index);
    }
}

} // namespace kestrel
