// Lump archive readers against archives built with the content kit's writer, and
// against hand-damaged copies of them.
#include <gtest/gtest.h>

#include <cstring>

#include "LumpWriter.h"
#include "data/FishFile.h"
#include "data/ResFile.h"
#include "test_support.h"

using reefpack::FishInfo;
using reefpack::LumpWriter;
using reefpack::PutU32;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

LumpWriter ThreeLumps() {
    LumpWriter w;
    w.AddLump({'m', 'o', 'd', 'e', 'l'}, 0, 0);
    w.AddLump({1, 2, 3}, 1, 2);
    w.AddLump({9, 8, 7, 6}, 1, 1);
    return w;
}

bool OpenFish(const TempDir& dir, const std::vector<uint8_t>& bytes) {
    const std::string path = dir / "a.fish";
    EXPECT_TRUE(WriteFile(path, bytes));
    FISHFILE f;
    return f.Open(path.c_str());
}

bool OpenRes(const TempDir& dir, const std::vector<uint8_t>& bytes) {
    const std::string path = dir / "kelpish.tidewares";
    EXPECT_TRUE(WriteFile(path, bytes));
    RESFILE f;
    return f.Open(path.c_str());
}

constexpr size_t kFishCount = offsetof(FISHHEADER, lumpCount);
constexpr size_t kFishDir = offsetof(FISHHEADER, dirOffset);
constexpr size_t kResCount = offsetof(RESHEADER, lumpCount);
constexpr size_t kResDir = offsetof(RESHEADER, dirOffset);

}  // namespace

TEST(Archive, FishHeaderAndLumpsReadBack) {
    TempDir dir;
    FishInfo info;
    info.displayName = "Clown Loach";
    info.waterType = info.alphaMask = 1;
    info.modelScale = 80;
    info.swimSpeed = 12;
    info.turnRate = 7;
    info.animSpeed = 30;
    info.swimFrames = 20;
    info.secondFrames = 11;
    info.flags = 0x2;
    const std::vector<uint8_t> bytes = ThreeLumps().BuildFish(info);
    ASSERT_TRUE(WriteFile(dir / "a.fish", bytes));

    FISHFILE f;
    ASSERT_TRUE(f.Open((dir / "a.fish").c_str()));
    EXPECT_EQ(f.fileSize, bytes.size());
    EXPECT_STREQ(f.header.name, "Clown Loach");
    const uint32_t got[] = {f.header.waterType, f.header.modelScale, f.header.alphaMask,  f.header.swimSpeed,
                            f.header.turnRate,  f.header.animSpeed,  f.header.swimFrames, f.header.secondFrames,
                            f.header.flags};
    const uint32_t want[] = {1, 80, 1, 12, 7, 30, 20, 11, 2};
    for (size_t k = 0; k < 9; ++k) EXPECT_EQ(got[k], want[k]) << "header field " << k;
    ASSERT_EQ(f.LumpCount(), 3);
    EXPECT_TRUE(f.lumps[1].kind == 1u && f.lumps[1].mode == 2u && f.lumps[2].mode == 1u);

    ASSERT_TRUE(f.SeekLump(2));
    char c = 0;
    f.stream.read(&c, 1);
    EXPECT_EQ(c, 9);
    void* data = nullptr;
    ASSERT_TRUE(f.LoadData(0, &data));
    EXPECT_EQ(std::memcmp(data, "model", 5), 0);
    delete[] static_cast<uint8_t*>(data);

    // A loader that read past the end leaves the stream failed; the next seek recovers.
    char big[64];
    ASSERT_TRUE(f.SeekLump(2));
    f.stream.read(big, sizeof big);
    EXPECT_FALSE(f.stream.good());
    ASSERT_TRUE(f.SeekLump(1));
    f.stream.read(&c, 1);
    EXPECT_EQ(c, 1);

    EXPECT_FALSE(f.SeekLump(3) || f.SeekLump(-1) || f.LoadData(3, &data));
    f.Close();
    f.Close();
    EXPECT_EQ(f.lumps, nullptr);
    EXPECT_FALSE(f.SeekLump(0) || f.LoadData(0, &data));
}

