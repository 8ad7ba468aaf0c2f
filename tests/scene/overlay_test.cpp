// The underlay and overlay passes: banner and title-card timing (the card's fade steps and
// clamps are checked through the schedule), and what they put on screen in the headless context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/Pics.h"
#include "image/Texture.h"
#include "scene/SSMain.h"
#include "test_support.h"
#include "water/Background.h"

namespace {

// A solid-colour texture name.
uint32_t Solid(uint8_t r, uint8_t g, uint8_t b) {
    Texture t;
    t.width = t.height = 2;
    t.bpp = 24;
    t.type = GL_RGB;
    t.imageData = static_cast<uint8_t*>(malloc(12));
    for (int i = 0; i < 4; ++i) {
        t.imageData[i * 3] = r;
        t.imageData[i * 3 + 1] = g;
        t.imageData[i * 3 + 2] = b;
    }
    EXPECT_TRUE(BuildTexture(&t, 0));
    uint32_t name = t.texID;
    t.texID = 0;  // handed over
    return name;
}

// Slot k of a 10-slot resource set: colour (k * 20 + 10, 255 - k * 20, 40).
void GiveResourceTextures(SSMAIN* s) {
    s->resTextures = new Texture[10];
    s->textureCount = 10;
    for (int k = 0; k < 10; ++k) {
        s->resTextures[k].texID = Solid(static_cast<uint8_t>(k * 20 + 10), static_cast<uint8_t>(255 - k * 20), 40);
    }
}

const uint8_t* Pixel(const std::vector<uint8_t>& px, int width, int height, int x, int yFromBottom) {
    return &px[(static_cast<size_t>(height - 1 - yFromBottom) * width + x) * 4];
}

// A scene of w x h pixels with the resource textures, its view cleared to black.
void PrepareOverlay(SSMAIN* s, int w, int h, double frameTime) {
    glViewport(0, 0, w, h);
    s->viewWidth = w;
    s->viewHeight = h;
    s->frameTime = frameTime;
    GiveResourceTextures(s);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

class OverlayTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.Create(64, 48));
        scene = new SSMAIN;
        scene->viewWidth = 1024;
        scene->viewHeight = 768;
        scene->frameTime = 0.02;
    }
    void TearDown() override { delete scene; }
    EglContext ctx;
    SSMAIN* scene = nullptr;
};

}  // namespace

// Timing of showings and hidings is in the schedule test; here the positions and captions.
TEST_F(OverlayTest, BannerEasesInFromTheEdgeWithARandomCaptionAndSide) {
    SSMAIN& s = *scene;
    s.bannerTimer = 0.01f;
    s.StepOverlay();
    ASSERT_TRUE(s.bannerShown && s.bannerAtTop);
    EXPECT_EQ(s.bannerTimer, 20.0f);
    // Starts just above the top edge and moves 2 % of the way to its rest in this call.
    EXPECT_NEAR(s.bannerPos.y, 808.0f + (728.0f - 808.0f) * 0.02f, 1e-3);
    // Hiding keeps the caption and eases back above the top edge.
    const uint32_t caption = s.captionSlot;
    const float y = s.bannerPos.y;
    s.bannerTimer = 0.01f;
    s.StepOverlay();
    ASSERT_FALSE(s.bannerShown);
    EXPECT_EQ(s.bannerTimer, 30.0f);
    EXPECT_EQ(s.captionSlot, caption);
    EXPECT_NEAR(s.bannerPos.y, y + (808.0f - y) * 0.02f, 1e-3);
    // The next showing uses the bottom edge, from just below it, towards 5.
    s.bannerTimer = 0.01f;
    s.StepOverlay();
    ASSERT_TRUE(s.bannerShown && !s.bannerAtTop);
    EXPECT_NEAR(s.bannerPos.y, -40.0f + 45.0f * 0.02f, 1e-3);

    // Captions are drawn from 4 to 8, and both sides are used.
    bool side[2] = {}, slots[16] = {};
    for (int i = 0; i < 400; ++i) {
        s.bannerShown = false;
        s.bannerTimer = 0.0f;
        s.StepOverlay();
        ASSERT_LT(s.captionSlot, 16u);
        slots[s.captionSlot] = true;
        ASSERT_TRUE(s.bannerPos.x == 0.0f || s.bannerPos.x == 1024.0f - 256.0f) << s.bannerPos.x;
        side[s.bannerPos.x == 0.0f] = true;
    }
    EXPECT_TRUE(side[0] && side[1]);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(slots[k], k >= 4 && k <= 8) << k;
}

