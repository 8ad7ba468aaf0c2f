// The looping sound through SDL's disk audio driver: what reaches the "device" file is
// the WAV's samples at the volume's gain, repeated.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/sdl_sound.h"
#include "test_support.h"

using namespace testsupport;

namespace {

// A mono 16-bit WAV file of n samples at 8000 Hz holding a sawtooth.
std::vector<uint8_t> SawtoothWav(int n, std::vector<int16_t>* samples) {
    std::vector<uint8_t> f;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { f.push_back(static_cast<uint8_t>(v)); f.push_back(static_cast<uint8_t>(v >> 8)); };
    auto tag = [&](const char* t) { f.insert(f.end(), t, t + 4); };
    tag("RIFF");
    u32(36 + 2 * n);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    tag("data");
    u32(2 * n);
    for (int i = 0; i < n; ++i) {
        int16_t s = static_cast<int16_t>((i % 100) * 600 - 30000);
        samples->push_back(s);
        u16(static_cast<uint16_t>(s));
    }
    return f;
}

// Plays the file through the disk driver until the output holds `bytes`, then stops.
std::vector<uint8_t> PlayToDisk(const std::string& wav, const std::string& out, float volume, long bytes) {
    ScopedEnv env({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", out}});
    SdlSound sound;
    EXPECT_TRUE(sound.Play(wav.c_str(), volume));
    // Polling the output with an upper bound; correctness does not hang on the timing.
    for (int i = 0; i < 1000 && FileSize(out) < bytes; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sound.Stop();
    sound.Stop();  // repeatable
    return ReadFile(out);
}

}  // namespace

TEST(SdlSound, LoopsTheWavAtFullAndReducedGain) {
    TempDir dir;
    std::vector<int16_t> samples;
    ASSERT_TRUE(WriteFile(dir / "saw.wav", SawtoothWav(700, &samples)));
    const long loopBytes = 2 * 700;

    std::vector<uint8_t> out = PlayToDisk(dir / "saw.wav", dir / "full.raw", 100, 3 * loopBytes);
    ASSERT_GE(static_cast<long>(out.size()), 3 * loopBytes);
    int nonzero = 0;
    for (long i = 0; i < 3 * 700; ++i) {
        int16_t s;
        std::memcpy(&s, &out[2 * i], 2);
        ASSERT_EQ(s, samples[i % 700]) << "sample " << i;  // the loop restarts seamlessly
        nonzero += s != 0;
    }
    EXPECT_GT(nonzero, 2000);

    out = PlayToDisk(dir / "saw.wav", dir / "half.raw", 50, loopBytes);
    ASSERT_GE(static_cast<long>(out.size()), loopBytes);
    for (int i = 0; i < 700; ++i) {
        int16_t s;
        std::memcpy(&s, &out[2 * i], 2);
        EXPECT_NEAR(s, samples[i] / 2, 300) << "sample " << i;
    }

    out = PlayToDisk(dir / "saw.wav", dir / "mute.raw", 0, loopBytes);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "byte " << i;
}

TEST(SdlSound, GainAndFailures) {
    EXPECT_FLOAT_EQ(SoundGainForVolume(100), 1.0f);
    EXPECT_FLOAT_EQ(SoundGainForVolume(250), 1.0f);  // above the sheet's range: still full
    EXPECT_FLOAT_EQ(SoundGainForVolume(25), 0.25f);
    EXPECT_FLOAT_EQ(SoundGainForVolume(0), 0.0f);
    EXPECT_FLOAT_EQ(SoundGainForVolume(-3), 0.0f);

    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "bad.wav", std::string("RIFF\x04\0\0\0WAVEjunk", 16)));
    ScopedEnv env({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", dir / "x.raw"}});
    SdlSound s;
    EXPECT_FALSE(s.Play((dir / "bad.wav").c_str(), 100));
    EXPECT_FALSE(s.Play((dir / "absent.wav").c_str(), 100));
    EXPECT_FALSE(s.Playing());
    // No audio device at all: silence, reported, not a crash.
    std::vector<int16_t> samples;
    ASSERT_TRUE(WriteFile(dir / "ok.wav", SawtoothWav(100, &samples)));
    ScopedEnv noDevice({{"SDL_AUDIODRIVER", std::string("no-such-driver")}});
    EXPECT_FALSE(s.Play((dir / "ok.wav").c_str(), 100));
}
