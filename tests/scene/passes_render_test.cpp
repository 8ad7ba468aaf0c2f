// Render passes in the headless GL context: the refracting surface lands where the water
// line projects and nowhere above it, the caustic render-to-texture, the projected
// caustics on the back wall, the state Draw leaves behind, and the tilt easing.
// Set REEFMERE_WATER_SNAPSHOT=<file.png> to also write a frame of water over a pattern.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/egl_context.h"
#include "scene/SSMain.h"
#include "test_support.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

constexpr int kW = 256;
constexpr int kH = 192;
const uint8_t kClear[3] = {26, 51, 77};


void BeginFrame(const SSMAIN& m) {
    glClearColor(kClear[0] / 255.0f, kClear[1] / 255.0f, kClear[2] / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, m.aspect, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

struct Scene {
    SSMAIN main;
    Scene(unsigned short shift, bool caustics, float level) {
        // The GL state the scene setup leaves (camera light, blending).
        main.SetSize(kW, kH);
        glViewport(0, 0, kW, kH);
        glEnable(GL_DEPTH_TEST);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f}, black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        main.preview = true;  // no overlay: only the passes under test draw
        main.wantCaustic = caustics;
        main.water = new WATERCLASS;
        main.water->Initialize(shift, 64.0f, true, 1.0f);
        main.backgroundTexture = testsupport::PatternTexture(16);
        if (caustics) main.causticTexture = EmptyTexture();
        main.waterLevel = level;
        main.wantedLevel = level;
        main.dropTimer = 1e9f;  // drops only where the test places them
    }
    void Ripple() {
        main.water->DropAt(10, 20, 1.9f);
        main.water->DropAt(40, 44, 1.5f);
        main.water->DropAt(25, 5, 1.2f);
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            // The view clears the buffers before each update.
            glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            main.Update(0.02);
            if (main.causticDue) main.RenderToTexture(main.causticTexture);
            main.waterLevel = main.wantedLevel;
        }
    }
};

struct Rgb {
    int r, g, b;
};
Rgb At(const std::vector<uint8_t>& px, int row, int col) {
    const uint8_t* p = &px[(row * kW + col) * 4];
    return {p[0], p[1], p[2]};
}
bool IsClear(Rgb c) { return std::abs(c.r - kClear[0]) <= 1 && std::abs(c.g - kClear[1]) <= 1 && std::abs(c.b - kClear[2]) <= 1; }

// Image rows (top first) covered by the water square at `level`, from its corners.
void SurfaceRows(float level, int* top, int* bottom, int* left, int* right) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
    glTranslatef(0.0f, level * 80.0f - 40.0f, -5.0f);
    glTranslatef(0.0f, 0.0f, -32.0f);
    glRotatef(40.0f * level - 20.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, 32.0f);
    glScalef(1.66f, 1.0f, 1.0f);
    GLdouble model[16], proj[16];
    GLint view[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, view);
    double minY = 1e9, maxY = -1e9, minX = 1e9, maxX = -1e9;
    for (float x : {-32.0f, 32.0f})
        for (float z : {-32.0f, 32.0f}) {
            GLdouble wx, wy, wz;
            gluProject(x, 0, z, model, proj, view, &wx, &wy, &wz);
            minY = std::min(minY, wy);
            maxY = std::max(maxY, wy);
            minX = std::min(minX, wx);
            maxX = std::max(maxX, wx);
        }
    glLoadIdentity();
    *top = kH - 1 - static_cast<int>(std::ceil(maxY));
    *bottom = kH - 1 - static_cast<int>(std::floor(minY));
    *left = static_cast<int>(std::floor(minX));
    *right = static_cast<int>(std::ceil(maxX));
}

}  // namespace

