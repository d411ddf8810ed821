#pragma once

#include "debugger/debug_snapshot.h"

#include <QGroupBox>

#include <cstdint>
#include <optional>

class QLineEdit;
class QTableView;

namespace kestrel {

class MemoryModel;

// An address typed by the user, in hexadecimal with or without "0x", "$"
// or "#"; none when it is not one.
std::optional<std::uint32_t> ParseAddress(const QString& text);

// Memory in hexadecimal and as text, PC and I marked, with a box that goes
// to an address or sets a breakpoint there. An address outside the machine's
// memory is refused with a message, and nothing changes.
class MemoryPane : public QGroupBox {
    Q_OBJECT
  public:
    explicit MemoryPane(QWidget* parent = nullptr);
    void show(const DebugSnapshot& snapshot);
    // The row of `address` at the top; `current` makes its byte the current cell.
    void goTo(std::uint32_t address, bool current = true);

  signals:
    void told(const QString& message); // a refusal, or empty for an address taken
    void breakpointAsked(std::uint32_t address);

  private:
    std::optional<std::uint32_t> typedAddress();

    MemoryModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    QLineEdit* address_ = nullptr;
};

} // namespace kestrel