TEST(Archive, FishVersionAndFlagRules) {
    TempDir dir;
    struct Case {
        uint8_t major, minor;
        uint32_t flags;
        bool opens;
    } cases[] = {
        {1, 0, 0, true},  {1, 1, 0, false}, {2, 0, 0, false}, {0, 0, 0, true},   {0, 7, 0, true},
        {0, 255, 0, true}, {1, 0, 2, true},  {1, 0, 1, false}, {0, 3, 0xFFFFFFFE, true}, {0, 3, 3, false},
    };
    for (const Case& c : cases) {
        FishInfo info;
        info.versionMajor = c.major;
        info.versionMinor = c.minor;
        info.flags = c.flags;
        EXPECT_EQ(OpenFish(dir, ThreeLumps().BuildFish(info)), c.opens)
            << "version " << int(c.major) << "." << int(c.minor) << " flags " << c.flags;
    }
}

TEST(Archive, MagicAndSizeCheck) {
    TempDir dir;
    std::vector<uint8_t> fish = ThreeLumps().BuildFish(FishInfo());
    EXPECT_TRUE(OpenFish(dir, fish));
    // One byte appended: the size check no longer matches.
    std::vector<uint8_t> longer = fish;
    longer.push_back(0);
    EXPECT_FALSE(OpenFish(dir, longer));
    reefpack::FixSizeCheck(longer, true);
    EXPECT_TRUE(OpenFish(dir, longer));
    std::vector<uint8_t> badMagic = fish;
    badMagic[43] = 'h';
    EXPECT_FALSE(OpenFish(dir, badMagic));
    // A resource archive is no fish archive and the other way round.
    std::vector<uint8_t> res = ThreeLumps().BuildResource();
    EXPECT_FALSE(OpenFish(dir, res));
    EXPECT_FALSE(OpenRes(dir, fish));
    EXPECT_TRUE(OpenRes(dir, res));
    // Bytes 4..11 of the resource header are not looked at.
    for (int i = 4; i < 12; ++i) res[i] = static_cast<uint8_t>(0xA5 + i);
    EXPECT_TRUE(OpenRes(dir, res));
    // Truncated below the header size.
    EXPECT_FALSE(OpenRes(dir, std::vector<uint8_t>(res.begin(), res.begin() + 20)));
    EXPECT_FALSE(OpenFish(dir, std::vector<uint8_t>(fish.begin(), fish.begin() + 83)));
    EXPECT_FALSE(OpenFish(dir, {}));
    FISHFILE missing;
    EXPECT_FALSE(missing.Open((dir / "none.fish").c_str()));
    EXPECT_FALSE(missing.Open(nullptr));
}

TEST(Archive, ZeroLumps) {
    TempDir dir;
    LumpWriter empty;
    const std::string path = dir / "z.fish";
    ASSERT_TRUE(empty.WriteFish(path, FishInfo()));
    FISHFILE f;
    ASSERT_TRUE(f.Open(path.c_str()));
    EXPECT_EQ(f.LumpCount(), 0);
    void* data = nullptr;
    EXPECT_FALSE(f.SeekLump(0) || f.SeekLump(-1) || f.LoadData(0, &data));

    const std::string rpath = dir / "z.tidewares";
    ASSERT_TRUE(empty.WriteResource(rpath));
    RESFILE r;
    ASSERT_TRUE(r.Open(rpath.c_str()));
    EXPECT_EQ(r.LumpCount(), 0);
    EXPECT_FALSE(r.SeekLump(0));
}

