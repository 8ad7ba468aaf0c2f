// Reading MilkShape 3D files into an MS3D: header check, every section read field by
// field, every count checked against the bytes the stream still holds, every index
// checked against its array. The model is published only when all of it is sound.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

#include "math/Misc.h"
#include "math/RegularFile.h"
#include "model/MilkshapeModel.h"

namespace {

const char kInvalid[] = "Not a valid MS3D file!";
const char kCantOpen[] = "Coun't open the damn MS3D file!";
const char kTruncated[] = "MS3D file is truncated!";
const char kBadIndex[] = "MS3D file holds an index out of range!";

// Little-endian field reader over a stream with a byte budget.
class Reader {
public:
    explicit Reader(std::istream* in) : in_(in) {
        // The bytes left in the stream bound every count: a count that needs more than
        // that is refused before anything is allocated for it. A stream that cannot
        // tell its position is read without that bound (counts are 16-bit anyway).
        std::istream::pos_type here = in_->tellg();
        if (here == std::istream::pos_type(-1)) {
            in_->clear(in_->rdstate() & ~std::ios::failbit);
            return;
        }
        in_->seekg(0, std::ios::end);
        std::istream::pos_type end = in_->tellg();
        if (end != std::istream::pos_type(-1) && end >= here) left_ = static_cast<unsigned long long>(end - here);
        in_->clear();
        in_->seekg(here);
    }

