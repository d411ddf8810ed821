#include "tone_player.h"

#include <SDL.h>

#include <cstdio>

namespace kestrel {

TonePlayer::TonePlayer() {
    // Audio only: no video, and Ctrl+C and the like stay the toolkit's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "Kestrel: no audio (%s); the tone stays silent.\n", SDL_GetError());
        return;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = SampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = 512;
    wanted.callback = nullptr; // fed with SDL_QueueAudio
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) {
        std::fprintf(stderr, "Kestrel: no audio device (%s); the tone stays silent.\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    SDL_PauseAudioDevice(device_, 0); // plays silence while nothing is queued
}

TonePlayer::~TonePlayer() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TonePlayer::play(int hz, int ms) {
    if (device_ == 0) return;
    SDL_ClearQueuedAudio(device_);
    if (hz <= 0 || ms <= 0) return;
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
    if (device_ != 0) SDL_ClearQueuedAudio(device_);
}

} // namespace kestrel
