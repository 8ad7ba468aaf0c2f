// Power-of-two sizing and the capture upload; GLU does the resampling.
#include "image/TextureSizing.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

int NearestPowerOfTwo(int pixels) {
    if (pixels < 1) return 1;
    const double e = std::floor(std::log(static_cast<double>(pixels)) / std::log(2.0) + 0.5);
    if (e >= 30) return 1 << 30;
    return 1 << static_cast<int>(e);
}

int LargestSideForDetail(int detail, int maxTextureSize) {
    if (detail == 0) return 512;
    if (detail == 1) return 1024;
    return maxTextureSize;
}

void CaptureTextureSize(int width, int height, int detail, int maxTextureSize, int* texWidth, int* texHeight) {
    const int largest = LargestSideForDetail(detail, maxTextureSize);
    int tw = NearestPowerOfTwo(width);
    int th = NearestPowerOfTwo(height);
    if (tw > largest) tw = largest;
    if (th > largest) th = largest;
    if (texWidth) *texWidth = tw;
    if (texHeight) *texHeight = th;
}

int PictureTextureSide(int pixels, int mode, int maxTextureSize) {
    if (mode == 0) return 512;
    if (mode == 1) return 1024;
    // A background finer than a 4K screen shows nothing more through the water's
    // refraction, and an 8192 x 4096 texture alone would cost some 400 MB on the way up.
    const int limit = maxTextureSize < kPicMaxTextureSide ? maxTextureSize : kPicMaxTextureSide;
    const int side = NearestPowerOfTwo(pixels);
    return side > limit ? limit : side;
}

int MaxTextureSize() {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size >= 64 ? size : 64;
}

bool TextureFromCapture(const uint8_t* rgba, int width, int height, int detail, int maxTextureSize, uint32_t* texture) {
    if (!texture) return false;
    auto drop = [texture]() {
        if (*texture != 0) {
            GLuint name = *texture;
            glDeleteTextures(1, &name);
        }
        *texture = 0;
        return false;
    };
    if (!rgba || width < 1 || height < 1) return drop();

    if (*texture == 0) {
        GLuint name = 0;
        glGenTextures(1, &name);
        *texture = name;
    }
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    int tw = 0, th = 0;
    CaptureTextureSize(width, height, detail, maxTextureSize, &tw, &th);
    uint8_t* scaled = static_cast<uint8_t*>(malloc(static_cast<size_t>(tw) * th * 4));
    if (!scaled) return drop();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const GLint err = gluScaleImage(GL_RGBA, width, height, GL_UNSIGNED_BYTE, rgba, tw, th, GL_UNSIGNED_BYTE, scaled);
    if (err != 0) {
        fprintf(stderr, "reefmere: cannot scale the screen capture: %s\n",
                reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(err))));
        free(scaled);
        return drop();
    }
    bool anyColour = false;
    const size_t pixels = static_cast<size_t>(tw) * th;
    for (size_t i = 0; i < pixels && !anyColour; ++i)
        anyColour = scaled[i * 4] != 0 || scaled[i * 4 + 1] != 0 || scaled[i * 4 + 2] != 0;
    if (!anyColour) {
        free(scaled);
        return drop();
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, scaled);
    free(scaled);
    return true;
}
