// Animation templates and model instances: vertex de-duplication, group ranges, skinning
// with scale, the instance keyframe player, and instances sharing one species.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "model/ModelMain.h"
#include "model_fixtures.h"

using modeltest::Bytes;
using modeltest::Jointless;
using modeltest::Key;
using modeltest::LoadBytes;
using modeltest::TwoJointModel;

namespace {

// A loaded, set-up species: model, template and prototype.
struct Species {
    MS3D model;
    ANIMATIONTEMPLATE tmpl;
    ONEMODEL proto;
    unsigned texture = 77;

    bool Build(const reefpack::Ms3dModelDesc& d, float scaleBy = 1.0f) {
        if (!LoadBytes(Bytes(d), &model)) return false;
        model.Scale(scaleBy);
        model.InitialSetup();
        if (!tmpl.Setup(&model)) return false;
        return proto.Setup(&tmpl, &model, &texture);
    }
};

// Fills an instance from a prototype the way the fish of a species are filled.
void FillFrom(ONEMODEL& fish, ONEMODEL& proto, ANIMATIONTEMPLATE* t) {
    fish.animTemplate = t;
    ASSERT_TRUE(fish.SetupJoints(t));
    fish.numGroups = proto.numGroups;
    fish.groups = proto.groups;
    fish.numTriangles = proto.numTriangles;
    fish.indices = proto.indices;
    fish.numMaterials = proto.numMaterials;
    fish.materials = new MODELMATERIAL[proto.numMaterials];
    for (int i = 0; i < proto.numMaterials; i++) fish.materials[i] = proto.materials[i];
    ASSERT_TRUE(fish.CopyVertexBuffer(proto.vertexBuffer, proto.numVertices));
}

std::vector<float> BufferFloats(const ONEMODEL& m) {
    std::vector<float> out;
    for (int i = 0; i < m.numVertices; i++) {
        const MODELVERTEX& v = m.vertexBuffer[i];
        out.insert(out.end(), v.position, v.position + 3);
        out.insert(out.end(), v.normal, v.normal + 3);
    }
    return out;
}

}  // namespace

TEST(AnimationTemplate, CopiesTheSkeletonAndPrecomputesKeys) {
    auto d = TwoJointModel();
    d.joints[1].position[0] = 1, d.joints[1].position[1] = 2, d.joints[1].position[2] = 3;
    d.joints[1].transKeys = {Key(0, 0, 0, 0), Key(0.5f, 1.5f, 0, 0)};
    d.joints[1].rotKeys = {Key(0.5f, 0.3f, 0.2f, 0.1f)};
    Species s;
    ASSERT_TRUE(s.Build(d, 2.0f));
    const ANIMATIONTEMPLATE& t = s.tmpl;
    ASSERT_EQ(t.numJoints, 2);
    EXPECT_EQ(t.totalTime, 1000.0f);
    const ANIMJOINT& tail = t.joints[1];
    EXPECT_EQ(tail.parent, 0);
    MATRIX expected;
    expected.SetTranslation(VECTOR3D{2, 4, 6});
    for (int i = 0; i < 16; i++) EXPECT_EQ(tail.bindMatrix.m[i], expected.m[i]) << i;
    ASSERT_EQ(tail.numRotKeys, 1);
    EXPECT_EQ(tail.rotKeys[0].time, 500.0f);
    EXPECT_EQ(tail.rotKeys[0].value[0], 0.3f);
    QUAT q = RotationToQuat(VECTOR3D{0.3f * 57.29578f, 0.2f * 57.29578f, 0.1f * 57.29578f});
    EXPECT_TRUE(tail.rotQuats[0].IsEqualTo(q));
    EXPECT_EQ(tail.transKeys[1].time, 500.0f);
    EXPECT_EQ(tail.transKeys[1].value[0], 3.0f);  // scaled with the model
    // The bind pose comes from the model's skeleton.
    for (int i = 0; i < 16; i++) EXPECT_EQ(tail.absolute.m[i], s.model.skeleton[1].absolute.m[i]);

    Species n;
    ASSERT_TRUE(n.Build(Jointless(TwoJointModel())));
    EXPECT_EQ(n.tmpl.numJoints, 0);
    EXPECT_EQ(n.tmpl.joints, nullptr);
    EXPECT_EQ(n.proto.numJoints, 0);
    n.tmpl.Cleanup();
    n.tmpl.Cleanup();
}

