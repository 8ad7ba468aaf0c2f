// MS3D loading: header checks, exact section sizes, scaling, and every refusal of a
// truncated or inconsistent file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <streambuf>

#include "model/MilkshapeModel.h"
#include "model_fixtures.h"
#include "test_support.h"

using modeltest::Bytes;
using modeltest::Jointless;
using modeltest::LoadBytes;
using modeltest::TwoJointModel;
using Desc = reefpack::Ms3dModelDesc;

namespace {

bool Empty(const MS3D& m) {
    return m.numVertices == 0 && !m.vertices && m.numTriangles == 0 && !m.triangles && m.numGroups == 0 &&
           !m.groups && m.numMaterials == 0 && !m.materials && m.numJoints == 0 && !m.joints && !m.skeleton;
}

// The load fails, says `message` on stderr and leaves the model empty.
void ExpectRefused(const std::vector<std::uint8_t>& bytes, const std::string& message, const std::string& what) {
    MS3D m;
    testing::internal::CaptureStderr();
    bool ok = LoadBytes(bytes, &m);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok) << what;
    EXPECT_NE(err.find(message), std::string::npos) << what << ": " << err;
    EXPECT_TRUE(Empty(m)) << what;
}

#define EXPECT_SAME_BYTES(x, y) EXPECT_EQ(0, std::memcmp(&(x), &(y), sizeof(x)))

void ExpectSameModel(const MS3D& a, const MS3D& b) {
    ASSERT_EQ(a.numVertices, b.numVertices);
    for (int i = 0; i < a.numVertices; i++) {
        const MS3DVERTEX &x = a.vertices[i], &y = b.vertices[i];
        EXPECT_TRUE(x.flags == y.flags && x.refCount == y.refCount && x.boneId == y.boneId) << i;
        EXPECT_SAME_BYTES(x.position, y.position);
    }
    ASSERT_EQ(a.numTriangles, b.numTriangles);
    for (int i = 0; i < a.numTriangles; i++) {
        const MS3DTRIANGLE &x = a.triangles[i], &y = b.triangles[i];
        EXPECT_TRUE(x.flags == y.flags && x.smoothingGroup == y.smoothingGroup && x.groupIndex == y.groupIndex);
        EXPECT_SAME_BYTES(x.vertexIndices, y.vertexIndices);
        EXPECT_SAME_BYTES(x.vertexNormals, y.vertexNormals);
        EXPECT_SAME_BYTES(x.s, y.s);
        EXPECT_SAME_BYTES(x.t, y.t);
    }
    ASSERT_EQ(a.numGroups, b.numGroups);
    for (int i = 0; i < a.numGroups; i++) {
        EXPECT_STREQ(a.groups[i].name, b.groups[i].name);
        ASSERT_EQ(a.groups[i].numTriangles, b.groups[i].numTriangles);
        EXPECT_EQ(0, std::memcmp(a.groups[i].triangleIndices, b.groups[i].triangleIndices,
                                 2u * a.groups[i].numTriangles));
        EXPECT_EQ(a.groups[i].materialIndex, b.groups[i].materialIndex);
    }
    ASSERT_EQ(a.numMaterials, b.numMaterials);
    for (int i = 0; i < a.numMaterials; i++) {
        EXPECT_STREQ(a.materials[i].name, b.materials[i].name);
        EXPECT_STREQ(a.materials[i].texture, b.materials[i].texture);
        EXPECT_TRUE(a.materials[i].mode == b.materials[i].mode &&
                    a.materials[i].transparency == b.materials[i].transparency);
    }
    EXPECT_TRUE(a.totalFrames == b.totalFrames && a.animationFPS == b.animationFPS && a.totalTime == b.totalTime);
    ASSERT_EQ(a.numJoints, b.numJoints);
    for (int i = 0; i < a.numJoints; i++) {
        const MS3DJOINT &x = a.joints[i], &y = b.joints[i];
        EXPECT_STREQ(x.name, y.name);
        EXPECT_STREQ(x.parentName, y.parentName);
        EXPECT_SAME_BYTES(x.rotation, y.rotation);
        EXPECT_SAME_BYTES(x.position, y.position);
        ASSERT_EQ(x.numRotKeys, y.numRotKeys);
        ASSERT_EQ(x.numTransKeys, y.numTransKeys);
        EXPECT_EQ(0, std::memcmp(x.rotKeys, y.rotKeys, sizeof(MS3DKEYFRAME) * x.numRotKeys));
        EXPECT_EQ(0, std::memcmp(x.transKeys, y.transKeys, sizeof(MS3DKEYFRAME) * x.numTransKeys));
    }
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

}  // namespace

