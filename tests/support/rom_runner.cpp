#include "support/rom_runner.h"

#include "run/frames.h"
#include "support/program_bytes.h"

#include <algorithm>

namespace kestrel::testing {

RomRunner::RomRunner(const MachineKind& kind) : machine(host) {
    machine.LoadDefaultKeyMap();
    if (kind.engine == Engine::Kestrel) return;
    machine.SelectMachine(kind);
    host = FakeHost{}; // the switch's own reset is not the test's
}

void RomRunner::load(const std::vector<std::uint16_t>& words, std::uint32_t at) {
    if (!standard()) return PlaceWords(machine.State.Memory, words, at);
    const std::vector<std::uint8_t> bytes = WordsToBytes(words);
    const std::size_t from = at - ProgramStart;
    if (image_.size() < from + bytes.size()) image_.resize(from + bytes.size());
    std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<std::ptrdiff_t>(from));
    imageChanged_ = true;
}

void RomRunner::openImage() {
    if (!imageChanged_) return;
    machine.OpenRomOn("the test's ROM", image_, machine.Kind());
    imageChanged_ = false;
}

void RomRunner::execute(const std::vector<std::uint16_t>& words) {
    load(words);
    const auto spin = static_cast<std::uint32_t>(ProgramStart + 2 * words.size());
    load({static_cast<std::uint16_t>(0x1000 | spin)}, spin);
    run(words.size() + 2);
}

// At least one instruction a frame, even where each DXYN ends one.
void RomRunner::run(std::uint64_t instructions) {
    if (standard()) return runFrames(instructions);
    resetAndRunPasses(instructions);
}

void RomRunner::runFrames(std::uint64_t frames) {
    openImage();
    machine.Reset_Click();
    moreFrames(frames);
}

void RomRunner::moreFrames(std::uint64_t frames) {
    run::RunFrames(
        machine, frames,
        [this](std::uint64_t) {
            const auto [first, last] = frameEvents.equal_range(++framesBegun);
            for (auto event = first; event != last; ++event)
                event->second();
            if (everyFrame) everyFrame();
        },
        [] { return false; });
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

// Grid pixel (x, y) is the 2 x 2 block at (2x + 1, 2y): one pixel right, as
// Kestrel's own picture sits.
std::vector<std::string> RomRunner::colourScreen() const {
    const StandardInterpreter::Palette& palette = StandardInterpreter::DefaultPalette;
    std::vector<std::string> rows;
    for (int y = 0; y < FrameBuffer::Height; ++y) {
        std::string row;
        for (int x = 0; x < FrameBuffer::Width; ++x) {
            const auto colour = std::find(palette.begin(), palette.end(),
                                          machine.Surface().ReadPixel(2 * x + 1, 2 * y));
            row += colour == palette.end() ? '?' : ".123"[colour - palette.begin()];
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> RomRunner::hiresScreen() const {
    std::vector<std::string> rows = colourScreen();
    for (std::string& row : rows)
        for (char& pixel : row)
            pixel = pixel == '1' ? '#' : '.';
    return rows;
}

bool RomRunner::lit(int cx, int cy) const {
    return machine.Surface().ReadPixel(4 * cx + 1, 4 * cy) == LitColour;
}

} // namespace kestrel::testing
