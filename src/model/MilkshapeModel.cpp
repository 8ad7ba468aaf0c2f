// MS3D skeleton, its own keyframe player and immediate-mode drawing. Clocks are in
// milliseconds; bind rotations in degrees once SetupSkeleton has run; key angles stay in
// radians and are converted at each use.
#include "model/MilkshapeModel.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/Texture.h"
#include "model/Keyframes.h"

namespace {

QUAT KeyQuat(const MS3DKEYFRAME& key) {
    VECTOR3D deg{static_cast<float>(key.value[0] * MS3D_RAD_TO_DEG), static_cast<float>(key.value[1] * MS3D_RAD_TO_DEG),
                 static_cast<float>(key.value[2] * MS3D_RAD_TO_DEG)};
    return RotationToQuat(deg);
}

MS3DKEYFRAME* CopyKeysToMilliseconds(const MS3DKEYFRAME* keys, int count) {
    MS3DKEYFRAME* out = new MS3DKEYFRAME[count];
    for (int k = 0; k < count; k++) {
        out[k] = keys[k];
        out[k].time = out[k].time * 1000.0f;
    }
    return out;
}

}  // namespace

void MS3D::InitialSetup() {
    if (numJoints == 0) return;
    SetupSkeleton();
    UpdateSkeleton();
    RevertPoints();
}

void MS3D::SetupSkeleton() {
    // The joint records are converted to degrees in place, so this runs once per model.
    if (skeleton || numJoints == 0) return;
    skeleton = new SKELETON_JOINT[numJoints];
    for (int j = 0; j < numJoints; j++) {
        MS3DJOINT& rec = joints[j];
        SKELETON_JOINT& sj = skeleton[j];
        for (float& c : rec.rotation) c = static_cast<float>(c * MS3D_RAD_TO_DEG);
        sj.flags = rec.flags;
        sj.relative.Identity();
        sj.absolute.Identity();
        sj.currentTranslation = {0, 0, 0};
        sj.rotation = {rec.rotation[0], rec.rotation[1], rec.rotation[2]};
        sj.translation = {rec.position[0], rec.position[1], rec.position[2]};
        sj.parent = -1;
        if (rec.parentName[0] != 0) {
            for (int p = 0; p < numJoints; p++)
                if (std::strncmp(rec.parentName, joints[p].name, MS3D_NAME_SIZE) == 0) {
                    sj.parent = p;
                    break;
                }
        }
        sj.numRotKeys = rec.numRotKeys;
        sj.numTransKeys = rec.numTransKeys;
        sj.rotKeys = CopyKeysToMilliseconds(rec.rotKeys, rec.numRotKeys);
        sj.transKeys = CopyKeysToMilliseconds(rec.transKeys, rec.numTransKeys);
    }
}

void MS3D::UpdateSkeleton() {
    if (!skeleton) return;
    for (int j = 0; j < numJoints; j++) {
        SKELETON_JOINT& sj = skeleton[j];
        sj.relative = QuatToRotationMatrix(RotationToQuat(sj.rotation));
        sj.relative.SetTranslation(sj.translation);
        MATRIX anim = sj.animMatrix;
        anim.SetTranslation(sj.currentTranslation);
        sj.relative = MultiplyMatrix(sj.relative, anim);
        sj.absolute = sj.parent < 0 ? sj.relative : MultiplyMatrix(skeleton[sj.parent].absolute, sj.relative);
    }
}

void MS3D::RevertPoints() {
    if (!skeleton) return;
    using namespace modelkeys;
    for (int i = 0; i < numVertices; i++) {
        MS3DVERTEX& v = vertices[i];
        if (v.boneId < 0) continue;
        const double* a = skeleton[v.boneId].absolute.m;
        InverseTranslatePoint(a, v.position);
        InverseRotatePoint(a, v.position, v.position);
    }
    for (int i = 0; i < numTriangles; i++) {
        MS3DTRIANGLE& t = triangles[i];
        for (int k = 0; k < 3; k++) {
            int b = vertices[t.vertexIndices[k]].boneId;
            if (b >= 0) InverseRotatePoint(skeleton[b].absolute.m, t.vertexNormals[k], t.vertexNormals[k]);
        }
    }
}

void MS3D::UpdatePoints() {
    if (!skeleton) return;
    using namespace modelkeys;
    for (int i = 0; i < numVertices; i++) {
        MS3DVERTEX& v = vertices[i];
        if (v.boneId < 0) continue;
        const double* a = skeleton[v.boneId].absolute.m;
        RotatePoint(a, v.position, v.position);
        TranslatePoint(a, v.position);
    }
    for (int i = 0; i < numTriangles; i++) {
        MS3DTRIANGLE& t = triangles[i];
        for (int k = 0; k < 3; k++) {
            int b = vertices[t.vertexIndices[k]].boneId;
            if (b >= 0) RotatePoint(skeleton[b].absolute.m, t.vertexNormals[k], t.vertexNormals[k]);
        }
    }
}