TEST(Ms3dLoader, HeaderIsCheckedExactly) {
    for (std::int32_t version : {2, 5, 0, -1}) {
        auto d = TwoJointModel();
        d.version = version;
        ExpectRefused(Bytes(d), "Not a valid MS3D file!", "version " + std::to_string(version));
    }
    for (int byte = 0; byte < 10; byte++) {
        auto d = TwoJointModel();
        d.identifier[byte] = byte == 9 ? '1' : 'x';
        ExpectRefused(Bytes(d), "Not a valid MS3D file!", "identifier byte " + std::to_string(byte));
    }
    ExpectRefused({'M', 'S', '3', 'D'}, "Not a valid MS3D file!", "shorter than the header");
}

TEST(Ms3dLoader, Versions3And4ReadIdentically) {
    auto d = TwoJointModel();
    d.version = 3;
    MS3D v3, v4;
    ASSERT_TRUE(LoadBytes(Bytes(d), &v3));
    d.version = 4;
    ASSERT_TRUE(LoadBytes(Bytes(d), &v4));
    ExpectSameModel(v3, v4);

    // And the fields land where they belong (keys, parents, materials and positions are
    // read back by the skeleton, animation and instance tests).
    EXPECT_EQ(v4.vertices[2].boneId, 1);
    EXPECT_EQ(v4.triangles[1].vertexIndices[2], 3);
    EXPECT_FLOAT_EQ(v4.triangles[0].s[2], 0.5f);
    EXPECT_STREQ(v4.groups[0].name, "body");
    EXPECT_EQ(v4.groups[0].numTriangles, 2);
    EXPECT_STREQ(v4.materials[0].texture, "skin.tga");
    EXPECT_FLOAT_EQ(v4.materials[0].ambient[1], 0.5f);
}

TEST(Ms3dLoader, SectionSizesAndWhatIsLeftUnread) {
    // Zero joints: the animation block is still read; the stream ends right after the
    // joint count.
    auto d = Jointless(TwoJointModel());
    d.animationFPS = 15.0f;
    d.totalFrames = 30;
    auto noJoints = Bytes(d);
    MS3D m;
    std::streamoff end = 0;
    ASSERT_TRUE(LoadBytes(noJoints, &m, &end));
    EXPECT_EQ(m.numJoints, 0);
    EXPECT_EQ(m.totalFrames, 30);
    EXPECT_EQ(m.totalTime, 2000.0f);
    EXPECT_EQ(end, static_cast<std::streamoff>(noJoints.size()));

    // A joint without keys is exactly 93 bytes.
    d.AddJoint("lonely", "");
    auto oneJoint = Bytes(d);
    EXPECT_EQ(oneJoint.size() - noJoints.size(), 93u);
    MS3D one;
    ASSERT_TRUE(LoadBytes(oneJoint, &one));
    EXPECT_EQ(one.joints[0].numRotKeys, 0);
    EXPECT_STREQ(one.joints[0].name, "lonely");

    // A group with zero triangles still has its material byte read.
    auto g = TwoJointModel();
    g.groups.insert(g.groups.begin() + 1, reefpack::Ms3dGroupDesc{});
    g.groups[1].name = "empty";
    g.groups[1].materialIndex = 0;
    MS3D withEmpty;
    ASSERT_TRUE(LoadBytes(Bytes(g), &withEmpty));
    ASSERT_EQ(withEmpty.numGroups, 3);
    EXPECT_EQ(withEmpty.groups[1].numTriangles, 0);
    EXPECT_EQ(withEmpty.groups[1].materialIndex, 0);
    EXPECT_STREQ(withEmpty.groups[2].name, "fin");
    EXPECT_EQ(withEmpty.groups[2].materialIndex, -1);

    // Bytes after the last joint (further version-4 sections) are not consumed.
    auto t = TwoJointModel();
    t.trailer = {1, 0, 0, 0, 9, 9, 9};
    auto bytes = Bytes(t);
    ASSERT_TRUE(LoadBytes(bytes, &m, &end));
    EXPECT_EQ(end, static_cast<std::streamoff>(bytes.size() - 7));
}