    bool Bytes(void* out, std::size_t n) {
        if (n > left_) return false;
        in_->read(static_cast<char*>(out), static_cast<std::streamsize>(n));
        if (static_cast<std::size_t>(in_->gcount()) != n) return false;
        if (left_ != kUnknown) left_ -= n;
        return true;
    }
    bool U8(std::uint8_t* v) { return Bytes(v, 1); }
    bool I8(std::int8_t* v) {
        std::uint8_t b;
        if (!Bytes(&b, 1)) return false;
        *v = static_cast<std::int8_t>(b);
        return true;
    }
    bool U16(std::uint16_t* v) {
        std::uint8_t b[2];
        if (!Bytes(b, 2)) return false;
        *v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool U32(std::uint32_t* v) {
        std::uint8_t b[4];
        if (!Bytes(b, 4)) return false;
        *v = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
             (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }
    bool I32(std::int32_t* v) {
        std::uint32_t u;
        if (!U32(&u)) return false;
        std::memcpy(v, &u, 4);
        return true;
    }
    bool F32(float* v) {
        std::uint32_t u;
        if (!U32(&u)) return false;
        std::memcpy(v, &u, 4);
        return true;
    }
    bool Floats(float* v, int n) {
        for (int i = 0; i < n; i++)
            if (!F32(&v[i])) return false;
        return true;
    }
    // Whether count records of at least recordSize bytes can still be in the stream.
    bool Fits(std::size_t count, std::size_t recordSize) const {
        return left_ == kUnknown || static_cast<unsigned long long>(count) * recordSize <= left_;
    }

private:
    static constexpr unsigned long long kUnknown = std::numeric_limits<unsigned long long>::max();
    std::istream* in_;
    unsigned long long left_ = kUnknown;
};

// One diagnostic line on stderr; the fixed message goes to the error hook.
bool Fail(const char* source, const char* hookMessage, const char* detail) {
    std::fprintf(stderr, "reefmere: %s: %s (%s)\n", source ? source : "MS3D model", hookMessage, detail);
    ERRORCLOSE(hookMessage);
    return false;
}

bool Truncated(const char* source, const char* section, unsigned index, unsigned count) {
    char detail[160];
    std::snprintf(detail, sizeof detail, "ends inside %s %u of %u", section, index, count);
    return Fail(source, kTruncated, detail);
}

bool TooMany(const char* source, const char* section, unsigned count) {
    char detail[160];
    std::snprintf(detail, sizeof detail, "%u %s do not fit in the rest of the file", count, section);
    return Fail(source, kTruncated, detail);
}

bool OutOfRange(const char* source, const char* what, unsigned index, long value, unsigned limit) {
    char detail[200];
    std::snprintf(detail, sizeof detail, "%s %u names %ld of %u", what, index, value, limit);
    return Fail(source, kBadIndex, detail);
}

bool ReadKeys(Reader& r, MS3DKEYFRAME* keys, std::uint16_t n) {
    for (unsigned k = 0; k < n; k++)
        if (!r.F32(&keys[k].time) || !r.Floats(keys[k].value, 3)) return false;
    return true;
}

// Reads everything after the header into m (a fresh MS3D). On false m may hold a partly
// filled model, which its owner frees.
bool ReadBody(Reader& r, MS3D& m, const char* src) {
    if (!r.U16(&m.numVertices)) return Truncated(src, "the vertex count", 0, 0);
    if (!r.Fits(m.numVertices, MS3D_VERTEX_SIZE)) return TooMany(src, "vertices", m.numVertices);
    m.vertices = new MS3DVERTEX[m.numVertices];
    for (unsigned i = 0; i < m.numVertices; i++) {
        MS3DVERTEX& v = m.vertices[i];
        if (!r.U8(&v.flags) || !r.Floats(v.position, 3) || !r.I8(&v.boneId) || !r.U8(&v.refCount))
            return Truncated(src, "vertex", i, m.numVertices);
    }

    if (!r.U16(&m.numTriangles)) return Truncated(src, "the triangle count", 0, 0);
    if (!r.Fits(m.numTriangles, MS3D_TRIANGLE_SIZE)) return TooMany(src, "triangles", m.numTriangles);
    m.triangles = new MS3DTRIANGLE[m.numTriangles];
    for (unsigned i = 0; i < m.numTriangles; i++) {
        MS3DTRIANGLE& t = m.triangles[i];
        bool ok = r.U16(&t.flags);
        for (int k = 0; ok && k < 3; k++) ok = r.U16(&t.vertexIndices[k]);
        for (int k = 0; ok && k < 3; k++) ok = r.Floats(t.vertexNormals[k], 3);
        ok = ok && r.Floats(t.s, 3) && r.Floats(t.t, 3) && r.U8(&t.smoothingGroup) && r.U8(&t.groupIndex);
        if (!ok) return Truncated(src, "triangle", i, m.numTriangles);
    }

    if (!r.U16(&m.numGroups)) return Truncated(src, "the group count", 0, 0);
    if (!r.Fits(m.numGroups, MS3D_GROUP_BASE_SIZE)) return TooMany(src, "groups", m.numGroups);
    m.groups = new MS3DGROUP[m.numGroups];
    for (unsigned i = 0; i < m.numGroups; i++) {
        MS3DGROUP& g = m.groups[i];
        if (!r.U8(&g.flags) || !r.Bytes(g.name, MS3D_NAME_SIZE) || !r.U16(&g.numTriangles))
            return Truncated(src, "group", i, m.numGroups);
        g.name[MS3D_NAME_SIZE - 1] = 0;
        if (!r.Fits(g.numTriangles, 2)) return TooMany(src, "group triangle indices", g.numTriangles);
        g.triangleIndices = new std::uint16_t[g.numTriangles];
        for (unsigned k = 0; k < g.numTriangles; k++)
            if (!r.U16(&g.triangleIndices[k])) return Truncated(src, "group", i, m.numGroups);
        if (!r.I8(&g.materialIndex)) return Truncated(src, "group", i, m.numGroups);
    }

    if (!r.U16(&m.numMaterials)) return Truncated(src, "the material count", 0, 0);
    if (!r.Fits(m.numMaterials, MS3D_MATERIAL_SIZE)) return TooMany(src, "materials", m.numMaterials);
    m.materials = new MS3DMATERIAL[m.numMaterials];
    for (unsigned i = 0; i < m.numMaterials; i++) {
        MS3DMATERIAL& mt = m.materials[i];
        bool ok = r.Bytes(mt.name, MS3D_NAME_SIZE) && r.Floats(mt.ambient, 4) && r.Floats(mt.diffuse, 4) &&
                  r.Floats(mt.specular, 4) && r.Floats(mt.emissive, 4) && r.F32(&mt.shininess) &&
                  r.F32(&mt.transparency) && r.I8(&mt.mode) && r.Bytes(mt.texture, MS3D_FILENAME_SIZE) &&
                  r.Bytes(mt.alphamap, MS3D_FILENAME_SIZE);
        if (!ok) return Truncated(src, "material", i, m.numMaterials);
        mt.name[MS3D_NAME_SIZE - 1] = 0;
        mt.texture[MS3D_FILENAME_SIZE - 1] = 0;
        mt.alphamap[MS3D_FILENAME_SIZE - 1] = 0;
    }

    float discardedTime = 0;
    if (!r.F32(&m.animationFPS) || !r.F32(&discardedTime) || !r.I32(&m.totalFrames))
        return Truncated(src, "the animation block", 0, 1);
    m.totalTime = static_cast<float>(m.totalFrames * 1000.0 / m.animationFPS);

    if (!r.U16(&m.numJoints)) return Truncated(src, "the joint count", 0, 0);
    if (!r.Fits(m.numJoints, MS3D_JOINT_BASE_SIZE)) return TooMany(src, "joints", m.numJoints);
    m.joints = new MS3DJOINT[m.numJoints];
    for (unsigned i = 0; i < m.numJoints; i++) {
        MS3DJOINT& j = m.joints[i];
        bool ok = r.U8(&j.flags) && r.Bytes(j.name, MS3D_NAME_SIZE) && r.Bytes(j.parentName, MS3D_NAME_SIZE) &&
                  r.Floats(j.rotation, 3) && r.Floats(j.position, 3) && r.U16(&j.numRotKeys) && r.U16(&j.numTransKeys);
        if (!ok) return Truncated(src, "joint", i, m.numJoints);
        j.name[MS3D_NAME_SIZE - 1] = 0;
        j.parentName[MS3D_NAME_SIZE - 1] = 0;
        if (!r.Fits(static_cast<std::size_t>(j.numRotKeys) + j.numTransKeys, MS3D_KEYFRAME_SIZE))
            return TooMany(src, "keyframes", static_cast<unsigned>(j.numRotKeys) + j.numTransKeys);
        j.rotKeys = new MS3DKEYFRAME[j.numRotKeys];
        if (!ReadKeys(r, j.rotKeys, j.numRotKeys)) return Truncated(src, "the rotation keys of joint", i, m.numJoints);
        j.transKeys = new MS3DKEYFRAME[j.numTransKeys];
        if (!ReadKeys(r, j.transKeys, j.numTransKeys))
            return Truncated(src, "the translation keys of joint", i, m.numJoints);
    }
    return true;
}

// Every reference that a later stage follows must name an existing record.
bool CheckIndices(const MS3D& m, const char* src) {
    for (unsigned i = 0; i < m.numVertices; i++) {
        int b = m.vertices[i].boneId;
        if (b >= m.numJoints) return OutOfRange(src, "vertex", i, b, m.numJoints);
    }
    for (unsigned i = 0; i < m.numTriangles; i++)
        for (int k = 0; k < 3; k++)
            if (m.triangles[i].vertexIndices[k] >= m.numVertices)
                return OutOfRange(src, "triangle", i, m.triangles[i].vertexIndices[k], m.numVertices);
    unsigned long corners = 0;
    for (unsigned i = 0; i < m.numGroups; i++) {
        const MS3DGROUP& g = m.groups[i];
        for (unsigned k = 0; k < g.numTriangles; k++)
            if (g.triangleIndices[k] >= m.numTriangles)
                return OutOfRange(src, "group", i, g.triangleIndices[k], m.numTriangles);
        if (g.materialIndex >= m.numMaterials)
            return OutOfRange(src, "group material of group", i, g.materialIndex, m.numMaterials);
        corners += g.numTriangles;
    }
    // A model instance indexes all grouped triangles with a 16-bit count.
    if (corners > 65535) {
        char detail[120];
        std::snprintf(detail, sizeof detail, "its groups list %lu triangles, more than 65535", corners);
        return Fail(src, kBadIndex, detail);
    }
    return true;
}

// Moves every array of `from` into `to` (which must be empty) and empties `from`.
void Publish(MS3D& to, MS3D& from) {
    to.numVertices = from.numVertices;
    to.vertices = from.vertices;
    to.numTriangles = from.numTriangles;
    to.triangles = from.triangles;
    to.numGroups = from.numGroups;
    to.groups = from.groups;
    to.numMaterials = from.numMaterials;
    to.materials = from.materials;
    to.numJoints = from.numJoints;
    to.joints = from.joints;
    to.totalFrames = from.totalFrames;
    to.animationFPS = from.animationFPS;
    to.totalTime = from.totalTime;
    from.vertices = nullptr;
    from.triangles = nullptr;
    from.groups = nullptr;
    from.materials = nullptr;
    from.joints = nullptr;
    from.numVertices = from.numTriangles = from.numGroups = from.numMaterials = from.numJoints = 0;
}

bool LoadStream(MS3D& model, std::istream* in, const char* src) {
    if (!in) return Fail(src, kInvalid, "no stream");
    Reader r(in);
    char id[MS3D_IDENTIFIER_SIZE];
    std::int32_t version = 0;
    if (!r.Bytes(id, sizeof id) || !r.I32(&version)) return Fail(src, kInvalid, "shorter than the 14-byte header");
    if (std::memcmp(id, MS3D_IDENTIFIER, MS3D_IDENTIFIER_SIZE) != 0) return Fail(src, kInvalid, "wrong identifier");
    if (version < MS3D_VERSION_MIN || version > MS3D_VERSION_MAX) {
        char detail[64];
        std::snprintf(detail, sizeof detail, "version %d, only 3 and 4 are read", static_cast<int>(version));
        return Fail(src, kInvalid, detail);
    }
    MS3D fresh;
    if (!ReadBody(r, fresh, src) || !CheckIndices(fresh, src)) return false;
    model.Cleanup();
    Publish(model, fresh);
    return true;
}

}  // namespace

SKELETON_JOINT::SKELETON_JOINT()
    : parent(-1),
      flags(0),
      numRotKeys(0),
      numTransKeys(0),
      rotKeys(nullptr),
      transKeys(nullptr),
      transKey(0),
      rotKey(0),
      lastRotKey(-1) {}

SKELETON_JOINT::~SKELETON_JOINT() {
    delete[] rotKeys;
    delete[] transKeys;
    rotKeys = transKeys = nullptr;
}

MS3D::MS3D()
    : numVertices(0),
      vertices(nullptr),
      numTriangles(0),
      triangles(nullptr),
      numGroups(0),
      groups(nullptr),
      numMaterials(0),
      materials(nullptr),
      numJoints(0),
      joints(nullptr),
      skeleton(nullptr),
      totalFrames(0),
      animationFPS(0),
      totalTime(0),
      currentTime(0),
      loop(true),
      speed(1000.0f),
      startTime(0),
      endTime(0),
      blending(false),
      blendFactor(0) {}

MS3D::~MS3D() { Cleanup(); }

void MS3D::Cleanup() {
    delete[] vertices;
    vertices = nullptr;
    delete[] triangles;
    triangles = nullptr;
    if (groups)
        for (unsigned i = 0; i < numGroups; i++) delete[] groups[i].triangleIndices;
    delete[] groups;
    groups = nullptr;
    delete[] materials;
    materials = nullptr;
    if (joints)
        for (unsigned i = 0; i < numJoints; i++) {
            delete[] joints[i].rotKeys;
            delete[] joints[i].transKeys;
        }
    delete[] joints;
    joints = nullptr;
    delete[] skeleton;
    skeleton = nullptr;
    numVertices = numTriangles = numGroups = numMaterials = numJoints = 0;
}

bool MS3D::LoadFromFStream(std::istream* in) { return LoadStream(*this, in, nullptr); }

bool MS3D::Load(const char* path) {
    std::ifstream file;
    if (!path || !OpenRegularStream(&file, path))
        return Fail(path ? path : "(no path)", kCantOpen, "cannot open the file");
    return LoadStream(*this, &file, path);
}

void MS3D::Scale(float f) {
    for (unsigned i = 0; i < numVertices; i++)
        for (float& c : vertices[i].position) c *= f;
    for (unsigned j = 0; j < numJoints; j++) {
        for (float& c : joints[j].position) c *= f;
        for (unsigned k = 0; k < joints[j].numTransKeys; k++)
            for (float& c : joints[j].transKeys[k].value) c *= f;
    }
}
