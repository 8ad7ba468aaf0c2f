// MS3D skeleton set-up, skinning and its own keyframe player.
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

// Loaded and set up, playing frames 0 to 10 at normal speed (0 to 1000 ms) unless the
// range is replaced.
void Playing(const reefpack::Ms3dModelDesc& d, MS3D* m) {
    Load(d, m);
    m->InitialSetup();
    m->SetAnimation(0, 10, 1000, false, false);
}

std::vector<float> Positions(const MS3D& m) {
    std::vector<float> out;
    for (int i = 0; i < m.numVertices; i++) out.insert(out.end(), m.vertices[i].position, m.vertices[i].position + 3);
    return out;
}

std::vector<float> Normals(const MS3D& m) {
    std::vector<float> out;
    for (int i = 0; i < m.numTriangles; i++)
        for (int k = 0; k < 3; k++)
            out.insert(out.end(), m.triangles[i].vertexNormals[k], m.triangles[i].vertexNormals[k] + 3);
    return out;
}

QUAT KeyQuat(float rx, float ry, float rz) {
    return RotationToQuat(VECTOR3D{static_cast<float>(rx * 57.29577951308232), static_cast<float>(ry * 57.29577951308232),
                                   static_cast<float>(rz * 57.29577951308232)});
}

void ExpectQuatNear(const QUAT& a, const QUAT& b, double eps = 1e-9) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
    EXPECT_NEAR(a.w, b.w, eps);
}

// One joint and one attached vertex, with the given key lists.
reefpack::Ms3dModelDesc OneJoint(std::vector<reefpack::Ms3dKey> rot, std::vector<reefpack::Ms3dKey> trans) {
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10;
    d.totalFrames = 10;
    d.AddGroup("g");
    d.AddVertex(1, 0, 0, 0);
    d.AddVertex(0, 1, 0, 0);
    d.AddVertex(0, 0, 1, 0);
    d.AddTriangle(0, 1, 2, 0);
    int j = d.AddJoint("j", "");
    d.joints[j].rotKeys = std::move(rot);
    d.joints[j].transKeys = std::move(trans);
    return d;
}

}  // namespace

TEST(Ms3dSkeleton, ModelWithoutJointsIsLeftAlone) {
    MS3D m;
    Load(Jointless(TwoJointModel()), &m);
    auto before = Positions(m);
    auto normals = Normals(m);
    m.InitialSetup();
    EXPECT_EQ(m.skeleton, nullptr);
    EXPECT_EQ(Positions(m), before);
    EXPECT_EQ(Normals(m), normals);
    m.SetAnimation(0, 10, 1000, true, true);
    m.Animate(0.1);  // nothing to pose, but the blend and the clock still run
    EXPECT_FLOAT_EQ(m.blendFactor, 0.2f);
    m.SetAnimation(0, 10, 1000, true, false);
    m.Animate(0.1);
    EXPECT_FLOAT_EQ(m.currentTime, 100.0f);
    m.UpdateSkeleton();
    m.UpdatePoints();
    EXPECT_EQ(Positions(m), before);
}

TEST(Ms3dSkeleton, ParentsAreFoundByName) {
    reefpack::Ms3dModelDesc d;
    d.AddJoint("a", "");
    d.AddJoint("b", "nobody");
    d.AddJoint("c", "a");
    d.AddJoint("d", "a");
    d.AddJoint("d", "c");
    d.AddJoint("e", "d");
    d.AddJoint("f", "f");  // names itself
    MS3D m;
    Load(d, &m);
    m.InitialSetup();
    ASSERT_NE(m.skeleton, nullptr);
    const int parent[] = {-1, -1, 0, 0, 2, 3 /* the first "d" */, 6};
    for (int j = 0; j < 7; j++) EXPECT_EQ(m.skeleton[j].parent, parent[j]) << j;
}

