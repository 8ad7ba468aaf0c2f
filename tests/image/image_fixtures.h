// Helpers shared by the image tests.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace imagetest {

// The uploaded level 0 of a texture as RGBA bytes, bottom row first; its size in *w, *h.
inline std::vector<std::uint8_t> ReadTexture(std::uint32_t name, int* w = nullptr, int* h = nullptr) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint tw = 0, th = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    if (w) *w = tw;
    if (h) *h = th;
    std::vector<std::uint8_t> out(static_cast<size_t>(tw) * th * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}

}  // namespace imagetest
