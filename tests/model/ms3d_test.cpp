// MS3D loading and every refusal of a truncated or inconsistent file; skeleton set-up,
// skinning and the model's own keyframe player.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <streambuf>

#include "model_fixtures.h"
#include "test_support.h"

using namespace modeltest;
using Desc = reefpack::Ms3dModelDesc;

namespace {

// Header, 5 vertices, 3 triangles, the group count, flags and name of group 0.
constexpr std::size_t kFirstGroupCount = 14 + 2 + 5 * 15 + 2 + 3 * 70 + 2 + 1 + 32;

bool Empty(const MS3D& m) {
    return m.numVertices == 0 && !m.vertices && m.numTriangles == 0 && !m.triangles && m.numGroups == 0 && !m.groups &&
           m.numMaterials == 0 && !m.materials && m.numJoints == 0 && !m.joints && !m.skeleton;
}

// A stream that cannot seek or tell its position, as a pipe would be.
class ForwardOnlyBuf : public std::streambuf {
public:
    explicit ForwardOnlyBuf(const std::vector<std::uint8_t>& b) : bytes_(b.begin(), b.end()) {
        setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }

private:
    std::vector<char> bytes_;
};

void Load(const reefpack::Ms3dModelDesc& d, MS3D* m) { ASSERT_TRUE(LoadBytes(Bytes(d), m)); }

std::vector<float> Positions(const MS3D& m) {
    std::vector<float> out;
    for (int i = 0; i < m.numVertices; i++) out.insert(out.end(), m.vertices[i].position, m.vertices[i].position + 3);
    for (int i = 0; i < m.numTriangles; i++)
        for (auto& n : m.triangles[i].vertexNormals) out.insert(out.end(), n, n + 3);
    return out;
}

}  // namespace

TEST(Ms3dLoader, ReadsEverySectionFromAnyStreamOrPath) {
    auto d = TwoJointModel();
    d.version = 3;
    MS3D v3, v4;
    ASSERT_TRUE(LoadBytes(Bytes(d), &v3));
    d.version = 4;
    const auto model = Bytes(d);
    ASSERT_TRUE(LoadBytes(model, &v4));
    EXPECT_TRUE(v4.vertices[2].boneId == 1 && v4.triangles[1].vertexIndices[2] == 3 && v4.groups[0].numTriangles == 2);
    EXPECT_TRUE(v4.triangles[0].s[2] == 0.5f && v4.materials[0].ambient[1] == 0.5f && v4.totalTime == 1000.0f);
    EXPECT_STREQ(v4.materials[0].texture, "skin.tga");
    EXPECT_STREQ(v4.joints[1].parentName, "root");

    // Inside a larger file the loader starts where the stream is and stops after the
    // joints, leaving what follows (version 4 extras) unread.
    testsupport::TempDir dir;
    auto t = TwoJointModel();
    t.trailer = {1, 0, 0, 0, 9, 9, 9};
    std::vector<std::uint8_t> archive(100, 0xEE), tail = Bytes(t);
    archive.insert(archive.end(), tail.begin(), tail.end());
    ASSERT_TRUE(testsupport::WriteFile(dir / "lumps", archive) && testsupport::WriteFile(dir / "fish.ms3d", model));
    std::ifstream in(dir / "lumps", std::ios::binary);
    in.seekg(100);
    MS3D fromStream;
    ASSERT_TRUE(fromStream.LoadFromFStream(&in));
    EXPECT_EQ(static_cast<std::size_t>(in.tellg()), archive.size() - 7);
    EXPECT_TRUE(fromStream.numJoints == 2 && fromStream.joints[1].transKeys[1].time == 1.0f);

    // By path: a regular file only, never waiting on a pipe.
    ASSERT_EQ(mkfifo((dir / "pipe.ms3d").c_str(), 0600), 0);
    const struct {
        std::string path;
        bool loads;
    } paths[] = {{dir / "fish.ms3d", true}, {dir / "pipe.ms3d", false}, {dir.path(), false}, {dir / "none", false}};
    for (const auto& c : paths) {
        MS3D m;
        testing::internal::CaptureStderr();
        EXPECT_EQ(m.Load(c.path.c_str()), c.loads) << c.path;
        EXPECT_EQ(testing::internal::GetCapturedStderr().empty(), c.loads) << c.path;
        EXPECT_EQ(m.numVertices, c.loads ? 5u : 0u) << c.path;
    }
    MS3D none;
    EXPECT_FALSE(none.Load(nullptr));

    // Section sizes: a joint without keys is 93 bytes, a group without triangles still
    // has its material byte, and no joints still reads the animation block.
    auto j = Jointless(TwoJointModel());
    j.totalFrames = 30;
    j.animationFPS = 15;
    j.groups.insert(j.groups.begin() + 1, reefpack::Ms3dGroupDesc{});
    j.groups[1].materialIndex = 0;
    const auto noJoints = Bytes(j);
    MS3D m;
    ASSERT_TRUE(LoadBytes(noJoints, &m));
    EXPECT_TRUE(m.numJoints == 0 && m.totalFrames == 30 && m.totalTime == 2000.0f);
    ASSERT_EQ(m.numGroups, 3);
    EXPECT_TRUE(m.groups[1].numTriangles == 0 && m.groups[1].materialIndex == 0 && m.groups[2].materialIndex == -1);
    j.AddJoint("lonely", "");
    EXPECT_EQ(Bytes(j).size() - noJoints.size(), 93u);

    // A failed reload keeps the model, a good one replaces it.
    auto cut = model;
    cut.resize(cut.size() - 3);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadBytes(cut, &v4));
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(v4.numVertices == 5 && v4.numJoints == 2);
    ASSERT_TRUE(LoadBytes(noJoints, &v4));
    EXPECT_EQ(v4.numJoints, 0);
    v4.Cleanup();
    v4.Cleanup();
    EXPECT_TRUE(Empty(v4));
}

