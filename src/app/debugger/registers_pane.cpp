#include "debugger/registers_pane.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>

namespace kestrel {

namespace {

// V0-V7 and V8-VF side by side, then I, PC, SP, DT and ST in a third column.
constexpr int Rows = 8;
int columnOf(int reg) {
    return reg < 16 ? reg / Rows : 2;
}
int rowOf(int reg) {
    return reg < 16 ? reg % Rows : reg - 16;
}

} // namespace

RegistersPane::RegistersPane(QWidget* parent) : QGroupBox(QStringLiteral("Registers"), parent) {
    setObjectName(QStringLiteral("registers"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int reg = 0; reg < RegisterCount; ++reg) {
        auto* name = new QLabel(RegisterName(reg), this);
        auto* value = new QLabel(this);
        value->setObjectName(QStringLiteral("register") + RegisterName(reg));
        value->setFont(fixed);
        value->setTextFormat(Qt::PlainText);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
        grid->addWidget(name, rowOf(reg), 2 * columnOf(reg), Qt::AlignRight);
        grid->addWidget(value, rowOf(reg), 2 * columnOf(reg) + 1);
        values_[static_cast<std::size_t>(reg)] = value;
    }
    grid->setColumnStretch(6, 1);
}

void RegistersPane::show(const RegisterValues& values, const RegisterValues& since) {
    for (std::size_t reg = 0; reg < values_.size(); ++reg) {
        QLabel* label = values_[reg];
        const QString text = RegisterText(static_cast<int>(reg), values[reg]);
        if (label->text() != text) label->setText(text);
        const bool changed = values[reg] != since[reg];
        if (changed == marked_[reg]) continue;
        marked_[reg] = changed;
        QFont font = label->font();
        font.setBold(changed);
        label->setFont(font);
        label->setStyleSheet(changed ? QStringLiteral("color: #c00000") : QString());
    }
}

} // namespace kestrel
