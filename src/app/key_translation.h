#pragma once

#include <Qt>

namespace kestrel {

// The host key code (Windows virtual-key number) of a Qt key event, or 0 for
// a key that has none. Codes name keys, not characters: a shifted character
// gives the code of its key on a US layout ('!' is 49, 'a' and 'A' are 65),
// and the numeric keypad is told apart by Qt's keypad modifier (with Num Lock
// off it sends the navigation keys, which keep their own codes).
int TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace kestrel
