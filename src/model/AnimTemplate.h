// ANIMATIONTEMPLATE: the read-only animation data that every instance of one species
// shares (bind matrices, keys with times in milliseconds, one quaternion per rotation
// key), built once from an MS3D after InitialSetup. Leans on model/MilkshapeModel.h.
#pragma once
#include <cstdint>

#include "math/NiftyMaths.h"
#include "model/MilkshapeModel.h"

// Radians to degrees in single precision, as the template converts its key angles.
constexpr float ANIM_RAD_TO_DEG_F = 57.29578f;

class ANIMJOINT : public SKELETON_JOINT {
public:
    ANIMJOINT();
    ~ANIMJOINT();

    QUAT* rotQuats;     // owned, new[]; one per rotation key
    QUAT bindQuat;      // bind rotation
    MATRIX bindMatrix;  // rotation of bindQuat with the bind translation in m[12..14]
};

class ANIMATIONTEMPLATE {
public:
    ANIMATIONTEMPLATE();
    ~ANIMATIONTEMPLATE();
    ANIMATIONTEMPLATE(const ANIMATIONTEMPLATE&) = delete;
    ANIMATIONTEMPLATE& operator=(const ANIMATIONTEMPLATE&) = delete;

    // Fills the template from m (after m->InitialSetup()). Reports "Unable to allocate
    // memory!" and leaves joints null when the joint array cannot be had; false then.
    bool Setup(MS3D* m);
    void Cleanup();  // frees the joints; safe to call repeatedly

    std::int32_t numJoints;
    ANIMJOINT* joints;  // owned, new[]
    std::int32_t totalFrames;
    float animationFPS;
    float totalTime;  // milliseconds
};
