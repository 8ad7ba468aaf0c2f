// ONEFISH construction, filling from the species' data, drawing, Reset and SetAction.
// Leans on ONEMODEL (model/ModelMain.h) and FISHDATA (fish/FishData.h).
#include "fish/Fish.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#include "fish/FishData.h"
#include "image/Texture.h"
#include "math/Misc.h"

ONEFISH::ONEFISH()
    : action(FISH_WAITING),
      currentSpeed(2.0f),
      cruiseSpeed(2.0f),
      speedFactor(1.0f),
      wantedFactor(1.0f),
      actionTimer(0.0f),
      onScreen(false),
      leaving(false),
      fishData(nullptr),
      eyeTimer(1.0f) {}

ONEFISH::~ONEFISH() { Release(); }

void ONEFISH::Release() {
    // Groups and indices of a fish filled from a species are the prototype's.
    if (fishData) DetachShared();
    Cleanup();
    fishData = nullptr;
}

bool ONEFISH::SetupFromFishData(FISHDATA* data) {
    Release();
    if (!data || !data->Complete()) return false;
    const ONEFISH* proto = data->prototype;

    fishData = data;
    animTemplate = data->animTemplate;
    if (!SetupJoints(data->animTemplate)) {
        Release();
        return false;
    }

    currentTime = startTime = endTime = 0.0f;
    loop = false;
    speed = 1000.0f;
    angles = direction = position = VECTOR3D{};
    orientation.Identity();
    orientationQuat.Identity();

    materials = new (std::nothrow) MODELMATERIAL[proto->numMaterials ? proto->numMaterials : 1];
    if (!materials) {
        ERRORCLOSE("Unable to allocate memory!");
        Release();
        return false;
    }
    numMaterials = proto->numMaterials;
    // Each material wears a skin of its own choosing, so fish of a species differ.
    for (int i = 0; i < numMaterials; i++) {
        materials[i] = proto->materials[i];
        materials[i].texture = data->textures[rand() % data->numTextures].texID;
    }

    numGroups = proto->numGroups;
    groups = proto->groups;
    numTriangles = proto->numTriangles;
    indices = proto->indices;

    if (!CopyVertexBuffer(proto->vertexBuffer, proto->numVertices)) {
        Release();
        return false;
    }
    numVertices = proto->numVertices;
    scale = 1.0f;
    return true;
}

void ONEFISH::Draw(bool causticPass) {
    if (!vertexBuffer || !indices || !groups) return;
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glMultMatrixd(orientation.m);

    const char* base = reinterpret_cast<const char*>(vertexBuffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MODELVERTEX), base + offsetof(MODELVERTEX, position));
    glNormalPointer(GL_FLOAT, sizeof(MODELVERTEX), base + offsetof(MODELVERTEX, normal));
    glTexCoordPointer(2, GL_FLOAT, sizeof(MODELVERTEX), base + offsetof(MODELVERTEX, s));

    for (int g = 0; g < numGroups; g++) DrawGroup(g, causticPass);

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glPopMatrix();
}

void ONEFISH::DrawGroup(int group, bool causticPass) {
    if (group < 0 || group >= numGroups || !groups || !indices) return;
    const MODELGROUP& g = groups[group];
    if (static_cast<size_t>(g.firstIndex) + 3u * g.numTriangles > 3u * static_cast<size_t>(numTriangles)) return;

    // The caustic pass keeps the caller's projected texture and its coordinate generation.
    bool sphereMapped = false;
    if (materials && !causticPass && g.material >= 0 && g.material < numMaterials) {
        const MODELMATERIAL& m = materials[g.material];
        if (m.mode < 0) {
            // Bit 7 of the mode: environment-mapped with the generation mode set by the caller.
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            sphereMapped = true;
        }
        glBindTexture(GL_TEXTURE_2D, m.texture);
    }
    glDrawElements(GL_TRIANGLES, 3 * g.numTriangles, GL_UNSIGNED_SHORT, indices + g.firstIndex);
    if (sphereMapped) {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
}

void ONEFISH::Reset() {
    int r1 = rand();
    int r2 = rand();
    // Below the lowest target height (-35), within 25 units of the centre across and deep.
    position = VECTOR3D{(float)((r2 % 500) / 10.0 - 25.0), -40.0f, (float)((r1 % 500) / 10.0 - 25.0)};
    action = FISH_WAITING;
    currentSpeed = 6.0f;
    onScreen = false;
    leaving = false;
    SetAction(FISH_WAITING);
}

void ONEFISH::SetAction(int newAction) {
    action = newAction;
    if (newAction == FISH_CRUISING) {
        actionTimer = 20.0f;
        if (fishData) SetAnimation(2.0, fishData->swimFrames + 2.0, fishData->animSpeed, true, true);
        wantedFactor = (float)((rand() % 150) / 100.0 + 0.5);  // 0.5 to 1.99
    } else if (newAction == FISH_RESTING) {
        actionTimer = (float)((rand() % 100) / 10.0 + 1.0);  // 1.0 to 10.9 seconds
        // The rest cycle plays at a tenth of the model's own rate.
        if (fishData)
            SetAnimation(fishData->swimFrames + 3.0, (double)fishData->swimFrames + 3.0 + fishData->secondFrames, 100.0,
                         true, true);
    }
}

float ONEFISH::TargetHeight(float level) {
    double span = 600.0 * level + 1.0;
    if (!(span >= 1.0)) span = 1.0;
    if (span > 1e6) span = 1e6;
    int modulus = (int)span;
    return (float)((60.0 * level - 35.0) - (rand() % modulus) / 10.0);
}

VECTOR3D ONEFISH::RoamingTarget(float level) {
    VECTOR3D t;
    t.z = (float)((rand() % 400) / 10.0 - 20.0);
    t.y = TargetHeight(level);
    t.x = (float)((rand() % 800) / 10.0 - 40.0);
    return t;
}

VECTOR3D ONEFISH::CentralTarget() {
    VECTOR3D t;
    t.z = (float)((rand() % 400) / 10.0 - 20.0);
    t.y = (float)((rand() % 400) / 10.0 - 20.0);
    t.x = (float)((rand() % 400) / 10.0 - 20.0);
    return t;
}

double ONEFISH::Ceiling(float level, float radius, float z) {
    float depth = z + 32.0f;
    // Lower towards the viewer when the tank is more than half full.
    return 80.0 * level - (radius + 41.0) + (22.0 - 44.0 * level) * depth / 64.0;
}