TEST_F(OverlayTest, ScheduleOverTwoAndAHalfMinutes) {
    SSMAIN& s = *scene;
    srand(3);
    // Fixed 20 ms steps; times in whole frames to stay clear of float rounding.
    std::vector<double> showings, hidings;
    std::vector<bool> showingsAtTop;
    double fullAt = -1, clearAt = -1, secondCardAt = -1;
    bool wasShown = false;
    for (int frame = 1; frame <= 7500; ++frame) {
        const double t = frame * 0.02;
        const float before = s.fade;
        s.StepOverlay();
        if (s.bannerShown != wasShown) {
            (s.bannerShown ? showings : hidings).push_back(t);
            if (s.bannerShown) showingsAtTop.push_back(s.bannerAtTop);
            wasShown = s.bannerShown;
        }
        if (fullAt < 0 && s.fade >= 1.0f) fullAt = t;
        if (fullAt > 0 && clearAt < 0 && before > 0.0f && s.fade <= 0.0f) clearAt = t;
        if (clearAt > 0 && secondCardAt < 0 && s.fade > 0.0f) secondCardAt = t;
        if (t < 59.9) {
            EXPECT_EQ(s.fade, 0.0f) << t;
        }
        if (t > 62.1 && t < 79.9) {
            EXPECT_EQ(s.fade, 1.0f) << t;
        }
    }
    ASSERT_GE(showings.size(), 2u);
    EXPECT_NEAR(showings[0], 80.0, 0.05);    // first banner at 80 s, at the top
    EXPECT_TRUE(showingsAtTop[0]);
    EXPECT_NEAR(hidings[0], 100.0, 0.05);    // shown 20 s
    EXPECT_NEAR(showings[1], 130.0, 0.05);   // hidden 30 s, then the bottom edge
    EXPECT_FALSE(showingsAtTop[1]);
    EXPECT_NEAR(fullAt, 62.0, 0.05);         // 0 -> 1 in 2 s from 60 s
    EXPECT_NEAR(clearAt, 82.0, 0.05);        // held to 80 s, back to 0 in 2 s
    EXPECT_NEAR(secondCardAt, 120.0, 0.05);  // 60 s cycle
    // After 150 s of parking and easing the banner rests just inside the bottom edge.
    EXPECT_NEAR(s.bannerPos.y, 5.0f, 0.5f);
}

TEST(OverlayPixels, CardCoversTheMiddleBandFullWidth) {
    for (int scale : {1, 2}) {
        const int w = 1024 * scale, h = 768 * scale;
        EglContext ctx;
        ASSERT_TRUE(ctx.Create(w, h));
        SSMAIN s;
        PrepareOverlay(&s, w, h, 0.02);
        s.captionSlot = 6;
        s.fade = 1.0f;
        s.cardTimer = -1.0f;
        s.StepOverlay();
        s.DoOverlay();
        const std::vector<uint8_t> px = ctx.ReadPixels();
        const int bottom = 352 * scale, top = 416 * scale;  // card rows [bottom, top)
        for (int x : {0, w / 2, w - 1}) {
            EXPECT_EQ(Pixel(px, w, h, x, bottom)[0], 130) << scale << " " << x;
            EXPECT_EQ(Pixel(px, w, h, x, top - 1)[1], 135) << scale << " " << x;
            EXPECT_EQ(Pixel(px, w, h, x, bottom - 1)[0], 0) << scale << " " << x;
            EXPECT_EQ(Pixel(px, w, h, x, top)[1], 0) << scale << " " << x;
        }
        // Banner and caption parked below the screen: nothing at the bottom edge.
        EXPECT_EQ(Pixel(px, w, h, 10, 0)[1], 0);
        // GL state left for the 3D passes.
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
}

TEST(OverlayPixels, BannerAndCaptionAtTheTop) {
    const int w = 800, h = 600;
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(w, h));
    SSMAIN s;
    PrepareOverlay(&s, w, h, 0.0);
    s.bannerShown = true;
    s.bannerAtTop = true;
    s.bannerPos.x = 0.0f;
    s.bannerPos.y = static_cast<float>(h - 40);  // at rest
    s.captionSlot = 5;
    s.StepOverlay();
    s.DoOverlay();
    const std::vector<uint8_t> px = ctx.ReadPixels();
    // Banner (slot 1) at x 0..255, caption (slot 5) centred over x 144..655; the caption
    // is drawn last where they overlap.
    EXPECT_EQ(Pixel(px, w, h, 20, h - 40 + 16)[0], 30);
    EXPECT_EQ(Pixel(px, w, h, 400, h - 40 + 16)[0], 110);
    EXPECT_EQ(Pixel(px, w, h, 700, h - 40 + 16)[0], 0);
    EXPECT_EQ(Pixel(px, w, h, 20, h - 40 - 2)[0], 0);
}

