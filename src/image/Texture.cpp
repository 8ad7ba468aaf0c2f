// Texture record lifetime, the RGBA8 builders and the resource texture set loader.
#include "image/Texture.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "data/ResFile.h"
#include "image/TGALoader.h"

Texture::Texture(Texture&& other) noexcept
    : imageData(other.imageData),
      bpp(other.bpp),
      width(other.width),
      height(other.height),
      texID(other.texID),
      type(other.type) {
    other.imageData = nullptr;
    other.texID = 0;
}

Texture& Texture::operator=(Texture&& other) noexcept {
    if (this != &other) {
        Destroy();
        imageData = other.imageData;
        bpp = other.bpp;
        width = other.width;
        height = other.height;
        texID = other.texID;
        type = other.type;
        other.imageData = nullptr;
        other.texID = 0;
    }
    return *this;
}

void Texture::Destroy() {
    free(imageData);
    imageData = nullptr;
    if (texID != 0) {
        GLuint name = texID;
        glDeleteTextures(1, &name);
    }
    texID = 0;
}

namespace {

// Generates (or replaces) tex's GL name and uploads rgba as width x height RGBA8.
void Upload(Texture* tex, const uint8_t* rgba) {
    if (tex->texID != 0) {
        GLuint old = tex->texID;
        glDeleteTextures(1, &old);
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    tex->texID = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, static_cast<GLsizei>(tex->width), static_cast<GLsizei>(tex->height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

uint8_t* NewRGBA(const Texture* tex) {
    const size_t bytes = static_cast<size_t>(tex->width) * tex->height * 4;
    return bytes ? static_cast<uint8_t*>(malloc(bytes)) : nullptr;
}

}  // namespace

bool BuildTexture(Texture* tex, int mode) {
    if (!tex || !tex->imageData || tex->width == 0 || tex->height == 0) return false;
    const size_t stride = tex->type == GL_RGBA ? 4 : 3;
    const uint8_t* src = tex->imageData;
    const uint8_t key[3] = {src[0], src[1], src[2]};  // colour key of mode 1
    uint8_t* rgba = NewRGBA(tex);
    if (!rgba) return false;
    const size_t pixels = static_cast<size_t>(tex->width) * tex->height;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* s = src + i * stride;
        uint8_t* d = rgba + i * 4;
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        if (mode == TEXMODE_COLOURKEY) {
            d[3] = (s[0] == key[0] && s[1] == key[1] && s[2] == key[2]) ? 0 : 255;
        } else if (mode == TEXMODE_BRIGHTNESS) {
            uint8_t m = s[0] > s[1] ? s[0] : s[1];
            d[3] = m > s[2] ? m : s[2];
        } else {
            d[3] = 255;
        }
    }
    Upload(tex, rgba);
    free(tex->imageData);
    tex->imageData = nullptr;
    free(rgba);
    return true;
}

bool BuildTGATextureWithAlpha(Texture* tex, Texture* mask) {
    if (!tex || !tex->imageData || !mask || !mask->imageData || tex->width == 0 || tex->height == 0) return false;
    // The mask is read pixel for pixel against the skin; anything else would read past
    // one of them or pair the wrong pixels.
    if (mask->width != tex->width || mask->height != tex->height || mask->bpp != tex->bpp || mask->type != tex->type) {
        fprintf(stderr, "reefmere: alpha mask %ux%u at %u bits does not match its %ux%u %u-bit skin; skin skipped\n",
                mask->width, mask->height, mask->bpp, tex->width, tex->height, tex->bpp);
        return false;
    }
    const size_t stride = tex->type == GL_RGBA ? 4 : 3;
    uint8_t* rgba = NewRGBA(tex);
    if (!rgba) return false;
    const size_t pixels = static_cast<size_t>(tex->width) * tex->height;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* s = tex->imageData + i * stride;
        uint8_t* d = rgba + i * 4;
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = mask->imageData[i * stride];
    }
    Upload(tex, rgba);
    free(tex->imageData);
    tex->imageData = nullptr;
    free(rgba);
    return true;
}

bool LoadTexturesFromDataFile(const char* path, Texture** textures, int* count) {
    if (!textures || !count) return false;
    RESFILE* archive = new (std::nothrow) RESFILE;
    if (!archive) return false;
    if (!archive->Open(path)) {
        fprintf(stderr, "reefmere: %s: not a readable resource archive\n", path ? path : "(no path)");
        delete archive;
        return false;
    }
    const int n = archive->LumpCount();
    Texture* array = new (std::nothrow) Texture[n > 0 ? n : 1];
    if (!array) {
        delete archive;
        return false;
    }
    *textures = array;
    *count = n;
    bool ok = true;
    for (int k = 0; k < n && ok; ++k) {
        if (archive->lumps[k].kind != kLumpKindTGA) continue;  // slot stays empty
        ok = archive->SeekLump(k) && LoadTGA2(&array[k], &archive->stream) &&
             BuildTexture(&array[k], static_cast<int>(archive->lumps[k].mode));
        if (!ok) fprintf(stderr, "reefmere: %s: lump %d is not a usable image\n", path, k);
    }
    delete archive;
    return ok;
}
