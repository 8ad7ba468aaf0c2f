// The screen capture for background type 0: the host hands over the pixels under the
// view (RGBA rows, bottom first); this scales them to a power-of-two texture sized by the
// detail level and refuses an all-black capture.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "view/ReefmereView.h"

namespace {

// Largest texture side for a detail level, pixels.
int LargestSide(int detail) {
    if (detail == 0) return 512;
    if (detail == 1) return 1024;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    return maxSize > 0 ? maxSize : 1024;
}

// Nearest power of two, rounding in the logarithm (1448 -> 1024, 1449 -> 2048).
int NearestPowerOfTwo(int n) {
    if (n <= 1) return 1;
    double e = std::floor(std::log(static_cast<double>(n)) / std::log(2.0) + 0.5);
    if (e > 30) e = 30;
    return 1 << static_cast<int>(e);
}

}  // namespace

void ReefmereView::GetDesktopTexture(uint32_t* texture, int detail) {
    if (!texture || !host.captureScreen) return;
    int w = 0, h = 0;
    uint8_t* pixels = host.captureScreen(host.user, &w, &h);
    if (!MakeCurrent()) {
        free(pixels);
        return;
    }
    if (!pixels || w <= 0 || h <= 0) {
        free(pixels);
        return;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (*texture == 0) glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    int largest = LargestSide(detail);
    int tw = NearestPowerOfTwo(w), th = NearestPowerOfTwo(h);
    if (tw > largest) tw = largest;
    if (th > largest) th = largest;

    std::vector<uint8_t> scaled(static_cast<size_t>(tw) * th * 4);
    GLint err = gluScaleImage(GL_RGBA, w, h, GL_UNSIGNED_BYTE, pixels, tw, th, GL_UNSIGNED_BYTE, scaled.data());
    free(pixels);
    if (err != 0) {
        glDeleteTextures(1, texture);
        *texture = 0;
        return;
    }
    bool anyLight = false;
    for (size_t i = 0; i + 3 < scaled.size() && !anyLight; i += 4)
        anyLight = scaled[i] || scaled[i + 1] || scaled[i + 2];
    if (!anyLight) {
        // An all-black read means the capture did not work; the desktop picture is used.
        glDeleteTextures(1, texture);
        *texture = 0;
        return;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, scaled.data());
}
