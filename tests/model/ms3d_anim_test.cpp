// MS3D skeleton set-up, skinning and the model's own keyframe player.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "model/MilkshapeModel.h"
#include "model_fixtures.h"

using modeltest::Bytes;
using modeltest::Jointless;
using modeltest::Key;
using modeltest::LoadBytes;
using modeltest::TwoJointModel;

namespace {

void Load(const reefpack::Ms3dModelDesc& d, MS3D* m) { ASSERT_TRUE(LoadBytes(Bytes(d), m)); }

std::vector<float> Positions(const MS3D& m) {
    std::vector<float> out;
    for (int i = 0; i < m.numVertices; i++) out.insert(out.end(), m.vertices[i].position, m.vertices[i].position + 3);
    for (int i = 0; i < m.numTriangles; i++)
        for (auto& n : m.triangles[i].vertexNormals) out.insert(out.end(), n, n + 3);
    return out;
}

}  // namespace

TEST(Ms3dSkeleton, SetupFindsParentsAndPosesTheBindPoseInJointSpace) {
    reefpack::Ms3dModelDesc named;
    for (auto& j : std::vector<std::pair<const char*, const char*>>{
             {"a", ""}, {"b", "nobody"}, {"c", "a"}, {"d", "a"}, {"d", "c"}, {"e", "d"}, {"f", "f"}})
        named.AddJoint(j.first, j.second);
    MS3D p;
    Load(named, &p);
    p.InitialSetup();
    const int parent[] = {-1, -1, 0, 0, 2, 3 /* the first "d" */, 6};
    for (int j = 0; j < 7; j++) EXPECT_EQ(p.skeleton[j].parent, parent[j]) << j;

    auto d = TwoJointModel();
    d.joints[0].rotation[2] = 0.5f;  // radians in the file
    MS3D m;
    Load(d, &m);
    const auto file = Positions(m);
    m.InitialSetup();
    const SKELETON_JOINT& root = m.skeleton[0];
    EXPECT_EQ(root.rotation.z, static_cast<float>(0.5f * 57.29577951308232));
    EXPECT_EQ(m.joints[0].rotation[2], root.rotation.z);  // the record holds degrees now
    EXPECT_TRUE(root.rotKeys[1].time == 500.0f && root.rotKeys[1].value[1] == 0.5f && root.lastRotKey == -1);
    EXPECT_EQ(m.joints[0].rotKeys[1].time, 0.5f);  // the loaded records keep seconds
    // Vertex 2, (1, 0, -2) on the tail joint at (0, 0, -1) in the turned root, is
    // (1, 0, -1) unturned by 0.5 rad about z in joint space; the unattached vertex stays.
    const double c = std::cos(0.5), s = std::sin(0.5);
    EXPECT_NEAR(m.vertices[2].position[0], c, 1e-5);
    EXPECT_NEAR(m.vertices[2].position[1], -s, 1e-5);
    EXPECT_NEAR(m.vertices[2].position[2], -1.0f, 1e-5);
    EXPECT_EQ(0, std::memcmp(m.vertices[4].position, d.vertices[4].position, 12));
    m.UpdatePoints();
    auto back = Positions(m);
    for (std::size_t i = 0; i < back.size(); i++) EXPECT_NEAR(back[i], file[i], 1e-5) << i;

    MS3D bare;  // no joints: nothing to set up, the clock still runs
    Load(Jointless(TwoJointModel()), &bare);
    bare.InitialSetup();
    EXPECT_EQ(bare.skeleton, nullptr);
    bare.SetAnimation(0, 10, 1000, true, false);
    bare.Animate(0.1);
    bare.UpdateSkeleton();
    bare.UpdatePoints();
    EXPECT_FLOAT_EQ(bare.currentTime, 100.0f);
    EXPECT_EQ(Positions(bare), file);
}

