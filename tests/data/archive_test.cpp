// Lump archive readers against the content kit's archives and damaged copies.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "LumpWriter.h"
#include "data/FishFile.h"
#include "data/ResFile.h"
#include "test_support.h"

using reefpack::PutU32;
using Bytes = std::vector<uint8_t>;

namespace {

reefpack::LumpWriter ThreeLumps() {
    reefpack::LumpWriter w;
    w.AddLump({'m', 'o', 'd', 'e', 'l'}, 0, 0);
    w.AddLump({1, 2, 3}, 1, 2);
    w.AddLump({9, 8, 7, 6}, 1, 1);
    return w;
}

template <class Reader>
bool Opens(const Bytes& bytes) {
    testsupport::TempDir dir;
    EXPECT_TRUE(testsupport::WriteFile(dir / "a", bytes));
    Reader r;
    return r.Open((dir / "a").c_str());
}

}  // namespace

TEST(Archive, HeaderAndLumpsReadBackAndSeeksRecover) {
    testsupport::TempDir dir;
    reefpack::FishInfo info;  // (the header fields: the fish data and pack tests)
    info.flags = 0x2;
    ASSERT_TRUE(ThreeLumps().WriteFish(dir / "a.fish", info));
    FISHFILE f;
    ASSERT_TRUE(f.Open((dir / "a.fish").c_str()));
    ASSERT_EQ(f.LumpCount(), 3);
    EXPECT_TRUE(f.lumps[1].kind == 1u && f.lumps[1].mode == 2u && f.lumps[2].mode == 1u);
    void* data = nullptr;
    ASSERT_TRUE(f.LoadData(0, &data));
    EXPECT_EQ(std::memcmp(data, "model", 5), 0);
    delete[] static_cast<uint8_t*>(data);
    // A loader that read past the end leaves the stream failed; the next seek recovers.
    char big[64], c = 0;
    ASSERT_TRUE(f.SeekLump(2));
    f.stream.read(big, sizeof big);
    ASSERT_TRUE(f.SeekLump(1));
    f.stream.read(&c, 1);
    EXPECT_EQ(c, 1);
    EXPECT_FALSE(f.SeekLump(3) || f.SeekLump(-1) || f.LoadData(3, &data));

    // A failed reopen leaves a closed reader.
    info.flags = 1;
    ASSERT_TRUE(ThreeLumps().WriteFish(dir / "bad.fish", info));
    EXPECT_FALSE(f.Open((dir / "bad.fish").c_str()));
    EXPECT_FALSE(f.lumps || f.stream.is_open() || f.SeekLump(0));
    EXPECT_FALSE(f.Open(nullptr) || f.Open((dir / "none").c_str()));

    reefpack::LumpWriter empty;
    ASSERT_TRUE(empty.WriteResource(dir / "z"));
    RESFILE r;
    ASSERT_TRUE(r.Open((dir / "z").c_str()));
    EXPECT_EQ(r.LumpCount(), 0);
    EXPECT_FALSE(r.SeekLump(0));
}

// Each damage names the archive it spoils and whether the reader must still open it.
TEST(Archive, EveryRecordMustLieInsideTheFile) {
    const Bytes fish = ThreeLumps().BuildFish({}), res = ThreeLumps().BuildResource();
    const uint32_t size = static_cast<uint32_t>(fish.size());
    const size_t count = offsetof(FISHHEADER, lumpCount), dir = offsetof(FISHHEADER, dirOffset);
    const size_t entry2 = 84 + 2 * 16;
    auto put = [](size_t at, uint32_t v) { return [=](Bytes& b) { PutU32(b, at, v); }; };
    auto version = [&](uint32_t major, uint32_t minor) {
        return put(offsetof(FISHHEADER, versionMinor), minor | major << 8);
    };
    auto lump2 = [&](uint32_t length, uint32_t offset) {
        return [=](Bytes& b) { PutU32(b, entry2, length), PutU32(b, entry2 + 4, offset); };
    };
    const struct {
        const char* what;
        bool isFish;
        std::function<void(Bytes&)> spoil;
        bool opens;
    } cases[] = {
        {"intact", true, [](Bytes&) {}, true},
        {"intact", false, [](Bytes&) {}, true},
        {"version 1.0", true, version(1, 0), true},
        {"version 1.1", true, version(1, 1), false},
        {"version 2.0", true, version(2, 0), false},
        {"version 0.255", true, version(0, 255), true},
        {"every flag but the first", true, put(offsetof(FISHHEADER, flags), 0xFFFFFFFE), true},
        {"the first flag", true, put(offsetof(FISHHEADER, flags), 3), false},
        {"one byte appended", true, [](Bytes& b) { b.push_back(0); }, false},
        {"bad magic", true, [](Bytes& b) { b[43] = 'h'; }, false},
        {"resource bytes 4..11 ignored", false, [](Bytes& b) { std::memset(&b[4], 0xA5, 8); }, true},
        {"shorter than a header", false, [](Bytes& b) { b.resize(20); }, false},
        {"fewer lumps", true, put(count, 2), true},
        {"a fourth entry past the end", true, put(count, 4), false},
        {"count * 16 wraps", true, put(count, 0x10000000), false},
        {"count * 28 wraps", false, put(offsetof(RESHEADER, lumpCount), 0x92492493), false},
        {"directory past the end", true, put(dir, size + 1), false},
        {"directory entries cut", true, put(dir, size - 47), false},
        {"directory in the header", true, put(dir, 0), false},
        {"resource directory in the header", false, put(offsetof(RESHEADER, dirOffset), 4), false},
        {"last four bytes", true, lump2(4, size - 4), true},
        {"empty lump at the end", true, lump2(0, size), true},
        {"one byte past the end", true, lump2(5, size - 4), false},
        {"length wraps", true, lump2(0xFFFFFFFF, 8), false},
        {"offset + length wraps", true, lump2(16, 0xFFFFFFF8), false},
        {"resource lump too long", false, put(24 + 28, 0x7FFFFFFF), false},
    };
    for (const auto& c : cases) {
        Bytes b = c.isFish ? fish : res;
        c.spoil(b);
        if (std::string(c.what) != "one byte appended") reefpack::FixSizeCheck(b, c.isFish);
        const bool fishOpens = Opens<FISHFILE>(b), resOpens = Opens<RESFILE>(b);
        EXPECT_EQ(c.isFish ? fishOpens : resOpens, c.opens) << c.what;
        EXPECT_FALSE(c.isFish ? resOpens : fishOpens) << c.what << ": opened as the other kind";
    }
}
