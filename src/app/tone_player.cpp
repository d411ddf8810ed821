#include "tone_player.h"

#include <SDL.h>

#include <cstdio>

namespace kestrel {

TonePlayer::TonePlayer(std::function<void()> beforeOpening) {
    // Audio only: no video, and Ctrl+C and the like stay the toolkit's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    opener_ = std::thread([this, hook = std::move(beforeOpening)] { open(hook); });
}

TonePlayer::~TonePlayer() {
    opener_.join();
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TonePlayer::open(const std::function<void()>& beforeOpening) {
    if (beforeOpening) beforeOpening();
    SDL_AudioDeviceID device = 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "Kestrel: no audio (%s); the tone stays silent.\n", SDL_GetError());
    } else {
        SDL_AudioSpec wanted{};
        wanted.freq = SampleRate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = 1;
        wanted.samples = 512;
        wanted.callback = nullptr; // fed with SDL_QueueAudio
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
        if (device == 0) {
            std::fprintf(stderr, "Kestrel: no audio device (%s); the tone stays silent.\n", SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        } else {
            SDL_PauseAudioDevice(device, 0); // plays silence while nothing is queued
        }
    }
    const std::lock_guard lock(mutex_);
    device_ = device;
    opening_ = false;
    if (device_ != 0 && pendingHz_ > 0) queue(pendingHz_, pendingMs_);
    pendingHz_ = 0;
}

bool TonePlayer::available() const {
    const std::lock_guard lock(mutex_);
    return device_ != 0;
}

void TonePlayer::play(int hz, int ms) {
    const std::lock_guard lock(mutex_);
    if (opening_) {
        // Replaces any tone kept before, as a new tone replaces one sounding.
        const bool audible = hz > 0 && ms > 0;
        pendingHz_ = audible ? hz : 0;
        pendingMs_ = audible ? ms : 0;
        return;
    }
    if (device_ == 0) return;
    SDL_ClearQueuedAudio(device_);
    if (hz <= 0 || ms <= 0) return;
    queue(hz, ms);
}

void TonePlayer::queue(int hz, int ms) {
    const auto count = static_cast<std::size_t>(static_cast<long long>(SampleRate) * ms / 1000);
    samples_.resize(count);
    // Half periods counted in whole samples from the start of the tone.
    for (std::size_t i = 0; i < count; ++i) {
        const long long halfPeriods = static_cast<long long>(i) * 2 * hz / SampleRate;
        samples_[i] = halfPeriods % 2 == 0 ? Amplitude : static_cast<std::int16_t>(-Amplitude);
    }
    SDL_QueueAudio(device_, samples_.data(), static_cast<Uint32>(count * sizeof(std::int16_t)));
}

void TonePlayer::stop() {
    const std::lock_guard lock(mutex_);
    pendingHz_ = 0;
    if (device_ != 0) SDL_ClearQueuedAudio(device_);
}

} // namespace kestrel