TEST(Ms3dLoader, LoadsFromAPositionedStreamAPipeAndAPath) {
    testsupport::TempDir dir;
    auto model = Bytes(TwoJointModel());
    // The model as a lump inside a larger file: the loader starts where the stream is.
    std::vector<std::uint8_t> archive(100 + model.size() + 50, 0xEE);
    std::copy(model.begin(), model.end(), archive.begin() + 100);
    ASSERT_TRUE(testsupport::WriteFile(dir / "lumps", archive));
    std::ifstream in(dir / "lumps", std::ios::binary);
    in.seekg(100);
    MS3D fromStream;
    ASSERT_TRUE(fromStream.LoadFromFStream(&in));
    EXPECT_EQ(static_cast<std::streamoff>(in.tellg()), static_cast<std::streamoff>(100 + model.size()));
    EXPECT_EQ(fromStream.numVertices, 5);

    ASSERT_TRUE(testsupport::WriteFile(dir / "fish.ms3d", model));
    MS3D fromPath;
    ASSERT_TRUE(fromPath.Load((dir / "fish.ms3d").c_str()));
    ExpectSameModel(fromStream, fromPath);

    MS3D missing;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(missing.Load((dir / "nothing.ms3d").c_str()));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Coun't open the damn MS3D file!"), std::string::npos) << err;
    EXPECT_TRUE(Empty(missing));

    ForwardOnlyBuf buf(model);
    std::istream forward(&buf);
    MS3D fromPipe;
    ASSERT_TRUE(fromPipe.LoadFromFStream(&forward));
    ExpectSameModel(fromStream, fromPipe);
}

TEST(Ms3dLoader, ReloadReplacesAndAFailedLoadKeepsTheModel) {
    MS3D m;
    ASSERT_TRUE(LoadBytes(Bytes(TwoJointModel()), &m));
    auto bad = Bytes(TwoJointModel());
    bad.resize(bad.size() - 3);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadBytes(bad, &m));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(m.numVertices, 5);
    EXPECT_EQ(m.numJoints, 2);
    ASSERT_TRUE(LoadBytes(Bytes(Jointless(TwoJointModel())), &m));
    EXPECT_EQ(m.numJoints, 0);
    m.Cleanup();
    m.Cleanup();
    EXPECT_TRUE(Empty(m));
}

TEST(Ms3dLoader, ScaleTouchesPositionsOnly) {
    MS3D m;
    ASSERT_TRUE(LoadBytes(Bytes(TwoJointModel()), &m));
    m.Scale(2.0f);
    EXPECT_EQ(m.vertices[2].position[0], 2.0f);
    EXPECT_EQ(m.vertices[2].position[2], -4.0f);
    EXPECT_EQ(m.joints[1].position[2], -2.0f);
    EXPECT_EQ(m.joints[0].transKeys[1].value[0], 2.0f);
    EXPECT_EQ(m.joints[0].transKeys[1].time, 0.5f);
    EXPECT_EQ(m.joints[0].rotKeys[1].value[1], 0.5f);
    EXPECT_EQ(m.joints[0].rotKeys[1].time, 0.5f);
    EXPECT_EQ(m.triangles[0].vertexNormals[0][2], 1.0f);
    EXPECT_EQ(m.triangles[0].s[1], 0.25f);
}

TEST(Ms3dLoader, EveryTruncationIsRefused) {
    auto d = TwoJointModel();
    d.groups[1].triangleIndices.push_back(0);  // a group with two indices and a material byte
    auto bytes = Bytes(d);
    testing::internal::CaptureStderr();
    for (std::size_t cut = 0; cut < bytes.size(); cut++) {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        MS3D m;
        EXPECT_FALSE(LoadBytes(part, &m)) << "cut at " << cut;
        EXPECT_TRUE(Empty(m)) << "cut at " << cut;
        // The same cut through a stream that cannot tell its size.
        ForwardOnlyBuf buf(part);
        std::istream forward(&buf);
        MS3D f;
        EXPECT_FALSE(f.LoadFromFStream(&forward)) << "cut at " << cut;
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("MS3D file is truncated!"), std::string::npos);
    MS3D whole;
    EXPECT_TRUE(LoadBytes(bytes, &whole));
}

