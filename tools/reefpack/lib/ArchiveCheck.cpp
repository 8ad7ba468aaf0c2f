// Model and image checks of the archive commands.
#include "ArchiveCheck.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/TGALoader.h"
#include "image/Texture.h"
#include "model/AnimTemplate.h"
#include "model/MilkshapeModel.h"
#include "model/ModelMain.h"

namespace reefpack {
namespace {

bool HasJoint(const MS3D& m, const char* name) {
    for (int j = 0; j < m.numJoints; ++j)
        if (std::strncmp(m.joints[j].name, name, sizeof m.joints[j].name) == 0) return true;
    return false;
}

// True when some key lies within half a frame of the given time (seconds).
bool KeyNear(const MS3DKEYFRAME* keys, int n, double time, double halfFrame) {
    for (int i = 0; i < n; ++i)
        if (std::fabs(keys[i].time - time) <= halfFrame) return true;
    return false;
}

}  // namespace

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool CheckModel(const MS3D& m, int swimFrames, int secondFrames, std::string* error, std::string* warnings) {
    if (m.numVertices == 0 || m.numTriangles == 0 || m.numGroups == 0) {
        *error = "the model has nothing to draw (no vertices, triangles or groups)";
        return false;
    }
    if (swimFrames < 1 || secondFrames < 1) {
        *error = "swim and rest cycles need at least one frame each";
        return false;
    }
    int lastFrame = swimFrames + 3 + secondFrames;
    if (lastFrame > m.totalFrames) {
        *error = "the rest cycle ends at frame " + std::to_string(lastFrame) + " but the model has only " +
                 std::to_string(m.totalFrames) + " frames";
        return false;
    }
    if (!(m.animationFPS > 0)) {
        *error = "the model's frames per second is not positive";
        return false;
    }
    for (const char* name : {"eyel", "eyer", "mouth"})
        if (!HasJoint(m, name)) *warnings += std::string("no joint named \"") + name + "\": nothing rolls there\n";
    double half = 0.5 / m.animationFPS;
    const int ends[4] = {2, swimFrames + 2, swimFrames + 3, lastFrame};
    for (int j = 0; j < m.numJoints; ++j) {
        const MS3DJOINT& jt = m.joints[j];
        std::string name(jt.name, strnlen(jt.name, sizeof jt.name));
        if (jt.numRotKeys == 0 && jt.numTransKeys == 0) continue;
        if (jt.numRotKeys == 0 || jt.numTransKeys == 0) {
            *warnings += "joint \"" + name + "\" has keys of one kind only\n";
            continue;
        }
        for (int f : ends) {
            double t = f / m.animationFPS;
            if (!KeyNear(jt.rotKeys, jt.numRotKeys, t, half) || !KeyNear(jt.transKeys, jt.numTransKeys, t, half)) {
                *warnings += "joint \"" + name + "\" has no key at frame " + std::to_string(f) + "\n";
                break;
            }
        }
    }
    return true;
}

bool PrepareModel(MS3D* m, int modelScale, float* extent, std::string* error) {
    m->Scale(static_cast<float>(modelScale / 100.0));
    float e = ModelExtent(*m);
    if (!std::isfinite(e)) {
        *error = "the model has a coordinate, normal or texture coordinate that is not a finite number";
        return false;
    }
    *extent = e;
    m->InitialSetup();
    ANIMATIONTEMPLATE tmpl;
    if (!tmpl.Setup(m)) {
        *error = "the engine cannot build the model's animation template";
        return false;
    }
    ONEMODEL instance;
    unsigned noTexture = 0;
    if (!instance.Setup(&tmpl, m, &noTexture)) {
        *error = "the engine cannot build a drawable fish from the model (more than 65535 distinct "
                 "vertices once split by normal and texture coordinate?)";
        return false;
    }
    return true;
}

bool DecodeImage(std::istream* in, Texture* tex, const std::string& what, std::string* error, uint32_t maxSide) {
    if (!LoadTGA2(tex, in, maxSide) || !tex->imageData) {
        *error = what + " is not a TGA image the engine reads (uncompressed or RLE, 24 or 32 bits, at most " +
                 std::to_string(maxSide) + " a side)";
        return false;
    }
    return true;
}

}  // namespace reefpack
