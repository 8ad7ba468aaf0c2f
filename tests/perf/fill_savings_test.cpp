// The fill savings leave the picture as it was. Each pass is drawn here both the plain way
// (the wobbling picture over the whole screen, the frame cleared before the update, the
// caustic target copied with a fresh allocation) and the way the scene now draws it, in
// the headless context, and the frames must agree to within rounding.
// Set FILL_DUMP=<prefix> to also write the whole-frame pairs as <prefix>-plain.png and
// <prefix>-saved.png.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "math/Misc.h"
#include "platform/egl_context.h"
#include "scene/SSMain.h"
#include "test_support.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

constexpr int kW = 320;
constexpr int kH = 200;
const float kMagenta[4] = {1.0f, 0.0f, 1.0f, 1.0f};
const float kBlank[4] = {0.0f, 0.0f, 0.0f, 0.0f};


// A tank without fish: water with ripples, the wobble grid, the pattern as background.
struct Tank {
    SSMAIN main;
    Tank(bool caustics, float level) {
        main.SetSize(kW, kH);
        glViewport(0, 0, kW, kH);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f}, black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        main.preview = true;  // no overlay
        main.wantCaustic = caustics;
        main.water = new WATERCLASS;
        main.water->Initialize(6, 64.0f, true, 1.0f);
        main.water->DropAt(10, 20, 1.9f);
        main.water->DropAt(40, 44, 1.5f);
        main.background = new BACKGROUND;
        main.background->InitWobble();
        for (int i = 0; i < 40; ++i) main.background->RelaxWobble(0.0166);
        main.backgroundTexture = testsupport::PatternTexture(8);
        if (caustics) main.causticTexture = EmptyTexture();
        main.waterLevel = main.wantedLevel = level;
        main.dropTimer = 1e9f;  // no random drops
    }
};

void ClearTo(const float c[4]) {
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The background drawn without saving: the wobbling picture over the whole screen, then
// the plain one above the water line.
void PlainUnderlay(SSMAIN& m) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, m.viewWidth, 0.0, m.viewHeight, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m.backgroundTexture);
    float c = static_cast<float>(m.sceneFade * -0.75 + 0.75);
    glColor4f(c, c, c, 1.0f);
    m.background->Draw(m.viewWidth, m.viewHeight, m.waterLevel, m.frameTime);
    const float w = static_cast<float>(m.viewWidth), h = static_cast<float>(m.viewHeight);
    glTranslatef(w * 0.5f, h * 0.5f, 0.0f);
    c = 1.0f - m.sceneFade;
    glColor4f(c, c, c, 1.0f);
    VECTOR3D n{0.0f, 1.0f, 0.0f};
    if (m.smsActive) Rotate(&n, 0.0f, 0.0f, -m.underlayRoll);
    const double d = static_cast<double>(-static_cast<float>(m.viewHeight) * m.waterLevel) + m.viewHeight * 0.5;
    const GLdouble plane[4] = {n.x, n.y, 0.0, d};
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
    glDisable(GL_CLIP_PLANE0);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

// The caustic render copied the plain way: onto cleared buffers, a fresh allocation.
void PlainCausticCopy(SSMAIN& m, GLuint texture) {
    ClearTo(kBlank);
    glViewport(0, 0, 128, 128);
    ViewOrtho();
    glPushMatrix();
    glScalef(2.0f, 2.0f, 1.0f);
    glTranslatef(32.0f, 32.0f, 0.0f);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    m.water->DrawCaustics();
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    ViewPerspective();
    glBindTexture(GL_TEXTURE_2D, texture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, 128, 128, 0);
    glViewport(0, 0, m.viewWidth, m.viewHeight);
}

std::vector<uint8_t> ReadTexture(GLuint name, int* width = nullptr) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    if (width) *width = w;
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Largest channel difference, and how many pixels differ by more than `tolerance`.
int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance, int* over) {
    int worst = 0;
    *over = 0;
    for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
        int d = 0;
        for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(int(a[i + k]) - int(b[i + k])));
        worst = std::max(worst, d);
        if (d > tolerance) ++*over;
    }
    return worst;
}

void Perspective(const SSMAIN& m) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, m.aspect, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace

