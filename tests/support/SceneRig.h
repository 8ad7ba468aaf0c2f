// A real scene (bundled archive, fixed seed) for stepping or drawing.
#pragma once

#include <cstdlib>
#include <string>

#include "fish/Aquarium.h"
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
        return scene.Setup(preview, width, height, &settings, (testsupport::ShareDir() + "/kelpish.tidewares").c_str());
    }
    void Run(double seconds) {
        for (double t = 0.0; t < seconds; t += kStep) scene.Update(kStep);
    }

    testsupport::TempDir home;
    SETTINGS settings;
    SSMAIN scene;
};

}  // namespace scenetest