TEST(ModelInstance, AddVertToBufferSharesOnlyEqualRecords) {
    ONEMODEL m;
    // A new model has nothing to animate or draw: nothing happens.
    m.Update(0.1);
    m.RevertPoints(nullptr);
    float p[3] = {1, 2, 3}, n[3] = {0, 0, 1};
    EXPECT_EQ(m.AddVertToBuffer(p, n, 0.5f, 0.25f, 0), 0);
    EXPECT_EQ(m.AddVertToBuffer(p, n, 0.5f, 0.25f, 0), 0);
    EXPECT_EQ(m.numVertices, 1);
    // Each field on its own makes a new record.
    float p2[3] = {1, 2, 3.5f}, n2[3] = {0, 1, 0};
    EXPECT_EQ(m.AddVertToBuffer(p2, n, 0.5f, 0.25f, 0), 1);
    EXPECT_EQ(m.AddVertToBuffer(p, n2, 0.5f, 0.25f, 0), 2);
    EXPECT_EQ(m.AddVertToBuffer(p, n, 0.75f, 0.25f, 0), 3);
    EXPECT_EQ(m.AddVertToBuffer(p, n, 0.5f, 0.75f, 0), 4);
    EXPECT_EQ(m.AddVertToBuffer(p, n, 0.5f, 0.25f, 1), 5);
    EXPECT_EQ(m.AddVertToBuffer(p, n, 0.5f, 0.25f, -1), 6);
    EXPECT_EQ(m.AddVertToBuffer(p2, n, 0.5f, 0.25f, 0), 1);  // the first equal record wins
    // A NaN never matches, not even itself.
    float pn[3] = {std::numeric_limits<float>::quiet_NaN(), 0, 0};
    EXPECT_EQ(m.AddVertToBuffer(pn, n, 0, 0, 0), 7);
    EXPECT_EQ(m.AddVertToBuffer(pn, n, 0, 0, 0), 8);
    // -0 equals +0.
    float pz[3] = {0, 0, 0}, pmz[3] = {-0.0f, 0, 0};
    EXPECT_EQ(m.AddVertToBuffer(pz, n, 0, 0, 0), 9);
    EXPECT_EQ(m.AddVertToBuffer(pmz, n, 0, 0, 0), 9);
    EXPECT_EQ(m.numVertices, 10);
    EXPECT_EQ(m.vertexBuffer[5].joint, 1);
    EXPECT_EQ(m.vertexBuffer[4].t, 0.75f);
}

TEST(ModelInstance, SetupBuildsGroupsIndicesAndSharedCorners) {
    // A quad (4 distinct corners) drawn by two groups of 2 and 3 triangles.
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10;
    reefpack::Ms3dMaterialDesc mat;
    mat.ambient[2] = 0.3f;
    mat.transparency = 0.75f;
    mat.mode = static_cast<std::int8_t>(0x80);
    d.materials = {mat, mat};
    d.AddGroup("a", 1);
    d.AddGroup("b", -1);
    for (int i = 0; i < 4; i++) d.AddVertex(static_cast<float>(i & 1), static_cast<float>(i >> 1), 0, -1);
    d.AddTriangle(0, 1, 2, 0);
    d.AddTriangle(1, 3, 2, 0);
    d.AddTriangle(0, 1, 2, 1);
    d.AddTriangle(1, 3, 2, 1);
    d.AddTriangle(2, 1, 3, 1);
    for (auto& t : d.triangles)
        for (int k = 0; k < 3; k++) t.t[k] = 0.25f;
    Species s;
    ASSERT_TRUE(s.Build(d));
    const ONEMODEL& m = s.proto;
    EXPECT_EQ(m.numVertices, 4);
    ASSERT_EQ(m.numGroups, 2);
    EXPECT_EQ(m.groups[0].firstIndex, 0u);
    EXPECT_EQ(m.groups[0].numTriangles, 2);
    EXPECT_EQ(m.groups[0].material, 1);
    EXPECT_EQ(m.groups[1].firstIndex, 6u);
    EXPECT_EQ(m.groups[1].numTriangles, 3);
    EXPECT_EQ(m.groups[1].material, -1);
    const std::uint16_t want[15] = {0, 1, 2, 1, 3, 2, 0, 1, 2, 1, 3, 2, 2, 1, 3};
    for (int i = 0; i < 15; i++) EXPECT_EQ(m.indices[i], want[i]) << i;
    EXPECT_EQ(m.vertexBuffer[0].t, 0.75f);  // stored flipped
    ASSERT_EQ(m.numMaterials, 2);
    EXPECT_EQ(m.materials[1].texture, 77u);
    EXPECT_EQ(m.materials[1].mode, static_cast<std::int8_t>(0x80));
    EXPECT_EQ(m.materials[1].alpha, 0.75f);
    EXPECT_EQ(m.materials[1].colour[2], 0.3f);
}

