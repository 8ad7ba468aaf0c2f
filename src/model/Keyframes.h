// The keyframe player shared by MS3D (keys converted at each use) and ONEMODEL (key
// quaternions precomputed by the template), plus inlined skinning transforms.
// Internal to src/model. State is any record with the joint step fields of
// SKELETON_JOINT / BASICJOINT; QuatOf(i) yields the quaternion of rotation key i.
#pragma once
#include <cstdint>

#include "math/NiftyMaths.h"
#include "model/Ms3dFormat.h"

namespace modelkeys {

// First key at or after the clock, resuming from `start` (clamped into the list).
inline std::int32_t SearchKey(const MS3DKEYFRAME* keys, std::int32_t count, std::int32_t start, float clock) {
    std::int32_t i = start;
    if (i < 0) i = 0;
    if (i > count) i = count;
    while (i < count && clock > keys[i].time) i++;
    return i;
}

// Play mode for one joint. A list that is empty leaves that part of the pose alone.
template <class State, class QuatOf>
void PlayJoint(State& st, const MS3DKEYFRAME* rotKeys, std::int32_t numRot, const MS3DKEYFRAME* transKeys,
               std::int32_t numTrans, float clock, QuatOf quatOf) {
    if (numTrans > 0) {
        std::int32_t i = SearchKey(transKeys, numTrans, st.transKey, clock);
        st.transKey = i;
        const float* v;
        if (i == 0) {
            v = transKeys[0].value;
            st.currentTranslation = {v[0], v[1], v[2]};
        } else if (i < numTrans) {
            const MS3DKEYFRAME& p = transKeys[i - 1];
            const MS3DKEYFRAME& n = transKeys[i];
            float f = (clock - p.time) / (n.time - p.time);
            st.currentTranslation = {p.value[0] + (n.value[0] - p.value[0]) * f,
                                     p.value[1] + (n.value[1] - p.value[1]) * f,
                                     p.value[2] + (n.value[2] - p.value[2]) * f};
        } else {
            v = transKeys[numTrans - 1].value;
            st.currentTranslation = {v[0], v[1], v[2]};
        }
    }
    if (numRot > 0) {
        std::int32_t i = SearchKey(rotKeys, numRot, st.rotKey, clock);
        st.rotKey = i;
        bool set = false;
        if (i == 0) {
            // Rebuilt only when the key changed since the previous step.
            if (st.lastRotKey != 0) {
                st.currentQuat = quatOf(0);
                set = true;
            }
        } else if (i < numRot) {
            float f = (clock - rotKeys[i - 1].time) / (rotKeys[i].time - rotKeys[i - 1].time);
            QUAT q1 = quatOf(i - 1);
            QUAT q2 = quatOf(i);
            st.currentQuat = QuatSlerp(&q1, &q2, static_cast<double>(f));
            set = true;
        } else if (st.lastRotKey != i) {
            st.currentQuat = quatOf(numRot - 1);
            set = true;
        }
        if (set) st.animMatrix = QuatToRotationMatrix(st.currentQuat);
    }
    st.lastRotKey = st.rotKey;
}

// Blend mode for one joint: eases from the held pose towards the first key at or after
// the clock (the last key when the clock lies beyond every key).
template <class State, class QuatOf>
void BlendJoint(State& st, const MS3DKEYFRAME* rotKeys, std::int32_t numRot, const MS3DKEYFRAME* transKeys,
                std::int32_t numTrans, float clock, float factor, QuatOf quatOf) {
    if (numRot > 0) {
        std::int32_t i = SearchKey(rotKeys, numRot, 0, clock);
        if (i == numRot) i = numRot - 1;
        QUAT target = quatOf(i);
        st.currentQuat = QuatSlerp(&st.blendQuat, &target, static_cast<double>(factor));
        st.animMatrix = QuatToRotationMatrix(st.currentQuat);
    }
    if (numTrans > 0) {
        std::int32_t i = SearchKey(transKeys, numTrans, 0, clock);
        if (i == numTrans) i = numTrans - 1;
        const float* v = transKeys[i].value;
        const VECTOR3D& b = st.blendTranslation;
        st.currentTranslation = {b.x + (v[0] - b.x) * factor, b.y + (v[1] - b.y) * factor, b.z + (v[2] - b.z) * factor};
    }
}

// The four point transforms of the maths module, inlined for the per-vertex loops
// (same double arithmetic, results rounded to float).
inline void RotatePoint(const double* e, const float* p, float* out) {
    float x = static_cast<float>(p[0] * e[0] + p[1] * e[4] + p[2] * e[8]);
    float y = static_cast<float>(p[0] * e[1] + p[1] * e[5] + p[2] * e[9]);
    float z = static_cast<float>(p[0] * e[2] + p[1] * e[6] + p[2] * e[10]);
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

inline void InverseRotatePoint(const double* e, const float* p, float* out) {
    float x = static_cast<float>(p[0] * e[0] + p[1] * e[1] + p[2] * e[2]);
    float y = static_cast<float>(p[0] * e[4] + p[1] * e[5] + p[2] * e[6]);
    float z = static_cast<float>(p[0] * e[8] + p[1] * e[9] + p[2] * e[10]);
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

inline void TranslatePoint(const double* e, float* p) {
    p[0] = static_cast<float>(p[0] + e[12]);
    p[1] = static_cast<float>(p[1] + e[13]);
    p[2] = static_cast<float>(p[2] + e[14]);
}

inline void InverseTranslatePoint(const double* e, float* p) {
    p[0] = static_cast<float>(p[0] - e[12]);
    p[1] = static_cast<float>(p[1] - e[13]);
    p[2] = static_cast<float>(p[2] - e[14]);
}

}  // namespace modelkeys