TEST(Passes, SurfaceDrawsBelowTheWaterLineOnlyAndRefractsThePicture) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    const float level = 0.25f;
    Scene flat(6, false, level);
    flat.Ticks(2);
    BeginFrame(flat.main);
    flat.main.Draw();
    const std::vector<uint8_t> still = gl.ReadPixels();

    Scene rippled(6, false, level);
    rippled.Ripple();
    rippled.Ticks(12);
    BeginFrame(rippled.main);
    rippled.main.Draw();
    const std::vector<uint8_t> moving = gl.ReadPixels();

    int top, bottom, left, right;
    BeginFrame(flat.main);
    SurfaceRows(level, &top, &bottom, &left, &right);
    ASSERT_GT(top, 20);
    ASSERT_LT(bottom, kH);
    ASSERT_GT(bottom - top, 8);

    // Above the water line nothing is drawn, rippled or not.
    for (int row = 0; row < top - 6; ++row)
        for (int col = 0; col < kW; ++col) {
            ASSERT_TRUE(IsClear(At(still, row, col))) << row << "," << col;
            ASSERT_TRUE(IsClear(At(moving, row, col))) << row << "," << col;
        }
    // Inside the band the picture covers the clear colour.
    int covered = 0, total = 0, bent = 0;
    for (int row = top + 3; row < std::min(bottom - 3, kH); ++row)
        for (int col = std::max(left, 0) + 8; col < std::min(right, kW) - 8; ++col) {
            ++total;
            if (!IsClear(At(still, row, col))) ++covered;
            const Rgb a = At(still, row, col), b = At(moving, row, col);
            if (std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 12) ++bent;
        }
    ASSERT_GT(total, 100);
    EXPECT_GT(covered, total * 9 / 10);
    EXPECT_GT(bent, total / 20) << "ripples must bend the refracted picture";

    // A full tank draws no surface at all.
    Scene full(6, false, 1.0f);
    full.Ticks(1);
    BeginFrame(full.main);
    full.main.Draw();
    const std::vector<uint8_t> none = gl.ReadPixels();
    for (int i = 0; i < kW * kH; ++i) ASSERT_TRUE(IsClear(At(none, i / kW, i % kW))) << i;
}

TEST(Passes, CausticTextureFillsTheTargetAndVariesWithRipples) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    auto readTexture = [](GLuint name) {
        std::vector<uint8_t> px(128 * 128 * 4);
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    };
    // Flat water at 64 x 64: every cell in bucket 4 (alpha 0.1875) covers the target.
    Scene flat(6, true, 0.5f);
    flat.Ticks(1);
    std::vector<uint8_t> tex = readTexture(flat.main.causticTexture);
    int lo = 255, hi = 0;
    for (int i = 0; i < 128 * 128; ++i) {
        lo = std::min<int>(lo, tex[i * 4]);
        hi = std::max<int>(hi, tex[i * 4]);
    }
    EXPECT_GE(lo, 44);
    EXPECT_LE(hi, 52);
    // The viewport is the view's again and the buffers are clean.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kW);
    EXPECT_EQ(viewport[3], kH);
    const std::vector<uint8_t> frame = gl.ReadPixels();
    for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(frame[i * 4], 0) << i;

    Scene rippled(6, true, 0.5f);
    rippled.Ripple();
    rippled.Ticks(30);
    tex = readTexture(rippled.main.causticTexture);
    lo = 255, hi = 0;
    std::vector<int> histogram(256, 0);
    for (int i = 0; i < 128 * 128; ++i) {
        lo = std::min<int>(lo, tex[i * 4]);
        hi = std::max<int>(hi, tex[i * 4]);
        ++histogram[tex[i * 4]];
    }
    EXPECT_GT(hi - lo, 40) << "converging light must brighten some cells and dim others";
    EXPECT_LT(*std::max_element(histogram.begin(), histogram.end()), 128 * 128 * 9 / 10);
}

