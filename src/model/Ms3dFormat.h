// MilkShape 3D model files (versions 3 and 4): the byte layout on disk and the records the
// loader fills. Everything on disk is little-endian with no padding between fields; floats
// are IEEE-754 single precision; names are NUL-terminated inside their fixed fields.
#pragma once
#include <cstddef>
#include <cstdint>

// Header: "MS3D000000" (10 bytes, no terminator) then an int32 version (3 or 4).
constexpr char MS3D_IDENTIFIER[] = "MS3D000000";
constexpr std::size_t MS3D_IDENTIFIER_SIZE = 10;
constexpr std::size_t MS3D_HEADER_SIZE = 14;
constexpr std::int32_t MS3D_VERSION_MIN = 3;
constexpr std::int32_t MS3D_VERSION_MAX = 4;

// Every section starts with a uint16 record count.
constexpr std::size_t MS3D_COUNT_SIZE = 2;
// uint8 flags, float[3] position, int8 joint, uint8 reference count.
constexpr std::size_t MS3D_VERTEX_SIZE = 15;
// uint16 flags, uint16[3] corners, float[3][3] normals, float[3] s, float[3] t,
// uint8 smoothing group, uint8 group index.
constexpr std::size_t MS3D_TRIANGLE_SIZE = 70;
// uint8 flags, char[32] name, uint16 n, uint16[n] triangles, int8 material: 36 + 2n bytes.
constexpr std::size_t MS3D_GROUP_BASE_SIZE = 36;
// char[32] name, float[4] x4 colours, float shininess, float transparency, int8 mode,
// char[128] texture, char[128] alpha map.
constexpr std::size_t MS3D_MATERIAL_SIZE = 361;
// float frames per second, float current time (ignored), int32 total frames.
constexpr std::size_t MS3D_ANIMATION_SIZE = 12;
// uint8 flags, char[32] name, char[32] parent, float[3] rotation (radians), float[3]
// position, uint16 rotation keys r, uint16 translation keys k: 93 + 16(r + k) bytes.
constexpr std::size_t MS3D_JOINT_BASE_SIZE = 93;
// float time (seconds), float[3] value.
constexpr std::size_t MS3D_KEYFRAME_SIZE = 16;

constexpr std::size_t MS3D_NAME_SIZE = 32;
constexpr std::size_t MS3D_FILENAME_SIZE = 128;

// Material mode bit 7: the group is drawn with sphere-mapped texture coordinates.
constexpr std::uint8_t MS3D_MODE_SPHEREMAP = 0x80;

// In-memory records. Field order follows the file except for MS3DVERTEX, whose two
// trailing bytes come ahead of the position.
struct MS3DVERTEX {
    std::uint8_t flags = 0;
    std::uint8_t refCount = 0;
    std::int8_t boneId = -1;  // joint index, -1 when not attached
    float position[3] = {0, 0, 0};
};

struct MS3DTRIANGLE {
    std::uint16_t flags = 0;
    std::uint16_t vertexIndices[3] = {0, 0, 0};
    float vertexNormals[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    float s[3] = {0, 0, 0};
    float t[3] = {0, 0, 0};
    std::uint8_t smoothingGroup = 0;
    std::uint8_t groupIndex = 0;
};

struct MS3DGROUP {
    std::uint8_t flags = 0;
    char name[MS3D_NAME_SIZE] = {};
    std::uint16_t numTriangles = 0;
    std::uint16_t* triangleIndices = nullptr;  // owned by the MS3D, new[]
    std::int8_t materialIndex = -1;            // -1: no material
};

struct MS3DMATERIAL {
    char name[MS3D_NAME_SIZE] = {};
    float ambient[4] = {0, 0, 0, 0};
    float diffuse[4] = {0, 0, 0, 0};
    float specular[4] = {0, 0, 0, 0};
    float emissive[4] = {0, 0, 0, 0};
    float shininess = 0;
    float transparency = 0;
    std::int8_t mode = 0;
    char texture[MS3D_FILENAME_SIZE] = {};
    char alphamap[MS3D_FILENAME_SIZE] = {};
};

struct MS3DKEYFRAME {
    float time = 0;  // seconds as read; milliseconds in skeleton and template copies
    float value[3] = {0, 0, 0};
};

struct MS3DJOINT {
    std::uint8_t flags = 0;
    char name[MS3D_NAME_SIZE] = {};
    char parentName[MS3D_NAME_SIZE] = {};
    float rotation[3] = {0, 0, 0};  // radians as read; degrees after SetupSkeleton
    float position[3] = {0, 0, 0};
    std::uint16_t numRotKeys = 0;
    std::uint16_t numTransKeys = 0;
    MS3DKEYFRAME* rotKeys = nullptr;    // owned by the MS3D, new[]
    MS3DKEYFRAME* transKeys = nullptr;  // owned by the MS3D, new[]
};
