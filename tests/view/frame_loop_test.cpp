// The view's frame loop in the headless context against an injected clock.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "scene/SSMain.h"
#include "test_support.h"
#include "view/ReefmereView.h"

namespace {

// A real context and an injected clock, counting what the view asks of the host.
struct TestHost {
    EGLCONTEXT gl;
    double clock = 1000.0;
    int width = 320, height = 240;
    bool mainScreen = true;
    int swaps = 0, soundStarts = 0, soundStops = 0;
    float soundVolume = -1.0f;
    std::string soundPath;
    std::vector<uint8_t> capture;  // the screen capture offered (empty: none)
    int captureW = 0, captureH = 0;

    static TestHost* Of(void* u) { return static_cast<TestHost*>(u); }
    REEFHOST Table(bool preview) {
        REEFHOST h;
        h.user = this;
        h.preview = preview;
        h.makeCurrent = [](void* u) { return Of(u)->gl.MakeCurrent(); };
        h.now = [](void* u) { return Of(u)->clock; };
        h.swapBuffers = [](void* u) { Of(u)->swaps++; };
        h.viewSize = [](void* u, int* w, int* hh) { *w = Of(u)->width, *hh = Of(u)->height; };
        h.isMainScreen = [](void* u) { return Of(u)->mainScreen; };
        h.captureScreen = [](void* u, int* w, int* hh) -> uint8_t* {
            TestHost* t = Of(u);
            *w = t->captureW;  // both 0 until a capture is offered
            *hh = t->captureH;
            if (t->capture.empty()) return nullptr;
            return static_cast<uint8_t*>(memcpy(malloc(t->capture.size()), t->capture.data(), t->capture.size()));
        };
        h.soundPlay = [](void* u, const char* path, float volume) {
            Of(u)->soundStarts++;
            Of(u)->soundPath = path;
            Of(u)->soundVolume = volume;
            return true;
        };
        h.soundStop = [](void* u) { Of(u)->soundStops++; };
        return h;
    }
};

// Defaults (the store untouched), a fixed seed, overrides by key.
VIEWOPTIONS Options(const std::vector<std::pair<const char*, const char*>>& overrides) {
    VIEWOPTIONS o;
    o.useStore = false;
    o.fixedSeed = true;
    o.seed = 7;
    for (const auto& kv : overrides) {
        SETTINGOVERRIDE ov;
        ov.key = FindSettingKey(kv.first);
        if (ov.key) ParseSettingValue(*ov.key, kv.second, &ov.value);
        o.overrides.push_back(ov);
    }
    return o;
}

class FrameLoop : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.gl.Create(host.width, host.height)); }
    void TearDown() override { view.reset(); }
    void Start(const std::vector<std::pair<const char*, const char*>>& overrides, bool preview = false) {
        view.reset();
        view.reset(new ReefmereView(host.Table(preview), Options(overrides)));
        view->startAnimation();
        view->animateOneFrame();
    }
    // True when a frame was drawn.
    bool Step(double dt) {
        int before = host.swaps;
        host.clock += dt;
        view->animateOneFrame();
        return host.swaps != before;
    }

    testsupport::ScopedEnv share{{{"REEFMERE_SHARE_DIR", testsupport::ShareDir()}}};
    TestHost host;
    std::unique_ptr<ReefmereView> view;
};

