#pragma once
// The tokens still to assemble. Macro and stringmode expansions are pushed
// in front of the rest as frames of their own, so an expansion costs its own
// length and never a copy of what follows it.

#include "octo/lexer.h"

#include <optional>
#include <vector>

namespace kestrel::octo {

class TokenStream {
  public:
    TokenStream(std::vector<Token> tokens, SourceSpot end);

    const Token* peek();
    // The next token, or nothing at the end of the input. A peeked pointer
    // is good only until the stream is next used.
    std::optional<Token> next();
    // Places an expansion ahead of the remaining tokens.
    void push(std::vector<Token> tokens);
    SourceSpot end() const { return end_; }

  private:
    struct Frame {
        std::vector<Token> tokens;
        std::size_t position = 0;
    };
    void dropFinished();

    std::vector<Frame> frames_;
    SourceSpot end_;
};

} // namespace kestrel::octo