TEST(Underlay, PictureFillsTheScreenAndDimsBelowTheWater) {
    const int w = 160, h = 120;
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(w, h));
    glViewport(0, 0, w, h);
    testsupport::TempDir dir;
    // Quadrants: red top-left, green top-right, blue bottom-left, grey bottom-right.
    const uint8_t quadrant[4][4] = {{200, 0, 0, 255}, {0, 200, 0, 255}, {0, 0, 200, 255}, {120, 120, 120, 255}};
    std::vector<uint8_t> rgba(64 * 64 * 4);
    for (int i = 0; i < 64 * 64; ++i) std::memcpy(&rgba[i * 4], quadrant[(i / 64 >= 32) * 2 + (i % 64 >= 32)], 4);
    ASSERT_TRUE(testsupport::WritePNG(dir / "quad.png", rgba, 64, 64));
    Texture pic;
    ASSERT_TRUE(loadPicFile((dir / "quad.png").c_str(), &pic, 2));

    SSMAIN s;
    s.viewWidth = w;
    s.viewHeight = h;
    s.frameTime = 0.02;
    s.background = new BACKGROUND;
    s.background->InitWobble();
    s.backgroundTexture = pic.texID;
    pic.texID = 0;  // the scene deletes it

    auto draw = [&]() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        s.DoUnderlay();
        return ctx.ReadPixels();
    };
    // Empty tank: the plain picture everywhere, the right way up.
    s.waterLevel = 0.0f;
    std::vector<uint8_t> px = draw();
    EXPECT_EQ(Pixel(px, w, h, 20, 100)[0], 200);  // top-left red
    EXPECT_EQ(Pixel(px, w, h, 140, 100)[1], 200); // top-right green
    EXPECT_EQ(Pixel(px, w, h, 20, 20)[2], 200);   // bottom-left blue
    EXPECT_EQ(Pixel(px, w, h, 140, 20)[0], 120);  // bottom-right grey

    // Half full: the top half plain, the bottom half at three quarters.
    s.waterLevel = 0.5f;
    px = draw();
    EXPECT_EQ(Pixel(px, w, h, 140, 100)[1], 200);
    const uint8_t* under = Pixel(px, w, h, 140, 20);
    EXPECT_NEAR(under[0], 90, 2);
    EXPECT_LT(under[0], 120);

    // Full tank: everything dimmed; title card at full strength: black.
    s.waterLevel = 1.0f;
    px = draw();
    EXPECT_NEAR(Pixel(px, w, h, 140, 100)[1], 150, 2);
    s.sceneFade = 1.0f;
    px = draw();
    for (size_t i = 0; i < px.size(); i += 4) ASSERT_EQ(px[i] | px[i + 1] | px[i + 2], 0);
    s.sceneFade = 0.0f;

    // Tilted tank: the water line turns with it (30 degrees of roll).
    s.waterLevel = 0.5f;
    s.smsActive = true;
    s.underlayRoll = 30.0f;
    px = draw();
    EXPECT_NEAR(Pixel(px, w, h, 150, 55)[0], 120, 1);   // right of centre, below the mid line: above the water
    EXPECT_NEAR(Pixel(px, w, h, 150, 50)[0], 120, 1);
    EXPECT_NEAR(Pixel(px, w, h, 10, 64)[0], 150, 2);    // left, above the mid line: under water (dim red)
    // Flat again for comparison.
    s.smsActive = false;
    px = draw();
    EXPECT_NEAR(Pixel(px, w, h, 150, 50)[0], 90, 2);
}
