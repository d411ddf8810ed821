#include "base/texts.h"
#include "standard/standard_interpreter.h"

#include <cstring>
#include <type_traits>

namespace kestrel {

namespace {

// The image is the fields' bytes one after another, each of them plain data.
template <typename T> void put(std::vector<std::uint8_t>& out, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

template <typename T> void take(const std::uint8_t*& p, T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
}

} // namespace

// Everything the machine's next instructions read or write: memory,
// registers, timers, screen, sound, keys and the frame's progress. Not the
// key map, which is the player's, nor the colours. One list for writing and
// reading, so that the two cannot disagree.
template <typename Self, typename Visit>
void StandardInterpreter::imageFields(Self& self, Visit&& visit) {
    visit(self.State.V);
    visit(self.State.IndexReg);
    visit(self.State.ProgramCounter);
    visit(self.State.StackPointer);
    visit(self.State.CallStack);
    visit(self.State.DelayTimer);
    visit(self.State.SoundTimer);
    visit(self.status_);
    visit(self.frameEnded_);
    visit(self.waitRegister_);
    visit(self.frameLeft_);
    visit(self.screen_);
    visit(self.planes_);
    visit(self.pattern_);
    visit(self.pitch_);
    visit(self.keypad_);
    visit(self.flagRegisters_);
}

std::vector<std::uint8_t> StandardInterpreter::image() const {
    std::vector<std::uint8_t> out(State.Memory.begin(), State.Memory.end());
    out.reserve(out.size() + sizeof screen_ + 256);
    imageFields(*this, [&](const auto& field) { put(out, field); });
    return out;
}

void StandardInterpreter::restore(std::span<const std::uint8_t> image) {
    std::copy(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(State.Memory.size()),
              State.Memory.begin());
    const std::uint8_t* p = image.data() + State.Memory.size();
    imageFields(*this, [&](auto& field) { take(p, field); });
}

std::vector<std::uint8_t> StandardInterpreter::keypadImage() const {
    std::vector<std::uint8_t> out;
    put(out, keypad_);
    return out;
}

// Between frames the next frame's image holds the keys; inside one, the
// change is noted at the instruction it comes before.
void StandardInterpreter::keysChanged() {
    if (hooks_.Attached() && frameOpen_ && replayDraws_ == nullptr) history_.Keys(keypadImage());
}

double StandardInterpreter::draw() {
    if (replayDraws_ != nullptr) {
        // A replay draws what the run it repeats drew.
        const double value = replayDrawn_ < replayDraws_->size() ? (*replayDraws_)[replayDrawn_++]
                                                                 : random_.NextUniform();
        history_.Draw(value);
        return value;
    }
    if (!hooks_.Attached()) return random_.NextUniform();
    double value = 0;
    if (futureDraws_.empty()) {
        value = random_.NextUniform();
    } else {
        value = futureDraws_.front();
        futureDraws_.pop_front();
    }
    history_.Draw(value);
    return value;
}

// The frame's image, then its instructions up to the point, with the draws
// and key changes they met.
bool StandardInterpreter::goBack(std::size_t frame, std::uint64_t instructions) {
    std::optional<History::Replay> replay = history_.GoBack(frame, instructions);
    if (!replay) return false;
    restore(replay->image);
    frameOpen_ = true;
    replayDraws_ = &replay->draws;
    replayDrawn_ = 0;
    std::size_t next = 0;
    const auto applyKeys = [&](std::uint64_t before) {
        for (; next < replay->keys.size() && replay->keys[next].before <= before; ++next) {
            const std::uint8_t* p = replay->keys[next].keypad.data();
            take(p, keypad_);
        }
    };
    for (std::uint64_t k = 0; k < instructions; ++k) {
        applyKeys(k);
        replayOne();
    }
    applyKeys(instructions);
    // Ahead of the draws an earlier step back left for later.
    futureDraws_.insert(futureDraws_.begin(), replay->later.begin(), replay->later.end());
    futureDraws_.insert(futureDraws_.begin(),
                        replay->draws.begin() + static_cast<std::ptrdiff_t>(replayDrawn_),
                        replay->draws.end());
    replayDraws_ = nullptr;
    stopSound(); // halted: no tone
    paintPicture();
    host_.setStatusText(status_ == Status::WaitingForKey ? WaitingText : "");
    return true;
}

bool StandardInterpreter::StepBack() {
    if (history_.Empty()) return false;
    std::size_t frame = history_.Frames() - 1;
    if (history_.LastFrameInstructions() > 0)
        return goBack(frame, history_.LastFrameInstructions() - 1);
    // At a frame's first instruction: the last one run is in a frame before it.
    while (frame-- > 0) {
        if (history_.Instructions(frame) > 0)
            return goBack(frame, history_.Instructions(frame) - 1);
    }
    return false;
}

bool StandardInterpreter::BackOneFrame() {
    if (history_.Frames() < 2) return false;
    return goBack(history_.Frames() - 2, 0);
}

} // namespace kestrel
