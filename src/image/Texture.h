// Decoded images and their OpenGL textures: the shared Texture record, the builders that
// upload an image as RGBA8 (with an alpha chosen by texture mode or by a mask), and the
// loader of a whole texture set from the resource archive.
#pragma once

#include <cstdint>

// One image and/or its GL texture. Destroying it frees the pixels (free) and deletes
// the GL texture, so a GL context must be current when one with a texID goes away.
struct Texture {
    uint8_t* imageData = nullptr;  // malloc'ed pixels, RGB or RGBA; null once uploaded
    uint32_t bpp = 0;              // bits per pixel of imageData: 24 or 32
    uint32_t width = 0;            // pixels
    uint32_t height = 0;           // pixels
    uint32_t texID = 0;            // GL texture name; 0 = none
    uint32_t type = 0;             // GL_RGB or GL_RGBA

    Texture() = default;
    ~Texture() { Destroy(); }
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    Texture(Texture&& other) noexcept;
    Texture& operator=(Texture&& other) noexcept;

    // Frees the pixels and deletes the GL texture; the record is empty afterwards.
    // Safe to repeat.
    void Destroy();
};

// Texture modes, stored per lump in the archive directories.
enum {
    TEXMODE_OPAQUE = 0,     // alpha 255 (any value other than 1 and 2)
    TEXMODE_COLOURKEY = 1,  // alpha 0 where the texel equals the first pixel's colour
    TEXMODE_BRIGHTNESS = 2  // alpha = largest of red, green, blue
};

// Uploads tex->imageData as an RGBA8 texture into a new tex->texID (linear filtering,
// repeat wrap, no mipmaps), then frees imageData. False when there is no image or the
// conversion buffer cannot be had.
bool BuildTexture(Texture* tex, int mode);

// As BuildTexture, with each texel's alpha taken from the red byte of the mask pixel at
// the same index. Both images must be 24-bit and of the same size; otherwise false with
// one line on stderr. The mask's pixels stay with the mask.
bool BuildTGATextureWithAlpha(Texture* tex, Texture* mask);

// Loads every TGA lump of the resource archive at path into a new[]-allocated array
// of *count textures (slot k = lump k; non-image lumps leave their slot empty). The
// array is handed out as soon as it exists, so the caller releases it (delete[]) even
// when this returns false.
bool LoadTexturesFromDataFile(const char* path, Texture** textures, int* count);
