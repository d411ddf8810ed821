#include "standard/standard_interpreter.h"

#include <cmath>

namespace kestrel {

// Both timers count once a frame, before its instructions; the buzzer sounds
// while the sound timer is above 0.
void StandardInterpreter::countTimers() {
    if (State.DelayTimer > 0) --State.DelayTimer;
    if (State.SoundTimer > 0 && --State.SoundTimer == 0) stopSound();
}

void StandardInterpreter::setSoundTimer(std::uint8_t value) {
    State.SoundTimer = value;
    if (value > 0)
        startSound();
    else
        stopSound();
}

// F002: the pattern is a copy; later writes to memory do not reach it.
void StandardInterpreter::loadPattern() {
    for (std::size_t k = 0; k < pattern_.size(); ++k)
        pattern_[k] = memoryAt(State.IndexReg + k);
    soundChanged();
}

void StandardInterpreter::setPitch(std::uint8_t pitch) {
    pitch_ = pitch;
    soundChanged();
}

void StandardInterpreter::soundChanged() {
    if (sounding_) host_.playPattern(pattern_, PatternRate(pitch_));
}

// A buzzer already sounding goes on from where its pattern is.
void StandardInterpreter::startSound() {
    if (sounding_ || State.Paused) return;
    sounding_ = true;
    host_.playPattern(pattern_, PatternRate(pitch_));
}

// The pattern starts again from its beginning next time.
void StandardInterpreter::stopSound() {
    sounding_ = false;
    host_.stopTone();
}

void StandardInterpreter::PauseChanged() {
    keypad_.holdTaps(State.Paused || WaitingForKey());
    if (State.Paused)
        stopSound();
    else if (State.SoundTimer > 0 && (status_ == Status::Running || WaitingForKey()))
        startSound();
}

double PatternRate(std::uint8_t pitch) {
    return 4000.0 * std::exp2((pitch - 64) / 48.0);
}

} // namespace kestrel