TEST(Passes, WithoutCausticsNoRenderToTextureHappens) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    Scene s(6, false, 0.5f);
    s.main.causticTexture = EmptyTexture();
    std::vector<uint8_t> marked(128 * 128 * 4, 77);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 128, 128, GL_RGBA, GL_UNSIGNED_BYTE, marked.data());
    glViewport(0, 0, kW, kH);
    glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    s.Ripple();
    for (int i = 0; i < 5; ++i) s.main.Update(0.02);
    const std::vector<uint8_t> frame = gl.ReadPixels();
    for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(frame[i * 4], 128) << "the frame buffer was touched at " << i;
    std::vector<uint8_t> tex(128 * 128 * 4);
    glBindTexture(GL_TEXTURE_2D, s.main.causticTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
    EXPECT_EQ(tex, marked);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Passes, CausticsLightTheBackWallAndDrawLeavesStateTidy) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    const float level = 0.25f;
    Scene lit(6, true, level);
    lit.Ripple();
    lit.Ticks(10);
    BeginFrame(lit.main);
    lit.main.Draw();
    const std::vector<uint8_t> withCaustics = gl.ReadPixels();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_Q));
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    GLfloat textureMatrix[16];
    glGetFloatv(GL_TEXTURE_MATRIX, textureMatrix);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(textureMatrix[i], (i % 5 == 0) ? 1.0f : 0.0f);

    Scene dark(6, false, level);
    dark.Ripple();
    dark.Ticks(10);
    BeginFrame(dark.main);
    dark.main.Draw();
    const std::vector<uint8_t> without = gl.ReadPixels();

    int top, bottom, left, right;
    BeginFrame(dark.main);
    SurfaceRows(level, &top, &bottom, &left, &right);
    // Below the surface's near edge only the back wall lies: lit by the projector.
    int brighter = 0, total = 0;
    for (int row = bottom + 6; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            ++total;
            const Rgb a = At(withCaustics, row, col), b = At(without, row, col);
            EXPECT_TRUE(IsClear(b));
            if (a.r + a.g + a.b > b.r + b.g + b.b + 6) ++brighter;
        }
    ASSERT_GT(total, 0);
    EXPECT_GT(brighter, total / 2);
    // Above the water line the wall is not drawn.
    for (int row = 0; row < top - 6; ++row)
        for (int col = 0; col < kW; ++col) ASSERT_TRUE(IsClear(At(withCaustics, row, col))) << row;
}

TEST(Passes, TiltEasesTowardsItsTargetOnlyWithASensor) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    Scene s(5, false, 1.0f);
    s.main.tiltTarget.z = 10.0f;
    s.main.smsPollTimer = 1e9f;  // no polling: the target stays
    s.main.Update(0.02);
    EXPECT_EQ(s.main.tiltCurrent.z, 0.0f);
    s.main.smsActive = true;
    s.main.Update(0.02);
    EXPECT_FLOAT_EQ(s.main.tiltCurrent.z, 1.0f);
    s.main.Update(0.02);
    EXPECT_FLOAT_EQ(s.main.tiltCurrent.z, 1.9f);
}

TEST(Passes, SnapshotOfWaterOverAPattern) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    Scene s(6, true, 0.3f);
    s.main.background = new BACKGROUND;
    s.main.background->InitWobble();
    s.Ripple();
    s.Ticks(40);
    // The picture behind the tank, as the underlay lays it, then the passes.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kW, 0, kH, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, s.main.backgroundTexture);
    s.main.background->Draw(kW, kH, s.main.waterLevel, 0.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, s.main.aspect, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    s.main.Draw();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const std::vector<uint8_t> px = gl.ReadPixels();
    size_t black = 0;
    for (size_t i = 0; i < px.size(); i += 4) black += (px[i] | px[i + 1] | px[i + 2]) == 0;
    EXPECT_LT(black, px.size() / 4 / 10) << "the picture fills the frame";
    if (const char* out = std::getenv("REEFMERE_WATER_SNAPSHOT")) {
        EXPECT_TRUE(testsupport::WritePNG(out, px, kW, kH));
    }
}