// The root's keys: translation x 0, 1, 0 and rotation about y 0, 0.5, 0 rad at 0, 500,
// 1000 ms, so its angle is always half its translation, blends included.
TEST(Ms3dAnimation, PlaysLoopsHoldsAndBlends) {
    MS3D m;
    Load(TwoJointModel(), &m);
    m.InitialSetup();
    const struct {
        double start, end;  // SetAnimation frames (10 per second), when end > 0
        bool loop, blend;
        double dt;  // then Animate(dt)
        float time, x, blendFactor;
    } steps[] = {
        {0, 10, false, false, 0.3, 300, 0.6f, 0},
        {0, 0, false, false, 0.2, 500, 1.0f, 0},   // exactly on a key
        {0, 0, false, false, 0.7, 1000, 0.0f, 0},  // no loop: stops at the end
        {2, 10, true, false, 0.5, 700, 0.6f, 0},
        {0, 0, true, false, 0.5, 200, 0.4f, 0},  // 1200 ms wraps to 200: the overshoot dropped
        {0, 0, true, false, 0.8, 200, 0.4f, 0},  // reaching the end exactly wraps too
        {0, 0, true, false, 0.4, 600, 0.8f, 0},
        {5, 10, false, true, 0.25, 500, 0.9f, 0.5f},  // halfway from the held pose, clock still
        {0, 0, false, true, 0.25, 500, 1.0f, 1.0f},
        {0, 0, false, false, 0.1, 600, 0.8f, 1.0f},    // blended in: playing again
        {20, 30, false, true, 1.0, 2000, 0.0f, 1.0f},  // a target past every key is the last key
    };
    int row = 0;
    for (const auto& s : steps) {
        if (s.end > 0) m.SetAnimation(s.start, s.end, 1000, s.loop, s.blend);
        m.Animate(s.dt);
        const SKELETON_JOINT& root = m.skeleton[0];
        EXPECT_FLOAT_EQ(m.currentTime, s.time) << "row " << row;
        EXPECT_NEAR(root.currentTranslation.x, s.x, 1e-6) << "row " << row;
        EXPECT_FLOAT_EQ(m.blendFactor, s.blendFactor) << "row " << row;
        EXPECT_EQ(m.blending, s.blendFactor > 0 && s.blendFactor < 1) << "row " << row;
        EXPECT_NEAR(2 * std::atan2(root.currentQuat.y, root.currentQuat.w), 0.5 * s.x, 1e-6) << "row " << row;
        row++;
    }
    m.currentTime = 300;
    m.RestartAnim();
    EXPECT_TRUE(m.currentTime == m.startTime && m.skeleton[0].rotKey == 0);
}

// Joint "r" has rotation keys only, joint "t" translation keys only.
TEST(Ms3dAnimation, KeysOfOneKindLeaveTheOtherAlone) {
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10;
    d.AddGroup("g");
    d.AddVertex(1, 0, 0, 0);
    d.AddTriangle(0, 0, 0, 0);
    d.AddJoint("r", "");
    d.AddJoint("t", "");
    d.joints[0].rotKeys = {Key(0, 0, 0, 0), Key(1, 0, 0, 1)};
    d.joints[1].transKeys = {Key(0, 0, 0, 0), Key(1, 2, 0, 0)};
    MS3D m;
    Load(d, &m);
    m.InitialSetup();
    const SKELETON_JOINT &rot = m.skeleton[0], &trans = m.skeleton[1];
    m.SetAnimation(0, 10, 1000, false, false);
    m.Animate(0.5);
    EXPECT_GT(std::fabs(rot.currentQuat.z), 0.1);
    EXPECT_FLOAT_EQ(trans.currentTranslation.x, 1.0f);
    m.SetAnimation(0, 10, 1000, false, true);
    m.Animate(0.25);  // blending back
    EXPECT_FLOAT_EQ(trans.currentTranslation.x, 0.5f);
    EXPECT_EQ(rot.currentTranslation.x, 0.0f);  // a missing kind stays put
    EXPECT_TRUE(trans.currentQuat.IsEqualTo(QUAT()));
}
