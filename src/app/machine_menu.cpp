#include "machine_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <utility>

namespace kestrel {

namespace {

struct Choice {
    const MachineKind& kind;
    const char* objectName;
};

const Choice Choices[] = {
    {KestrelMachine, "machineKestrel"},
    {CosmacVipMachine, "machineCosmacVip"},
    {ModernChip8Machine, "machineModern"},
    {SuperChip11Machine, "machineSuperChip11"},
    {SuperChipModernMachine, "machineSuperChipModern"},
    {XoChipMachine, "machineXoChip"},
};

} // namespace

MachineMenu::MachineMenu(QMenu& cpu, std::function<void(const MachineKind&)> choose,
                         std::function<void()> chooseFromDatabase)
    : QObject(&cpu), choose_(std::move(choose)),
      chooseFromDatabase_(std::move(chooseFromDatabase)) {
    QMenu* menu = cpu.addMenu(QStringLiteral("Machine"));
    menu->setObjectName(QStringLiteral("Machine"));
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    const auto addItem = [&](const QString& caption, const char* objectName) {
        // Captions are literal: no mnemonic, and no shortcut.
        QAction* item = menu->addAction(caption);
        item->setObjectName(QLatin1String(objectName));
        item->setCheckable(true);
        group->addAction(item);
        return item;
    };
    for (const Choice& choice : Choices) {
        QAction* item = addItem(QString::fromUtf8(choice.kind.name.data(),
                                                  static_cast<qsizetype>(choice.kind.name.size())),
                                choice.objectName);
        item->setChecked(&choice.kind == &KestrelMachine);
        connect(item, &QAction::triggered, this, [this, &kind = choice.kind] { choose_(kind); });
    }
    QAction* database = addItem(QStringLiteral("From the ROM database"), "machineFromRomDatabase");
    connect(database, &QAction::triggered, this, [this] { chooseFromDatabase_(); });
}

} // namespace kestrel
