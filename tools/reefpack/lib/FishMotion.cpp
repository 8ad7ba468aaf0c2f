// Keyframes of a procedural fish: the swim cycle (frames 2 .. swimFrames + 2, a travelling
// wave down the spine with the tail fin lagging and the pectorals beating) and the rest
// cycle (frames swimFrames + 3 on, played at a tenth of the rate: a slow hover with the
// pectorals fanning). The last frame of each cycle equals its first, so loops never jump.
#include <cmath>
#include <functional>

#include "FishBuilder.h"

namespace reefpack {
namespace {

constexpr float kTwoPi = 6.28318530717959f;
constexpr float kDegToRad = 0.0174532925199433f;

struct Pose {
    float yaw = 0;  // radians about +y
    float tx = 0, ty = 0, tz = 0;
};

void AddKey(std::vector<Ms3dKey>& keys, float time, float x, float y, float z) {
    Ms3dKey k;
    k.time = time;
    k.value[0] = x;
    k.value[1] = y;
    k.value[2] = z;
    keys.push_back(k);
}

}  // namespace

void AddFishMotion(const SpeciesDesc& desc, const FishRig& rig, Ms3dModelDesc* model) {
    const MotionDesc& mo = desc.motion;
    const int swimFrames = mo.swimFrames, restFrames = mo.secondFrames;
    const int restStart = swimFrames + 3;
    model->animationFPS = mo.fps;
    model->totalFrames = restStart + restFrames + 1;
    const int spineCount = static_cast<int>(rig.spine.size()) - 1;  // joints after the head

    // Pose of joint j at phase tau (0..1) of the swim cycle (swim) or rest cycle.
    std::function<Pose(int, bool, float)> pose = [&](int j, bool swim, float tau) {
        Pose p;
        float w = kTwoPi * tau;
        float restScale = mo.tailAmpDeg > 0 ? mo.restTailAmpDeg / mo.tailAmpDeg : 0;
        for (int i = 0; i <= spineCount; ++i) {
            if (rig.spine[i] != j) continue;
            if (i == 0) {
                float amp = mo.headAmpDeg * (swim ? 1 : restScale);
                p.yaw = -amp * kDegToRad * std::sin(w);
            } else {
                float amp = mo.tailAmpDeg * std::pow(static_cast<float>(i) / spineCount, mo.ampPower);
                if (!swim) amp *= restScale;
                p.yaw = amp * kDegToRad * std::sin(w - mo.waveLag * i);
            }
            return p;
        }
        if (j == rig.caudal) {
            float amp = swim ? mo.caudalAmpDeg : mo.restTailAmpDeg * 1.5f;
            p.yaw = amp * kDegToRad * std::sin(w - mo.waveLag * (spineCount + 1));
        } else if (j == rig.pectLeft || j == rig.pectRight) {
            float side = j == rig.pectLeft ? 1.0f : -1.0f;
            float fold = swim ? mo.pectFoldDeg : 0.0f;
            float amp = swim ? mo.pectSwimAmpDeg : mo.pectRestAmpDeg;
            // Pectorals beat twice per swim cycle; at rest once, slowly fanning.
            float beat = swim ? 2 * w : w;
            p.yaw = side * (fold + amp * std::sin(beat)) * kDegToRad;
        } else if (j == rig.mouth && !swim) {
            // A slow gulp while hovering: the snout pulses forward a little.
            p.tz = 0.012f * desc.bodyLength * 0.5f * (1 - std::cos(w));
        }
        return p;
    };

    for (size_t j = 0; j < model->joints.size(); ++j) {
        Ms3dJointDesc& joint = model->joints[j];
        joint.rotKeys.clear();
        joint.transKeys.clear();
        bool animated = j != static_cast<size_t>(rig.eyeLeft) && j != static_cast<size_t>(rig.eyeRight);
        auto range = [&](int first, int count, bool swim) {
            // Still joints get keys only at both ends of each range.
            int step = animated ? 1 : count;
            for (int f = 0; f <= count; f += step) {
                // The last frame repeats the first exactly.
                float tau = f == count ? 0.0f : static_cast<float>(f) / count;
                Pose p = pose(static_cast<int>(j), swim, tau);
                float time = (first + f) / mo.fps;
                AddKey(joint.rotKeys, time, 0, p.yaw, 0);
                AddKey(joint.transKeys, time, p.tx, p.ty, p.tz);
            }
        };
        range(2, swimFrames, true);
        range(restStart, restFrames, false);
    }
}

}  // namespace reefpack
