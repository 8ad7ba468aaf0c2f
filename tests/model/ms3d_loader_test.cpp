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
using modeltest::Key;
using modeltest::LoadBytes;
using modeltest::TwoJointModel;

namespace {

std::string LoadError(const std::vector<std::uint8_t>& bytes, MS3D* m, bool* ok) {
    testing::internal::CaptureStderr();
    *ok = LoadBytes(bytes, m);
    return testing::internal::GetCapturedStderr();
}

bool Empty(const MS3D& m) {
    return m.numVertices == 0 && !m.vertices && m.numTriangles == 0 && !m.triangles && m.numGroups == 0 &&
           !m.groups && m.numMaterials == 0 && !m.materials && m.numJoints == 0 && !m.joints && !m.skeleton;
}

void ExpectSameModel(const MS3D& a, const MS3D& b) {
    ASSERT_EQ(a.numVertices, b.numVertices);
    for (int i = 0; i < a.numVertices; i++) {
        EXPECT_EQ(a.vertices[i].flags, b.vertices[i].flags);
        EXPECT_EQ(a.vertices[i].refCount, b.vertices[i].refCount);
        EXPECT_EQ(a.vertices[i].boneId, b.vertices[i].boneId);
        EXPECT_EQ(0, std::memcmp(a.vertices[i].position, b.vertices[i].position, sizeof(float) * 3));
    }
    ASSERT_EQ(a.numTriangles, b.numTriangles);
    for (int i = 0; i < a.numTriangles; i++) {
        const MS3DTRIANGLE& x = a.triangles[i];
        const MS3DTRIANGLE& y = b.triangles[i];
        EXPECT_EQ(x.flags, y.flags);
        EXPECT_EQ(0, std::memcmp(x.vertexIndices, y.vertexIndices, sizeof x.vertexIndices));
        EXPECT_EQ(0, std::memcmp(x.vertexNormals, y.vertexNormals, sizeof x.vertexNormals));
        EXPECT_EQ(0, std::memcmp(x.s, y.s, sizeof x.s));
        EXPECT_EQ(0, std::memcmp(x.t, y.t, sizeof x.t));
        EXPECT_EQ(x.smoothingGroup, y.smoothingGroup);
        EXPECT_EQ(x.groupIndex, y.groupIndex);
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
        EXPECT_EQ(a.materials[i].mode, b.materials[i].mode);
        EXPECT_EQ(a.materials[i].transparency, b.materials[i].transparency);
    }
    EXPECT_EQ(a.totalFrames, b.totalFrames);
    EXPECT_EQ(a.animationFPS, b.animationFPS);
    EXPECT_EQ(a.totalTime, b.totalTime);
    ASSERT_EQ(a.numJoints, b.numJoints);
    for (int i = 0; i < a.numJoints; i++) {
        const MS3DJOINT& x = a.joints[i];
        const MS3DJOINT& y = b.joints[i];
        EXPECT_STREQ(x.name, y.name);
        EXPECT_STREQ(x.parentName, y.parentName);
        EXPECT_EQ(0, std::memcmp(x.rotation, y.rotation, sizeof x.rotation));
        EXPECT_EQ(0, std::memcmp(x.position, y.position, sizeof x.position));
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
        char* p = bytes_.data();
        setg(p, p, p + bytes_.size());
    }

private:
    std::vector<char> bytes_;
};

}  // namespace

TEST(Ms3dLoader, HeaderIsCheckedExactly) {
    for (std::int32_t version : {2, 5, 0, -1}) {
        auto d = TwoJointModel();
        d.version = version;
        MS3D m;
        bool ok = true;
        std::string err = LoadError(Bytes(d), &m, &ok);
        EXPECT_FALSE(ok) << version;
        EXPECT_NE(err.find("Not a valid MS3D file!"), std::string::npos) << err;
        EXPECT_TRUE(Empty(m));
    }
    for (int byte = 0; byte < 10; byte++) {
        auto d = TwoJointModel();
        d.identifier[byte] = byte == 9 ? '1' : 'x';
        MS3D m;
        bool ok = true;
        std::string err = LoadError(Bytes(d), &m, &ok);
        EXPECT_FALSE(ok) << byte;
        EXPECT_NE(err.find("Not a valid MS3D file!"), std::string::npos);
        EXPECT_TRUE(Empty(m));
    }
    // Shorter than the header.
    MS3D m;
    bool ok = true;
    EXPECT_NE(LoadError({'M', 'S', '3', 'D'}, &m, &ok).find("Not a valid MS3D file!"), std::string::npos);
    EXPECT_FALSE(ok);
}

TEST(Ms3dLoader, Versions3And4ReadIdentically) {
    auto d = TwoJointModel();
    d.version = 3;
    MS3D v3, v4;
    ASSERT_TRUE(LoadBytes(Bytes(d), &v3));
    d.version = 4;
    ASSERT_TRUE(LoadBytes(Bytes(d), &v4));
    ExpectSameModel(v3, v4);

    // And the fields land where they belong.
    EXPECT_EQ(v4.numVertices, 5);
    EXPECT_EQ(v4.vertices[2].boneId, 1);
    EXPECT_EQ(v4.vertices[4].boneId, -1);
    EXPECT_FLOAT_EQ(v4.vertices[2].position[2], -2.0f);
    EXPECT_EQ(v4.numTriangles, 3);
    EXPECT_EQ(v4.triangles[1].vertexIndices[2], 3);
    EXPECT_FLOAT_EQ(v4.triangles[0].s[2], 0.5f);
    EXPECT_EQ(v4.numGroups, 2);
    EXPECT_STREQ(v4.groups[0].name, "body");
    EXPECT_EQ(v4.groups[0].numTriangles, 2);
    EXPECT_EQ(v4.groups[1].materialIndex, -1);
    EXPECT_EQ(v4.numMaterials, 1);
    EXPECT_STREQ(v4.materials[0].texture, "skin.tga");
    EXPECT_EQ(v4.materials[0].mode, static_cast<std::int8_t>(0x80));
    EXPECT_FLOAT_EQ(v4.materials[0].ambient[1], 0.5f);
    EXPECT_EQ(v4.numJoints, 2);
    EXPECT_STREQ(v4.joints[1].parentName, "root");
    EXPECT_EQ(v4.joints[0].numRotKeys, 3);
    EXPECT_FLOAT_EQ(v4.joints[0].rotKeys[1].time, 0.5f);
    EXPECT_FLOAT_EQ(v4.joints[0].transKeys[1].value[0], 1.0f);
    // Defaults of a model that has not been animated.
    EXPECT_EQ(v4.currentTime, 0.0f);
    EXPECT_TRUE(v4.loop);
    EXPECT_EQ(v4.speed, 1000.0f);
}

