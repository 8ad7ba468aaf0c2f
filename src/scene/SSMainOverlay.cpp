// The two flat passes around the 3D scene, in pixels (y up): the underlay draws the
// background picture, wobbling and dimmed below the water line and plain above it; the
// overlay slides the banner and a caption in and out and fades the title card in once a
// minute. StepOverlay (part of Update) moves the banner and runs the card timer and
// `fade` (0..1); the underlay and 3D passes darken by it, DoOverlay only draws.
#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "image/Texture.h"
#include "math/Misc.h"
#include "scene/SSMain.h"
#include "water/Background.h"

namespace {

// Overlay timing, seconds.
const float kBannerShownPhase = 20.0f;
const float kBannerHiddenPhase = 30.0f;
const float kCardCycle = 40.0f;  // clear time after a card, then 20 s dimmed
const float kCardHold = -20.0f;  // the card stays until cardTimer goes below this
const double kFadeSpeed = 0.5;   // per second, up and down

// Banner and caption sizes, pixels; the card in units of a 1024 x 768 screen.
const float kBannerWidth = 256.0f;
const float kBannerHeight = 32.0f;
const float kCaptionWidth = 512.0f;
const float kBannerMargin = 40.0f;  // resting below the top edge / parking beyond an edge
const float kBannerBottomRest = 5.0f;
const float kCardY = 352.0f;
const float kCardWidth = 1024.0f;
const float kCardHeight = 64.0f;

// The wobbling picture reaches this far (pixels) above the water line, under the plain
// one, so that no pixel along the line is left uncovered by both.
const double kUnderlayOverlap = 2.0;

// Largest side of the picture that gets a darkened copy (16 MB at most).
const int kDimmedMaxSide = 2048;

const int kBannerSlot = 1;
const int kFirstCaptionSlot = 4;
const int kCaptionCount = 5;

void Quad(float w, float h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(w, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(w, h, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, h, 0.0f);
    glEnd();
}

// GL name of a resource texture slot; 0 (no texture) for a slot the archive lacks.
uint32_t SlotTexture(const SSMAIN* scene, int slot) {
    if (!scene->resTextures || slot < 0 || slot >= scene->textureCount) return 0;
    return scene->resTextures[slot].texID;
}

void PixelProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Flat, unlit, opaque drawing of a texture in pixels.
void PixelPicture(int width, int height, uint32_t texture) {
    PixelProjection(width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
}

}  // namespace

void SSMAIN::DoUnderlay() {
    PixelPicture(viewWidth, viewHeight, backgroundTexture);

    // The water line as a plane in pixels about the screen centre, tilting with the tank:
    // n . p + d >= 0 above it.
    const float w = static_cast<float>(viewWidth), h = static_cast<float>(viewHeight);
    VECTOR3D n = MakePoint(0.0f, 1.0f, 0.0f);
    if (smsActive) Rotate(&n, 0.0f, 0.0f, -underlayRoll);
    const double d = static_cast<double>(-static_cast<float>(viewHeight) * waterLevel) + viewHeight * 0.5;
    const GLdouble plane[4] = {n.x, n.y, 0.0, d};

    // Below the water: the wobbling picture at three quarters brightness. Only up to
    // kUnderlayOverlap pixels above the line: the plain picture covers the rest, and on a
    // software rasteriser every full-screen textured pass costs milliseconds.
    const GLdouble below[4] = {-n.x, -n.y, 0.0, -d + kUnderlayOverlap};
    glPushMatrix();
    glTranslatef(w * 0.5f, h * 0.5f, 0.0f);
    glClipPlane(GL_CLIP_PLANE0, below);
    glPopMatrix();
    glEnable(GL_CLIP_PLANE0);
    float c = static_cast<float>(sceneFade * -0.75 + 0.75);
    if (dimTexture) {
        // Already at three quarters: unfaded, drawn as it is.
        glBindTexture(GL_TEXTURE_2D, dimTexture);
        c = 1.0f - sceneFade;
        if (c == 1.0f) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
    glColor4f(c, c, c, 1.0f);
    if (background && !(skipPasses & kSkipBelow)) background->Draw(viewWidth, viewHeight, waterLevel, frameTime);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, backgroundTexture);

    // Above the water: the plain picture, cut by the water line. From the copy made at the
    // view size where there is one: a 1:1 nearest copy costs a software rasteriser much
    // less than filtering the picture again, and it is the same picture (dimmed after the
    // filtering rather than before: at most 1/255 apart while the card fades).
    glTranslatef(w * 0.5f, h * 0.5f, 0.0f);
    c = 1.0f - sceneFade;
    glColor4f(c, c, c, 1.0f);
    const bool copy = pictureTexture != 0 && pictureSource == backgroundTexture && pictureWidth == viewWidth &&
                      pictureHeight == viewHeight;
    if (copy) glBindTexture(GL_TEXTURE_2D, pictureTexture);
    const bool level = n.x == 0.0f && n.y == 1.0f;
    if (skipPasses & kSkipAbove) {
        // Measuring without it.
    } else if (copy && level) {
        // Level: the rows above the line as one rectangle, no clipping.
        glDisable(GL_CLIP_PLANE0);
        const float line = static_cast<float>(-d);
        if (line < h / 2) {
            const float bottom = line < -h / 2 ? -h / 2 : line;
            const float tb = bottom / h + 0.5f;
            // Undimmed it is a plain copy, which the rasteriser may do without shading.
            if (c == 1.0f) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
            glBegin(GL_QUADS);
            glTexCoord2f(0.0f, tb);
            glVertex3f(-w / 2, bottom, 0.0f);
            glTexCoord2f(1.0f, tb);
            glVertex3f(w / 2, bottom, 0.0f);
            glTexCoord2f(1.0f, 1.0f);
            glVertex3f(w / 2, h / 2, 0.0f);
            glTexCoord2f(0.0f, 1.0f);
            glVertex3f(-w / 2, h / 2, 0.0f);
            glEnd();
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        }
    } else {
        glClipPlane(GL_CLIP_PLANE0, plane);
        glEnable(GL_CLIP_PLANE0);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-w / 2, -h / 2, 0.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(w / 2, -h / 2, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(w / 2, h / 2, 0.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-w / 2, h / 2, 0.0f);
        glEnd();
    }
    glDisable(GL_CLIP_PLANE0);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void SSMAIN::PreparePicture() {
    if (pictureTexture != 0 && pictureSource == backgroundTexture && pictureWidth == viewWidth &&
        pictureHeight == viewHeight)
        return;
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    if (backgroundTexture == 0 || viewWidth <= 0 || viewHeight <= 0 || viewWidth > most || viewHeight > most) {
        if (pictureTexture) glDeleteTextures(1, &pictureTexture);
        pictureTexture = 0;
        return;
    }
    // The picture over the whole buffer, filtered as the plain pass used to draw it, then
    // copied; the frame's own drawing starts from a clear buffer again.
    PixelPicture(viewWidth, viewHeight, backgroundTexture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    Quad(static_cast<float>(viewWidth), static_cast<float>(viewHeight));
    if (!pictureTexture) glGenTextures(1, &pictureTexture);
    glBindTexture(GL_TEXTURE_2D, pictureTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    while (glGetError() != GL_NO_ERROR) {}
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 0, 0, viewWidth, viewHeight, 0);
    if (glGetError() != GL_NO_ERROR) {
        // No copy: the plain pass filters the picture itself.
        glDeleteTextures(1, &pictureTexture);
        pictureTexture = 0;
    } else {
        pictureSource = backgroundTexture;
        pictureWidth = viewWidth;
        pictureHeight = viewHeight;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void SSMAIN::PrepareDimmed() {
    if (dimSource == backgroundTexture) return;
    if (dimTexture) glDeleteTextures(1, &dimTexture);
    dimTexture = 0;
    dimSource = backgroundTexture;
    if (backgroundTexture == 0) return;
    glBindTexture(GL_TEXTURE_2D, backgroundTexture);
    GLint w = 0, h = 0, wrapS = GL_REPEAT, wrapT = GL_REPEAT;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    // A larger picture would cost more memory twice over than the multiply it saves.
    if (w < 1 || h < 1 || w > kDimmedMaxSide || h > kDimmedMaxSide) return;
    std::vector<unsigned char> px(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    while (glGetError() != GL_NO_ERROR) {}
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    if (glGetError() != GL_NO_ERROR) return;
    for (size_t i = 0; i < px.size(); i += 4)
        for (size_t k = 0; k < 3; ++k) px[i + k] = static_cast<unsigned char>((px[i + k] * 3 + 2) / 4);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return;
    }
    dimTexture = name;
}

void SSMAIN::StepOverlay() {
    // Banner state: shown 20 s, hidden 30 s, alternating between the top and bottom edge.
    bannerTimer = static_cast<float>(bannerTimer - frameTime);
    if (!(bannerTimer >= 0.0f)) {
        bannerTimer = kBannerHiddenPhase;
        if (!bannerShown) {
            captionSlot = static_cast<uint32_t>(rand() % kCaptionCount + kFirstCaptionSlot);
            bannerPos.x = (rand() % 2 == 1) ? static_cast<float>(viewWidth) - kBannerWidth : 0.0f;
            bannerAtTop = !bannerAtTop;
            bannerPos.y = bannerAtTop ? static_cast<float>(viewHeight) + kBannerMargin : -kBannerMargin;
            bannerTimer = kBannerShownPhase;
        }
        bannerShown = !bannerShown;
    }

    // Banner motion: ease towards the goal by frameTime of the gap each frame.
    const float vh = static_cast<float>(viewHeight);
    if (bannerShown || bannerAtTop) {
        const float goal = bannerShown ? (bannerAtTop ? vh - kBannerMargin : kBannerBottomRest) : vh + kBannerMargin;
        const float gap = goal - bannerPos.y;
        bannerPos.y = static_cast<float>(bannerPos.y + gap * frameTime);
    } else {
        const double gap = -40.0 - bannerPos.y;
        bannerPos.y = static_cast<float>(bannerPos.y + gap * frameTime);
    }

    // Title card: 40 s clear, then 2 s fading in, held until 20 s after it began, 2 s out.
    cardTimer = static_cast<float>(cardTimer - frameTime);
    if (cardTimer < 0.0f) {
        fade = fade >= 1.0f ? 1.0f : static_cast<float>(fade + kFadeSpeed * frameTime);
        if (cardTimer < kCardHold) cardTimer = kCardCycle;
    } else if (fade > 0.0f) {
        fade = static_cast<float>(fade - kFadeSpeed * frameTime);
    } else {
        fade = 0.0f;
    }
}

void SSMAIN::DoOverlay() {
    PixelProjection(viewWidth, viewHeight);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);

    // Both quads every frame, also while parked off screen.
    glPushMatrix();
    glTranslatef(bannerPos.x, bannerPos.y, 0.0f);
    glBindTexture(GL_TEXTURE_2D, SlotTexture(this, kBannerSlot));
    Quad(kBannerWidth, kBannerHeight);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(static_cast<float>(viewWidth) * 0.5f - kCaptionWidth / 2, bannerPos.y, 0.0f);
    glBindTexture(GL_TEXTURE_2D, SlotTexture(this, static_cast<int>(captionSlot)));
    Quad(kCaptionWidth, kBannerHeight);
    glPopMatrix();

    glDisable(GL_BLEND);
    glScalef(static_cast<float>(viewWidth) / 1024.0f, static_cast<float>(viewHeight) / 768.0f, 1.0f);

    if (fade > 0.0f) {
        glColor4f(1.0f, 1.0f, 1.0f, fade);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glPushMatrix();
        glTranslatef(0.0f, kCardY, 0.0f);
        glBindTexture(GL_TEXTURE_2D, SlotTexture(this, static_cast<int>(captionSlot)));
        Quad(kCardWidth, kCardHeight);
        glPopMatrix();
        glDisable(GL_BLEND);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}
