// SSMAIN::Update, the whole frame step without GL: the fixed water tick (one per call at
// most), random drops, the background wobble, the water level, the motion-sensor tilt,
// the camera and its view volume, the fish and bubbles, then the overlay timers. The
// random numbers are drawn in that order. Leans on water/, fish/ (AQUARIUM) and
// motion/unimotion (read_sms).
#include <cstdlib>

#include "fish/Aquarium.h"
#include "motion/unimotion.h"
#include "scene/SSMain.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

// One water tick, seconds (1/60 in single precision); the wobble takes it widened.
constexpr float kWaterTick = 0.016666668f;
constexpr double kWobbleStep = 0.01666666753590107;
// The level closes this fraction of its gap to the wanted level per second.
constexpr double kLevelRate = 0.05;
// Seconds between sensor polls.
constexpr float kPollInterval = 0.1f;
// Rate (per second) at which the drawn roll closes its gap to the target.
constexpr double kTiltRate = 5.0;

}  // namespace

void SSMAIN::Update(double elapsed) {
    frameTime = elapsed;
    bool ticked = false;
    waterTimer = static_cast<float>(waterTimer - elapsed);
    dropTimer = static_cast<float>(dropTimer - elapsed);

    // Reloaded rather than accumulated: a slow frame shows slower water instead of
    // spending several ticks catching up.
    if (waterTimer < 0.0f) {
        if (water) {
            VECTOR3D light{0.0f, 1.0f, 0.0f};
            water->Update(camera.eye, light, wantCaustic, elapsed, waterLevel);
            if (dropTimer < 0.0f) {
                water->Drop(static_cast<float>((std::rand() % 150) / 100.0 + 0.5));
                dropTimer = static_cast<float>(((std::rand() % 120) + 100) / 10.0);
            }
        }
        ticked = true;
        waterTimer = kWaterTick;
        if (background) background->RelaxWobble(kWobbleStep);
    }

    const float gap = wantedLevel - waterLevel;
    waterLevel = static_cast<float>(waterLevel + gap * frameTime * kLevelRate);
    if (!(waterLevel <= 1.0f)) waterLevel = 1.0f;
    causticDue = ticked && wantCaustic;

    StepTilt();
    camera.roll = smsActive ? tiltCurrent.z - restRoll : 0.0f;
    viewVolume = camera.Frustum();

    sceneFade = fade;
    if (aquarium) {
        aquarium->bubbleBrightness = 1.0f - sceneFade;
        aquarium->Move(waterLevel, static_cast<float>(frameTime), viewVolume);
    }
    if (!preview) StepOverlay();
}

void SSMAIN::StepTilt() {
    if (!smsActive) return;
    smsPollTimer = static_cast<float>(smsPollTimer - frameTime);
    smsWindow = static_cast<float>(smsWindow - frameTime);
    if (smsWindow < 0.0f) {
        // Polling ends a minute after setup; the drawn tilt eases back to level, which is
        // the rest roll (a sensor reading z < 0 at rest has one of 180 degrees: easing to
        // 0 would turn the tank upside down).
        tiltTarget = {0.0f, 0.0f, restRoll};
    } else if (smsPollTimer < 0.0f) {
        smsPollTimer = kPollInterval;
        // A failed read keeps the last target rather than jerking the tank level.
        if (read_sms(smsKind, &smsRaw.x, &smsRaw.y, &smsRaw.z)) {
            VECTOR3D r{static_cast<float>(smsRaw.x), static_cast<float>(smsRaw.y), static_cast<float>(smsRaw.z)};
            r = r / 256.0f;
            r *= 90.0f;  // a reading of 256 is 90 degrees
            float roll = r.x;
            if (smsReverse) roll = -roll;
            if (r.z < 0.0f) roll = 180.0f - roll;
            tiltTarget.z = roll;
        }
    }
    // The underlay's water line keeps the roll from before the easing, the 3D passes the
    // eased one.
    underlayRoll = tiltCurrent.z - restRoll;
    const float gap = tiltTarget.z - tiltCurrent.z;
    tiltCurrent.z = static_cast<float>(tiltCurrent.z + gap * frameTime * kTiltRate);
}
