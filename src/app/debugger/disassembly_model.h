#pragma once

#include "debug/disassembler.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrel {

// The lines of the disassembly pane: a mark (a breakpoint ●, the program
// counter ▶), the address, the bytes, the instruction and, for a jump or a
// call, where it goes. A line that a listed jump or call goes to has its
// address in bold and says so in its tool tip.
class DisassemblyModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Mark, Address, Bytes, Instruction, Target, Columns };
    static constexpr int AddressRole = Qt::UserRole; // every column: the line's address

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces the lines only when they differ from those shown: true if it did.
    bool setLines(std::vector<debug::DisassemblyLine> lines);
    // Repaints only the lines whose marks change.
    void setMarks(std::uint32_t pc, const std::vector<std::uint32_t>& breakpoints);
    std::optional<int> rowOf(std::uint32_t address) const;

  private:
    struct Marks {
        bool pc = false;
        bool breakpoint = false;
        bool operator==(const Marks&) const = default;
    };
    std::vector<debug::DisassemblyLine> lines_;
    std::vector<Marks> marks_;
    std::vector<std::vector<std::uint32_t>> comesFrom_; // the listed jumps and calls to each line
};

} // namespace kestrel
