// TGA writer: 18-byte header (no ID, no colour map, origin 0), pixels as blue, green,
// red[, alpha]; type 10 packs runs of equal pixels and raw stretches, row by row.
#include "TgaWriter.h"

#include <cstdio>
#include <cstring>

#include "LumpWriter.h"

namespace reefpack {

std::vector<uint8_t> EncodeTGA(const uint8_t* pixels, int width, int height, int bpp, bool rle) {
    if (!pixels || width < 1 || height < 1 || width > 65535 || height > 65535 || (bpp != 24 && bpp != 32)) return {};
    const int b = bpp / 8;
    std::vector<uint8_t> out(18, 0);
    out[2] = rle ? 10 : 2;
    out[12] = static_cast<uint8_t>(width & 0xFF);
    out[13] = static_cast<uint8_t>(width >> 8);
    out[14] = static_cast<uint8_t>(height & 0xFF);
    out[15] = static_cast<uint8_t>(height >> 8);
    out[16] = static_cast<uint8_t>(bpp);
    out[17] = bpp == 32 ? 8 : 0;  // alpha bits; origin bottom-left (rows as given)

    auto putPixel = [&](const uint8_t* p) {
        out.push_back(p[2]);
        out.push_back(p[1]);
        out.push_back(p[0]);
        if (b == 4) out.push_back(p[3]);
    };
    auto pixel = [&](int x, int y) { return pixels + (static_cast<size_t>(y) * width + x) * b; };

    if (!rle) {
        out.reserve(18 + static_cast<size_t>(width) * height * b);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) putPixel(pixel(x, y));
        return out;
    }
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            // Length of the run of pixels equal to pixel x (at most 128).
            int run = 1;
            while (x + run < width && run < 128 && std::memcmp(pixel(x, y), pixel(x + run, y), b) == 0) ++run;
            if (run >= 2) {
                out.push_back(static_cast<uint8_t>(127 + run));
                putPixel(pixel(x, y));
                x += run;
                continue;
            }
            // Raw stretch up to the next pair of equal pixels (at most 128).
            int count = 1;
            while (x + count < width && count < 128 &&
                   !(x + count + 1 < width && std::memcmp(pixel(x + count, y), pixel(x + count + 1, y), b) == 0))
                ++count;
            out.push_back(static_cast<uint8_t>(count - 1));
            for (int i = 0; i < count; ++i) putPixel(pixel(x + i, y));
            x += count;
        }
    }
    return out;
}

bool WriteTGA(const std::string& path, const uint8_t* pixels, int width, int height, int bpp, bool rle) {
    std::vector<uint8_t> bytes = EncodeTGA(pixels, width, height, bpp, rle);
    if (bytes.empty()) {
        fprintf(stderr, "reefpack: %s: bad image arguments\n", path.c_str());
        return false;
    }
    return WriteBytes(path, bytes);
}

}  // namespace reefpack