TEST(Ms3dSkeleton, SetupConvertsUnitsAndPosesTheBindPose) {
    auto d = TwoJointModel();
    d.joints[0].rotation[2] = 0.5f;
    MS3D m;
    Load(d, &m);
    m.InitialSetup();
    const SKELETON_JOINT& root = m.skeleton[0];
    EXPECT_EQ(root.rotation.z, static_cast<float>(0.5f * 57.29577951308232));
    EXPECT_EQ(m.joints[0].rotation[2], root.rotation.z);  // the record holds degrees now
    EXPECT_EQ(root.rotKeys[1].time, 500.0f);
    EXPECT_EQ(root.rotKeys[1].value[1], 0.5f);  // values stay in radians
    EXPECT_EQ(root.transKeys[2].time, 1000.0f);
    EXPECT_EQ(m.joints[0].rotKeys[1].time, 0.5f);  // the loaded records keep seconds
    EXPECT_EQ(root.lastRotKey, -1);
    EXPECT_EQ(m.skeleton[1].translation.z, -1.0f);

    // The tail joint sits at (0, 0, -1) in the rotated root: its vertices are now in its
    // own space. Vertex 2 was (1, 0, -2).
    double c = std::cos(0.5), s = std::sin(0.5);
    const MATRIX& tail = m.skeleton[1].absolute;
    EXPECT_NEAR(tail.m[14], -1.0, 1e-9);
    EXPECT_NEAR(tail.m[0], c, 1e-6);
    EXPECT_NEAR(tail.m[1], s, 1e-6);
    // Back in model space the vertex is where the file put it.
    m.UpdatePoints();
    EXPECT_NEAR(m.vertices[2].position[0], 1.0f, 1e-5);
    EXPECT_NEAR(m.vertices[2].position[2], -2.0f, 1e-5);
    m.RevertPoints();
    // Joint space: unrotate (1, 0, -1) about z by 0.5 rad.
    EXPECT_NEAR(m.vertices[2].position[0], c, 1e-5);
    EXPECT_NEAR(m.vertices[2].position[1], -s, 1e-5);
    EXPECT_NEAR(m.vertices[2].position[2], -1.0f, 1e-5);
}

TEST(Ms3dSkeleton, UpdateThenRevertRoundTripsAndSkipsUnattachedVertices) {
    MS3D m;
    Load(TwoJointModel(), &m);
    float unattached[3];
    std::memcpy(unattached, m.vertices[4].position, sizeof unattached);
    float unattachedNormal[3];
    std::memcpy(unattachedNormal, m.triangles[2].vertexNormals[2], sizeof unattachedNormal);
    m.InitialSetup();
    auto jointSpace = Positions(m);
    auto jointNormals = Normals(m);
    m.SetAnimation(0, 10, 1000, true, false);
    m.Animate(0.3);
    m.UpdateSkeleton();
    m.UpdatePoints();
    EXPECT_NE(Positions(m), jointSpace);
    EXPECT_EQ(0, std::memcmp(unattached, m.vertices[4].position, sizeof unattached));
    EXPECT_EQ(0, std::memcmp(unattachedNormal, m.triangles[2].vertexNormals[2], sizeof unattachedNormal));
    m.RevertPoints();
    auto back = Positions(m);
    auto backNormals = Normals(m);
    for (std::size_t i = 0; i < back.size(); i++) EXPECT_NEAR(back[i], jointSpace[i], 1e-5) << i;
    for (std::size_t i = 0; i < backNormals.size(); i++) EXPECT_NEAR(backNormals[i], jointNormals[i], 1e-5) << i;
    EXPECT_EQ(0, std::memcmp(unattached, m.vertices[4].position, sizeof unattached));
}

TEST(Ms3dAnimation, RangesInMilliseconds) {
    auto d = TwoJointModel();
    d.animationFPS = 25;
    MS3D m;
    Load(d, &m);
    m.InitialSetup();
    m.SetAnimation(0, 10, 500, false, false);
    EXPECT_EQ(m.endTime, 400.0f);
    EXPECT_EQ(m.Frame(5), 200.0f);
    m.SetAnimation(5, 10, 1000, true, true);
    EXPECT_EQ(m.startTime, 200.0f);
    EXPECT_EQ(m.currentTime, 200.0f);
    EXPECT_EQ(m.blendFactor, 0.0f);
    m.currentTime = 300;
    m.skeleton[0].rotKey = 2;
    m.RestartAnim();
    EXPECT_EQ(m.currentTime, 200.0f);
    EXPECT_EQ(m.skeleton[0].rotKey, 0);
}

