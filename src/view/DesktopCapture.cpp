// The screen capture for background type 0: the host hands over the pixels under the
// view (RGBA rows, bottom first); image/TextureSizing scales them to a power-of-two
// texture sized by the detail level and refuses an all-black capture.
#include <cstdlib>

#include "image/TextureSizing.h"
#include "view/ReefmereView.h"

void ReefmereView::GetDesktopTexture(uint32_t* texture, int detail) {
    if (!texture || !host.captureScreen) return;
    int w = 0, h = 0;
    uint8_t* pixels = host.captureScreen(host.user, &w, &h);
    if (!pixels || w <= 0 || h <= 0 || !MakeCurrent()) {
        free(pixels);
        return;
    }
    // On failure (an all-black read means the capture did not work) the texture is
    // deleted and zeroed, so the desktop picture is used instead.
    TextureFromCapture(pixels, w, h, detail, MaxTextureSize(), texture);
    free(pixels);
}
