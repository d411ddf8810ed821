#pragma once
// The assembler's state and the parts that act on it. Each part lives in a
// file of its own: statements.cpp (instructions and their encodings),
// operands.cpp (reading registers, bytes and addresses), control.cpp (if,
// loop and their jumps), directives.cpp (the ':' words), macros.cpp (macros
// and stringmodes), calc.cpp (the { } expressions) and assembler.cpp (the
// statement loop, labels, forward references and the entry jump).

#include "octo/error.h"
#include "octo/image.h"
#include "octo/lexer.h"
#include "octo/token_stream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrel::octo {

class Assembler {
  public:
    explicit Assembler(Lexed lexed);
    Program run();

  private:
    // --- assembler.cpp
    void statement(Token token);
    Token expect(const char* what);
    void defineLabel(const Token& name, std::uint32_t address);
    void checkNewName(const Token& name, const char* what) const;
    void finish();

    // Sites that wait for a label: each kind places the address differently.
    enum class PatchKind { Address12, Long16, UnpackNibble, UnpackLong };
    struct Patch {
        std::uint32_t address;
        PatchKind kind;
        SourceSpot where;
        std::uint64_t order;
    };
    void addPatch(const std::string& name, std::uint32_t address, PatchKind kind, SourceSpot where);
    void applyPatch(const Patch& patch, std::uint32_t value);

    // --- operands.cpp
    std::optional<int> registerOf(std::string_view text) const;
    int expectRegister(const char* role);
    std::optional<double> knownValue(const Token& token) const;
    int byteOperand(const Token& token);
    int nibbleOperand(const Token& token);
    int byteValue(const Token& token) { return byteOperand(token) & 0xFF; }
    // An operand that may name a label not yet defined: `high` is the part of
    // the instruction that is already known.
    void emitAddress12(std::uint16_t high, const Token& token, SourceSpot where);
    void emitAddress16(const Token& token, SourceSpot where);
    // A number or constant within `limit`, a label (masked to `limit`), or a
    // forward reference: then 0, and the site at `site` is patched later.
    std::uint32_t addressOrForward(const Token& token, std::uint32_t limit, PatchKind kind,
                                   std::uint32_t site);
    std::uint32_t definedAddress(const Token& token, std::uint32_t limit, const char* what);

    // --- statements.cpp
    bool instruction(const Token& token);
    void registerStatement(int x, const Token& token);
    void indexStatement(const Token& token);
    void registerRange(std::uint16_t single, std::uint16_t range, SourceSpot where);

    // --- control.cpp
    struct Condition {
        int x;
        std::string op;
        bool immediate;
        int operand; // a register, or the byte
        SourceSpot where;
    };
    bool control(const Token& token);
    Condition condition(const Token& at);
    void emitSkip(const Condition& c, bool skipWhenTrue, SourceSpot where);
    void checkBlocksClosed() const;

    // --- directives.cpp
    bool directive(const Token& token);
    void unpack(SourceSpot where);

    // --- macros.cpp
    bool expandNamed(const Token& token);
    void defineMacro(SourceSpot where);
    void defineStringmode(SourceSpot where);
    std::vector<Token> braceBody(SourceSpot opener, const char* what);
    void pushExpansion(std::vector<Token> tokens, const Token& from);

    // --- calc.cpp
    double braced(SourceSpot opener); // reads `{ expr }`
    double evaluate(const std::vector<Token>& tokens, SourceSpot opener);

    TokenStream input_;
    Image image_;

    std::unordered_map<std::string, std::uint32_t> labels_;
    std::unordered_map<std::string, SourceSpot> labelSpots_;
    struct Constant {
        double value;
        bool fixed; // made by :const, which no later definition may change
    };
    std::unordered_map<std::string, Constant> constants_;
    std::unordered_map<std::string, int> aliases_;
    std::unordered_map<std::string, std::vector<Patch>> pending_;
    std::uint64_t patchOrder_ = 0;

    struct Macro {
        std::vector<std::string> arguments;
        std::vector<Token> body;
        std::uint64_t calls = 0;
    };
    std::unordered_map<std::string, Macro> macros_;
    struct StringmodeBody {
        std::vector<Token> body;
        std::uint64_t calls = 0;
    };
    // All the definitions of one name, and for each character the first
    // definition whose alphabet has it, with its place in that alphabet.
    struct Stringmode {
        std::vector<StringmodeBody> definitions;
        std::unordered_map<std::uint32_t, std::pair<std::size_t, std::size_t>> lookup;
    };
    std::unordered_map<std::string, Stringmode> stringmodes_;
    std::uint64_t expandedTokens_ = 0;

    struct Block {
        std::uint32_t jump; // the pending jump's address
        bool isElse;
        SourceSpot where;
    };
    std::vector<Block> blocks_;
    struct Loop {
        std::uint32_t start;
        std::vector<std::uint32_t> whiles;
        SourceSpot where;
    };
    std::vector<Loop> loops_;

    bool orgUsed_ = false;
    bool entryJump_ = true; // the jump to main at the program start is still there
    std::vector<Annotation> annotations_;
};

// Words with a meaning of their own, which no label, constant or alias may
// take and no address operand may be.
bool isReserved(std::string_view text);

// Caps that keep a hostile source bounded: how deep expansions may nest,
// how many tokens they may make in all, how deep ( ) may nest.
inline constexpr int kMaxExpansionDepth = 256;
inline constexpr std::uint64_t kMaxExpandedTokens = 4'000'000;
inline constexpr int kMaxParenthesisDepth = 256;

} // namespace kestrel::octo