TEST(Ms3dAnimation, PlayTakesExactKeysAndStopsAtTheEndWithoutLoop) {
    MS3D m;
    Playing(TwoJointModel(), &m);
    m.Animate(0.3);
    EXPECT_FLOAT_EQ(m.currentTime, 300.0f);
    EXPECT_FLOAT_EQ(m.skeleton[0].currentTranslation.x, 0.6f);
    EXPECT_EQ(m.skeleton[0].transKey, 1);
    EXPECT_EQ(m.skeleton[0].rotKey, 1);
    EXPECT_EQ(m.skeleton[0].lastRotKey, 1);
    QUAT k0 = KeyQuat(0, 0, 0), k1 = KeyQuat(0, 0.5f, 0);
    ExpectQuatNear(m.skeleton[0].currentQuat, QuatSlerp(&k0, &k1, static_cast<double>(0.6f)));
    m.Animate(0.2);  // exactly the key at 500 ms
    ASSERT_EQ(m.currentTime, 500.0f);
    EXPECT_EQ(m.skeleton[0].currentTranslation.x, 1.0f);
    EXPECT_EQ(m.skeleton[0].transKey, 1);
    ExpectQuatNear(m.skeleton[0].currentQuat, k1, 1e-12);

    m.Animate(0.7);
    EXPECT_EQ(m.currentTime, 1000.0f);
    EXPECT_EQ(m.skeleton[0].currentTranslation.x, 0.0f);  // last key
    MATRIX held = m.skeleton[1].animMatrix;
    QUAT heldQuat = m.skeleton[1].currentQuat;
    m.Animate(0.5);
    m.Animate(0.5);
    EXPECT_EQ(m.currentTime, 1000.0f);
    EXPECT_EQ(0, std::memcmp(held.m, m.skeleton[1].animMatrix.m, sizeof held.m));
    EXPECT_TRUE(heldQuat.IsEqualTo(m.skeleton[1].currentQuat));
}

TEST(Ms3dAnimation, LoopDropsTheOvershootAndPosesTheStart) {
    MS3D m;
    Playing(TwoJointModel(), &m);
    m.SetAnimation(2, 10, 1000, true, false);  // 200 to 1000 ms
    m.Animate(0.5);
    EXPECT_FLOAT_EQ(m.currentTime, 700.0f);
    EXPECT_EQ(m.skeleton[0].rotKey, 2);
    m.Animate(0.5);  // 1200 ms: wraps to 200, not to 400
    EXPECT_EQ(m.currentTime, 200.0f);
    EXPECT_EQ(m.skeleton[0].transKey, 1);
    EXPECT_FLOAT_EQ(m.skeleton[0].currentTranslation.x, 0.4f);
    QUAT k0 = KeyQuat(0, 0, 0), k1 = KeyQuat(0, 0.5f, 0);
    ExpectQuatNear(m.skeleton[0].currentQuat, QuatSlerp(&k0, &k1, static_cast<double>(0.4f)));
    // Reaching the end exactly wraps as well.
    m.Animate(0.8);
    EXPECT_EQ(m.currentTime, 200.0f);
}

