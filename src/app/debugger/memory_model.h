#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

namespace kestrel {

// The memory pane's rows: 16 bytes in hexadecimal, then as text, with the
// instruction at PC and the byte at I marked. A view asks only for the rows
// it shows, so XO-CHIP's 64 KB costs no more than 4 KB.
class MemoryModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int BytesPerRow = 16;
    static constexpr int TextColumn = BytesPerRow;

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    std::size_t size() const { return memory_.size(); }
    // Repaints only the rows that change; a new size starts afresh.
    void show(const std::vector<std::uint8_t>& memory, std::uint32_t pc, int pcLength,
              std::uint64_t index);

  private:
    bool atPc(std::uint64_t address) const { return address >= pc_ && address < pc_ + pcLength_; }
    void rowsChanged(std::size_t first, std::size_t last);

    std::vector<std::uint8_t> memory_;
    std::uint32_t pc_ = 0;
    int pcLength_ = 2;
    std::uint64_t index_ = 0;
};

} // namespace kestrel
