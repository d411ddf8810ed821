#pragma once
// Octo assembly language to a CHIP-8, SUPER-CHIP or XO-CHIP ROM image.
// Plain C++ with nothing of the rest of Kestrel in it, so that the command
// line tool, the tests and the fuzzer share it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::octo {

// Where programs are loaded, and so where the image handed back begins.
inline constexpr std::uint32_t kProgramStart = 0x200;
// The XO-CHIP address space; nothing is written at or past it.
inline constexpr std::uint32_t kAddressSpace = 0x10000;

// A place in the source: 1-based line and column (columns count characters,
// not bytes). Line 0 means no place: a gap that nothing wrote.
struct SourceSpot {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    friend bool operator==(const SourceSpot&, const SourceSpot&) = default;
};

struct Diagnostic {
    std::string file;
    SourceSpot where;
    std::string message;
    // The usual compiler form: "game.8o:12:5: error: undefined name 'x'".
    std::string text() const;
};

struct Label {
    std::string name;
    std::uint32_t address = 0;
    SourceSpot where;
};

// Debugger annotations: they emit nothing but are kept with the address they
// were met at. For a monitor, `name` is its address or register token and
// `format` its length or format string; a breakpoint has only a name.
struct Annotation {
    enum class Kind { Breakpoint, Monitor };
    Kind kind = Kind::Breakpoint;
    std::uint32_t address = 0;
    std::string name;
    std::string format;
    SourceSpot where;
};

struct Program {
    std::vector<std::uint8_t> rom;       // from kProgramStart to the highest byte written
    std::vector<SourceSpot> spots;       // spots[k]: the statement that wrote rom[k]
    std::vector<Label> labels;           // by address, then name
    std::vector<Annotation> annotations; // in source order
};

// Either a program or the first error met; assembly stops there.
struct Assembly {
    std::optional<Program> program;
    std::optional<Diagnostic> error;
};

Assembly assemble(std::string_view source, std::string_view fileName);

} // namespace kestrel::octo