TEST(Ms3dAnimation, BlendEasesIntoTheNewRangeWithoutMovingTheClock) {
    MS3D m;
    Playing(TwoJointModel(), &m);
    m.Animate(0.6);  // root translation x 0.8
    ASSERT_FLOAT_EQ(m.skeleton[0].currentTranslation.x, 0.8f);
    QUAT held = m.skeleton[0].currentQuat;
    m.SetAnimation(5, 10, 1000, false, true);  // target: the keys at 500 ms
    EXPECT_TRUE(m.skeleton[0].blendQuat.IsEqualTo(held));
    m.Animate(0.25);
    EXPECT_EQ(m.blendFactor, 0.5f);
    EXPECT_TRUE(m.blending);
    EXPECT_EQ(m.currentTime, 500.0f);
    EXPECT_FLOAT_EQ(m.skeleton[0].currentTranslation.x, 0.9f);
    QUAT target = KeyQuat(0, 0.5f, 0);
    ExpectQuatNear(m.skeleton[0].currentQuat, QuatSlerp(&held, &target, 0.5));
    EXPECT_EQ(m.skeleton[0].rotKey, 0);  // the player's indices are left alone
    m.Animate(0.25);
    EXPECT_EQ(m.blendFactor, 1.0f);
    EXPECT_FALSE(m.blending);
    EXPECT_EQ(m.currentTime, 500.0f);
    EXPECT_FLOAT_EQ(m.skeleton[0].currentTranslation.x, 1.0f);
    ExpectQuatNear(m.skeleton[0].currentQuat, target);
    m.Animate(0.1);  // now playing
    EXPECT_FLOAT_EQ(m.currentTime, 600.0f);
}

TEST(Ms3dAnimation, KeysOfOneKindAndBlendTargetsPastTheLastKey) {
    MS3D rotOnly;
    Playing(OneJoint({Key(0, 0, 0, 0), Key(1, 0, 0, 1)}, {}), &rotOnly);
    rotOnly.Animate(0.5);
    EXPECT_EQ(rotOnly.skeleton[0].currentTranslation.x, 0.0f);
    EXPECT_GT(std::fabs(rotOnly.skeleton[0].currentQuat.z), 0.1);
    rotOnly.SetAnimation(0, 10, 1000, false, true);
    rotOnly.Animate(0.25);
    EXPECT_EQ(rotOnly.skeleton[0].currentTranslation.x, 0.0f);

    MS3D transOnly;
    Playing(OneJoint({}, {Key(0, 0, 0, 0), Key(1, 2, 0, 0)}), &transOnly);
    transOnly.Animate(0.5);
    EXPECT_FLOAT_EQ(transOnly.skeleton[0].currentTranslation.x, 1.0f);
    EXPECT_TRUE(transOnly.skeleton[0].currentQuat.IsEqualTo(QUAT()));
    transOnly.SetAnimation(0, 10, 1000, false, true);
    transOnly.Animate(0.5);
    EXPECT_TRUE(transOnly.skeleton[0].currentQuat.IsEqualTo(QUAT()));
    EXPECT_FLOAT_EQ(transOnly.skeleton[0].currentTranslation.x, 0.0f);

    // A blend target beyond the last key is the last key.
    MS3D m;
    Load(OneJoint({Key(0, 0, 0, 0), Key(1, 0, 0, 1)}, {Key(0, 0, 0, 0), Key(1, 5, 0, 0)}), &m);
    m.InitialSetup();
    m.SetAnimation(20, 30, 1000, false, true);  // 2000 ms, past every key
    m.Animate(1.0);
    EXPECT_FALSE(m.blending);
    EXPECT_EQ(m.skeleton[0].currentTranslation.x, 5.0f);
    ExpectQuatNear(m.skeleton[0].currentQuat, KeyQuat(0, 0, 1));
}

TEST(Ms3dAnimation, EqualKeyTimesNeverDivideByZero) {
    MS3D m;
    Playing(OneJoint({Key(0, 0, 0, 0), Key(0.5f, 0, 0, 1), Key(0.5f, 0, 0, 2), Key(1, 0, 0, 0)},
                     {Key(0, 0, 0, 0), Key(0.5f, 1, 0, 0), Key(0.5f, 3, 0, 0), Key(1, 0, 0, 0)}),
            &m);
    for (int step = 0; step < 20; step++) {
        m.Animate(0.05);
        const SKELETON_JOINT& j = m.skeleton[0];
        ASSERT_TRUE(std::isfinite(j.currentTranslation.x)) << step;
        ASSERT_TRUE(std::isfinite(j.currentQuat.w)) << step;
        if (m.currentTime == 500.0f) {
            EXPECT_EQ(j.currentTranslation.x, 1.0f);
        }
    }
}
