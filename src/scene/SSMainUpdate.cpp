// SSMAIN::Update: the fixed water tick (one per call at most), random drops, the caustic
// render, the background wobble, the water level and the motion-sensor tilt target.
// Leans on water/ (WATERCLASS, BACKGROUND) and motion/unimotion (read_sms).
#include <cstdlib>

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

}  // namespace

void SSMAIN::Update(double elapsed) {
    frameTime = elapsed;
    waterTimer = static_cast<float>(waterTimer - elapsed);
    dropTimer = static_cast<float>(dropTimer - elapsed);

    // Reloaded rather than accumulated: a slow frame shows slower water instead of
    // spending several ticks catching up.
    if (waterTimer < 0.0f) {
        if (water) {
            VECTOR3D light{0.0f, 1.0f, 0.0f};
            water->Update(eye, light, wantCaustic, elapsed, waterLevel);
            if (dropTimer < 0.0f) {
                water->Drop(static_cast<float>((std::rand() % 150) / 100.0 + 0.5));
                dropTimer = static_cast<float>(((std::rand() % 120) + 100) / 10.0);
            }
        }
        if (wantCaustic) RenderToTexture(causticTexture);
        waterTimer = kWaterTick;
        if (background) background->RelaxWobble(kWobbleStep);
    }

    const float gap = wantedLevel - waterLevel;
    waterLevel = static_cast<float>(waterLevel + gap * frameTime * kLevelRate);
    if (!(waterLevel <= 1.0f)) waterLevel = 1.0f;

    if (!smsActive) return;
    smsPollTimer = static_cast<float>(smsPollTimer - frameTime);
    smsWindow = static_cast<float>(smsWindow - frameTime);
    if (smsWindow < 0.0f) {
        // Polling ends a minute after setup; the drawn tilt eases back.
        tiltTarget = {0.0f, 0.0f, 0.0f};
        return;
    }
    if (smsPollTimer < 0.0f) {
        smsPollTimer = kPollInterval;
        // A failed read keeps the last target rather than jerking the tank level.
        if (read_sms(smsKind, &smsRaw.x, &smsRaw.y, &smsRaw.z)) {
            VECTOR3D r{static_cast<float>(smsRaw.x), static_cast<float>(smsRaw.y),
                       static_cast<float>(smsRaw.z)};
            r = r / 256.0f;
            r *= 90.0f;  // a reading of 256 is 90 degrees
            float roll = r.x;
            if (smsReverse) roll = -roll;
            if (r.z < 0.0f) roll = 180.0f - roll;
            tiltTarget.z = roll;
        }
    }
}
