// The view's frame loop against an injected clock: minimum step, the 2 s skip, LOWCPU,
// the sound countdown, main-screen rules, resize, projection, capture sizing.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "scene/SSMain.h"
#include "test_support.h"
#include "view/ReefmereView.h"
#include "view_test_host.h"

namespace {

class FrameLoop : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.gl.Create(host.width, host.height)); }
    // Creates the view, starts it and runs the first (setup) frame.
    void Start(const VIEWOPTIONS& o, bool preview = false) {
        view.reset(new ReefmereView(host.Table(preview), o));
        view->startAnimation();
        view->animateOneFrame();
        swapsAfterStart = host.swaps;
    }
    // Advances the clock by dt and runs one host call; true when a frame was drawn.
    bool Step(double dt) {
        int before = host.swaps;
        host.clock += dt;
        view->animateOneFrame();
        return host.swaps != before;
    }
    void TearDown() override { view.reset(); }
    // The desk texture's size at level 0.
    void TexSize(GLint* w, GLint* h) {
        host.gl.MakeCurrent();
        glBindTexture(GL_TEXTURE_2D, view->DeskTex.texID);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, h);
    }

    TestHost host;
    std::unique_ptr<ReefmereView> view;
    int swapsAfterStart = 0;
};

}  // namespace

TEST_F(FrameLoop, MinimumStepIsSinglePrecisionSixtieth) {
    Start(TestOptions({{"PlaySound", "no"}}));
    EXPECT_DOUBLE_EQ(view->animationTimeInterval(), 1.0 / 60.0);
    EXPECT_DOUBLE_EQ(view->MinimumStep(), static_cast<double>(1.0f / 60.0f));
    // 1/60 in double is below 1/60 in single precision: nothing is drawn, and the next
    // call measures from the last drawn frame.
    EXPECT_FALSE(Step(1.0 / 60.0));
    double last = view->animtime;
    EXPECT_TRUE(Step(1.0 / 60.0));
    EXPECT_NEAR(view->animtime - last, 2.0 / 60.0, 1e-9);
    EXPECT_TRUE(Step(0.0166667));
    EXPECT_DOUBLE_EQ(view->animtime, host.clock);
}

TEST_F(FrameLoop, GapsLongerThanTwoSecondsAreSkipped) {
    Start(TestOptions({{"PlaySound", "yes"}}));
    float delayBefore = view->soundDelay;
    int drawnBefore = view->framesDrawn;
    EXPECT_FALSE(Step(2.5));
    EXPECT_EQ(view->framesDrawn, drawnBefore);
    EXPECT_DOUBLE_EQ(view->animtime, host.clock);
    EXPECT_FLOAT_EQ(view->soundDelay, delayBefore);  // countdown not advanced
    EXPECT_TRUE(Step(1.0 / 30.0));
    EXPECT_EQ(view->framesDrawn, drawnBefore + 1);
    // Exactly 2 s is not a skip.
    EXPECT_TRUE(Step(2.0));
}

TEST_F(FrameLoop, LowCpuPacesAtTwentyFramesASecond) {
    Start(TestOptions({{"LowCPU", "yes"}, {"PlaySound", "no"}}));
    EXPECT_NEAR(view->animationTimeInterval(), 1.0 / 35.0, 1e-15);
    EXPECT_DOUBLE_EQ(view->MinimumStep(), 0.05);
    EXPECT_FALSE(Step(1.0 / 35.0));
    EXPECT_FALSE(Step(0.0499 - 1.0 / 35.0));  // 0.0499 since the last frame
    EXPECT_TRUE(Step(0.0002));                 // 0.0501
    // Two host calls at 35 Hz make one drawn frame.
    int drawn = 0;
    for (int i = 0; i < 70; i++) drawn += Step(1.0 / 35.0) ? 1 : 0;
    EXPECT_EQ(drawn, 35);
}

TEST_F(FrameLoop, SoundStartsOnceAfterTheCountdown) {
    Start(TestOptions({{"PlaySound", "yes"}, {"Volume", "55"}}));
    EXPECT_EQ(host.soundStarts, 0);
    EXPECT_TRUE(Step(0.05));
    EXPECT_EQ(host.soundStarts, 0);
    EXPECT_TRUE(Step(0.05));  // exactly used up: not yet below zero
    EXPECT_EQ(host.soundStarts, 0);
    // Calls that draw nothing still count the time since the last drawn frame.
    EXPECT_FALSE(Step(0.01));
    EXPECT_EQ(host.soundStarts, 1);
    EXPECT_FLOAT_EQ(host.soundVolume, 55.0f);
    EXPECT_NE(host.soundPath.find("kelpish.wav"), std::string::npos);
    EXPECT_FLOAT_EQ(view->soundDelay, 9999.9f);
    for (int i = 0; i < 20; i++) Step(0.02);
    EXPECT_EQ(host.soundStarts, 1);
    view.reset();  // teardown stops it
    EXPECT_EQ(host.soundStops, 1);
}

TEST_F(FrameLoop, NoSoundInPreviewOffOrOnASecondaryScreen) {
    Start(TestOptions({{"PlaySound", "yes"}}), /*preview=*/true);
    for (int i = 0; i < 20; i++) Step(0.05);
    EXPECT_EQ(host.soundStarts, 0);
    view.reset();

    Start(TestOptions({{"PlaySound", "no"}}));
    for (int i = 0; i < 20; i++) Step(0.05);
    EXPECT_EQ(host.soundStarts, 0);
    view.reset();

    host.mainScreen = false;
    Start(TestOptions({{"PlaySound", "yes"}, {"MainMonitorOnly", "no"}}));
    EXPECT_FALSE(view->mySettings.PLAYSOUND);
    int drawn = 0;
    for (int i = 0; i < 20; i++) drawn += Step(0.05) ? 1 : 0;
    EXPECT_EQ(drawn, 20);  // it animates, silently
    EXPECT_EQ(host.soundStarts, 0);
}

