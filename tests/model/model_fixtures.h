// Models written with the content kit's MS3D writer and read back from memory.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "Ms3dWriter.h"
#include "model/MilkshapeModel.h"

namespace modeltest {

// The model without joints: every vertex unattached.
inline reefpack::Ms3dModelDesc Jointless(reefpack::Ms3dModelDesc d) {
    d.joints.clear();
    for (auto& v : d.vertices) v.boneId = -1;
    return d;
}

inline std::vector<std::uint8_t> Bytes(const reefpack::Ms3dModelDesc& d) {
    std::vector<std::uint8_t> out;
    std::string error;
    EXPECT_TRUE(reefpack::WriteMs3d(d, &out, &error)) << error;
    return out;
}

inline bool LoadBytes(const std::vector<std::uint8_t>& bytes, MS3D* m) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::in | std::ios::binary);
    return m->LoadFromFStream(&in);
}

inline reefpack::Ms3dKey Key(float time, float x, float y, float z) { return {time, {x, y, z}}; }

// Two joints ("root" at the origin, "tail" one unit behind it along -z), a quad carried by
// the two joints, one unattached vertex, two groups (2 and 1 triangles), one material,
// keys over 10 frames at 10 frames per second.
inline reefpack::Ms3dModelDesc TwoJointModel() {
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10.0f;
    d.totalFrames = 10;
    reefpack::Ms3dMaterialDesc mat;
    mat.name = "skin";
    mat.ambient[1] = 0.5f;
    mat.transparency = 0.5f;
    mat.mode = static_cast<std::int8_t>(0x80);
    mat.texture = "skin.tga";
    d.materials.push_back(mat);
    d.AddGroup("body", 0);
    d.AddGroup("fin", -1);
    d.AddVertex(-1, 0, 0, 0);   // 0
    d.AddVertex(1, 0, 0, 0);    // 1
    d.AddVertex(1, 0, -2, 1);   // 2
    d.AddVertex(-1, 0, -2, 1);  // 3
    d.AddVertex(0, 1, 0, -1);   // 4, unattached
    d.AddTriangle(0, 1, 2, 0);
    d.AddTriangle(0, 2, 3, 0);
    d.AddTriangle(0, 1, 4, 1);
    for (auto& t : d.triangles)
        for (int k = 0; k < 3; k++) t.s[k] = 0.25f * k, t.t[k] = 0.5f;
    int root = d.AddJoint("root", "", 0, 0, 0, 0, 0, 0);
    int tail = d.AddJoint("tail", "root", 0, 0, 0, 0, 0, -1);
    // Root: rotation about y to 0.5 rad at 0.5 s and back at 1 s; translation along x.
    d.joints[root].rotKeys = {Key(0, 0, 0, 0), Key(0.5f, 0, 0.5f, 0), Key(1.0f, 0, 0, 0)};
    d.joints[root].transKeys = {Key(0, 0, 0, 0), Key(0.5f, 1, 0, 0), Key(1.0f, 0, 0, 0)};
    d.joints[tail].rotKeys = {Key(0, 0, 0, 0), Key(1.0f, 1.0f, 0, 0)};
    d.joints[tail].transKeys = {Key(0, 0, 0, 0), Key(1.0f, 0, 0, 0)};
    return d;
}

}  // namespace modeltest
