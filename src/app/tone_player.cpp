#include "tone_player.h"

#include <SDL.h>

#include <dlfcn.h>

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
    decltype(&SDL_ClearQueuedAudio) ClearQueuedAudio = nullptr;
    decltype(&SDL_QueueAudio) QueueAudio = nullptr;
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
            resolve(library, "SDL_ClearQueuedAudio", sdl.ClearQueuedAudio) &&
            resolve(library, "SDL_QueueAudio", sdl.QueueAudio)) {
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
            wanted.callback = nullptr; // fed with SDL_QueueAudio
            device = sdl->OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
            if (device == 0) {
                std::fprintf(stderr, "Kestrel: no audio device (%s); the tone stays silent.\n",
                             sdl->GetError());
                sdl->QuitSubSystem(SDL_INIT_AUDIO);
            } else {
                sdl->PauseAudioDevice(device, 0); // plays silence while nothing is queued
            }
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
    loadSdl()->ClearQueuedAudio(device_);
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
    loadSdl()->QueueAudio(device_, samples_.data(),
                          static_cast<Uint32>(count * sizeof(std::int16_t)));
}

void TonePlayer::stop() {
    const std::lock_guard lock(mutex_);
    pendingHz_ = 0;
    if (device_ != 0) loadSdl()->ClearQueuedAudio(device_);
}

} // namespace kestrel
