// A real scene (bundled archive, fixed seed) for stepping or drawing, and a fake sensor.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fish/Aquarium.h"
#include "image/Texture.h"
#include "motion/unimotion.h"
#include "scene/SSMain.h"
#include "test_support.h"
#include "settings/Paths.h"
#include "settings/Settings.h"

namespace scenetest {

constexpr double kStep = 1.0 / 60.0 + 1e-6;  // a drawn frame at 60 Hz, as the view paces them

class SceneRig {
public:
    SceneRig() {
        DefaultSettings(&settings, nullptr);
        CopyToField(settings.FishPath, sizeof settings.FishPath, testsupport::ShareDir().c_str());
        CopyToField(settings.FishPath2, sizeof settings.FishPath2, (home.path() + "/").c_str());
        settings.RWATERLEVEL = false;
        settings.GRADUALFILL = false;
    }
    ~SceneRig() { FreeFishSelection(&settings); }
    SceneRig(const SceneRig&) = delete;
    SceneRig& operator=(const SceneRig&) = delete;

    // Seeds the random numbers and sets the scene up at width x height.
    bool Build(int width, int height, unsigned seed = 7, bool preview = false) {
        SetFishSelection(&settings, "##");
        std::srand(seed);
        return scene.Setup(preview, width, height, &settings, Archive().c_str());
    }
    void Run(double seconds) {
        for (double t = 0.0; t < seconds; t += kStep) scene.Update(kStep);
    }
    static std::string Archive() { return testsupport::ShareDir() + "/kelpish.tidewares"; }

    testsupport::TempDir home;
    SETTINGS settings;
    SSMAIN scene;
};

// A kind-4 sensor (16-bit axes) while it lives, and an empty config folder (no stored
// calibration). `failAfter` > 0: every call after that many fails (the probe is call 1).
struct FakeSensor {
    int16_t x = 0, y = 0, z = 0;
    bool present = true;
    int failAfter = 0;
    int calls = 0;
};
inline FakeSensor gSensor;

class SensorEnvironment {
public:
    SensorEnvironment() : env_({{"XDG_CONFIG_HOME", config_.path()}}) {
        gSensor = FakeSensor{};
        sms_set_service(&kService);
    }
    ~SensorEnvironment() { sms_set_service(nullptr); }

private:
    static SMSHANDLE Find(void*, const char* cls) { return gSensor.present && !std::strcmp(cls, "SMCMotionSensor"); }
    static SMSHANDLE Open(void*, SMSHANDLE) { return 2; }
    static int Call(void*, SMSHANDLE, int, const void*, size_t, void* out, size_t* outSize) {
        if (++gSensor.calls > gSensor.failAfter && gSensor.failAfter > 0) return 1;
        const int16_t v[3] = {gSensor.x, gSensor.y, gSensor.z};
        std::memcpy(out, v, sizeof v);
        *outSize = 40;
        return 0;
    }
    static void Close(void*, SMSHANDLE) {}
    static constexpr SMSSERVICE kService = {nullptr, Find, Open, Call, Close};

    testsupport::TempDir config_;
    testsupport::ScopedEnv env_;
};

}  // namespace scenetest
