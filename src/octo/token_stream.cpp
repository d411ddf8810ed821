#include "octo/token_stream.h"

namespace kestrel::octo {

TokenStream::TokenStream(std::vector<Token> tokens, SourceSpot end) : end_(end) {
    frames_.push_back(Frame{std::move(tokens), 0});
}

void TokenStream::dropFinished() {
    while (frames_.size() > 1 && frames_.back().position >= frames_.back().tokens.size())
        frames_.pop_back();
}

const Token* TokenStream::peek() {
    dropFinished();
    const Frame& top = frames_.back();
    return top.position < top.tokens.size() ? &top.tokens[top.position] : nullptr;
}

std::optional<Token> TokenStream::next() {
    if (peek() == nullptr) return std::nullopt;
    Frame& top = frames_.back();
    return std::move(top.tokens[top.position++]);
}

void TokenStream::push(std::vector<Token> tokens) {
    if (tokens.empty()) return;
    dropFinished();
    frames_.push_back(Frame{std::move(tokens), 0});
}

} // namespace kestrel::octo