TEST(FillSavings, UnderlayMatchesTheWholeScreenPictureAtEveryLevelTiltAndFade) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    Tank tank(false, 0.5f);
    SSMAIN& m = tank.main;
    for (float level : {0.0f, 0.2f, 0.5f, 0.87f, 1.0f}) {
        for (float tilt : {0.0f, 14.0f, -30.0f}) {
            for (float fade : {0.0f, 0.4f}) {
                SCOPED_TRACE(testing::Message() << "level " << level << " tilt " << tilt << " fade " << fade);
                m.waterLevel = level;
                m.smsActive = tilt != 0.0f;
                m.underlayRoll = tilt;
                m.sceneFade = fade;
                ClearTo(kMagenta);
                PlainUnderlay(m);
                const std::vector<uint8_t> plain = gl.ReadPixels();
                ClearTo(kMagenta);
                m.DoUnderlay();
                const std::vector<uint8_t> saved = gl.ReadPixels();
                int over = 0;
                const int worst = MaxDifference(plain, saved, 2, &over);
                EXPECT_EQ(over, 0) << "largest difference " << worst;
                // Every pixel was drawn (nothing left of the clear colour along the line).
                int uncovered = 0;
                for (size_t i = 0; i < saved.size(); i += 4)
                    if (saved[i] == 255 && saved[i + 1] == 0 && saved[i + 2] == 255) ++uncovered;
                EXPECT_EQ(uncovered, 0);
            }
        }
    }
    // The pass leaves the state the 3D passes expect.
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(FillSavings, CausticTargetIsTheSameWhateverTheBufferHeldAndAnyTextureSize) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    Tank tank(true, 0.6f);
    SSMAIN& m = tank.main;
    GLuint plainTexture = EmptyTexture();
    const float garbage[4] = {0.9f, 0.3f, 0.6f, 0.8f};
    for (int tick = 0; tick < 12; ++tick) {
        // The back buffer holds an old frame when the update renders the caustics.
        ClearTo(garbage);
        m.Update(1.0 / 60.0 + 1e-6);
        if (m.causticDue) m.RenderToTexture(m.causticTexture);
        if (tick % 4 != 3) continue;
        const std::vector<uint8_t> saved = ReadTexture(m.causticTexture);
        PlainCausticCopy(m, plainTexture);
        EXPECT_EQ(saved, ReadTexture(plainTexture)) << "tick " << tick;
    }
    // The whole buffer is clean after the render, as the frame expects.
    ClearTo(garbage);
    m.Update(1.0 / 60.0 + 1e-6);
    if (m.causticDue) m.RenderToTexture(m.causticTexture);
    const std::vector<uint8_t> frame = gl.ReadPixels();
    for (size_t i = 0; i < frame.size(); i += 4) ASSERT_EQ(frame[i], 0) << i / 4;

    // A target of another size is given the caustic size rather than copied into in part.
    glBindTexture(GL_TEXTURE_2D, m.causticTexture);
    std::vector<uint8_t> small(64 * 64 * 4, 9);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, small.data());
    m.Update(1.0 / 60.0 + 1e-6);
    if (m.causticDue) m.RenderToTexture(m.causticTexture);
    int width = 0;
    const std::vector<uint8_t> resized = ReadTexture(m.causticTexture, &width);
    EXPECT_EQ(width, 128);
    PlainCausticCopy(m, plainTexture);
    EXPECT_EQ(resized, ReadTexture(plainTexture));
    glDeleteTextures(1, &plainTexture);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(FillSavings, WholeFramesMatchTheClearBeforeUpdateOrder) {
    EglContext gl;
    ASSERT_TRUE(gl.Create(kW, kH));
    const double step = 1.0 / 60.0 + 1e-6;
    for (float level : {0.3f, 0.8f}) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        // Two identical tanks (the wobble grids start from a shared phase, so the second
        // takes the first's grid).
        Tank before(true, level), now(true, level);
        *now.main.background = *before.main.background;
        // As frames were drawn before: clear, update (caustics on clean buffers), the
        // whole-screen picture, the 3D passes.
        for (int f = 0; f < 20; ++f) {
            ClearTo(kBlank);
            before.main.Update(step);
            if (before.main.causticDue) before.main.RenderToTexture(before.main.causticTexture);
            PlainUnderlay(before.main);
            Perspective(before.main);
            before.main.Draw();
        }
        const std::vector<uint8_t> plain = gl.ReadPixels();
        // As the view draws them now: update onto the last frame, one clear, the clipped
        // picture, the 3D passes.
        for (int f = 0; f < 20; ++f) {
            now.main.Update(step);
            if (now.main.causticDue) now.main.RenderToTexture(now.main.causticTexture);
            ClearTo(kBlank);
            now.main.DoUnderlay();
            Perspective(now.main);
            now.main.Draw();
        }
        const std::vector<uint8_t> saved = gl.ReadPixels();
        int over = 0;
        const int worst = MaxDifference(plain, saved, 2, &over);
        EXPECT_EQ(over, 0) << "largest difference " << worst;
        if (getenv("FILL_DUMP")) {
            testsupport::WritePNG(std::string(getenv("FILL_DUMP")) + "-plain.png", plain, kW, kH);
            testsupport::WritePNG(std::string(getenv("FILL_DUMP")) + "-saved.png", saved, kW, kH);
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
