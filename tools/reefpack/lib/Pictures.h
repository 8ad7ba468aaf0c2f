// Pictures of the resource folder: the fallback background (an underwater scene) and
// the small textures of the resource archive (bubble, sand, caustic light, kelp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Image.h"

namespace reefpack {

// File name of the fallback background in the resource folder.
constexpr const char* kFallbackPictureName = "fallback.jpg";

Image PaintFallbackPicture(int width, int height);
// JPEG bytes (stb_image_write, quality 1..100); empty on failure.
std::vector<uint8_t> EncodeJpeg(const Image& img, int quality);

Image PaintBubble(int size);                   // soft ring with a highlight; alpha from brightness
Image PaintSandTile(int size);                 // tileable sand
Image PaintCausticTile(int size);              // tileable caustic light network
Image PaintKelpSprite(int width, int height);  // frond on black (colour-keyed)

}  // namespace reefpack
