// Prints CPU › Machine's machines, one caption a line, in the menu's order,
// so that the e2e scripts find an item by its caption and know the menu's length.
#include "base/platform.h"

#include <iostream>

int main() {
    for (const kestrel::MachineKind* kind : kestrel::Platforms)
        std::cout << kind->name << '\n';
}
