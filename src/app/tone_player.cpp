#include "tone_player.h"

#include <SDL.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdio>

namespace kestrel {

namespace {

// SDL is loaded by the opening thread, not linked: linking it would load its
// thirty-odd libraries before main() and slow the start by about a fifth.
struct Sdl {
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_LockAudioDevice) LockAudioDevice = nullptr;
    decltype(&SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;
};

template <typename F> bool resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

// Loaded once, and left loaded: SDL keeps threads of its own.
const Sdl* loadSdl() {
    static const Sdl* loaded = []() -> const Sdl* {
        void* library = ::dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            std::fprintf(stderr, "Kestrel: no audio (%s); the tone stays silent.\n", ::dlerror());
            return nullptr;
        }
        static Sdl sdl;
        if (resolve(library, "SDL_SetHint", sdl.SetHint) &&
            resolve(library, "SDL_GetError", sdl.GetError) &&
            resolve(library, "SDL_InitSubSystem", sdl.InitSubSystem) &&
            resolve(library, "SDL_QuitSubSystem", sdl.QuitSubSystem) &&
            resolve(library, "SDL_OpenAudioDevice", sdl.OpenAudioDevice) &&
            resolve(library, "SDL_PauseAudioDevice", sdl.PauseAudioDevice) &&
            resolve(library, "SDL_CloseAudioDevice", sdl.CloseAudioDevice) &&
            resolve(library, "SDL_LockAudioDevice", sdl.LockAudioDevice) &&
            resolve(library, "SDL_UnlockAudioDevice", sdl.UnlockAudioDevice)) {
            return &sdl;
        }
        std::fprintf(stderr, "Kestrel: no audio (an older SDL: %s); the tone stays silent.\n",
                     ::dlerror());
        return nullptr;
    }();
    return loaded;
}

} // namespace

TonePlayer::~TonePlayer() {
    if (opener_.joinable()) opener_.join();
    if (device_ == 0) return;
    const Sdl& sdl = *loadSdl();
    sdl.CloseAudioDevice(device_);
    sdl.QuitSubSystem(SDL_INIT_AUDIO);
}

void TonePlayer::startOpening() {
    if (!opener_.joinable()) opener_ = std::thread([this] { open(); });
}

void TonePlayer::open() {
    SDL_AudioDeviceID device = 0;
    const Sdl* sdl = loadSdl(); // says so itself when it fails
    if (sdl != nullptr) {
        // Audio only: no video, and Ctrl+C and the like stay the toolkit's.
        sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "Kestrel: no audio (%s); the tone stays silent.\n",
                         sdl->GetError());
        } else {
            SDL_AudioSpec wanted{};
            wanted.freq = SampleRate;
            wanted.format = AUDIO_S16SYS;
            wanted.channels = 1;
            wanted.samples = 512;
            // Rendered on demand rather than queued: a pattern loops for as
            // long as the sound timer runs, and its phase must carry across
            // changes, which samples queued ahead could not follow.
            wanted.callback = fill;
            wanted.userdata = this;
            device = sdl->OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
            if (device == 0) {
                std::fprintf(stderr, "Kestrel: no audio device (%s); the tone stays silent.\n",
                             sdl->GetError());
                sdl->QuitSubSystem(SDL_INIT_AUDIO);
            }
        }
    }
    const std::lock_guard lock(mutex_);
    device_ = device;
    opening_ = false;
    // The sound kept meanwhile starts with the callback's first buffer.
    if (device_ != 0) sdl->PauseAudioDevice(device_, 0);
}

bool TonePlayer::available() const {
    const std::lock_guard lock(mutex_);
    return device_ != 0;
}

template <typename F> void TonePlayer::change(F change) {
    const std::lock_guard lock(mutex_);
    if (opening_) {
        change(sound_); // the callback does not run before the device is open
        return;
    }
    if (device_ == 0) return;
    const Sdl& sdl = *loadSdl();
    sdl.LockAudioDevice(device_);
    change(sound_);
    sdl.UnlockAudioDevice(device_);
}

void TonePlayer::play(int hz, int ms) {
    change([hz, ms](Sound& sound) {
        if (hz <= 0 || ms <= 0) {
            sound.kind = Kind::Silence;
            return;
        }
        sound.kind = Kind::Tone;
        sound.toneHz = hz;
        sound.toneAt = 0;
        sound.toneCount = static_cast<long long>(SampleRate) * ms / 1000;
    });
}

void TonePlayer::playPattern(const std::array<std::uint8_t, 16>& pattern, double samplesPerSecond) {
    change([&pattern, samplesPerSecond](Sound& sound) {
        // No rate would hold one bit: an offset, not a sound.
        if (!(samplesPerSecond > 0) || !std::isfinite(samplesPerSecond)) {
            sound.kind = Kind::Silence;
            return;
        }
        sound.kind = Kind::Pattern;
        sound.pattern = pattern;
        // Whole turns of the loop change nothing, and keep one wrap per sample enough.
        sound.step = std::fmod(samplesPerSecond / SampleRate, 128.0);
    });
}

void TonePlayer::stop() {
    change([](Sound& sound) {
        sound.kind = Kind::Silence;
        sound.phase = 0;
    });
}

void TonePlayer::fill(void* player, std::uint8_t* stream, int bytes) {
    // SDL holds the device's lock around this call.
    static_cast<TonePlayer*>(player)->render(reinterpret_cast<std::int16_t*>(stream),
                                             bytes / static_cast<int>(sizeof(std::int16_t)));
}

void TonePlayer::render(std::int16_t* samples, int count) {
    constexpr auto Low = static_cast<std::int16_t>(-Amplitude);
    Sound& sound = sound_;
    for (int i = 0; i < count; ++i) {
        switch (sound.kind) {
        case Kind::Silence: samples[i] = 0; break;
        case Kind::Tone: {
            if (sound.toneAt >= sound.toneCount) {
                sound.kind = Kind::Silence;
                samples[i] = 0;
                break;
            }
            // Half periods counted in whole samples from the start of the tone.
            const long long halfPeriods = sound.toneAt * 2 * sound.toneHz / SampleRate;
            samples[i] = halfPeriods % 2 == 0 ? Amplitude : Low;
            ++sound.toneAt;
            break;
        }
        case Kind::Pattern: {
            const int bit = static_cast<int>(sound.phase); // 0..127, the high bit of a byte first
            const bool on = (sound.pattern[bit / 8] >> (7 - bit % 8) & 1) != 0;
            samples[i] = on ? Amplitude : Low;
            sound.phase += sound.step;
            if (sound.phase >= 128) sound.phase -= 128;
            break;
        }
        }
    }
}

} // namespace kestrel
