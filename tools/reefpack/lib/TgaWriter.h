// Writer of TGA images: type 2 (uncompressed) and type 10 (run-length encoded) true
// colour at 24 or 32 bits per pixel, origin fields 0, no ID and no colour map, so the
// Reefmere decoder accepts every image written here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reefpack {

// pixels: width x height pixels of 3 (RGB) or 4 (RGBA) bytes, rows in the order they are
// to be stored (the decoder hands them to OpenGL as they are, so row 0 is the bottom
// row). bpp: 24 or 32. rle: type 10 when true, else type 2. Run and raw packets never
// cross a row, as the TGA format recommends. Empty on bad arguments.
std::vector<uint8_t> EncodeTGA(const uint8_t* pixels, int width, int height, int bpp, bool rle);
inline std::vector<uint8_t> EncodeTGA(const std::vector<uint8_t>& pixels, int width, int height, int bpp, bool rle) {
    if (pixels.size() < static_cast<size_t>(width) * height * (bpp / 8)) return {};
    return EncodeTGA(pixels.data(), width, height, bpp, rle);
}

// Encodes and writes to path (atomically); false with one line on stderr on failure.
bool WriteTGA(const std::string& path, const uint8_t* pixels, int width, int height, int bpp, bool rle);

}  // namespace reefpack