TEST(Ms3dLoader, CountsBeyondTheFileAreRefusedBeforeAllocating) {
    // A vertex count of 65535 in a file that holds five vertices.
    auto bytes = Bytes(TwoJointModel());
    bytes[14] = bytes[15] = 0xFF;
    ExpectRefused(bytes, "65535 vertices", "vertex count");

    // A group that claims 65535 triangle indices.
    bytes = Bytes(TwoJointModel());
    std::size_t groupCount = 14 + 2 + 5 * 15 + 2 + 3 * 70;
    std::size_t firstGroupN = groupCount + 2 + 1 + 32;
    ASSERT_EQ(bytes[firstGroupN], 2);
    bytes[firstGroupN] = bytes[firstGroupN + 1] = 0xFF;
    ExpectRefused(bytes, "65535 group triangle indices", "group count");

    // Groups listing more than 65535 triangles between them.
    auto d = TwoJointModel();
    d.groups[0].triangleIndices.assign(40000, 0);
    d.groups[1].triangleIndices.assign(25536, 1);
    ExpectRefused(Bytes(d), "more than 65535", "group total");
    d.groups[1].triangleIndices.resize(25535);
    MS3D m;
    EXPECT_TRUE(LoadBytes(Bytes(d), &m));
}

TEST(Ms3dLoader, IndicesOutsideTheirArraysAreRefused) {
    const struct {
        const char* what;
        void (*spoil)(Desc&);
    } cases[] = {
        {"triangle corner", [](Desc& d) { d.triangles[1].vertexIndices[2] = 5; }},
        {"triangle corner far", [](Desc& d) { d.triangles[0].vertexIndices[0] = 65535; }},
        {"group triangle", [](Desc& d) { d.groups[1].triangleIndices[0] = 3; }},
        {"group material", [](Desc& d) { d.groups[0].materialIndex = 1; }},
        {"group material max", [](Desc& d) { d.groups[0].materialIndex = 127; }},
        {"vertex joint", [](Desc& d) { d.vertices[3].boneId = 2; }},
        {"vertex joint without joints", [](Desc& d) { d.joints.clear(); }},
    };
    for (const auto& c : cases) {
        auto d = TwoJointModel();
        c.spoil(d);
        ExpectRefused(Bytes(d), "MS3D file holds an index out of range!", c.what);
    }
    // The last valid index of each kind and the "none" values load.
    auto d = TwoJointModel();
    d.triangles[1].vertexIndices[2] = 4;
    d.groups[1].triangleIndices[0] = 2;
    d.groups[0].materialIndex = 0;
    d.groups[1].materialIndex = -1;
    d.vertices[3].boneId = 1;
    d.vertices[0].boneId = -1;
    d.triangles[0].groupIndex = 200;  // read but not followed by anything
    MS3D m;
    EXPECT_TRUE(LoadBytes(Bytes(d), &m));
    // A material index below -1 means no material as well.
    d.groups[0].materialIndex = -5;
    MS3D n;
    EXPECT_TRUE(LoadBytes(Bytes(d), &n));
}

TEST(Ms3dWriter, CutsLongNamesAndRefusesOversizedCounts) {
    auto d = TwoJointModel();
    d.joints[0].name = std::string(40, 'j');
    d.materials[0].texture = std::string(200, 't');
    MS3D m;
    ASSERT_TRUE(LoadBytes(Bytes(d), &m));
    EXPECT_EQ(std::string(m.joints[0].name), std::string(31, 'j'));
    EXPECT_EQ(std::string(m.materials[0].texture), std::string(127, 't'));

    std::vector<std::uint8_t> out;
    std::string error;
    auto big = TwoJointModel();
    big.vertices.resize(65536);
    EXPECT_FALSE(reefpack::WriteMs3d(big, &out, &error));
    EXPECT_NE(error.find("vertices"), std::string::npos);
    auto keys = TwoJointModel();
    keys.joints[1].transKeys.resize(65536);
    EXPECT_FALSE(reefpack::WriteMs3d(keys, &out, &error));
    EXPECT_NE(error.find("translation keys"), std::string::npos);

    testsupport::TempDir dir;
    EXPECT_TRUE(reefpack::WriteMs3dFile(TwoJointModel(), dir / "a.ms3d", &error));
    EXPECT_EQ(testsupport::ReadFile(dir / "a.ms3d"), Bytes(TwoJointModel()));
    EXPECT_FALSE(reefpack::WriteMs3dFile(TwoJointModel(), dir / "missing/a.ms3d", &error));
}
