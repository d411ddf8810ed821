#include "speed_menu.h"

#include "machine/machine.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <optional>

namespace kestrel {

namespace {

struct Speed {
    const char* caption;
    const char* objectName;
    std::optional<int> instructionsPerFrame; // none: the machine's own rate
};

constexpr Speed Speeds[] = {
    {"Machine's own", "SpeedMachinesOwn", std::nullopt},
    {"7 per frame", "Speed7", 7},
    {"15 per frame", "Speed15", 15},
    {"30 per frame", "Speed30", 30},
    {"100 per frame", "Speed100", 100},
    {"1000 per frame", "Speed1000", 1000},
    {"10000 per frame", "Speed10000", 10000},
};

} // namespace

SpeedMenu::SpeedMenu(QMenu& cpu, Machine& machine) : QObject(&cpu), machine_(machine) {
    menu_ = cpu.addMenu(QStringLiteral("Speed"));
    menu_->setObjectName(QStringLiteral("Speed"));
    auto* group = new QActionGroup(menu_);
    group->setExclusive(true);
    for (const Speed& speed : Speeds) {
        // Captions are literal: no mnemonic, and no shortcut.
        QAction* item = menu_->addAction(QString::fromLatin1(speed.caption));
        item->setObjectName(QString::fromLatin1(speed.objectName));
        item->setCheckable(true);
        item->setChecked(!speed.instructionsPerFrame);
        group->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, rate = speed.instructionsPerFrame] { machine_.SetSpeed(rate); });
    }
    connect(&cpu, &QMenu::aboutToShow, this, &SpeedMenu::followMachine);
    followMachine();
}

void SpeedMenu::followMachine() {
    menu_->menuAction()->setEnabled(machine_.Kind().clock == Clock::Frames);
}

} // namespace kestrel
