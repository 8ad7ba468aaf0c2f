// RGBA canvas used by every painter of the kit (skins, captions, pictures), with the
// conversions to the byte orders the writers take. Rows are stored top row first.
#pragma once
#include <cstdint>
#include <vector>

namespace reefpack {

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;  // 0..1
};

Colour Mix(const Colour& a, const Colour& b, float t);
Colour Rgb(int r, int g, int b);  // 0..255 components, opaque

struct Image {
    int width = 0, height = 0;
    std::vector<float> px;  // RGBA floats, top row first

    Image() = default;
    Image(int w, int h, Colour fill = {0, 0, 0, 0});
    Colour Get(int x, int y) const;
    void Set(int x, int y, const Colour& c);
    // Source-over blend of c with coverage (0..1).
    void Blend(int x, int y, const Colour& c, float coverage);
    void FillRect(int x0, int y0, int x1, int y1, const Colour& c);

    // 8-bit pixels, 3 or 4 bytes each. bottomUp: rows reversed, as TGA stores them for
    // OpenGL (stored row 0 is the bottom row).
    std::vector<uint8_t> Bytes(int channels, bool bottomUp) const;
    // A TGA lump: bottom row first, 24 or 32 bits, run-length encoded when rle.
    std::vector<uint8_t> EncodeTga(int bpp, bool rle) const;
};

float Clamp01(float v);
float SmoothStep(float e0, float e1, float x);

}  // namespace reefpack
