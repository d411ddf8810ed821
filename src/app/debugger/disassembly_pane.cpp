#include "debugger/disassembly_pane.h"

#include "debugger/disassembly_model.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrel {

namespace {

// The listing starts this many bytes before PC and holds this many in all.
constexpr std::uint32_t Before = 0x10;
constexpr std::uint32_t Span = 0x80;
// PC closer than this to either end moves the listing.
constexpr std::uint32_t Margin = 0x08;

} // namespace

DisassemblyPane::DisassemblyPane(QWidget* parent)
    : QGroupBox(QStringLiteral("Disassembly"), parent) {
    setObjectName(QStringLiteral("disassembly"));
    model_ = new DisassemblyModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("disassemblyView"));
    view_->setModel(model_);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setSelectionMode(QAbstractItemView::NoSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setShowGrid(false);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 2);
    // Widths fixed by the font, not measured from the lines: the lines change
    // as often as 30 times a second, and measuring them all is most of the cost.
    QHeaderView* columns = view_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Fixed);
    const int digit = view_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int pad = 2 * view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + digit;
    columns->resizeSection(DisassemblyModel::Mark, 3 * digit + pad);
    columns->resizeSection(DisassemblyModel::Address, 7 * digit + pad);
    columns->resizeSection(DisassemblyModel::Bytes, 8 * digit + pad);
    columns->resizeSection(DisassemblyModel::Target, 8 * digit + pad);
    columns->setSectionResizeMode(DisassemblyModel::Instruction, QHeaderView::Stretch);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    connect(view_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        emit lineClicked(index.data(DisassemblyModel::AddressRole).toUInt());
    });
}

// A listing starts where PC's own instruction can be reached, so that the
// line at PC is its instruction and not the middle of a longer one or data.
bool DisassemblyPane::place(const DebugSnapshot& s) {
    const std::uint32_t pc = s.pc();
    const auto listing = [&] { return debug::DisassembleRange(s.set, s.memory, from_, to_); };
    const auto showsPc = [pc](const std::vector<debug::DisassemblyLine>& lines) {
        return std::any_of(lines.begin(), lines.end(),
                           [pc](const debug::DisassemblyLine& line) { return line.address == pc; });
    };
    std::vector<debug::DisassemblyLine> lines;
    if (pc >= from_ + Margin && pc + Margin < to_) lines = listing();
    if (!showsPc(lines)) {
        from_ = pc >= Before ? pc - Before : pc % 2; // PC's parity, so that steps of 2 reach it
        to_ = from_ + Span;
        for (lines = listing(); from_ < pc && !showsPc(lines); lines = listing())
            from_ += 2;
    }
    return model_->setLines(std::move(lines));
}

void DisassemblyPane::show(const DebugSnapshot& s) {
    const bool placed = place(s);
    model_->setMarks(s.pc(), s.breakpoints);
    if (!placed && s.pc() == shownPc_) return;
    shownPc_ = s.pc();
    if (const std::optional<int> row = model_->rowOf(s.pc()))
        view_->scrollTo(model_->index(*row, 0), QAbstractItemView::EnsureVisible);
}

} // namespace kestrel
