#include "standard/history.h"

#include <algorithm>

namespace kestrel {

namespace {

void putCount(std::vector<std::uint8_t>& out, std::size_t n) {
    while (n >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(n | 0x80));
        n >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(n));
}

std::size_t getCount(const std::uint8_t*& p) {
    std::size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t b = *p++;
        n |= static_cast<std::size_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return n;
    }
}

// The XOR of two images of one size as runs: a count of equal bytes, a
// count of differing ones, and those bytes XORed.
std::vector<std::uint8_t> difference(std::span<const std::uint8_t> from,
                                     std::span<const std::uint8_t> to) {
    std::vector<std::uint8_t> out;
    putCount(out, to.size());
    std::size_t k = 0;
    while (k < to.size()) {
        std::size_t same = k;
        while (same < to.size() && from[same] == to[same])
            ++same;
        std::size_t differ = same;
        while (differ < to.size() && from[differ] != to[differ])
            ++differ;
        putCount(out, same - k);
        putCount(out, differ - same);
        for (std::size_t j = same; j < differ; ++j)
            out.push_back(static_cast<std::uint8_t>(from[j] ^ to[j]));
        k = differ;
    }
    return out;
}

void applyDifference(std::vector<std::uint8_t>& image, const std::vector<std::uint8_t>& diff) {
    const std::uint8_t* p = diff.data();
    image.resize(getCount(p), 0);
    std::size_t k = 0;
    while (k < image.size()) {
        k += getCount(p);
        const std::size_t differ = getCount(p);
        for (std::size_t j = 0; j < differ; ++j)
            image[k++] ^= *p++;
    }
}

} // namespace

void History::Clear() {
    frames_.clear();
    newest_ = nullptr;
    last_.clear();
    sinceKeyframe_ = 0;
}

// A frame whose image differs in size from the one before (another machine)
// starts afresh from a whole image.
void History::FrameBegins(std::span<const std::uint8_t> image) {
    if (frames_.size() == MostFrames) dropOldest();
    Frame frame;
    frame.keyframe =
        frames_.empty() || sinceKeyframe_ + 1 >= KeyframeEvery || last_.size() != image.size();
    if (frame.keyframe) {
        frame.data.assign(image.begin(), image.end());
        sinceKeyframe_ = 0;
    } else {
        frame.data = difference(last_, image);
        ++sinceKeyframe_;
    }
    last_.assign(image.begin(), image.end());
    frames_.push_back(std::move(frame));
    newest_ = &frames_.back();
}

void History::Keys(std::span<const std::uint8_t> keypad) {
    if (frames_.empty()) return;
    Frame& frame = frames_.back();
    frame.keys.push_back({frame.instructions, {keypad.begin(), keypad.end()}});
}

std::size_t History::Bytes() const {
    std::size_t bytes = last_.capacity();
    for (const Frame& frame : frames_) {
        bytes += sizeof frame + frame.data.capacity() + frame.draws.capacity() * sizeof(double);
        for (const auto& change : frame.keys)
            bytes += sizeof change + change.keypad.capacity();
    }
    return bytes;
}

std::vector<std::uint8_t> History::imageOf(std::size_t frame) const {
    std::size_t key = frame;
    while (!frames_[key].keyframe)
        --key;
    std::vector<std::uint8_t> image = frames_[key].data;
    for (std::size_t k = key + 1; k <= frame; ++k)
        applyDifference(image, frames_[k].data);
    return image;
}

// The oldest frame goes; the one after it, if it was kept as a difference
// from it, is kept whole instead.
void History::dropOldest() {
    if (frames_.size() > 1 && !frames_[1].keyframe) {
        frames_[1].data = imageOf(1);
        frames_[1].keyframe = true;
    }
    frames_.pop_front();
}

std::optional<History::Replay> History::GoBack(std::size_t frame, std::uint64_t instructions) {
    if (frame >= frames_.size() || instructions > frames_[frame].instructions) return std::nullopt;
    Replay replay;
    replay.image = imageOf(frame);
    replay.instructions = instructions;
    Frame& kept = frames_[frame];
    replay.draws = kept.draws;
    replay.keys = kept.keys;
    for (std::size_t k = frame + 1; k < frames_.size(); ++k)
        replay.later.insert(replay.later.end(), frames_[k].draws.begin(), frames_[k].draws.end());
    frames_.erase(frames_.begin() + static_cast<std::ptrdiff_t>(frame) + 1, frames_.end());
    newest_ = &frames_.back();
    // What the frame took beyond the point gone back to is forgotten with it.
    // The replay counts its instructions and notes its draws again; the key
    // changes up to the point stay, and draws beyond it are drawn afresh.
    kept.instructions = 0;
    std::erase_if(kept.keys,
                  [&](const Replay::KeyChange& change) { return change.before > instructions; });
    kept.draws.clear();
    last_ = replay.image;
    sinceKeyframe_ = 0;
    for (std::size_t k = frames_.size(); k-- > 0 && !frames_[k].keyframe;)
        ++sinceKeyframe_;
    return replay;
}

} // namespace kestrel