TEST(Ms3dLoader, SectionSizesAndWhatIsLeftUnread) {
    // Zero joints: the animation block is still read; the stream ends right after the
    // joint count.
    auto d = TwoJointModel();
    d.joints.clear();
    for (auto& v : d.vertices) v.boneId = -1;
    d.animationFPS = 15.0f;
    d.totalFrames = 30;
    auto noJoints = Bytes(d);
    MS3D m;
    std::streamoff end = 0;
    ASSERT_TRUE(LoadBytes(noJoints, &m, &end));
    EXPECT_EQ(m.numJoints, 0);
    EXPECT_EQ(m.animationFPS, 15.0f);
    EXPECT_EQ(m.totalFrames, 30);
    EXPECT_EQ(m.totalTime, 2000.0f);
    EXPECT_EQ(end, static_cast<std::streamoff>(noJoints.size()));

    // A joint without keys is exactly 93 bytes.
    d.AddJoint("lonely", "");
    auto oneJoint = Bytes(d);
    EXPECT_EQ(oneJoint.size() - noJoints.size(), 93u);
    MS3D one;
    ASSERT_TRUE(LoadBytes(oneJoint, &one));
    EXPECT_EQ(one.numJoints, 1);
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
    MS3D tm;
    ASSERT_TRUE(LoadBytes(bytes, &tm, &end));
    EXPECT_EQ(end, static_cast<std::streamoff>(bytes.size() - 7));
}

TEST(Ms3dLoader, LoadsFromAPositionedStreamAndFromAPath) {
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

    // A stream that cannot seek still loads.
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
    auto d = TwoJointModel();
    d.joints.clear();
    for (auto& v : d.vertices) v.boneId = -1;
    ASSERT_TRUE(LoadBytes(Bytes(d), &m));
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
    // A vertex count of 65535 in a file that holds two vertices.
    auto d = TwoJointModel();
    auto bytes = Bytes(d);
    bytes[14] = 0xFF;
    bytes[15] = 0xFF;
    MS3D m;
    bool ok = true;
    std::string err = LoadError(bytes, &m, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find("65535 vertices"), std::string::npos) << err;

    // A group that claims 65535 triangle indices.
    auto g = TwoJointModel();
    auto gb = Bytes(g);
    std::size_t groupCount = 14 + 2 + 5 * 15 + 2 + 3 * 70;
    std::size_t firstGroupN = groupCount + 2 + 1 + 32;
    ASSERT_EQ(gb[firstGroupN], 2);
    gb[firstGroupN] = 0xFF;
    gb[firstGroupN + 1] = 0xFF;
    err = LoadError(gb, &m, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find("65535 group triangle indices"), std::string::npos) << err;
}

TEST(Ms3dLoader, IndicesOutsideTheirArraysAreRefused) {
    struct Case {
        const char* what;
        void (*spoil)(reefpack::Ms3dModelDesc&);
    };
    const Case cases[] = {
        {"triangle corner", [](reefpack::Ms3dModelDesc& d) { d.triangles[1].vertexIndices[2] = 5; }},
        {"triangle corner far", [](reefpack::Ms3dModelDesc& d) { d.triangles[0].vertexIndices[0] = 65535; }},
        {"group triangle", [](reefpack::Ms3dModelDesc& d) { d.groups[1].triangleIndices[0] = 3; }},
        {"group material", [](reefpack::Ms3dModelDesc& d) { d.groups[0].materialIndex = 1; }},
        {"group material max", [](reefpack::Ms3dModelDesc& d) { d.groups[0].materialIndex = 127; }},
        {"vertex joint", [](reefpack::Ms3dModelDesc& d) { d.vertices[3].boneId = 2; }},
        {"vertex joint without joints",
         [](reefpack::Ms3dModelDesc& d) {
             d.joints.clear();
         }},
    };
    for (const Case& c : cases) {
        auto d = TwoJointModel();
        c.spoil(d);
        MS3D m;
        bool ok = true;
        std::string err = LoadError(Bytes(d), &m, &ok);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_NE(err.find("MS3D file holds an index out of range!"), std::string::npos) << c.what << ": " << err;
        EXPECT_TRUE(Empty(m)) << c.what;
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

TEST(Ms3dLoader, GroupsListingMoreThan65535TrianglesAreRefused) {
    auto d = TwoJointModel();
    d.groups[0].triangleIndices.assign(40000, 0);
    d.groups[1].triangleIndices.assign(25536, 1);
    MS3D m;
    bool ok = true;
    std::string err = LoadError(Bytes(d), &m, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find("more than 65535"), std::string::npos) << err;
    d.groups[1].triangleIndices.resize(25535);
    EXPECT_TRUE(LoadBytes(Bytes(d), &m));
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
