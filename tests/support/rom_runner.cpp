#include "support/rom_runner.h"

#include "support/program_bytes.h"

namespace kestrel::testing {

void RomRunner::load(std::initializer_list<std::uint16_t> words, std::uint32_t at) {
    PlaceWords(machine.State.Memory, words, at);
}

void RomRunner::execute(std::initializer_list<std::uint16_t> words) {
    load(words);
    const auto spin = static_cast<std::uint32_t>(ProgramStart + 2 * words.size());
    load({static_cast<std::uint16_t>(0x1000 | spin)}, spin);
    resetAndRunPasses(words.size() + 2);
}

void RomRunner::stopAt(std::uint64_t yieldNumber) {
    host.at(yieldNumber, [this] { machine.EndAllRuns(); });
}

void RomRunner::resetAndRun(std::uint64_t yieldCount) {
    stopAt(host.yields + yieldCount);
    machine.Reset_Click();
    machine.RunDriver();
}

std::vector<std::string> RomRunner::screen() const {
    std::vector<std::string> rows;
    for (int cy = 0; cy < 32; ++cy) {
        std::string row;
        for (int cx = 0; cx < 64; ++cx)
            row += lit(cx, cy) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

bool RomRunner::lit(int cx, int cy) const {
    return machine.Surface().ReadPixel(4 * cx + 1, 4 * cy) == LitColour;
}

} // namespace kestrel::testing
