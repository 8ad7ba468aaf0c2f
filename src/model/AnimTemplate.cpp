// The per-species animation template: bind matrices and key quaternions computed once
// from a loaded MS3D so that each instance's frame step needs no Euler conversion.
#include "model/AnimTemplate.h"

#include <cstdio>
#include <new>

#include "math/Misc.h"

ANIMJOINT::ANIMJOINT() : rotQuats(nullptr) {}

ANIMJOINT::~ANIMJOINT() {
    delete[] rotQuats;
    rotQuats = nullptr;
}

ANIMATIONTEMPLATE::ANIMATIONTEMPLATE() : numJoints(0), joints(nullptr), totalFrames(0), animationFPS(0), totalTime(0) {}

ANIMATIONTEMPLATE::~ANIMATIONTEMPLATE() { Cleanup(); }

void ANIMATIONTEMPLATE::Cleanup() {
    delete[] joints;
    joints = nullptr;
    numJoints = 0;
}

bool ANIMATIONTEMPLATE::Setup(MS3D* m) {
    Cleanup();
    if (!m) return false;
    numJoints = m->numJoints;
    totalFrames = m->totalFrames;
    animationFPS = m->animationFPS;
    totalTime = m->totalTime;
    if (numJoints == 0) return true;
    if (!m->skeleton) {
        std::fprintf(stderr, "reefmere: animation template: the model's skeleton has not been set up\n");
        numJoints = 0;
        return false;
    }
    joints = new (std::nothrow) ANIMJOINT[numJoints];
    if (!joints) {
        std::fprintf(stderr, "reefmere: animation template: Unable to allocate memory!\n");
        ERRORCLOSE("Unable to allocate memory!");
        numJoints = 0;
        return false;
    }
    for (int j = 0; j < numJoints; j++) {
        const SKELETON_JOINT& s = m->skeleton[j];
        const MS3DJOINT& r = m->joints[j];
        ANIMJOINT& a = joints[j];
        a.flags = s.flags;
        a.parent = s.parent;
        a.relative = s.relative;
        a.absolute = s.absolute;
        a.currentTranslation = s.currentTranslation;
        a.rotation = s.rotation;
        a.translation = s.translation;
        a.bindQuat = RotationToQuat(a.rotation);
        a.bindMatrix = QuatToRotationMatrix(a.bindQuat);
        a.bindMatrix.SetTranslation(a.translation);
        a.numRotKeys = r.numRotKeys;
        a.numTransKeys = r.numTransKeys;
        a.rotKeys = new MS3DKEYFRAME[a.numRotKeys];
        a.transKeys = new MS3DKEYFRAME[a.numTransKeys];
        a.rotQuats = new QUAT[a.numRotKeys];
        // Keys come from the records as loaded (seconds), converted once here; the
        // angles go to degrees in single precision.
        for (int k = 0; k < a.numRotKeys; k++) {
            a.rotKeys[k] = r.rotKeys[k];
            const float* v = a.rotKeys[k].value;
            a.rotQuats[k] =
                RotationToQuat(VECTOR3D{v[0] * ANIM_RAD_TO_DEG_F, v[1] * ANIM_RAD_TO_DEG_F, v[2] * ANIM_RAD_TO_DEG_F});
            a.rotKeys[k].time = a.rotKeys[k].time * 1000.0f;
        }
        for (int k = 0; k < a.numTransKeys; k++) {
            a.transKeys[k] = r.transKeys[k];
            a.transKeys[k].time = a.transKeys[k].time * 1000.0f;
        }
    }
    return true;
}