TEST(Archive, DirectoryMustLieInsideTheFile) {
    TempDir dir;
    const std::vector<uint8_t> fish = ThreeLumps().BuildFish(FishInfo());
    const std::vector<uint8_t> res = ThreeLumps().BuildResource();
    auto patched = [](std::vector<uint8_t> bytes, size_t at, uint32_t value, bool isFish) {
        PutU32(bytes, at, value);
        reefpack::FixSizeCheck(bytes, isFish);
        return bytes;
    };
    // Lump counts the file cannot hold (the fourth entry would end past the last byte).
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishCount, 4, true)));
    EXPECT_TRUE(OpenFish(dir, patched(fish, kFishCount, 2, true)));
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishCount, 1000, true)));
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishCount, 0xFFFFFFFF, true)));
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishCount, 0x10000000, true)));  // count * 16 wraps 32 bits
    EXPECT_FALSE(OpenRes(dir, patched(res, kResCount, 0x92492493, false)));   // count * 28 wraps 32 bits
    // Directory offset past the end, or so close to it that the entries do not fit.
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishDir, static_cast<uint32_t>(fish.size()) + 1, true)));
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishDir, static_cast<uint32_t>(fish.size()) - 47, true)));
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishDir, 0xFFFFFFF0, true)));
    EXPECT_FALSE(OpenRes(dir, patched(res, kResDir, static_cast<uint32_t>(res.size()) - 83, false)));
    // A directory overlapping the header is no directory.
    EXPECT_FALSE(OpenFish(dir, patched(fish, kFishDir, 0, true)));
    EXPECT_FALSE(OpenRes(dir, patched(res, kResDir, 4, false)));
    // Truncated: the last directory entry is cut off (size check kept consistent).
    std::vector<uint8_t> cut(fish.begin(), fish.begin() + 84 + 16 * 2 + 8);
    reefpack::FixSizeCheck(cut, true);
    EXPECT_FALSE(OpenFish(dir, cut));
}

TEST(Archive, LumpsMustLieInsideTheFile) {
    TempDir dir;
    const std::vector<uint8_t> fish = ThreeLumps().BuildFish(FishInfo());
    const std::vector<uint8_t> res = ThreeLumps().BuildResource();
    const uint32_t size = static_cast<uint32_t>(fish.size());
    const size_t entry2 = 84 + 2 * 16;
    auto with = [&](uint32_t length, uint32_t offset) {
        std::vector<uint8_t> b = fish;
        PutU32(b, entry2, length);
        PutU32(b, entry2 + 4, offset);
        return b;
    };
    EXPECT_TRUE(OpenFish(dir, with(4, size - 4)));       // the last four bytes
    EXPECT_TRUE(OpenFish(dir, with(0, size)));           // empty lump at the very end
    EXPECT_TRUE(OpenFish(dir, with(size, 0)));           // the whole file, overlapping everything
    EXPECT_FALSE(OpenFish(dir, with(5, size - 4)));      // one byte past the end
    EXPECT_FALSE(OpenFish(dir, with(0, size + 1)));      // starts past the end
    EXPECT_FALSE(OpenFish(dir, with(0xFFFFFFFF, 8)));    // length wraps the offset
    EXPECT_FALSE(OpenFish(dir, with(16, 0xFFFFFFF8)));   // offset + length wraps 32 bits

    std::vector<uint8_t> r = res;
    PutU32(r, 24 + 28 + 0, 0x7FFFFFFF);
    EXPECT_FALSE(OpenRes(dir, r));

    // What Open accepted can be read in full.
    const std::string path = dir / "whole.fish";
    ASSERT_TRUE(WriteFile(path, with(size, 0)));
    FISHFILE f;
    ASSERT_TRUE(f.Open(path.c_str()));
    void* data = nullptr;
    ASSERT_TRUE(f.LoadData(2, &data));
    EXPECT_EQ(std::memcmp(data, fish.data(), 40), 0);
    delete[] static_cast<uint8_t*>(data);
}

TEST(Archive, FailedOpenLeavesAClosedReader) {
    TempDir dir;
    FishInfo info;
    info.flags = 1;
    const std::string bad = dir / "bad.fish", good = dir / "good.fish";
    ASSERT_TRUE(ThreeLumps().WriteFish(bad, info));
    ASSERT_TRUE(ThreeLumps().WriteFish(good, FishInfo()));
    FISHFILE f;
    ASSERT_TRUE(f.Open(good.c_str()));
    EXPECT_FALSE(f.Open(bad.c_str()));  // reopening releases the first archive
    EXPECT_EQ(f.lumps, nullptr);
    EXPECT_FALSE(f.stream.is_open() || f.SeekLump(0));
    ASSERT_TRUE(f.Open(good.c_str()));
    EXPECT_TRUE(f.SeekLump(0));
}
