// ONEMODEL: one drawable, animated instance of a species' model. Interleaved vertex
// buffer (36-byte records) skinned on the processor every frame, one 16-bit index range
// per group, per-instance joint state; keys and bind matrices come from the shared
// ANIMATIONTEMPLATE. ONEFISH derives from it.
//
// Ownership and allocators (a borrower must use the same ones):
//   joints      new[] BASICJOINT    owned
//   materials   new[] MODELMATERIAL owned (texture names are NOT owned: they belong to
//                                   the species' Texture objects)
//   groups      new[] MODELGROUP    owned by the model that ran Setup; shared by copies
//   indices     new[] uint16_t      owned by the model that ran Setup; shared by copies
//   vertexBuffer malloc/realloc     owned; free()d
// A model that borrows groups and indices calls DetachShared() before it is destroyed.
#pragma once
#include <cstddef>
#include <cstdint>

#include "math/NiftyMaths.h"
#include "model/AnimTemplate.h"
#include "model/MilkshapeModel.h"

// Blend progress per unit of time step of a model instance (a quarter second to blend).
constexpr float ONEMODEL_BLEND_RATE = 4.0f;

// One record of the interleaved vertex array; the stride handed to OpenGL.
struct MODELVERTEX {
    float position[3];
    float normal[3];
    float s;
    float t;
    std::uint8_t unused0[2];
    std::int8_t joint;  // joint carrying the vertex, negative for none
    std::uint8_t unused1;
};
static_assert(sizeof(MODELVERTEX) == 36, "MODELVERTEX is the 36-byte vertex array stride");
static_assert(offsetof(MODELVERTEX, normal) == 12, "normal at byte 12");
static_assert(offsetof(MODELVERTEX, s) == 24, "texture coordinates at byte 24");
static_assert(offsetof(MODELVERTEX, joint) == 34, "joint at byte 34");

struct MODELMATERIAL {
    std::uint32_t texture = 0;    // OpenGL texture name, borrowed from the species
    std::int8_t mode = 0;         // bit 7: sphere-mapped texturing
    float alpha = 1.0f;           // the material's transparency
    float colour[3] = {0, 0, 0};  // red, green, blue of the ambient colour
};

struct MODELGROUP {
    std::int8_t material = -1;  // index into materials, negative for none
    std::uint16_t numTriangles = 0;
    std::uint32_t firstIndex = 0;  // position in indices of the group's first index
};

// Per-instance state of one joint.
struct BASICJOINT {
    BASICJOINT();

    std::int32_t parent;  // -1 for a root
    std::uint8_t flags;
    VECTOR3D currentTranslation;
    MATRIX relative;
    MATRIX absolute;  // model space, used for skinning
    std::int32_t transKey;
    std::int32_t rotKey;
    std::int32_t lastRotKey;  // -1 before the first step
    QUAT currentQuat;
    MATRIX animMatrix;  // callers may overwrite it between Animate and UpdateSkeleton
    QUAT blendQuat;
    VECTOR3D blendTranslation;
};

class ONEMODEL {
public:
    ONEMODEL();
    ~ONEMODEL();
    ONEMODEL(const ONEMODEL&) = delete;
    ONEMODEL& operator=(const ONEMODEL&) = delete;

    // Builds joints, materials (every one wearing *textureName), groups, indices and the
    // de-duplicated vertex buffer from m (after m->InitialSetup()). False, with one line
    // on stderr, when something cannot be allocated or the mesh exceeds the 16-bit
    // vertex and index limits.
    bool Setup(ANIMATIONTEMPLATE* tmpl, MS3D* m, unsigned* textureName);
    // Index of an exactly equal record (a NaN never matches), else of a new one appended
    // to the buffer; 0xFFFF when the buffer already holds 65535 records.
    std::uint16_t AddVertToBuffer(float* position, float* normal, float s, float t, std::int8_t joint);

    // Helpers for filling an instance from a prototype.
    // New joint array for tmpl's joints with parent and flags copied; sets numJoints.
    bool SetupJoints(ANIMATIONTEMPLATE* tmpl);
    // Replaces the vertex buffer by a private copy of count records (malloc).
    bool CopyVertexBuffer(const MODELVERTEX* src, std::uint16_t count);
    // Forgets the borrowed groups and indices (and their counts) without freeing them.
    void DetachShared();

    void SetAnimation(double start, double end, double speed, bool loop, bool blend);
    void RestartAnim();
    void Animate(double dt);
    void UpdateSkeleton();
    void RevertPoints(BASICJOINT* js);  // scaled model space -> joint space
    void UpdatePoints(BASICJOINT* js);  // joint space -> scaled model space
    void Update(double dt);             // RevertPoints, Animate, UpdateSkeleton, UpdatePoints

    void Draw();
    void DrawGroup(int group);  // needs the arrays set up by Draw
    void DrawBlank();

    // Frees what the model owns, in the order indices, vertexBuffer, materials, groups,
    // joints, and nulls every pointer; safe to call repeatedly. The template is never freed.
    void Cleanup();

    ANIMATIONTEMPLATE* animTemplate;  // borrowed
    std::uint16_t numJoints;
    BASICJOINT* joints;
    std::uint16_t numMaterials;
    MODELMATERIAL* materials;
    std::uint16_t numGroups;
    MODELGROUP* groups;
    std::uint16_t numTriangles;  // over all groups
    std::uint16_t* indices;      // 3 x numTriangles
    std::uint16_t numVertices;
    MODELVERTEX* vertexBuffer;

    float currentTime;  // milliseconds
    bool loop;
    float speed;               // milliseconds of animation per unit of time step
    float startTime, endTime;  // milliseconds
    bool blending;
    float blendFactor;
    float blendRate;

    VECTOR3D position;
    VECTOR3D direction;
    VECTOR3D angles;  // Euler degrees
    MATRIX orientation;
    QUAT orientationQuat;
    float scale;
};
