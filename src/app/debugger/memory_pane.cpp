#include "debugger/memory_pane.h"

#include "debugger/memory_model.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrel {

std::optional<std::uint32_t> ParseAddress(const QString& text) {
    QString digits = text.trimmed();
    for (const QLatin1String prefix : {QLatin1String("0x"), QLatin1String("$"), QLatin1String("#")})
        if (digits.startsWith(prefix, Qt::CaseInsensitive)) {
            digits = digits.mid(prefix.size());
            break;
        }
    if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return value;
}

MemoryPane::MemoryPane(QWidget* parent) : QGroupBox(QStringLiteral("Memory"), parent) {
    setObjectName(QStringLiteral("memory"));
    model_ = new MemoryModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("memoryView"));
    view_->setModel(model_);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    view_->setFont(fixed);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setShowGrid(false);
    view_->setWordWrap(false);
    // Fixed sizes: a view of 4096 rows measures none of them.
    QHeaderView* rows = view_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view_->fontMetrics().height() + 2);
    rows->setFont(fixed);
    QHeaderView* columns = view_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setDefaultSectionSize(view_->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    columns->resizeSection(MemoryModel::TextColumn,
                           view_->fontMetrics().horizontalAdvance(QString(18, QLatin1Char('0'))));
    columns->setStretchLastSection(true);

    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("goToAddress"));
    address_->setPlaceholderText(QStringLiteral("Address, e.g. 0x200"));
    auto* goToButton = new QPushButton(QStringLiteral("Go to"), this);
    goToButton->setObjectName(QStringLiteral("goTo"));
    auto* breakpoint = new QPushButton(QStringLiteral("Breakpoint"), this);
    breakpoint->setObjectName(QStringLiteral("breakpointAt"));
    breakpoint->setToolTip(QStringLiteral("Set or clear a breakpoint at the address"));
    const auto goToTyped = [this] {
        if (const std::optional<std::uint32_t> address = typedAddress()) goTo(*address);
    };
    connect(address_, &QLineEdit::returnPressed, this, goToTyped);
    connect(goToButton, &QPushButton::clicked, this, goToTyped);
    connect(breakpoint, &QPushButton::clicked, this, [this] {
        if (const std::optional<std::uint32_t> address = typedAddress())
            emit breakpointAsked(*address);
    });

    auto* box = new QHBoxLayout;
    box->addWidget(address_, 1);
    box->addWidget(goToButton);
    box->addWidget(breakpoint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(box);
}

void MemoryPane::show(const DebugSnapshot& s) {
    const auto word = [&](std::uint32_t a) {
        const std::size_t size = s.memory.size();
        return static_cast<std::uint16_t>(s.memory[a % size] << 8 | s.memory[(a + 1) % size]);
    };
    const int length = s.memory.empty() ? 2 : debug::Length(s.set, word(s.pc()));
    model_->show(s.memory, s.pc(), length, s.index());
}

std::optional<std::uint32_t> MemoryPane::typedAddress() {
    const std::optional<std::uint32_t> address = ParseAddress(address_->text());
    const std::size_t size = model_->size();
    const QString range = QStringLiteral(" (0x0..") +
                          AddressText(static_cast<std::uint32_t>(size - 1)).mid(2) +
                          QStringLiteral(")");
    if (!address) {
        emit told(QStringLiteral("\"%1\" is not an address: type one in hexadecimal, e.g. 0x200.")
                      .arg(address_->text()));
    } else if (*address >= size) {
        emit told(AddressText(*address) + QStringLiteral(" is outside this machine's memory") +
                  range + QStringLiteral("."));
    } else {
        emit told({});
        return address;
    }
    return std::nullopt;
}

void MemoryPane::goTo(std::uint32_t address, bool current) {
    const QModelIndex cell = model_->index(static_cast<int>(address / MemoryModel::BytesPerRow),
                                           static_cast<int>(address % MemoryModel::BytesPerRow));
    if (current) view_->setCurrentIndex(cell);
    view_->scrollTo(cell, QAbstractItemView::PositionAtTop);
}

} // namespace kestrel
