// RGBA canvas and its conversions to TGA lumps.
#include "Image.h"

#include <algorithm>
#include <cmath>

#include "TgaWriter.h"

namespace reefpack {

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float SmoothStep(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

Colour Mix(const Colour& a, const Colour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour Rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f, 1.0f}; }

Image::Image(int w, int h, Colour fill) : width(w), height(h), px(static_cast<size_t>(w) * h * 4) {
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = fill.r;
        px[i + 1] = fill.g;
        px[i + 2] = fill.b;
        px[i + 3] = fill.a;
    }
}

Colour Image::Get(int x, int y) const {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    const float* p = &px[(static_cast<size_t>(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void Image::Set(int x, int y, const Colour& c) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    float* p = &px[(static_cast<size_t>(y) * width + x) * 4];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
}

void Image::Blend(int x, int y, const Colour& c, float coverage) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    float a = Clamp01(c.a * coverage);
    float* p = &px[(static_cast<size_t>(y) * width + x) * 4];
    float outA = a + p[3] * (1 - a);
    if (outA <= 0) return;
    for (int k = 0; k < 3; ++k) {
        float src = k == 0 ? c.r : (k == 1 ? c.g : c.b);
        p[k] = (src * a + p[k] * p[3] * (1 - a)) / outA;
    }
    p[3] = outA;
}

void Image::FillRect(int x0, int y0, int x1, int y1, const Colour& c) {
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width, x1); ++x) Set(x, y, c);
}

std::vector<uint8_t> Image::Bytes(int channels, bool bottomUp) const {
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y) {
        int srcRow = bottomUp ? height - 1 - y : y;
        for (int x = 0; x < width; ++x) {
            const float* p = &px[(static_cast<size_t>(srcRow) * width + x) * 4];
            uint8_t* o = &out[(static_cast<size_t>(y) * width + x) * channels];
            for (int k = 0; k < channels; ++k) o[k] = static_cast<uint8_t>(std::lround(Clamp01(p[k]) * 255.0f));
        }
    }
    return out;
}

std::vector<uint8_t> Image::EncodeTga(int bpp, bool rle) const {
    std::vector<uint8_t> bytes = Bytes(bpp / 8, true);
    return EncodeTGA(bytes, width, height, bpp, rle);
}

}  // namespace reefpack