TEST(ModelInstance, SetupMatchesTheLinearSearch) {
    // Shared corners, a corner that differs only by joint, a NaN normal and a -0.
    auto d = TwoJointModel();
    d.AddVertex(-1, 0, 0, 1);  // 5: vertex 0's position on the other joint
    d.AddTriangle(5, 1, 2, 1);
    d.triangles[1].normals[1][0] = std::numeric_limits<float>::quiet_NaN();
    d.AddTriangle(0, 2, 3, 1);
    d.triangles[4].normals[1][0] = std::numeric_limits<float>::quiet_NaN();
    d.AddVertex(-0.0f, 1, 0, -1);  // 6: equal to vertex 4
    d.AddTriangle(6, 4, 6, 0);
    Species s;
    ASSERT_TRUE(s.Build(d));
    ONEMODEL ref;
    std::vector<std::uint16_t> refIndices;
    for (int g = 0; g < s.model.numGroups; g++)
        for (int i = 0; i < s.model.groups[g].numTriangles; i++) {
            MS3DTRIANGLE& t = s.model.triangles[s.model.groups[g].triangleIndices[i]];
            for (int k = 0; k < 3; k++) {
                MS3DVERTEX& v = s.model.vertices[t.vertexIndices[k]];
                refIndices.push_back(
                    ref.AddVertToBuffer(v.position, t.vertexNormals[k], t.s[k], 1.0f - t.t[k], v.boneId));
            }
        }
    ASSERT_EQ(s.proto.numVertices, ref.numVertices);
    EXPECT_EQ(0, std::memcmp(s.proto.vertexBuffer, ref.vertexBuffer, ref.numVertices * sizeof(MODELVERTEX)));
    ASSERT_EQ(refIndices.size(), 3u * s.proto.numTriangles);
    for (std::size_t i = 0; i < refIndices.size(); i++) EXPECT_EQ(s.proto.indices[i], refIndices[i]) << i;
}

TEST(ModelInstance, ScaleAndTheSkinningRoundTrip) {
    Species s;
    ASSERT_TRUE(s.Build(TwoJointModel()));
    ONEMODEL& m = s.proto;
    auto jointSpace = BufferFloats(m);
    // Identity joints and scale 0.5: positions halve, normals stay.
    m.scale = 0.5f;
    m.UpdatePoints(m.joints);
    for (int i = 0; i < m.numVertices; i++) {
        const MODELVERTEX& v = m.vertexBuffer[i];
        float f = v.joint >= 0 ? 0.5f : 1.0f;
        EXPECT_EQ(v.position[0], jointSpace[6 * i] * f) << i;
        EXPECT_EQ(v.position[2], jointSpace[6 * i + 2] * f) << i;
        EXPECT_EQ(v.normal[2], jointSpace[6 * i + 5]) << i;
    }
    m.RevertPoints(m.joints);
    EXPECT_EQ(BufferFloats(m), jointSpace);

    // Animated joints: RevertPoints undoes UpdatePoints up to rounding.
    m.SetAnimation(0, 10, 1000, true, false);
    m.Animate(0.3);
    m.UpdateSkeleton();
    m.UpdatePoints(m.joints);
    auto posed = BufferFloats(m);
    EXPECT_NE(posed, jointSpace);
    m.RevertPoints(m.joints);
    auto back = BufferFloats(m);
    for (std::size_t i = 0; i < back.size(); i++) EXPECT_NEAR(back[i], jointSpace[i], 1e-5) << i;
}

