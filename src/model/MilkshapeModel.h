// MS3D: a MilkShape 3D model held as plain arrays, its skeleton and its own keyframe
// player with immediate-mode drawing. Species loading reads one, scales it, runs
// InitialSetup and hands it to ANIMATIONTEMPLATE::Setup and ONEMODEL::Setup.
// Leans on math/NiftyMaths.h (column-major double matrices, quaternions, degrees).
#pragma once
#include <cstdint>
#include <istream>

#include "math/NiftyMaths.h"
#include "model/Ms3dFormat.h"

struct Texture;

// Radians to degrees, double precision (skeleton and the MS3D player).
constexpr double MS3D_RAD_TO_DEG = 57.29577951308232;

// One joint of the skeleton: bind pose in degrees, key copies with times in milliseconds,
// and the per-step state of the keyframe player.
class SKELETON_JOINT {
public:
    SKELETON_JOINT();
    ~SKELETON_JOINT();
    SKELETON_JOINT(const SKELETON_JOINT&) = delete;
    SKELETON_JOINT& operator=(const SKELETON_JOINT&) = delete;

    std::int32_t parent;  // index of the parent joint, -1 for a root
    std::uint8_t flags;
    VECTOR3D rotation;            // bind rotation, Euler degrees
    VECTOR3D translation;         // bind translation relative to the parent
    VECTOR3D currentTranslation;  // animated translation on top of the bind pose
    MATRIX relative;              // relative to the parent
    MATRIX absolute;              // model space
    std::int32_t numRotKeys;
    std::int32_t numTransKeys;
    MS3DKEYFRAME* rotKeys;    // owned, new[]; times in ms, values in radians
    MS3DKEYFRAME* transKeys;  // owned, new[]; times in ms
    std::int32_t transKey;
    std::int32_t rotKey;
    std::int32_t lastRotKey;  // rotKey after the previous step, -1 before the first
    QUAT currentQuat;
    MATRIX animMatrix;  // rotation matrix of currentQuat
    QUAT blendQuat;
    VECTOR3D blendTranslation;
};

class MS3D {
public:
    MS3D();
    ~MS3D();
    MS3D(const MS3D&) = delete;
    MS3D& operator=(const MS3D&) = delete;

    // Reads a model from a stream positioned at its first byte (an archive lump or a
    // file). Every count and index is checked; on any failure one line goes to stderr,
    // the result is false and the object is unchanged (a successful load replaces what it
    // held). The stream is left just after the last translation key of the last joint.
    bool LoadFromFStream(std::istream* in);
    // Same from a file path.
    bool Load(const char* path);
    // Frees every array; safe to call repeatedly. The animation fields keep their values.
    void Cleanup();

    // Multiplies vertex positions, joint bind positions and translation keys by f
    // (single precision). Call after loading and before InitialSetup.
    void Scale(float f);

    // Skeleton and keyframes.
    void InitialSetup();  // SetupSkeleton, UpdateSkeleton, RevertPoints; nothing without joints
    void SetupSkeleton();
    void UpdateSkeleton();
    void RevertPoints();  // model space -> joint space under the current absolute matrices
    void UpdatePoints();  // joint space -> model space
    void SetAnimation(double start, double end, double speed, bool loop, bool blend);
    void RestartAnim();
    void Animate(double dt);
    float Frame(int frame);  // frame number -> milliseconds

    // Immediate-mode drawing; the texture table is indexed by material.
    void DrawGroup(int group);
    void DrawGroup(int group, Texture* textures);
    void Render();
    void Render(Texture* textures);

    std::uint16_t numVertices;
    MS3DVERTEX* vertices;
    std::uint16_t numTriangles;
    MS3DTRIANGLE* triangles;
    std::uint16_t numGroups;
    MS3DGROUP* groups;
    std::uint16_t numMaterials;
    MS3DMATERIAL* materials;
    std::uint16_t numJoints;
    MS3DJOINT* joints;
    SKELETON_JOINT* skeleton;  // one per joint once SetupSkeleton ran, new[]

    std::int32_t totalFrames;
    float animationFPS;
    float totalTime;    // milliseconds
    float currentTime;  // milliseconds
    bool loop;
    float speed;               // milliseconds of animation per unit of time step
    float startTime, endTime;  // milliseconds
    bool blending;
    float blendFactor;  // 0 to 1

private:
    void DrawTriangles(int group);
};

// The model's radius: the largest absolute vertex coordinate. NaN when any coordinate,
// normal or texture coordinate of the model is not a finite number: the engine and
// reefpack's validation both refuse such a model through this one check.
float ModelExtent(const MS3D& m);
