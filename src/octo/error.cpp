#include "octo/error.h"

#include "octo/lexer.h"

#include <cstdio>

namespace kestrel::octo {

std::string Diagnostic::text() const {
    return file + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) +
           ": error: " + message;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string found(const Token* token) {
    return token == nullptr ? std::string("end of input") : quoted(token->text);
}

std::string hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", value);
    return buffer;
}

} // namespace kestrel::octo
