// MilkShape 3D writer: the exact byte layout of model/Ms3dFormat.h, little-endian,
// no padding. Names longer than their fields are cut and always NUL-terminated.
#include "Ms3dWriter.h"

#include <cstdio>
#include <cstring>

#include "model/Ms3dFormat.h"

namespace reefpack {

namespace {

class Out {
public:
    explicit Out(std::vector<std::uint8_t>* bytes) : b_(bytes) {}
    void U8(std::uint8_t v) { b_->push_back(v); }
    void I8(std::int8_t v) { b_->push_back(static_cast<std::uint8_t>(v)); }
    void U16(std::uint16_t v) {
        b_->push_back(static_cast<std::uint8_t>(v & 0xFF));
        b_->push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; i++) b_->push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    }
    void I32(std::int32_t v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        U32(u);
    }
    void F32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        U32(u);
    }
    void Floats(const float* v, int n) {
        for (int i = 0; i < n; i++) F32(v[i]);
    }
    void Name(const std::string& s, std::size_t field) {
        std::size_t n = s.size() < field - 1 ? s.size() : field - 1;
        b_->insert(b_->end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
        b_->insert(b_->end(), field - n, 0);
    }

private:
    std::vector<std::uint8_t>* b_;
};

bool CountFits(std::size_t n, const char* what, std::string* error) {
    if (n <= 0xFFFF) return true;
    if (error) *error = std::string("too many ") + what + " for a 16-bit count";
    return false;
}

void Keys(Out& o, const std::vector<Ms3dKey>& keys) {
    for (const Ms3dKey& k : keys) {
        o.F32(k.time);
        o.Floats(k.value, 3);
    }
}

}  // namespace

int Ms3dModelDesc::AddVertex(float x, float y, float z, int boneId) {
    Ms3dVertexDesc v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.boneId = static_cast<std::int8_t>(boneId);
    vertices.push_back(v);
    return static_cast<int>(vertices.size()) - 1;
}

int Ms3dModelDesc::AddTriangle(int a, int b, int c, int group) {
    Ms3dTriangleDesc t;
    t.vertexIndices[0] = static_cast<std::uint16_t>(a);
    t.vertexIndices[1] = static_cast<std::uint16_t>(b);
    t.vertexIndices[2] = static_cast<std::uint16_t>(c);
    t.groupIndex = static_cast<std::uint8_t>(group);
    triangles.push_back(t);
    int index = static_cast<int>(triangles.size()) - 1;
    if (group >= 0 && group < static_cast<int>(groups.size()))
        groups[group].triangleIndices.push_back(static_cast<std::uint16_t>(index));
    return index;
}

int Ms3dModelDesc::AddGroup(const std::string& name, int materialIndex) {
    Ms3dGroupDesc g;
    g.name = name;
    g.materialIndex = static_cast<std::int8_t>(materialIndex);
    groups.push_back(g);
    return static_cast<int>(groups.size()) - 1;
}

int Ms3dModelDesc::AddJoint(const std::string& name, const std::string& parentName, float rx, float ry, float rz,
                            float px, float py, float pz) {
    Ms3dJointDesc j;
    j.name = name;
    j.parentName = parentName;
    j.rotation[0] = rx;
    j.rotation[1] = ry;
    j.rotation[2] = rz;
    j.position[0] = px;
    j.position[1] = py;
    j.position[2] = pz;
    joints.push_back(j);
    return static_cast<int>(joints.size()) - 1;
}

int Ms3dModelDesc::FindJoint(const std::string& name) const {
    for (std::size_t i = 0; i < joints.size(); i++)
        if (joints[i].name == name) return static_cast<int>(i);
    return -1;
}

bool WriteMs3d(const Ms3dModelDesc& m, std::vector<std::uint8_t>* out, std::string* error) {
    if (!out) return false;
    if (!CountFits(m.vertices.size(), "vertices", error) || !CountFits(m.triangles.size(), "triangles", error) ||
        !CountFits(m.groups.size(), "groups", error) || !CountFits(m.materials.size(), "materials", error) ||
        !CountFits(m.joints.size(), "joints", error))
        return false;
    for (const Ms3dGroupDesc& g : m.groups)
        if (!CountFits(g.triangleIndices.size(), "group triangles", error)) return false;
    for (const Ms3dJointDesc& j : m.joints)
        if (!CountFits(j.rotKeys.size(), "rotation keys", error) ||
            !CountFits(j.transKeys.size(), "translation keys", error))
            return false;

    out->clear();
    Out o(out);
    for (std::size_t i = 0; i < MS3D_IDENTIFIER_SIZE; i++) o.U8(static_cast<std::uint8_t>(m.identifier[i]));
    o.I32(m.version);

    o.U16(static_cast<std::uint16_t>(m.vertices.size()));
    for (const Ms3dVertexDesc& v : m.vertices) {
        o.U8(v.flags);
        o.Floats(v.position, 3);
        o.I8(v.boneId);
        o.U8(v.refCount);
    }

    o.U16(static_cast<std::uint16_t>(m.triangles.size()));
    for (const Ms3dTriangleDesc& t : m.triangles) {
        o.U16(t.flags);
        for (std::uint16_t i : t.vertexIndices) o.U16(i);
        for (int k = 0; k < 3; k++) o.Floats(t.normals[k], 3);
        o.Floats(t.s, 3);
        o.Floats(t.t, 3);
        o.U8(t.smoothingGroup);
        o.U8(t.groupIndex);
    }

    o.U16(static_cast<std::uint16_t>(m.groups.size()));
    for (const Ms3dGroupDesc& g : m.groups) {
        o.U8(g.flags);
        o.Name(g.name, MS3D_NAME_SIZE);
        o.U16(static_cast<std::uint16_t>(g.triangleIndices.size()));
        for (std::uint16_t i : g.triangleIndices) o.U16(i);
        o.I8(g.materialIndex);
    }

    o.U16(static_cast<std::uint16_t>(m.materials.size()));
    for (const Ms3dMaterialDesc& mt : m.materials) {
        o.Name(mt.name, MS3D_NAME_SIZE);
        o.Floats(mt.ambient, 4);
        o.Floats(mt.diffuse, 4);
        o.Floats(mt.specular, 4);
        o.Floats(mt.emissive, 4);
        o.F32(mt.shininess);
        o.F32(mt.transparency);
        o.I8(mt.mode);
        o.Name(mt.texture, MS3D_FILENAME_SIZE);
        o.Name(mt.alphamap, MS3D_FILENAME_SIZE);
    }

    o.F32(m.animationFPS);
    o.F32(m.currentTime);
    o.I32(m.totalFrames);

    o.U16(static_cast<std::uint16_t>(m.joints.size()));
    for (const Ms3dJointDesc& j : m.joints) {
        o.U8(j.flags);
        o.Name(j.name, MS3D_NAME_SIZE);
        o.Name(j.parentName, MS3D_NAME_SIZE);
        o.Floats(j.rotation, 3);
        o.Floats(j.position, 3);
        o.U16(static_cast<std::uint16_t>(j.rotKeys.size()));
        o.U16(static_cast<std::uint16_t>(j.transKeys.size()));
        Keys(o, j.rotKeys);
        Keys(o, j.transKeys);
    }
    out->insert(out->end(), m.trailer.begin(), m.trailer.end());
    return true;
}

bool WriteMs3dFile(const Ms3dModelDesc& model, const std::string& path, std::string* error) {
    std::vector<std::uint8_t> bytes;
    if (!WriteMs3d(model, &bytes, error)) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot create " + path;
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok && error) *error = "cannot write " + path;
    return ok;
}

}  // namespace reefpack
