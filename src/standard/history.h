#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace kestrel {

// The last frames of a standard machine a debugger watches, kept so that it
// can go back: an image of the machine at each frame's first instruction,
// and what that frame took from outside, the random draws and the keypad as
// keys changed it, so that replaying its instructions is exact.
//
// Images are kept as differences from the frame before (a byte-wise XOR,
// run-length coded), with a whole image every KeyframeEvery frames, so that
// ten seconds of a CHIP-8 program take a few hundred kilobytes.
class History {
  public:
    static constexpr std::size_t MostFrames = 600; // ten seconds at 60 frames a second
    static constexpr std::size_t KeyframeEvery = 60;

    void Clear();
    // A frame begins, the machine as `image` shows it.
    void FrameBegins(std::span<const std::uint8_t> image);
    void Ran(std::uint64_t count = 1) {
        if (newest_ != nullptr) newest_->instructions += count;
    }
    void Draw(double value) {
        if (!frames_.empty()) frames_.back().draws.push_back(value);
    }
    // The keypad changed before the frame's next instruction: `keypad` is its image.
    void Keys(std::span<const std::uint8_t> keypad);

    bool Empty() const { return frames_.empty(); }
    std::size_t Frames() const { return frames_.size(); }
    std::size_t Bytes() const;
    std::uint64_t Instructions(std::size_t frame) const { return frames_[frame].instructions; }
    // Instructions the last frame has run so far.
    std::uint64_t LastFrameInstructions() const {
        return frames_.empty() ? 0 : frames_.back().instructions;
    }

    // Where to go back to: the frame (0 the oldest kept) and the instructions
    // of it to replay. Forgets everything after that point, and gives the
    // frame's image and what its replay takes from outside; the replay then
    // runs through Ran and Draw again.
    struct Replay {
        std::vector<std::uint8_t> image;
        std::uint64_t instructions = 0;
        std::vector<double> draws;
        struct KeyChange {
            std::uint64_t before; // applied before this instruction of the frame
            std::vector<std::uint8_t> keypad;
        };
        std::vector<KeyChange> keys;
        std::vector<double> later; // what the frames after it drew, in order
    };
    std::optional<Replay> GoBack(std::size_t frame, std::uint64_t instructions);

  private:
    struct Frame {
        bool keyframe = false;
        std::vector<std::uint8_t> data; // the whole image, or its difference from the frame before
        std::uint64_t instructions = 0;
        std::vector<double> draws;
        std::vector<Replay::KeyChange> keys;
    };
    std::vector<std::uint8_t> imageOf(std::size_t frame) const;
    void dropOldest();

    std::deque<Frame> frames_;
    Frame* newest_ = nullptr; // frames_.back(), whose place a deque keeps as it grows and shrinks
    std::vector<std::uint8_t> last_; // the image of the newest frame, whole
    std::size_t sinceKeyframe_ = 0;
};

} // namespace kestrel
