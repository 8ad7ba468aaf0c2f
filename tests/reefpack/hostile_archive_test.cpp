// Archives that try to hurt the kit and the engine alike: a NaN anywhere in the model,
// terminal escapes in names, frame counts that overflow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ArchiveTools.h"
#include "data/FishFile.h"
#include "data/LumpFormat.h"
#include "model/MilkshapeModel.h"
#include "test_support.h"

using testsupport::TempDir;

namespace {

const std::string kBundled = testsupport::ShareDir() + "/clownfish.fish";

// The archive `from` with `n` bytes written at each offset of `at`.
std::string Patched(const TempDir& dir, const std::string& from, std::initializer_list<size_t> at, const void* bytes,
                    size_t n) {
    std::vector<uint8_t> b = testsupport::ReadFile(from);
    for (size_t a : at) memcpy(&b.at(a), bytes, n);
    testsupport::WriteFile(dir / "patched.fish", b);
    return dir / "patched.fish";
}

}  // namespace

TEST(HostileArchive, ANanAnywhereInAVertexIsRefusedByBothChecks) {
    FISHFILE f;
    ASSERT_TRUE(f.Open(kBundled.c_str()));
    const uint32_t model = f.lumps[0].offset;
    // MS3D: 14-byte header, vertex count, then 15-byte vertices (flags, x, y, z, ...).
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t coordinate = 0; coordinate < 3; coordinate++) {
        for (size_t vertex : {0, 1}) {
            TempDir dir;
            std::string p = Patched(dir, kBundled, {model + 16 + vertex * 15 + 1 + coordinate * 4}, &nan, 4);
            std::string summary, error;
            EXPECT_FALSE(reefpack::ValidateArchive(p, &summary, &error)) << vertex << "/" << coordinate;
            FISHFILE g;
            MS3D m;
            ASSERT_TRUE(g.Open(p.c_str()) && g.SeekLump(0) && m.LoadFromFStream(&g.stream));
            EXPECT_TRUE(std::isnan(ModelExtent(m))) << vertex << "/" << coordinate;
        }
    }
}

TEST(HostileArchive, InspectEscapesControlBytesAndPrintsHugeFrameCounts) {
    TempDir dir;
    const char name[] = "Evil\x1b]0;owned\x07\x1b[2J";
    const uint32_t huge = 0x7fffffff;
    const std::string named = Patched(dir, kBundled, {offsetof(FISHHEADER, name)}, name, sizeof name);
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    std::string error;
    reefpack::InspectArchive(
        Patched(dir, named, {offsetof(FISHHEADER, swimFrames), offsetof(FISHHEADER, secondFrames)}, &huge, 4), out,
        &error);
    fclose(out);
    const std::string text(buf, len);
    free(buf);
    EXPECT_EQ(text.find_first_of("\x1b\x07"), std::string::npos) << text;
    EXPECT_NE(text.find("Evil\\x1b]0;owned\\x07\\x1b[2J"), std::string::npos) << text;
    EXPECT_NE(text.find("frames 2 to 2147483649"), std::string::npos) << text;
}
