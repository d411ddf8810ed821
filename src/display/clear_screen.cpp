#include "vm/kestrel_interpreter.h"

namespace kestrel {

// 00E0. Its opening yield is made by Interpret; VF and the rest stay as they were.
void KestrelInterpreter::ClearScreen() {
    surface_.ClearSurface();
    host_.surfaceChanged();
}

} // namespace kestrel
