#include "octo/lexer.h"

#include "octo/error.h"

namespace kestrel::octo {
namespace {

// The length of the whitespace sequence at `at`, or 0. Besides ASCII space,
// the byte-order mark and the separators JavaScript counts as space (no-break
// space, line and paragraph separators) divide tokens, as sources written for
// a browser assembler expect.
std::size_t whitespaceAt(std::string_view s, std::size_t at) {
    const auto c = static_cast<unsigned char>(s[at]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') return 1;
    const std::string_view rest = s.substr(at);
    if (rest.starts_with("\xEF\xBB\xBF") || rest.starts_with("\xE2\x80\xA8") ||
        rest.starts_with("\xE2\x80\xA9"))
        return 3;
    if (rest.starts_with("\xC2\xA0")) return 2;
    return 0;
}

class Lexer {
  public:
    explicit Lexer(std::string_view source) : s_(source) {}

    Lexed run() {
        Lexed out;
        while (pos_ < s_.size()) {
            if (const std::size_t n = whitespaceAt(s_, pos_)) {
                advance(n);
            } else if (s_[pos_] == '#') {
                while (pos_ < s_.size() && s_[pos_] != '\n')
                    advance(1);
            } else if (s_[pos_] == '"') {
                out.tokens.push_back(stringLiteral());
            } else {
                out.tokens.push_back(word());
            }
        }
        out.end = spot();
        return out;
    }

  private:
    SourceSpot spot() const { return {line_, column_}; }

    void advance(std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '\n') {
                ++line_;
                column_ = 1;
            } else if ((c & 0xC0) != 0x80) { // a UTF-8 continuation byte is no new column
                ++column_;
            }
        }
    }

    // A bare word runs to whitespace or a comment; a '"' inside it is an
    // ordinary character.
    Token word() {
        Token t{.text = {}, .where = spot()};
        const std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] != '#' && whitespaceAt(s_, pos_) == 0)
            advance(1);
        t.text.assign(s_.substr(start, pos_ - start));
        return t;
    }

    Token stringLiteral() {
        Token t{.text = {}, .where = spot()};
        advance(1);
        while (true) {
            if (pos_ >= s_.size())
                throw AsmError{t.where, "unterminated string literal: expected a closing '\"', "
                                        "found end of input"};
            const char c = s_[pos_];
            if (c == '"') {
                advance(1);
                return t;
            }
            if (c != '\\') {
                t.text.push_back(c);
                advance(1);
                continue;
            }
            const SourceSpot at = spot();
            if (pos_ + 1 >= s_.size())
                throw AsmError{t.where, "unterminated string literal: expected a closing '\"', "
                                        "found end of input"};
            switch (s_[pos_ + 1]) {
            case 't': t.text.push_back('\t'); break;
            case 'n': t.text.push_back('\n'); break;
            case 'r': t.text.push_back('\r'); break;
            case 'v': t.text.push_back('\v'); break;
            case '0': t.text.push_back('\0'); break;
            case '\\': t.text.push_back('\\'); break;
            case '"': t.text.push_back('"'); break;
            default: {
                const std::size_t len = 1 + characterLength(pos_ + 1);
                throw AsmError{at, "unknown escape " + quoted(s_.substr(pos_, len)) +
                                       " in a string literal; expected one of \\t \\n \\r "
                                       "\\v \\0 \\\\ \\\""};
            }
            }
            advance(2);
        }
    }

    std::size_t characterLength(std::size_t at) const {
        std::size_t n = 1;
        while (at + n < s_.size() && (static_cast<unsigned char>(s_[at + n]) & 0xC0) == 0x80 &&
               n < 4)
            ++n;
        return n;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::uint32_t line_ = 1;
    std::uint32_t column_ = 1;
};

} // namespace

Lexed tokenize(std::string_view source) {
    return Lexer(source).run();
}

std::vector<std::uint32_t> characters(std::string_view text) {
    std::vector<std::uint32_t> out;
    out.reserve(text.size());
    std::size_t k = 0;
    while (k < text.size()) {
        const auto c = static_cast<unsigned char>(text[k]);
        const std::size_t len = c < 0x80         ? 1
                                : (c >> 5) == 6  ? 2
                                : (c >> 4) == 14 ? 3
                                : (c >> 3) == 30 ? 4
                                                 : 0;
        bool valid = len != 0 && k + len <= text.size();
        std::uint32_t code = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t j = 1; valid && j < len; ++j) {
            const auto d = static_cast<unsigned char>(text[k + j]);
            valid = (d & 0xC0) == 0x80;
            code = (code << 6) | (d & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++k;
        } else {
            out.push_back(code);
            k += len;
        }
    }
    return out;
}

} // namespace kestrel::octo
