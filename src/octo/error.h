#pragma once
// The one way assembly fails: thrown at the first fault, caught by assemble().

#include "octo/octo.h"

#include <string>

namespace kestrel::octo {

struct AsmError {
    SourceSpot where;
    std::string message;
};

struct Token;

// How a found token is named in a message: 'text', or "end of input".
std::string found(const Token* token);
std::string quoted(std::string_view text);
std::string hex(std::uint32_t value);

} // namespace kestrel::octo
