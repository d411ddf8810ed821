#include "machine/machine.h"

namespace kestrel {

// 00E0. Its opening yield is made by Interpret; VF and the rest stay as they were.
void Machine::ClearScreen() {
    surface_.ClearSurface();
    host_.surfaceChanged();
}

} // namespace kestrel
