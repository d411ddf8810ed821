#include "debugger/stack_pane.h"

#include "debugger/debug_snapshot.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QVBoxLayout>

namespace kestrel {

StackPane::StackPane(QWidget* parent) : QGroupBox(QStringLiteral("Call stack"), parent) {
    setObjectName(QStringLiteral("callStack"));
    list_ = new QListWidget(this);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    show({});
}

void StackPane::show(const std::vector<std::uint32_t>& returns) {
    if (shown_ == returns) return;
    shown_ = returns;
    list_->clear();
    if (returns.empty()) {
        list_->addItem(QStringLiteral("(no call)"));
        return;
    }
    for (std::size_t k = returns.size(); k-- > 0;)
        list_->addItem(QStringLiteral("%1  return to %2").arg(k).arg(AddressText(returns[k])));
}

} // namespace kestrel