TEST(ModelInstance, MatchesTheModelsOwnPlayer) {
    // The instance, fed by the template, poses the mesh as the MS3D poses itself.
    Species s;
    ASSERT_TRUE(s.Build(TwoJointModel()));
    MS3D self;
    ASSERT_TRUE(LoadBytes(Bytes(TwoJointModel()), &self));
    self.InitialSetup();
    self.SetAnimation(1, 9, 1000, true, false);
    s.proto.SetAnimation(1, 9, 1000, true, false);
    bool first = true;
    for (int step = 0; step < 25; step++) {
        if (!first) self.RevertPoints();
        first = false;
        self.Animate(0.05);
        self.UpdateSkeleton();
        self.UpdatePoints();
        s.proto.Update(0.05);
        EXPECT_EQ(self.currentTime, s.proto.currentTime);
        for (int j = 0; j < 2; j++)
            for (int e = 0; e < 16; e++)
                EXPECT_NEAR(self.skeleton[j].absolute.m[e], s.proto.joints[j].absolute.m[e], 1e-6) << step;
    }
    // Vertex 2 of the file (1, 0, -2, on the tail) is the third corner of triangle 0.
    const MODELVERTEX& v = s.proto.vertexBuffer[s.proto.indices[2]];
    for (int c = 0; c < 3; c++) EXPECT_NEAR(v.position[c], self.vertices[2].position[c], 1e-5);
}

TEST(ModelInstance, PlayAndBlendSteps) {
    Species s;
    ASSERT_TRUE(s.Build(TwoJointModel()));
    ONEMODEL& m = s.proto;
    // An empty range: nothing moves until SetAnimation.
    m.Animate(0.5);
    EXPECT_EQ(m.currentTime, 0.0f);
    EXPECT_EQ(m.joints[0].lastRotKey, -1);

    m.SetAnimation(0, 10, 1000, false, false);
    EXPECT_EQ(m.endTime, 1000.0f);
    m.Animate(0.6);
    EXPECT_FLOAT_EQ(m.joints[0].currentTranslation.x, 0.8f);
    m.Animate(1.0);
    EXPECT_EQ(m.currentTime, 1000.0f);
    m.Animate(1.0);
    EXPECT_EQ(m.currentTime, 1000.0f);

    // Blend: four steps of 1/16 at 4 per unit.
    m.SetAnimation(5, 10, 1000, true, true);
    for (int i = 1; i <= 4; i++) {
        m.Animate(0.0625);
        EXPECT_EQ(m.blendFactor, 0.25f * i);
        EXPECT_EQ(m.blending, i < 4);
        EXPECT_EQ(m.currentTime, 500.0f);
    }
    EXPECT_EQ(m.joints[0].currentTranslation.x, 1.0f);
    ASSERT_NE(s.tmpl.joints, nullptr);
    EXPECT_TRUE(m.joints[0].currentQuat.IsEqualTo(
        QuatSlerp(&m.joints[0].blendQuat, &s.tmpl.joints[0].rotQuats[1], 1.0)));

    // Loop: the overshoot is dropped.
    m.Animate(0.4);
    EXPECT_FLOAT_EQ(m.currentTime, 900.0f);
    m.Animate(0.4);
    EXPECT_EQ(m.currentTime, 500.0f);
    EXPECT_EQ(m.joints[0].currentTranslation.x, 1.0f);
    m.RestartAnim();
    EXPECT_EQ(m.joints[0].rotKey, 0);
}