TEST_F(FrameLoop, MainMonitorOnlyKeepsASecondaryScreenBlack) {
    host.mainScreen = false;
    Start(TestOptions({{"MainMonitorOnly", "yes"}}));
    EXPECT_FALSE(view->ThisScreenIsOn);
    EXPECT_EQ(host.swaps, 1);  // the black clear of startAnimation
    EXPECT_GE(host.stopRequests, 1);
    for (int i = 0; i < 5; i++) EXPECT_FALSE(Step(0.05));
    EXPECT_EQ(view->ssMain, nullptr);
    EXPECT_FALSE(view->animating);
}

TEST_F(FrameLoop, ResizeRerunsGlInitAndTheSceneAspectFollows) {
    Start(TestOptions({{"PlaySound", "no"}}));
    host.width = 640;
    host.height = 200;
    ASSERT_TRUE(host.gl.Resize(640, 200));
    view->setFrameSize(640, 200);
    EXPECT_FALSE(view->glReady);
    EXPECT_TRUE(Step(0.05));
    EXPECT_TRUE(view->glReady);
    EXPECT_DOUBLE_EQ(view->Scrn.width, 640);
    EXPECT_DOUBLE_EQ(view->Scrn.height, 200);
    if (view->ssMain) {
        EXPECT_FLOAT_EQ(view->ssMain->aspect, 3.2f);
    }
    GLint vp[4] = {};
    view->glInit();
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 640);
    EXPECT_EQ(vp[3], 200);
    // The projection: gluPerspective(45, 3.2, 1, 120), modelview at identity.
    GLdouble p[16], mv[16];
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(p[0], f / 3.2, 1e-5);
    EXPECT_NEAR(p[5], f, 1e-5);
    EXPECT_NEAR(p[10], -(120.0 + 1.0) / (120.0 - 1.0), 1e-5);
    EXPECT_NEAR(p[14], -2.0 * 120.0 * 1.0 / (120.0 - 1.0), 1e-5);
    for (int i = 0; i < 16; i++) EXPECT_DOUBLE_EQ(mv[i], (i % 5 == 0) ? 1.0 : 0.0);
}

TEST_F(FrameLoop, CaptureIsSizedToPowersOfTwoAndBlackCapturesFallBack) {
    // No capture possible: background type 1 for this view, in memory only (the
    // desktop-picture chain fills DeskTex later, in mainSetup).
    view.reset(new ReefmereView(host.Table(), TestOptions({{"BGType", "0"}})));
    EXPECT_EQ(view->mySettings.BGTYPE, 1);
    EXPECT_EQ(view->DeskTex.texID, 0u);
    view.reset();

    // 1449 x 300 rounds (in the logarithm) to 2048 x 256; detail 1 caps at 1024.
    host.captureW = 1449;
    host.captureH = 300;
    host.capture.assign(static_cast<size_t>(1449) * 300 * 4, 0);
    for (size_t i = 0; i < host.capture.size(); i += 4) host.capture[i] = 200;
    Start(TestOptions({{"BGType", "0"}, {"BGRes", "1"}}));
    EXPECT_EQ(view->mySettings.BGTYPE, 0);
    ASSERT_NE(view->DeskTex.texID, 0u);
    GLint w = 0, h = 0;
    TexSize(&w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 256);
    // The scene (when it could be built) was handed the picture.
    if (view->ssMain) {
        EXPECT_EQ(view->ssMain->backgroundTexture, view->DeskTex.texID);
    }
    view.reset();

    // Preview: detail 0, at most 512.
    Start(TestOptions({{"BGType", "0"}, {"BGRes", "2"}}), /*preview=*/true);
    TexSize(&w, &h);
    EXPECT_EQ(w, 512);
    view.reset();

    // Every pixel black (alpha ignored): no texture, desktop picture instead.
    for (size_t i = 0; i < host.capture.size(); i++) host.capture[i] = (i % 4 == 3) ? 255 : 0;
    view.reset(new ReefmereView(host.Table(), TestOptions({{"BGType", "0"}})));
    EXPECT_EQ(view->DeskTex.texID, 0u);
    EXPECT_EQ(view->mySettings.BGTYPE, 1);
}

TEST_F(FrameLoop, SceneWhoseSetupFailedIsNeverSteppedOrDrawn) {
    testsupport::TempDir empty;  // no resource archive here
    {
        testsupport::ScopedEnv share({{"REEFMERE_SHARE_DIR", empty.path()}});
        testing::internal::CaptureStderr();
        Start(TestOptions({{"PlaySound", "no"}}));
        testing::internal::GetCapturedStderr();
    }
    EXPECT_TRUE(view->initialized);
    EXPECT_EQ(view->ssMain, nullptr);
    // Frames still pace and swap (a black screen), nothing retries the setup.
    EXPECT_TRUE(Step(0.05));
    EXPECT_TRUE(Step(0.05));
    EXPECT_EQ(view->ssMain, nullptr);
    std::vector<uint8_t> px = host.gl.ReadPixels();
    ASSERT_EQ(px.size(), static_cast<size_t>(host.width) * host.height * 4);
    for (size_t i = 0; i + 3 < px.size(); i += 4) ASSERT_EQ(px[i] | px[i + 1] | px[i + 2], 0) << i;
}