void MS3D::SetAnimation(double start, double end, double spd, bool lp, bool blend) {
    startTime = static_cast<float>(start * 1000.0 / animationFPS);
    endTime = static_cast<float>(1000.0 * end / animationFPS);
    speed = static_cast<float>(spd);
    loop = lp;
    currentTime = startTime;
    if (skeleton)
        for (int j = 0; j < numJoints; j++) {
            SKELETON_JOINT& sj = skeleton[j];
            sj.transKey = sj.rotKey = 0;
            sj.blendQuat = sj.currentQuat;
            sj.blendTranslation = sj.currentTranslation;
        }
    blending = blend;
    blendFactor = 0;
}

void MS3D::RestartAnim() {
    currentTime = startTime;
    if (skeleton)
        for (int j = 0; j < numJoints; j++) skeleton[j].transKey = skeleton[j].rotKey = 0;
}

float MS3D::Frame(int frame) { return static_cast<float>(frame * 1000.0 / animationFPS); }

void MS3D::Animate(double dt) {
    // Without a skeleton the clock still runs; there are just no joints to pose.
    const int jointCount = skeleton ? numJoints : 0;
    if (blending) {
        // The pose eases from the one held at SetAnimation to the range's first pose;
        // the clock does not move meanwhile.
        blendFactor = static_cast<float>(blendFactor + 2.0 * dt);
        if (blendFactor >= 1.0f) {
            blending = false;
            blendFactor = 1.0f;
        }
        for (int j = 0; j < jointCount; j++) {
            SKELETON_JOINT& sj = skeleton[j];
            const MS3DKEYFRAME* rk = sj.rotKeys;
            modelkeys::BlendJoint(sj, sj.rotKeys, sj.numRotKeys, sj.transKeys, sj.numTransKeys, currentTime,
                                  blendFactor, [rk](int i) { return KeyQuat(rk[i]); });
        }
        return;
    }

    if (currentTime >= endTime) return;  // a finished range that does not loop holds its last pose
    currentTime = static_cast<float>(currentTime + speed * dt);
    if (currentTime >= endTime) {
        if (loop) {
            currentTime = startTime;  // the overshoot is dropped
            for (int j = 0; j < jointCount; j++) skeleton[j].transKey = skeleton[j].rotKey = 0;
        } else {
            currentTime = endTime;
        }
    }
    for (int j = 0; j < jointCount; j++) {
        SKELETON_JOINT& sj = skeleton[j];
        if (sj.numRotKeys == 0 && sj.numTransKeys == 0) continue;
        const MS3DKEYFRAME* rk = sj.rotKeys;
        modelkeys::PlayJoint(sj, sj.rotKeys, sj.numRotKeys, sj.transKeys, sj.numTransKeys, currentTime,
                             [rk](int i) { return KeyQuat(rk[i]); });
    }
}

void MS3D::DrawTriangles(int g) {
    const MS3DGROUP& group = groups[g];
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < group.numTriangles; i++) {
        const MS3DTRIANGLE& t = triangles[group.triangleIndices[i]];
        for (int k = 0; k < 3; k++) {
            glNormal3fv(t.vertexNormals[k]);
            glTexCoord2f(t.s[k], 1.0f - t.t[k]);  // image rows run top-down
            glVertex3fv(vertices[t.vertexIndices[k]].position);
        }
    }
    glEnd();
}

void MS3D::DrawGroup(int g) {
    if (g < 0 || g >= numGroups) return;
    DrawTriangles(g);
}

void MS3D::DrawGroup(int g, Texture* textures) {
    if (g < 0 || g >= numGroups) return;
    if (textures && groups[g].materialIndex >= 0) glBindTexture(GL_TEXTURE_2D, textures[groups[g].materialIndex].texID);
    DrawTriangles(g);
}

void MS3D::Render() {
    for (int g = 0; g < numGroups; g++) DrawGroup(g);
}

void MS3D::Render(Texture* textures) {
    for (int g = 0; g < numGroups; g++) DrawGroup(g, textures);
}

float ModelExtent(const MS3D& m) {
    float extent = 0.0f;
    bool finite = true;
    for (unsigned i = 0; i < m.numVertices; i++)
        for (float c : m.vertices[i].position) {
            finite = finite && std::isfinite(c);
            extent = std::max(extent, std::fabs(c));
        }
    for (unsigned i = 0; i < m.numTriangles; i++) {
        const MS3DTRIANGLE& t = m.triangles[i];
        for (int k = 0; k < 3; k++) {
            finite = finite && std::isfinite(t.s[k]) && std::isfinite(t.t[k]);
            for (float c : t.vertexNormals[k]) finite = finite && std::isfinite(c);
        }
    }
    return finite ? extent : std::numeric_limits<float>::quiet_NaN();
}