TEST(ModelInstance, InstancesOfOneSpeciesDeformIndependently) {
    Species s;
    ASSERT_TRUE(s.Build(TwoJointModel()));
    const MODELGROUP* groups = s.proto.groups;
    const std::uint16_t* indices = s.proto.indices;
    auto protoBuffer = BufferFloats(s.proto);
    {
        ONEMODEL a, b;
        FillFrom(a, s.proto, &s.tmpl);
        FillFrom(b, s.proto, &s.tmpl);
        EXPECT_NE(a.vertexBuffer, b.vertexBuffer);
        EXPECT_EQ(a.indices, b.indices);
        a.SetAnimation(0, 10, 1000, true, false);
        a.Update(0.3);
        EXPECT_NE(BufferFloats(a), protoBuffer);
        EXPECT_EQ(BufferFloats(b), protoBuffer);
        b.SetAnimation(0, 10, 1000, true, false);
        b.Update(0.6);
        EXPECT_NE(BufferFloats(a), BufferFloats(b));
        a.DetachShared();
        b.DetachShared();
    }
    // Destroying the instances left the prototype's shared arrays alone.
    EXPECT_EQ(s.proto.groups, groups);
    EXPECT_EQ(s.proto.indices, indices);
    EXPECT_EQ(s.proto.indices[5], indices[5]);
    EXPECT_EQ(BufferFloats(s.proto), protoBuffer);
}

TEST(ModelInstance, SetupRefusesMoreThan65535Corners) {
    // 21846 triangles with three distinct corners each need 65538 records.
    reefpack::Ms3dModelDesc d;
    d.AddGroup("big");
    d.AddVertex(0, 0, 0);
    d.triangles.resize(21846);
    for (std::size_t i = 0; i < d.triangles.size(); i++) {
        for (int k = 0; k < 3; k++) d.triangles[i].s[k] = static_cast<float>(3 * i + k);
        d.groups[0].triangleIndices.push_back(static_cast<std::uint16_t>(i));
    }
    Species s;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(s.Build(d));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("65535"), std::string::npos) << err;
    EXPECT_EQ(s.proto.vertexBuffer, nullptr);
    EXPECT_EQ(s.proto.indices, nullptr);
    EXPECT_EQ(s.proto.numGroups, 0);
    // One triangle fewer fits.
    d.triangles.resize(21845);
    d.groups[0].triangleIndices.resize(21845);
    Species ok;
    ASSERT_TRUE(ok.Build(d));
    EXPECT_EQ(ok.proto.numVertices, 65535);
}

TEST(ModelInstance, KeysOfOneKindAndBlendTargetsPastTheLastKey) {
    // Joint 0 has rotation keys only, joint 1 translation keys only.
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10;
    d.AddGroup("g");
    d.AddVertex(1, 0, 0, 0);
    d.AddVertex(0, 1, 0, 1);
    d.AddVertex(0, 0, 1, 1);
    d.AddTriangle(0, 1, 2, 0);
    d.AddJoint("spin", "");
    d.AddJoint("slide", "");
    d.joints[0].rotKeys = {Key(0, 0, 0, 0), Key(1, 0, 0, 1)};
    d.joints[1].transKeys = {Key(0, 0, 0, 0), Key(1, 4, 0, 0)};
    Species s;
    ASSERT_TRUE(s.Build(d));
    ONEMODEL& m = s.proto;
    m.SetAnimation(0, 10, 1000, false, false);
    m.Update(0.5);
    EXPECT_EQ(m.joints[0].currentTranslation.x, 0.0f);
    EXPECT_GT(std::fabs(m.joints[0].currentQuat.z), 0.1);
    EXPECT_FLOAT_EQ(m.joints[1].currentTranslation.x, 2.0f);
    EXPECT_TRUE(m.joints[1].currentQuat.IsEqualTo(QUAT()));
    for (int i = 0; i < 3; i++) {
        const MODELVERTEX& v = m.vertexBuffer[i];
        for (float c : v.position) EXPECT_TRUE(std::isfinite(c));
    }
    // A range starting after every key blends towards the last keys.
    m.SetAnimation(20, 30, 1000, false, true);
    m.Update(0.25);
    EXPECT_FALSE(m.blending);
    EXPECT_EQ(m.joints[1].currentTranslation.x, 4.0f);
    EXPECT_EQ(m.joints[0].currentTranslation.x, 0.0f);
    QUAT last = s.tmpl.joints[0].rotQuats[1];
    EXPECT_NEAR(m.joints[0].currentQuat.z, last.z, 1e-9);
    EXPECT_NEAR(m.joints[0].currentQuat.w, last.w, 1e-9);
    EXPECT_TRUE(m.joints[1].currentQuat.IsEqualTo(QUAT()));
}
