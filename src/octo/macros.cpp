// Macros and stringmodes: stored as tokens, expanded ahead of the rest of the
// input when their name starts a statement.
#include "octo/assembler.h"

namespace kestrel::octo {

std::vector<Token> Assembler::braceBody(SourceSpot opener, const char* what) {
    std::vector<Token> body;
    int depth = 1;
    while (true) {
        std::optional<Token> token = input_.next();
        if (!token)
            throw AsmError{opener, std::string("expected '}' to close the ") + what +
                                       " begun here, found end of input"};
        if (token->text == "{") ++depth;
        if (token->text == "}" && --depth == 0) return body;
        body.push_back(std::move(*token));
    }
}

void Assembler::defineMacro(SourceSpot where) {
    const Token name = expect("a macro name");
    Macro macro;
    while (true) {
        Token argument = expect("'{' to begin the macro body");
        if (argument.text == "{") break;
        macro.arguments.push_back(std::move(argument.text));
    }
    macro.body = braceBody(where, "macro body");
    macros_[name.text] = std::move(macro); // a later definition replaces an earlier one
}

void Assembler::defineStringmode(SourceSpot where) {
    const Token name = expect("a stringmode name");
    const Token alphabet = expect("an alphabet");
    const Token open = expect("'{'");
    if (open.text != "{")
        throw AsmError{open.where,
                       "expected '{' to begin the stringmode body, found " + quoted(open.text)};
    Stringmode& mode = stringmodes_[name.text];
    const std::size_t index = mode.definitions.size();
    mode.definitions.push_back(StringmodeBody{braceBody(where, "stringmode body"), 0});
    const std::vector<std::uint32_t> letters = characters(alphabet.text);
    for (std::size_t k = 0; k < letters.size(); ++k)
        mode.lookup.try_emplace(letters[k], index, k); // the first definition keeps a letter
}

void Assembler::pushExpansion(std::vector<Token> tokens, const Token& from) {
    for (Token& token : tokens)
        token.depth = static_cast<std::uint16_t>(from.depth + 1);
    input_.push(std::move(tokens));
}

bool Assembler::expandNamed(const Token& token) {
    const auto macro = macros_.find(token.text);
    const auto mode = macro == macros_.end() ? stringmodes_.find(token.text) : stringmodes_.end();
    if (macro == macros_.end() && mode == stringmodes_.end()) return false;
    if (token.depth >= kMaxExpansionDepth)
        throw AsmError{token.where, "expansions nest more than " +
                                        std::to_string(kMaxExpansionDepth) + " deep at " +
                                        quoted(token.text) + ": does it expand itself?"};
    const auto budget = [&](std::size_t more) {
        expandedTokens_ += more;
        if (expandedTokens_ > kMaxExpandedTokens)
            throw AsmError{token.where, "expansions make more than " +
                                            std::to_string(kMaxExpandedTokens) + " tokens, at " +
                                            quoted(token.text)};
    };
    std::vector<Token> out;
    if (macro != macros_.end()) {
        // Copied: a body may redefine its own macro.
        const Macro m = macro->second;
        macro->second.calls++;
        budget(m.body.size());
        std::unordered_map<std::string_view, std::size_t> parameters;
        std::vector<Token> arguments;
        for (std::size_t k = 0; k < m.arguments.size(); ++k) {
            std::optional<Token> argument = input_.next();
            if (!argument)
                throw AsmError{token.where, "macro " + quoted(token.text) + " expects " +
                                                std::to_string(m.arguments.size()) +
                                                " arguments, found end of input after " +
                                                std::to_string(k)};
            arguments.push_back(std::move(*argument));
            parameters[m.arguments[k]] = k;
        }
        const bool countCalls = !parameters.contains("CALLS");
        out.reserve(m.body.size());
        for (const Token& body : m.body) {
            if (const auto p = parameters.find(body.text); p != parameters.end()) {
                out.push_back(arguments[p->second]);
            } else if (countCalls && body.text == "CALLS") {
                out.push_back(Token{std::to_string(m.calls), body.where});
            } else {
                out.push_back(body);
            }
        }
    } else {
        std::optional<Token> text = input_.next();
        if (!text)
            throw AsmError{token.where, "expected a string after stringmode " + quoted(token.text) +
                                            ", found end of input"};
        const std::vector<std::uint32_t> letters = characters(text->text);
        for (std::size_t k = 0; k < letters.size(); ++k) {
            const auto hit = mode->second.lookup.find(letters[k]);
            if (hit == mode->second.lookup.end())
                throw AsmError{text->where, "character " + std::to_string(letters[k]) +
                                                " (at index " + std::to_string(k) +
                                                ") is in no alphabet of stringmode " +
                                                quoted(token.text)};
            StringmodeBody& body = mode->second.definitions[hit->second.first];
            budget(body.body.size());
            const std::uint64_t calls = body.calls++;
            for (const Token& b : body.body) {
                if (b.text == "CHAR")
                    out.push_back(Token{std::to_string(letters[k]), b.where});
                else if (b.text == "INDEX")
                    out.push_back(Token{std::to_string(k), b.where});
                else if (b.text == "VALUE")
                    out.push_back(Token{std::to_string(hit->second.second), b.where});
                else if (b.text == "CALLS")
                    out.push_back(Token{std::to_string(calls), b.where});
                else
                    out.push_back(b);
            }
        }
    }
    pushExpansion(std::move(out), token);
    return true;
}

} // namespace kestrel::octo
