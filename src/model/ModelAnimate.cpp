// ONEMODEL per-frame work: the keyframe player over the template's keys, the skeleton
// from the template's bind matrices, processor skinning of the vertex buffer (with the
// instance's scale), and drawing from client-side vertex arrays.
#include <GL/gl.h>

#include "model/Keyframes.h"
#include "model/ModelMain.h"

namespace {

// The template joint j, or null when the instance and its template disagree.
const ANIMJOINT* TemplateJoint(const ANIMATIONTEMPLATE* t, int j) {
    if (!t || !t->joints || j >= t->numJoints) return nullptr;
    return &t->joints[j];
}

}  // namespace

void ONEMODEL::SetAnimation(double start, double end, double spd, bool lp, bool blend) {
    double fps = animTemplate ? animTemplate->animationFPS : 0.0;
    startTime = static_cast<float>(start * 1000.0 / fps);
    endTime = static_cast<float>(1000.0 * end / fps);
    speed = static_cast<float>(spd);
    loop = lp;
    currentTime = startTime;
    for (int j = 0; j < numJoints; j++) {
        BASICJOINT& bj = joints[j];
        bj.transKey = bj.rotKey = 0;
        bj.blendQuat = bj.currentQuat;
        bj.blendTranslation = bj.currentTranslation;
    }
    blending = blend;
    blendFactor = 0;
}

void ONEMODEL::RestartAnim() {
    currentTime = startTime;
    for (int j = 0; j < numJoints; j++) joints[j].transKey = joints[j].rotKey = 0;
}

void ONEMODEL::Animate(double dt) {
    if (!joints && numJoints) return;
    if (blending) {
        blendFactor = static_cast<float>(blendFactor + blendRate * dt);
        if (blendFactor >= 1.0f) {
            blending = false;
            blendFactor = 1.0f;
        }
        for (int j = 0; j < numJoints; j++) {
            const ANIMJOINT* tj = TemplateJoint(animTemplate, j);
            if (!tj) break;
            const QUAT* quats = tj->rotQuats;
            modelkeys::BlendJoint(joints[j], tj->rotKeys, tj->numRotKeys, tj->transKeys, tj->numTransKeys, currentTime,
                                  blendFactor, [quats](int i) { return quats[i]; });
        }
        return;
    }

    if (currentTime >= endTime) return;
    currentTime = static_cast<float>(currentTime + speed * dt);
    if (currentTime >= endTime) {
        if (loop) {
            currentTime = startTime;  // the overshoot is dropped
            for (int j = 0; j < numJoints; j++) joints[j].transKey = joints[j].rotKey = 0;
        } else {
            currentTime = endTime;
        }
    }
    for (int j = 0; j < numJoints; j++) {
        const ANIMJOINT* tj = TemplateJoint(animTemplate, j);
        if (!tj) break;
        if (tj->numRotKeys == 0 && tj->numTransKeys == 0) continue;
        const QUAT* quats = tj->rotQuats;
        modelkeys::PlayJoint(joints[j], tj->rotKeys, tj->numRotKeys, tj->transKeys, tj->numTransKeys, currentTime,
                             [quats](int i) { return quats[i]; });
    }
}

void ONEMODEL::UpdateSkeleton() {
    for (int j = 0; j < numJoints; j++) {
        const ANIMJOINT* tj = TemplateJoint(animTemplate, j);
        if (!tj) break;
        BASICJOINT& bj = joints[j];
        MATRIX anim = bj.animMatrix;
        anim.SetTranslation(bj.currentTranslation);
        bj.relative = MultiplyMatrix(tj->bindMatrix, anim);
        // A parent listed after its child contributes its previous pose; an index that
        // names no joint is treated as a root.
        bj.absolute = (bj.parent < 0 || bj.parent >= numJoints)
                          ? bj.relative
                          : MultiplyMatrix(joints[bj.parent].absolute, bj.relative);
    }
}

void ONEMODEL::RevertPoints(BASICJOINT* js) {
    if (!js || !vertexBuffer) return;
    using namespace modelkeys;
    const float s = scale;
    for (int i = 0; i < numVertices; i++) {
        MODELVERTEX& v = vertexBuffer[i];
        if (v.joint < 0 || v.joint >= numJoints) continue;
        const double* a = js[v.joint].absolute.m;
        float p[3] = {v.position[0] / s, v.position[1] / s, v.position[2] / s};
        InverseTranslatePoint(a, p);
        InverseRotatePoint(a, p, v.position);
        InverseRotatePoint(a, v.normal, v.normal);
    }
}

void ONEMODEL::UpdatePoints(BASICJOINT* js) {
    if (!js || !vertexBuffer) return;
    using namespace modelkeys;
    const float s = scale;
    for (int i = 0; i < numVertices; i++) {
        MODELVERTEX& v = vertexBuffer[i];
        if (v.joint < 0 || v.joint >= numJoints) continue;
        const double* a = js[v.joint].absolute.m;
        float p[3];
        RotatePoint(a, v.position, p);
        TranslatePoint(a, p);
        v.position[0] = p[0] * s;
        v.position[1] = p[1] * s;
        v.position[2] = p[2] * s;
        RotatePoint(a, v.normal, v.normal);
    }
}

void ONEMODEL::Update(double dt) {
    RevertPoints(joints);
    Animate(dt);
    UpdateSkeleton();
    UpdatePoints(joints);
}

void ONEMODEL::Draw() {
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glMultMatrixd(orientation.m);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const char* base = reinterpret_cast<const char*>(vertexBuffer);
    glVertexPointer(3, GL_FLOAT, sizeof(MODELVERTEX), base);
    glNormalPointer(GL_FLOAT, sizeof(MODELVERTEX), base + 12);
    glTexCoordPointer(2, GL_FLOAT, sizeof(MODELVERTEX), base + 24);
    for (int g = 0; g < numGroups; g++) DrawGroup(g);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glPopMatrix();
}

void ONEMODEL::DrawGroup(int g) {
    if (g < 0 || g >= numGroups || !groups || !indices || !vertexBuffer) return;
    const MODELGROUP& group = groups[g];
    if (materials && group.material >= 0 && group.material < numMaterials)
        glBindTexture(GL_TEXTURE_2D, materials[group.material].texture);
    glDrawElements(GL_TRIANGLES, 3 * group.numTriangles, GL_UNSIGNED_SHORT, indices + group.firstIndex);
}

void ONEMODEL::DrawBlank() {
    if (!indices || !vertexBuffer) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const char* base = reinterpret_cast<const char*>(vertexBuffer);
    glVertexPointer(3, GL_FLOAT, sizeof(MODELVERTEX), base);
    glNormalPointer(GL_FLOAT, sizeof(MODELVERTEX), base + 12);
    glTexCoordPointer(2, GL_FLOAT, sizeof(MODELVERTEX), base + 24);
    glDrawElements(GL_TRIANGLES, 3 * numTriangles, GL_UNSIGNED_SHORT, indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
