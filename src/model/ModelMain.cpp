// ONEMODEL construction: the de-duplicated interleaved vertex buffer, one index range per
// group, materials and per-instance joints built from a species' MS3D; teardown.
#include "model/ModelMain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "math/Misc.h"

namespace {

constexpr std::uint16_t kNoVertex = 0xFFFF;

bool SameRecord(const MODELVERTEX& v, const float* position, const float* normal, float s, float t, std::int8_t joint) {
    // Float equality on purpose: a NaN never matches, +0 matches -0.
    return v.position[0] == position[0] && v.position[1] == position[1] && v.position[2] == position[2] &&
           v.normal[0] == normal[0] && v.normal[1] == normal[1] && v.normal[2] == normal[2] && v.s == s && v.t == t &&
           v.joint == joint;
}

// Appends one record, growing the buffer by exactly one; kNoVertex when full.
std::uint16_t Append(ONEMODEL& m, const float* position, const float* normal, float s, float t, std::int8_t joint) {
    if (m.numVertices >= 0xFFFF) return kNoVertex;
    void* grown = std::realloc(m.vertexBuffer, (m.numVertices + 1u) * sizeof(MODELVERTEX));
    if (!grown) return kNoVertex;
    m.vertexBuffer = static_cast<MODELVERTEX*>(grown);
    MODELVERTEX& v = m.vertexBuffer[m.numVertices];
    std::memset(&v, 0, sizeof v);
    std::memcpy(v.position, position, sizeof v.position);
    std::memcpy(v.normal, normal, sizeof v.normal);
    v.s = s;
    v.t = t;
    v.joint = joint;
    return m.numVertices++;
}

// Key of a vertex record for the lookup table used while building a model: the bit
// patterns, with -0 folded onto +0 so that bit equality is float equality.
struct VertexKey {
    std::uint32_t bits[8];
    std::int8_t joint;
    bool operator==(const VertexKey& o) const {
        return joint == o.joint && std::memcmp(bits, o.bits, sizeof bits) == 0;
    }
};

struct VertexKeyHash {
    std::size_t operator()(const VertexKey& k) const {
        std::uint64_t h = 1469598103934665603ull ^ static_cast<std::uint8_t>(k.joint);
        for (std::uint32_t b : k.bits) h = (h ^ b) * 1099511628211ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

// False when a component is NaN (such a record never matches another).
bool MakeKey(const float* position, const float* normal, float s, float t, std::int8_t joint, VertexKey* key) {
    const float f[8] = {position[0], position[1], position[2], normal[0], normal[1], normal[2], s, t};
    for (int i = 0; i < 8; i++) {
        if (std::isnan(f[i])) return false;
        float c = f[i] == 0.0f ? 0.0f : f[i];
        std::memcpy(&key->bits[i], &c, 4);
    }
    key->joint = joint;
    return true;
}

// Leaves the model empty (nothing half-built is ever drawn) with one line on stderr.
bool SetupFailed(ONEMODEL& m, const char* message, const char* detail, bool hook = false) {
    std::fprintf(stderr, "reefmere: model instance: %s (%s)\n", message, detail);
    if (hook) ERRORCLOSE(message);
    m.Cleanup();
    return false;
}

}  // namespace

BASICJOINT::BASICJOINT() : parent(-1), flags(0), transKey(0), rotKey(0), lastRotKey(-1) {}

ONEMODEL::ONEMODEL()
    : animTemplate(nullptr),
      numJoints(0),
      joints(nullptr),
      numMaterials(0),
      materials(nullptr),
      numGroups(0),
      groups(nullptr),
      numTriangles(0),
      indices(nullptr),
      numVertices(0),
      vertexBuffer(nullptr),
      currentTime(0),
      loop(false),
      speed(1000.0f),
      startTime(0),
      endTime(0),
      blending(false),
      blendFactor(0),
      blendRate(ONEMODEL_BLEND_RATE),
      scale(1.0f) {}

ONEMODEL::~ONEMODEL() { Cleanup(); }

void ONEMODEL::Cleanup() {
    delete[] indices;
    indices = nullptr;
    std::free(vertexBuffer);
    vertexBuffer = nullptr;
    // Texture names belong to the species' Texture objects, which delete them.
    delete[] materials;
    materials = nullptr;
    delete[] groups;
    groups = nullptr;
    delete[] joints;
    joints = nullptr;
    numJoints = numMaterials = numGroups = numTriangles = numVertices = 0;
}

void ONEMODEL::DetachShared() {
    groups = nullptr;
    indices = nullptr;
    numGroups = 0;
    numTriangles = 0;
}

bool ONEMODEL::SetupJoints(ANIMATIONTEMPLATE* tmpl) {
    delete[] joints;
    joints = nullptr;
    numJoints = 0;
    if (!tmpl || tmpl->numJoints <= 0 || !tmpl->joints) return true;
    if (tmpl->numJoints > 0xFFFF) return false;
    joints = new (std::nothrow) BASICJOINT[tmpl->numJoints];
    if (!joints) return false;
    for (int j = 0; j < tmpl->numJoints; j++) {
        joints[j].flags = tmpl->joints[j].flags;
        joints[j].parent = tmpl->joints[j].parent;
    }
    numJoints = static_cast<std::uint16_t>(tmpl->numJoints);
    return true;
}

bool ONEMODEL::CopyVertexBuffer(const MODELVERTEX* src, std::uint16_t count) {
    // Copied before the old buffer goes, so a model may copy from itself.
    MODELVERTEX* copy = nullptr;
    if (count > 0) {
        if (!src) return false;
        copy = static_cast<MODELVERTEX*>(std::malloc(count * sizeof(MODELVERTEX)));
        if (!copy) return false;
        std::memcpy(copy, src, count * sizeof(MODELVERTEX));
    }
    std::free(vertexBuffer);
    vertexBuffer = copy;
    numVertices = count;
    return true;
}

std::uint16_t ONEMODEL::AddVertToBuffer(float* position, float* normal, float s, float t, std::int8_t joint) {
    for (int i = 0; i < numVertices; i++)
        if (SameRecord(vertexBuffer[i], position, normal, s, t, joint)) return static_cast<std::uint16_t>(i);
    return Append(*this, position, normal, s, t, joint);
}

bool ONEMODEL::Setup(ANIMATIONTEMPLATE* tmpl, MS3D* m, unsigned* textureName) {
    Cleanup();
    animTemplate = tmpl;
    if (!m) return false;
    if (!SetupJoints(tmpl)) return SetupFailed(*this, "Unable to allocate memory!", "joints", true);
    currentTime = startTime = endTime = 0;
    loop = false;
    speed = 1000.0f;
    angles = direction = position = VECTOR3D{0, 0, 0};
    orientation.Identity();
    orientationQuat.Identity();

    numGroups = m->numGroups;
    numMaterials = m->numMaterials;
    materials = new (std::nothrow) MODELMATERIAL[numMaterials];
    if (!materials) {
        return SetupFailed(*this, "Unable to allocate memory!", "materials", true);
    }
    groups = new (std::nothrow) MODELGROUP[numGroups];
    if (!groups) {
        return SetupFailed(*this, "Unable to allocate memory!", "groups", true);
    }
    for (int i = 0; i < numMaterials; i++) {
        const MS3DMATERIAL& src = m->materials[i];
        materials[i].mode = src.mode;
        materials[i].alpha = src.transparency;
        materials[i].colour[0] = src.ambient[0];
        materials[i].colour[1] = src.ambient[1];
        materials[i].colour[2] = src.ambient[2];
        materials[i].texture = textureName ? *textureName : 0;
    }

    unsigned long total = 0;
    for (int g = 0; g < numGroups; g++) total += m->groups[g].numTriangles;
    if (total > 0xFFFF) return SetupFailed(*this, "too many triangles", "more than 65535 over all groups");
    numTriangles = static_cast<std::uint16_t>(total);
    indices = new (std::nothrow) std::uint16_t[3 * total];
    if (!indices) return SetupFailed(*this, "out of memory", "index buffer");

    // The same records AddVertToBuffer would make, found through a table instead of a
    // linear search and gathered before one allocation, so that a large model loads in
    // linear time.
    std::unordered_map<VertexKey, std::uint16_t, VertexKeyHash> seen;
    std::vector<MODELVERTEX> records;
    auto add = [&records](const float* p, const float* n, float s, float t, std::int8_t joint) -> std::uint16_t {
        if (records.size() >= 0xFFFF) return kNoVertex;
        MODELVERTEX v{};
        std::memcpy(v.position, p, sizeof v.position);
        std::memcpy(v.normal, n, sizeof v.normal);
        v.s = s;
        v.t = t;
        v.joint = joint;
        records.push_back(v);
        return static_cast<std::uint16_t>(records.size() - 1);
    };
    std::uint32_t next = 0;
    for (int g = 0; g < numGroups; g++) {
        const MS3DGROUP& sg = m->groups[g];
        groups[g].firstIndex = next;
        groups[g].material = sg.materialIndex;
        groups[g].numTriangles = sg.numTriangles;
        if (sg.materialIndex >= numMaterials) return SetupFailed(*this, "bad model", "group material out of range");
        for (int i = 0; i < sg.numTriangles; i++) {
            if (sg.triangleIndices[i] >= m->numTriangles)
                return SetupFailed(*this, "bad model", "triangle out of range");
            const MS3DTRIANGLE& tri = m->triangles[sg.triangleIndices[i]];
            for (int k = 0; k < 3; k++) {
                if (tri.vertexIndices[k] >= m->numVertices)
                    return SetupFailed(*this, "bad model", "vertex out of range");
                const MS3DVERTEX& v = m->vertices[tri.vertexIndices[k]];
                if (v.boneId >= numJoints) return SetupFailed(*this, "bad model", "joint out of range");
                float t = 1.0f - tri.t[k];
                VertexKey key;
                std::uint16_t index;
                if (MakeKey(v.position, tri.vertexNormals[k], tri.s[k], t, v.boneId, &key)) {
                    auto found = seen.find(key);
                    if (found != seen.end()) {
                        index = found->second;
                    } else {
                        index = add(v.position, tri.vertexNormals[k], tri.s[k], t, v.boneId);
                        if (index != kNoVertex) seen.emplace(key, index);
                    }
                } else {
                    index = add(v.position, tri.vertexNormals[k], tri.s[k], t, v.boneId);
                }
                if (index == kNoVertex)
                    return SetupFailed(*this, "too many vertices", "more than 65535 distinct corners");
                indices[next + k] = index;
            }
            next += 3;
        }
    }
    if (!CopyVertexBuffer(records.data(), static_cast<std::uint16_t>(records.size())))
        return SetupFailed(*this, "out of memory", "vertex buffer");
    return true;
}
