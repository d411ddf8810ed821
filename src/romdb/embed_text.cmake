# Writes a C++ source that holds a text file's bytes as a char array, so that
# the data is in the binary and no file is looked for at run time.
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DSYMBOL=<name> -P embed_text.cmake
# The symbol is declared in namespace kestrel::romdb, with <name>Size beside it.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
# Line breaks every 16 bytes keep the source readable to the compiler's messages.
string(REPEAT "'\\\\x[0-9a-f][0-9a-f]'," 16 row) # CMake's regexes have no {16}
string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.
#include <cstddef>
namespace kestrel::romdb {
extern const char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;
const char ${SYMBOL}[] = {
${bytes}'\\0'};
const std::size_t ${SYMBOL}Size = ${size};
} // namespace kestrel::romdb
")
