#pragma once

#include <QGroupBox>

#include <cstdint>
#include <optional>
#include <vector>

class QListWidget;

namespace kestrel {

// The call stack: the return addresses held, the newest on top.
class StackPane : public QGroupBox {
    Q_OBJECT
  public:
    explicit StackPane(QWidget* parent = nullptr);
    void show(const std::vector<std::uint32_t>& returns);

  private:
    QListWidget* list_ = nullptr;
    std::optional<std::vector<std::uint32_t>> shown_;
};

} // namespace kestrel
