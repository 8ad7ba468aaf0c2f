// Writes MilkShape 3D model files (version 4 by default) from an editable description.
// The content kit builds its species with it and the tests build models with known
// joints, keys and groups. Byte layout: model/Ms3dFormat.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace reefpack {

struct Ms3dKey {
    float time = 0;              // seconds
    float value[3] = {0, 0, 0};  // Euler radians (rotation keys) or a translation
};

struct Ms3dVertexDesc {
    std::uint8_t flags = 0;
    float position[3] = {0, 0, 0};
    std::int8_t boneId = -1;  // joint index, -1 when not attached
    std::uint8_t refCount = 0;
};

struct Ms3dTriangleDesc {
    std::uint16_t flags = 0;
    std::uint16_t vertexIndices[3] = {0, 0, 0};
    float normals[3][3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};  // one per corner
    float s[3] = {0, 0, 0};
    float t[3] = {0, 0, 0};
    std::uint8_t smoothingGroup = 1;
    std::uint8_t groupIndex = 0;
};

struct Ms3dGroupDesc {
    std::uint8_t flags = 0;
    std::string name;  // at most 31 bytes are kept
    std::vector<std::uint16_t> triangleIndices;
    std::int8_t materialIndex = -1;  // -1: no material
};

struct Ms3dMaterialDesc {
    std::string name;
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0, 0, 0, 1.0f};
    float emissive[4] = {0, 0, 0, 1.0f};
    float shininess = 0;
    float transparency = 1.0f;
    std::int8_t mode = 0;  // bit 7: sphere-mapped texturing
    std::string texture;   // at most 127 bytes are kept
    std::string alphamap;
};

struct Ms3dJointDesc {
    std::uint8_t flags = 8;
    std::string name;
    std::string parentName;         // empty for a root
    float rotation[3] = {0, 0, 0};  // bind rotation, Euler radians
    float position[3] = {0, 0, 0};  // bind translation relative to the parent
    std::vector<Ms3dKey> rotKeys;
    std::vector<Ms3dKey> transKeys;
};

struct Ms3dModelDesc {
    std::int32_t version = 4;  // written as is, so tests can write 3 or a bad one
    char identifier[10] = {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0'};
    std::vector<Ms3dVertexDesc> vertices;
    std::vector<Ms3dTriangleDesc> triangles;
    std::vector<Ms3dGroupDesc> groups;
    std::vector<Ms3dMaterialDesc> materials;
    float animationFPS = 24.0f;
    float currentTime = 0;
    std::int32_t totalFrames = 0;
    std::vector<Ms3dJointDesc> joints;
    // Raw bytes after the last joint (a version-4 file may carry further sections).
    std::vector<std::uint8_t> trailer;

    // Conveniences; each returns the new record's index.
    int AddVertex(float x, float y, float z, int boneId = -1);
    int AddTriangle(int a, int b, int c, int group = 0);  // normals (0,0,1), s = t = 0
    int AddGroup(const std::string& name, int materialIndex = -1);
    int AddJoint(const std::string& name, const std::string& parentName, float rx = 0, float ry = 0, float rz = 0,
                 float px = 0, float py = 0, float pz = 0);
    // Index of the joint with this name, -1 if none.
    int FindJoint(const std::string& name) const;
};

// Serialises the model. False with a reason when a count does not fit its 16-bit field.
bool WriteMs3d(const Ms3dModelDesc& model, std::vector<std::uint8_t>* out, std::string* error = nullptr);
// Same, written to a file.
bool WriteMs3dFile(const Ms3dModelDesc& model, const std::string& path, std::string* error = nullptr);

}  // namespace reefpack
