#include "machine_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <utility>

namespace kestrel {

MachineMenu::MachineMenu(QMenu& cpu, std::function<void(const MachineKind&)> choose,
                         std::function<void()> chooseFromDatabase)
    : QObject(&cpu), choose_(std::move(choose)),
      chooseFromDatabase_(std::move(chooseFromDatabase)) {
    QMenu* menu = cpu.addMenu(QStringLiteral("Machine"));
    menu->setObjectName(QStringLiteral("Machine"));
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    const auto latin1 = [](std::string_view text) {
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    };
    const auto addItem = [&](const QString& caption, const QString& objectName) {
        // Captions are literal: no mnemonic, and no shortcut.
        QAction* item = menu->addAction(caption);
        item->setObjectName(objectName);
        item->setCheckable(true);
        group->addAction(item);
        return item;
    };
    for (const MachineKind* kind : Platforms) {
        QAction* item =
            addItem(QString::fromUtf8(kind->name.data(), static_cast<qsizetype>(kind->name.size())),
                    latin1(kind->objectName));
        item->setChecked(kind == &KestrelMachine);
        connect(item, &QAction::triggered, this, [this, kind] { choose_(*kind); });
    }
    QAction* database =
        addItem(QStringLiteral("From the ROM database"), QStringLiteral("machineFromRomDatabase"));
    connect(database, &QAction::triggered, this, [this] { chooseFromDatabase_(); });
}

} // namespace kestrel