TEST(Ms3dLoader, EveryTruncationIsRefused) {
    auto d = TwoJointModel();
    d.groups[1].triangleIndices.push_back(0);
    auto bytes = Bytes(d);
    testing::internal::CaptureStderr();
    for (std::size_t cut = 0; cut < bytes.size(); cut++) {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        MS3D m, f;
        EXPECT_FALSE(LoadBytes(part, &m)) << "cut at " << cut;
        EXPECT_TRUE(Empty(m)) << "cut at " << cut;
        ForwardOnlyBuf buf(part);  // the same cut through a stream that cannot tell its size
        std::istream forward(&buf);
        EXPECT_FALSE(f.LoadFromFStream(&forward)) << "cut at " << cut;
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MS3D file is truncated!"), std::string::npos);
}

TEST(Ms3dLoader, BadHeadersCountsAndIndicesAreRefused) {
    const char* kBadHeader = "Not a valid MS3D file!";
    const char* kBadIndex = "MS3D file holds an index out of range!";
    const struct {
        const char* what;
        const char* message;
        void (*spoil)(Desc&);
        void (*patch)(std::vector<std::uint8_t>&);
    } cases[] = {
        {"version 2", kBadHeader, [](Desc& d) { d.version = 2; }, nullptr},
        {"version 5", kBadHeader, [](Desc& d) { d.version = 5; }, nullptr},
        {"identifier end", kBadHeader, [](Desc& d) { d.identifier[9] = '1'; }, nullptr},
        {"vertex count", "65535 vertices", nullptr, [](std::vector<std::uint8_t>& b) { b[14] = b[15] = 0xFF; }},
        {"group count", "65535 group triangle indices", nullptr,
         [](std::vector<std::uint8_t>& b) { b[kFirstGroupCount] = b[kFirstGroupCount + 1] = 0xFF; }},
        {"group total", "more than 65535",
         [](Desc& d) { d.groups[0].triangleIndices.assign(40000, 0), d.groups[1].triangleIndices.assign(25536, 1); },
         nullptr},
        {"triangle corner", kBadIndex, [](Desc& d) { d.triangles[1].vertexIndices[2] = 5; }, nullptr},
        {"group triangle", kBadIndex, [](Desc& d) { d.groups[1].triangleIndices[0] = 3; }, nullptr},
        {"group material", kBadIndex, [](Desc& d) { d.groups[0].materialIndex = 1; }, nullptr},
        {"vertex joint", kBadIndex, [](Desc& d) { d.vertices[3].boneId = 2; }, nullptr},
        {"vertex joint without joints", kBadIndex, [](Desc& d) { d.joints.clear(); }, nullptr},
    };
    ASSERT_EQ(Bytes(TwoJointModel())[kFirstGroupCount], 2);
    for (const auto& c : cases) {
        auto d = TwoJointModel();
        if (c.spoil) c.spoil(d);
        auto bytes = Bytes(d);
        if (c.patch) c.patch(bytes);
        MS3D m;  // refused, with its message, leaving the model empty
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadBytes(bytes, &m)) << c.what;
        EXPECT_NE(testing::internal::GetCapturedStderr().find(c.message), std::string::npos) << c.what;
        EXPECT_TRUE(Empty(m)) << c.what;
    }
    // The last valid index of each kind, "none" values and the largest group total load.
    auto d = TwoJointModel();
    d.triangles[1].vertexIndices[2] = 4;
    d.groups[1].triangleIndices[0] = 2;
    d.groups[1].materialIndex = -5;  // any negative: no material
    d.vertices[3].boneId = 1;
    d.vertices[0].boneId = -1;
    d.triangles[0].groupIndex = 200;  // read but not followed
    d.groups[0].triangleIndices.assign(40000, 0);
    d.groups[1].triangleIndices.assign(25535, 2);
    MS3D m;
    EXPECT_TRUE(LoadBytes(Bytes(d), &m));
}

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
    const double turned[3] = {std::cos(0.5), -std::sin(0.5), -1};
    for (int k = 0; k < 3; k++) EXPECT_NEAR(m.vertices[2].position[k], turned[k], 1e-5) << k;
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
