// SDL2 audio for the looping sound; see sdl_sound.h.
#include "platform/sdl_sound.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "math/RegularFile.h"

namespace {
void Callback(void* user, Uint8* stream, int len) { static_cast<SDLSOUND*>(user)->Fill(stream, len); }

void SilentAlsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA reports a machine without a sound card in a dozen lines of its own; our one line
// ("no sound device") says it. SDL opens the same library later and keeps the handler.
void QuietAlsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    auto set = reinterpret_cast<int (*)(Handler)>(dlsym(lib, "snd_lib_error_set_handler"));
    if (set) set(SilentAlsa);
}
}  // namespace

float SoundGainForVolume(float volume) {
    if (!(volume > 0.0f)) return 0.0f;  // also NaN
    return volume >= 100.0f ? 1.0f : volume / 100.0f;
}

bool SDLSOUND::Play(const char* wavPath, float volume) {
    Stop();
    // Set before SDL starts: SDL would otherwise install SIGINT/SIGTERM handlers.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    QuietAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "reefmere: no sound: %s\n", SDL_GetError());
        return false;
    }
    subsystemUp_ = true;
    SDL_AudioSpec wav;
    Uint8* buf = nullptr;
    Uint32 len = 0;
    // Opened without blocking and checked to be a regular file: a FIFO in the resource
    // folder must not hang the first frame.
    FILE* file = FopenRegular(wavPath);
    SDL_RWops* rw = file ? SDL_RWFromFP(file, SDL_TRUE) : nullptr;
    if (file && !rw) fclose(file);
    if (!rw) {
        std::fprintf(stderr, "reefmere: %s: cannot open the sound file\n", wavPath ? wavPath : "(none)");
        Stop();
        return false;
    }
    if (!SDL_LoadWAV_RW(rw, 1, &wav, &buf, &len)) {
        std::fprintf(stderr, "reefmere: %s: not a playable WAV file (%s)\n", wavPath, SDL_GetError());
        Stop();
        return false;
    }
    size_t frame = static_cast<size_t>(SDL_AUDIO_BITSIZE(wav.format) / 8) * wav.channels;
    if (len == 0 || frame == 0 || len % frame != 0) {
        std::fprintf(stderr, "reefmere: %s: WAV file holds no whole sample frames\n", wavPath);
        SDL_FreeWAV(buf);
        Stop();
        return false;
    }
    samples_.assign(buf, buf + len);
    SDL_FreeWAV(buf);
    // The device takes the file's own format; SDL converts to the hardware behind it.
    wav.callback = Callback;
    wav.userdata = this;
    wav.samples = 1024;  // about 46 ms at 22.05 kHz: closing waits for one buffer
    SDL_AudioSpec got;
    position_ = 0;
    format_ = wav.format;
    mixVolume_ = static_cast<int>(SoundGainForVolume(volume) * SDL_MIX_MAXVOLUME + 0.5f);
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wav, &got, 0);
    if (device_ == 0) {
        std::fprintf(stderr, "reefmere: no sound device: %s\n", SDL_GetError());
        Stop();
        return false;
    }
    silence_ = got.silence;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SDLSOUND::Fill(uint8_t* stream, int len) {
    std::memset(stream, silence_, static_cast<size_t>(len));
    if (samples_.empty() || mixVolume_ <= 0) return;
    size_t done = 0;
    while (done < static_cast<size_t>(len)) {
        size_t n = std::min(static_cast<size_t>(len) - done, samples_.size() - position_);
        SDL_MixAudioFormat(stream + done, samples_.data() + position_, format_, static_cast<Uint32>(n), mixVolume_);
        done += n;
        position_ += n;
        if (position_ >= samples_.size()) position_ = 0;  // loop
    }
}

void SDLSOUND::Stop() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);  // waits for the callback to return
        device_ = 0;
    }
    samples_.clear();
    position_ = 0;
    if (subsystemUp_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemUp_ = false;
    }
}
