// The looping ambience: soft moving water with the odd bubble, 16-bit PCM. Every part
// of the signal is periodic in the loop length, so the last sample runs smoothly into
// the first.
#pragma once
#include <cstdint>
#include <vector>

namespace reefpack {

constexpr int kAmbienceRate = 22050;       // samples per second, mono
constexpr float kAmbienceSeconds = 30.0f;  // loop length

std::vector<int16_t> SynthesiseAmbience(int sampleRate, float seconds, uint64_t seed);
// A RIFF/WAVE file of 16-bit mono PCM.
std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, int sampleRate);

}  // namespace reefpack
