// The looping background sound through SDL2's audio subsystem alone: no SDL video, and
// no SDL signal handlers (the screen-saver daemon stops hacks with SIGTERM, which must
// reach our own handler). A missing audio device means silence, not a failure of the view.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The gain applied to the sound for a stored volume: 0 silent, 100 and above full (1.0).
float SoundGainForVolume(float volume);

class SDLSOUND {
public:
    SDLSOUND() = default;
    ~SDLSOUND() { Stop(); }
    SDLSOUND(const SDLSOUND&) = delete;
    SDLSOUND& operator=(const SDLSOUND&) = delete;

    // Loads the WAV file and plays it in a loop at the volume's gain. False (one line on
    // stderr) when there is no audio device or the file cannot be read; playing again
    // replaces what plays.
    bool Play(const char* wavPath, float volume);
    // Stops and closes the device; safe to repeat.
    void Stop();
    bool Playing() const { return device_ != 0; }

    // Audio thread entry; public only for the C callback.
    void Fill(uint8_t* stream, int len);

private:
    uint32_t device_ = 0;           // SDL_AudioDeviceID
    std::vector<uint8_t> samples_;  // the WAV data in the device's format
    size_t position_ = 0;           // bytes into samples_, audio thread only
    int mixVolume_ = 0;             // 0..SDL_MIX_MAXVOLUME
    uint16_t format_ = 0;           // SDL_AudioFormat
    uint8_t silence_ = 0;
    bool subsystemUp_ = false;
};
