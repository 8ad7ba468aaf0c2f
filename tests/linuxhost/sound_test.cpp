// The looping sound through SDL's disk driver: the WAV's samples at the gain, seamless.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/sdl_sound.h"
#include "test_support.h"

using namespace testsupport;

namespace {

// A mono 16-bit WAV file at 8000 Hz holding n samples of a sawtooth (first sample loud).
std::vector<uint8_t> SawtoothWav(int n, std::vector<int16_t>* samples) {
    std::vector<uint8_t> f;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const char* tags = "RIFFWAVEfmt data";
    f.assign(tags, tags + 4);
    put(36 + 2 * n, 4);
    f.insert(f.end(), tags + 4, tags + 12);
    // Chunk size, PCM, mono, rate, bytes a second, bytes a frame, bits a sample.
    const std::pair<uint32_t, int> fmt[] = {{16, 4}, {1, 2}, {1, 2}, {8000, 4}, {16000, 4}, {2, 2}, {16, 2}};
    for (const auto& [v, bytes] : fmt) put(v, bytes);
    f.insert(f.end(), tags + 12, tags + 16);
    put(2 * n, 4);
    for (int i = 0; i < n; ++i) {
        samples->push_back(static_cast<int16_t>((i % 100) * 600 - 30000));
        put(static_cast<uint16_t>(samples->back()), 2);
    }
    return f;
}

// Plays through the disk driver until `count` samples from the first non-zero one (SDL
// may write silence before Play unpauses it) are written.
std::vector<int16_t> PlayToDisk(const std::string& wav, const std::string& out, float volume, size_t count) {
    ScopedEnv env({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", out}});
    SDLSOUND sound;
    EXPECT_TRUE(sound.Play(wav.c_str(), volume));
    std::vector<int16_t> got;
    for (int i = 0; i < 1000; ++i) {
        std::vector<uint8_t> raw = ReadFile(out);
        got.resize(raw.size() / 2);
        if (!got.empty()) std::memcpy(got.data(), raw.data(), got.size() * 2);
        size_t first = 0;
        while (first < got.size() && got[first] == 0) first++;
        if (got.size() - first >= count) {
            got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(first));
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sound.Stop();
    sound.Stop();  // repeatable
    return got;
}

}  // namespace

TEST(SDLSOUND, LoopsTheWavAtFullAndReducedGain) {
    TempDir dir;
    std::vector<int16_t> samples;
    ASSERT_TRUE(WriteFile(dir / "saw.wav", SawtoothWav(700, &samples)));
    std::vector<int16_t> out = PlayToDisk(dir / "saw.wav", dir / "full.raw", 100, 3 * 700);
    ASSERT_GE(out.size(), 3u * 700);
    for (size_t i = 0; i < 3 * 700; ++i) ASSERT_EQ(out[i], samples[i % 700]) << "sample " << i;

    out = PlayToDisk(dir / "saw.wav", dir / "half.raw", 50, 700);
    ASSERT_GE(out.size(), 700u);
    for (size_t i = 0; i < 700; ++i) ASSERT_NEAR(out[i], samples[i] / 2, 300) << "sample " << i;
}

TEST(SDLSOUND, GainAndFailures) {
    EXPECT_FLOAT_EQ(SoundGainForVolume(250), 1.0f);  // above the sheet's range: still full
    EXPECT_FLOAT_EQ(SoundGainForVolume(25), 0.25f);
    EXPECT_FLOAT_EQ(SoundGainForVolume(-3), 0.0f);
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "bad.wav", std::string("RIFF\x04\0\0\0WAVEjunk", 16)));
    ScopedEnv env({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", dir / "x.raw"}});
    SDLSOUND s;
    EXPECT_FALSE(s.Play((dir / "bad.wav").c_str(), 100));
    EXPECT_FALSE(s.Play((dir / "absent.wav").c_str(), 100));
    EXPECT_FALSE(s.Playing());
    // No audio device at all: silence, reported, not a crash.
    std::vector<int16_t> samples;
    ASSERT_TRUE(WriteFile(dir / "ok.wav", SawtoothWav(100, &samples)));
    ScopedEnv noDevice({{"SDL_AUDIODRIVER", std::string("no-such-driver")}});
    EXPECT_FALSE(s.Play((dir / "ok.wav").c_str(), 100));
}
