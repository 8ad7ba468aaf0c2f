// Texture sizes for pictures and screen captures: the nearest power of two in the
// logarithm, limited by the detail level and the GL maximum; and the upload of a
// captured RGBA block scaled to that size.
#pragma once

#include <cstdint>

// 2 ^ floor(0.5 + log2(pixels)): 700 -> 512, 800 -> 1024, 1448 -> 1024, 1449 -> 2048.
// 1 for anything below 1.
int NearestPowerOfTwo(int pixels);

// Largest texture side for a detail level: 0 -> 512, 1 -> 1024, else maxTextureSize.
int LargestSideForDetail(int detail, int maxTextureSize);

// Texture size of a capture of width x height pixels: each side the nearest power of
// two, lowered to the detail level's largest side.
void CaptureTextureSize(int width, int height, int detail, int maxTextureSize, int* texWidth, int* texHeight);

// Largest texture side made from a picture at the highest detail.
constexpr int kPicMaxTextureSide = 4096;

// Texture side of a picture for the background-resolution mode: 0 -> 512, 1 -> 1024,
// otherwise the nearest power of two limited to maxTextureSize and kPicMaxTextureSide.
int PictureTextureSide(int pixels, int mode, int maxTextureSize);

// GL_MAX_TEXTURE_SIZE of the current context (at least 64).
int MaxTextureSize();

// Turns a captured screen (width x height RGBA rows, bottom row first) into a bound
// power-of-two RGBA8 texture scaled with gluScaleImage. *texture is reused when non-zero,
// else a name is generated into it. A scaling error or a capture with no non-black pixel
// (alpha ignored) deletes the texture, sets *texture to 0 and returns false. Needs a
// current GL context.
bool TextureFromCapture(const uint8_t* rgba, int width, int height, int detail, int maxTextureSize, uint32_t* texture);
