// Water ambience synthesis. Filters run twice around the loop (the first pass only
// settles their state), slow swells complete whole cycles per loop and bubbles that run
// past the end wrap to the start, so the loop point has no seam.
#include "Sound.h"

#include <algorithm>
#include <cmath>

#include "Prng.h"

namespace reefpack {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// One-pole low-pass run circularly: the returned samples are those of the second pass.
std::vector<float> CircularLowPass(const std::vector<float>& in, double cutoffHz, int rate) {
    double a = 1 - std::exp(-kTwoPi * cutoffHz / rate);
    std::vector<float> out(in.size());
    double y = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < in.size(); ++i) {
            y += a * (in[i] - y);
            if (pass == 1) out[i] = static_cast<float>(y);
        }
    return out;
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
void PutU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

}  // namespace

std::vector<int16_t> SynthesiseAmbience(int rate, float seconds, uint64_t seed) {
    const size_t n = static_cast<size_t>(rate * seconds);
    Prng rng(seed);
    std::vector<float> white(n);
    for (float& s : white) s = rng.Range(-1, 1);

    // Deep rumble (two low-pass stages) and a fainter, brighter wash of moving water.
    std::vector<float> deep = CircularLowPass(CircularLowPass(white, 180, rate), 240, rate);
    std::vector<float> wash = CircularLowPass(white, 1400, rate);
    std::vector<float> washLow = CircularLowPass(wash, 500, rate);
    std::vector<float> mix(n);
    const double loop = static_cast<double>(n);
    for (size_t i = 0; i < n; ++i) {
        double ph = kTwoPi * i / loop;
        // Swells with whole numbers of cycles per loop.
        double swell = 0.65 + 0.2 * std::sin(3 * ph + 0.4) + 0.1 * std::sin(7 * ph + 1.3) + 0.05 * std::sin(13 * ph);
        double lap = 0.5 + 0.5 * std::sin(5 * ph + 2.0);
        mix[i] = static_cast<float>(deep[i] * 9.0 * swell + (wash[i] - washLow[i]) * 0.9 * lap * swell);
    }

    // Bubbles: short rising chirps, a few alone and a few in little trains.
    int events = 18;
    for (int e = 0; e < events; ++e) {
        size_t start = static_cast<size_t>(rng.Unit() * n);
        int train = rng.Unit() < 0.35f ? 2 + rng.Below(4) : 1;
        for (int b = 0; b < train; ++b) {
            double f0 = rng.Range(380, 1300);
            double dur = rng.Range(0.04f, 0.11f);
            double amp = rng.Range(0.08f, 0.2f);
            double rise = rng.Range(0.15f, 0.45f);
            size_t len = static_cast<size_t>(dur * rate);
            double phase = 0;
            for (size_t k = 0; k < len; ++k) {
                double t = static_cast<double>(k) / rate;
                double f = f0 * (1 + rise * t / dur);
                phase += kTwoPi * f / rate;
                double env = (1 - std::exp(-t / 0.002)) * std::exp(-t / (dur * 0.3));
                mix[(start + k) % n] += static_cast<float>(amp * env * std::sin(phase));
            }
            start += static_cast<size_t>(rng.Range(0.05f, 0.18f) * rate);
        }
    }

    double mean = 0;
    for (float s : mix) mean += s;
    mean /= static_cast<double>(n);
    float peak = 1e-6f;
    for (float& s : mix) {
        s -= static_cast<float>(mean);
        peak = std::max(peak, std::fabs(s));
    }
    // A soft ambience: peaks at about 45 % of full scale.
    float gain = 0.45f * 32767.0f / peak;
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i] * gain, -32767.0f, 32767.0f)));
    return out;
}

std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, int rate) {
    std::vector<uint8_t> b;
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    PutTag(b, "RIFF");
    PutU32(b, 36 + dataBytes);
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    PutU32(b, 16);
    PutU16(b, 1);  // PCM
    PutU16(b, 1);  // mono
    PutU32(b, static_cast<uint32_t>(rate));
    PutU32(b, static_cast<uint32_t>(rate * 2));
    PutU16(b, 2);
    PutU16(b, 16);
    PutTag(b, "data");
    PutU32(b, dataBytes);
    for (int16_t s : samples) PutU16(b, static_cast<uint16_t>(s));
    return b;
}

}  // namespace reefpack
