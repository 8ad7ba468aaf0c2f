// TGA decoding (types 2 and 10, 24/32 bits per pixel). The stream and file variants
// share one decoder written against a small source adapter. Before allocating, the
// decoder checks that the rest of the input can supply the image, so a forged header
// never makes it reserve gigabytes; run-length packets are checked against the pixels
// left before anything is written.
#include "image/TGALoader.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "math/Misc.h"
#include "math/RegularFile.h"

namespace {

// The 12 header bytes up to and including the origin fields: no ID, no colour map,
// origin (0, 0), type 2 or type 10.
const uint8_t uTGAcompare[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t cTGAcompare[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// File-level decoder state (the loaders are not reentrant; all loading is on one thread).
struct TGAHeader {
    uint8_t Header[12];
} tgaheader;

struct TGA {
    uint8_t header[6];  // width lo/hi, height lo/hi, bits per pixel, descriptor
    uint32_t bytesPerPixel;
    uint32_t imageSize;  // bytes
    uint32_t height;
    uint32_t width;
    uint32_t Bpp;
} tga;

// Largest side the current load accepts (set by the public loaders).
uint32_t sideLimit = kTgaMaxSide;

void Alert(const char* text, const char* caption = "ERROR") { MessageBox(nullptr, text, caption, 0); }

// Input adapters: Read returns true only when all n bytes arrived; Remaining is the
// number of bytes left, or -1 when the input cannot tell.
struct STREAMSOURCE {
    std::istream* s;
    bool Read(void* dst, size_t n) {
        s->read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
        return static_cast<size_t>(s->gcount()) == n && !s->fail();
    }
    int64_t Remaining() {
        std::streampos here = s->tellg();
        if (here < 0) return -1;
        s->seekg(0, std::ios::end);
        std::streampos end = s->tellg();
        s->seekg(here);
        if (end < 0 || !*s) {
            s->clear();
            s->seekg(here);
            return -1;
        }
        return static_cast<int64_t>(end - here);
    }
};

struct FILESOURCE {
    FILE* f;
    bool Read(void* dst, size_t n) { return fread(dst, 1, n, f) == n; }
    int64_t Remaining() {
        long here = ftell(f);
        if (here < 0 || fseek(f, 0, SEEK_END) != 0) return -1;
        long end = ftell(f);
        fseek(f, here, SEEK_SET);
        return end < here ? -1 : static_cast<int64_t>(end - here);
    }
};

// Common start of both decoders: info bytes, sizes, and a buffer the input can fill.
// minimumBytes(pixelCount) gives the fewest input bytes that can encode the image.
template <typename Source, typename MinBytes>
bool StartImage(Texture* texture, Source& src, MinBytes minimumBytes) {
    // A record handed in again must not leak the pixels it still holds.
    free(texture->imageData);
    texture->imageData = nullptr;
    if (!src.Read(tga.header, sizeof tga.header)) {
        Alert("Could not read info header");
        return false;
    }
    texture->width = tga.header[1] * 256u + tga.header[0];
    texture->height = tga.header[3] * 256u + tga.header[2];
    texture->bpp = tga.header[4];
    tga.width = texture->width;
    tga.height = texture->height;
    tga.Bpp = texture->bpp;
    if (texture->width == 0 || texture->height == 0 || (texture->bpp != 24 && texture->bpp != 32)) {
        Alert("Invalid texture information");
        return false;
    }
    // The header alone can claim 65535 a side (16 GiB); refuse before reserving memory.
    if (texture->width > sideLimit || texture->height > sideLimit) {
        char text[96];
        snprintf(text, sizeof text, "Texture of %u x %u pixels is larger than %u a side", texture->width,
                 texture->height, sideLimit);
        Alert(text);
        return false;
    }
    texture->type = texture->bpp == 24 ? GL_RGB : GL_RGBA;
    tga.bytesPerPixel = tga.Bpp / 8;
    // At most 65535 x 65535 x 4 bytes: fits in 64 bits, not always in 32.
    const uint64_t size = static_cast<uint64_t>(tga.width) * tga.height * tga.bytesPerPixel;
    const int64_t remaining = src.Remaining();
    if (size > UINT32_MAX || (remaining >= 0 && static_cast<uint64_t>(remaining) <
                                                    minimumBytes(static_cast<uint64_t>(tga.width) * tga.height))) {
        Alert("Could not read image data");
        return false;
    }
    tga.imageSize = static_cast<uint32_t>(size);
    texture->imageData = static_cast<uint8_t*>(malloc(tga.imageSize));
    if (!texture->imageData) {
        Alert("Could not allocate memory for image");
        return false;
    }
    return true;
}

void FailImage(Texture* texture, const char* text) {
    Alert(text);
    free(texture->imageData);
    texture->imageData = nullptr;
}

template <typename Source>
bool DecodeUncompressed(Texture* texture, Source& src) {
    if (!StartImage(texture, src, [](uint64_t pixels) { return pixels * tga.bytesPerPixel; })) return false;
    if (!src.Read(texture->imageData, tga.imageSize)) {
        FailImage(texture, "Could not read image data");
        return false;
    }
    // Stored blue, green, red[, alpha]; wanted red, green, blue[, alpha].
    for (uint32_t i = 0; i < tga.imageSize; i += tga.bytesPerPixel) {
        uint8_t b = texture->imageData[i];
        texture->imageData[i] = texture->imageData[i + 2];
        texture->imageData[i + 2] = b;
    }
    return true;
}

template <typename Source>
bool DecodeCompressed(Texture* texture, Source& src) {
    // Each packet carries at most 128 pixels in one header byte plus one pixel.
    auto minimum = [](uint64_t pixels) { return (pixels + 127) / 128 * (1 + tga.bytesPerPixel); };
    if (!StartImage(texture, src, minimum)) return false;
    const uint32_t pixelCount = tga.width * tga.height;
    const uint32_t bpp = tga.bytesPerPixel;
    uint32_t currentPixel = 0;
    uint8_t* out = texture->imageData;
    uint8_t colour[4];

    auto store = [&]() {
        out[0] = colour[2];
        out[1] = colour[1];
        out[2] = colour[0];
        if (bpp == 4) out[3] = colour[3];
        out += bpp;
        ++currentPixel;
    };

    while (currentPixel < pixelCount) {
        uint8_t chunkHeader = 0;
        if (!src.Read(&chunkHeader, 1)) {
            FailImage(texture, "Could not read RLE header");
            return false;
        }
        const uint32_t count = chunkHeader < 128 ? chunkHeader + 1u : chunkHeader - 127u;
        if (count > pixelCount - currentPixel) {
            FailImage(texture, "Too many pixels read");
            return false;
        }
        if (chunkHeader < 128) {
            for (uint32_t i = 0; i < count; ++i) {
                if (!src.Read(colour, bpp)) {
                    FailImage(texture, "Could not read image data");
                    return false;
                }
                store();
            }
        } else {
            if (!src.Read(colour, bpp)) {
                FailImage(texture, "Could not read from file");
                return false;
            }
            for (uint32_t i = 0; i < count; ++i) store();
        }
    }
    return true;
}

template <typename Source>
bool Dispatch(Texture* texture, Source& src, bool (*uncompressed)(Texture*, Source&),
              bool (*compressed)(Texture*, Source&)) {
    if (!src.Read(tgaheader.Header, sizeof tgaheader.Header)) {
        Alert("Could not read file header");
        return false;
    }
    if (std::memcmp(uTGAcompare, tgaheader.Header, sizeof uTGAcompare) == 0) return uncompressed(texture, src);
    if (std::memcmp(cTGAcompare, tgaheader.Header, sizeof cTGAcompare) == 0) return compressed(texture, src);
    Alert("TGA file be type 2 or type 10 ", "Invalid Image");
    return false;
}

}  // namespace

bool LoadUncompressedTGA2(Texture* texture, std::istream* stream) {
    STREAMSOURCE src{stream};
    return DecodeUncompressed(texture, src);
}

bool LoadCompressedTGA2(Texture* texture, std::istream* stream) {
    STREAMSOURCE src{stream};
    return DecodeCompressed(texture, src);
}

bool LoadUncompressedTGA(Texture* texture, FILE* file) {
    FILESOURCE src{file};
    return DecodeUncompressed(texture, src);
}

bool LoadCompressedTGA(Texture* texture, FILE* file) {
    FILESOURCE src{file};
    return DecodeCompressed(texture, src);
}

bool LoadTGA2(Texture* texture, std::istream* stream, uint32_t maxSide) {
    if (!texture) return false;
    sideLimit = maxSide;
    std::ifstream* file = dynamic_cast<std::ifstream*>(stream);
    if (!stream || (file && !file->is_open())) {
        Alert("Could not open texture file");
        return false;
    }
    STREAMSOURCE src{stream};
    return Dispatch<STREAMSOURCE>(
        texture, src, [](Texture* t, STREAMSOURCE& s) { return DecodeUncompressed(t, s); },
        [](Texture* t, STREAMSOURCE& s) { return DecodeCompressed(t, s); });
}

bool LoadTGA(Texture* texture, const char* path, uint32_t maxSide) {
    if (!texture) return false;
    sideLimit = maxSide;
    FILE* file = FopenRegular(path);
    if (!file) {
        Alert("Could not open texture file");
        return false;
    }
    FILESOURCE src{file};
    bool ok = Dispatch<FILESOURCE>(
        texture, src, [](Texture* t, FILESOURCE& s) { return DecodeUncompressed(t, s); },
        [](Texture* t, FILESOURCE& s) { return DecodeCompressed(t, s); });
    fclose(file);
    return ok;
}
