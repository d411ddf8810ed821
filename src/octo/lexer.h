#pragma once
// Source text to tokens: whitespace-separated words, '#' comments and string
// literals with their escapes.

#include "octo/octo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::octo {

struct Token {
    std::string text;
    SourceSpot where;
    // How many macro or stringmode expansions produced this token; it bounds
    // a definition that expands itself.
    std::uint16_t depth = 0;
};

struct Lexed {
    std::vector<Token> tokens;
    SourceSpot end; // where "end of input" is reported
};

// Throws AsmError on an unterminated string or an unknown escape.
Lexed tokenize(std::string_view source);

// The Unicode characters of a token's text (UTF-8; a stray byte counts as the
// character of its own value), as stringmodes and strlen count them.
std::vector<std::uint32_t> characters(std::string_view text);

} // namespace kestrel::octo