TEST_F(FrameLoop, PacingSkipsAndResize) {
    Start({{"PlaySound", "no"}});
    // 1/60 in double is below 1/60 in single precision: not drawn.
    EXPECT_FALSE(Step(1.0 / 60.0));
    EXPECT_TRUE(Step(1.0 / 60.0));
    // A gap over 2 s is skipped without drawing; exactly 2 s is not a skip.
    EXPECT_FALSE(Step(2.5));
    EXPECT_TRUE(Step(2.0));
    // Resize, and a teardown that leaves GL clean.
    ASSERT_NE(view->ssMain, nullptr);
    host.width = 640;
    host.height = 200;
    ASSERT_TRUE(host.gl.Resize(640, 200));
    view->setFrameSize(640, 200);
    EXPECT_TRUE(Step(0.05));
    EXPECT_FLOAT_EQ(view->ssMain->aspect, 3.2f);
    GLint vp[4] = {};
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_TRUE(vp[2] == 640 && vp[3] == 200) << vp[2] << "x" << vp[3];
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    view.reset();
    host.gl.MakeCurrent();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST_F(FrameLoop, SoundStartsOnceAfterTheCountdownOnTheMainScreenOnly) {
    Start({{"PlaySound", "yes"}, {"Volume", "55"}});
    EXPECT_TRUE(Step(0.05));
    EXPECT_TRUE(Step(0.05));  // 0.1 s: used up, not yet below zero
    EXPECT_EQ(host.soundStarts, 0);
    EXPECT_FALSE(Step(0.01));  // calls that draw nothing still count the time
    EXPECT_EQ(host.soundStarts, 1);
    EXPECT_FLOAT_EQ(host.soundVolume, 55.0f);
    EXPECT_NE(host.soundPath.find("kelpish.wav"), std::string::npos);
    for (int i = 0; i < 20; i++) Step(0.02);
    EXPECT_EQ(host.soundStarts, 1);
    view.reset();  // teardown stops it
    EXPECT_EQ(host.soundStops, 1);

    // Never in a preview, with sound off, or on a secondary screen (which still animates).
    const struct {
        bool preview, main;
        const char* sound;
    } silent[] = {{true, true, "yes"}, {false, true, "no"}, {false, false, "yes"}};
    for (const auto& c : silent) {
        host.mainScreen = c.main;
        Start({{"PlaySound", c.sound}, {"MainMonitorOnly", "no"}}, c.preview);
        int drawn = 0;
        for (int i = 0; i < 20; i++) drawn += Step(0.05) ? 1 : 0;
        EXPECT_EQ(drawn, 20);
        EXPECT_EQ(host.soundStarts, 1);
    }
}

TEST_F(FrameLoop, CaptureIsSizedToPowersOfTwoAndBlackCapturesFallBack) {
    // No capture possible: the desktop picture instead, for this view only.
    view.reset(new ReefmereView(host.Table(false), Options({{"BGType", "0"}})));
    EXPECT_EQ(view->mySettings.BGTYPE, 1);
    // 1449 x 300 rounds to 2048 x 256; detail 1 caps at 1024, a preview's 0 at 512.
    host.captureW = 1449;
    host.captureH = 300;
    host.capture.assign(static_cast<size_t>(1449) * 300 * 4, 200);
    for (bool preview : {false, true}) {
        Start({{"BGType", "0"}, {"BGRes", "1"}}, preview);
        ASSERT_NE(view->DeskTex.texID, 0u);
        int w = 0, h = 0;
        testsupport::ReadTexture(view->DeskTex.texID, &w, &h);
        EXPECT_EQ(w, preview ? 512 : 1024);
        EXPECT_EQ(h, 256);
        ASSERT_NE(view->ssMain, nullptr);
        EXPECT_EQ(view->ssMain->backgroundTexture, view->DeskTex.texID);
    }
    // Every pixel black (alpha ignored): no texture, the desktop picture instead.
    for (size_t i = 0; i < host.capture.size(); i++) host.capture[i] = (i % 4 == 3) ? 255 : 0;
    view.reset(new ReefmereView(host.Table(false), Options({{"BGType", "0"}})));
    EXPECT_EQ(view->DeskTex.texID, 0u);
    EXPECT_EQ(view->mySettings.BGTYPE, 1);
}

TEST_F(FrameLoop, SceneWhoseSetupFailedIsNeverSteppedOrDrawn) {
    testsupport::TempDir empty;  // no resource archive here
    {
        testsupport::ScopedEnv share({{"REEFMERE_SHARE_DIR", empty.path()}});
        testing::internal::CaptureStderr();
        Start({{"PlaySound", "no"}});
        testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(view->ssMain, nullptr);
    // Frames still pace and swap (a black screen); nothing retries the setup.
    EXPECT_TRUE(Step(0.05));
    EXPECT_TRUE(Step(0.05));
    EXPECT_EQ(view->ssMain, nullptr);
    std::vector<uint8_t> px = host.gl.ReadPixels();
    for (size_t i = 0; i + 3 < px.size(); i += 4) ASSERT_EQ(px[i] | px[i + 1] | px[i + 2], 0) << i;
}

}  // namespace
