// libFuzzer target: any text as an Octo source. Assembly must end in either a
// program or one error, never both, in bounded time; a program keeps the
// shape it promises, and an error names a place in the source.

#include "octo/octo.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "octo_fuzzer: %s\n", what);
    std::abort();
}

std::uint32_t lineCount(std::string_view text) {
    return static_cast<std::uint32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const kestrel::octo::Assembly result = kestrel::octo::assemble(source, "fuzz.8o");
    if (result.program.has_value() == result.error.has_value())
        fail("assembly gave both a program and an error, or neither");
    if (result.error) {
        const kestrel::octo::Diagnostic& e = *result.error;
        if (e.message.empty()) fail("an error without a message");
        if (e.where.line < 1 || e.where.column < 1 || e.where.line > lineCount(source))
            fail("an error placed outside the source");
        if (!e.text().starts_with("fuzz.8o:")) fail("an error that does not name its file");
        return 0;
    }
    const kestrel::octo::Program& p = *result.program;
    if (p.rom.size() > kestrel::octo::kAddressSpace - kestrel::octo::kProgramStart)
        fail("a ROM larger than the address space");
    if (p.spots.size() != p.rom.size()) fail("a line map that does not cover the ROM");
    for (const kestrel::octo::SourceSpot& spot : p.spots) {
        if (spot.line > lineCount(source)) fail("a byte mapped past the end of the source");
    }
    if (!std::is_sorted(p.labels.begin(), p.labels.end(),
                        [](const auto& a, const auto& b) { return a.address < b.address; }))
        fail("labels out of address order");
    if (std::none_of(p.labels.begin(), p.labels.end(),
                     [](const auto& label) { return label.name == "main"; }))
        fail("a program without main");
    return 0;
}
