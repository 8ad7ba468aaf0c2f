// Archives that try to hurt the kit and the engine alike: a NaN anywhere in the model,
// terminal escapes in names, frame counts that overflow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "ArchiveTools.h"
#include "data/FishFile.h"
#include "data/LumpFormat.h"
#include "model/MilkshapeModel.h"
#include "test_support.h"

using testsupport::TempDir;

namespace {

std::string FirstBundled() {
    for (const char* n : {"clownfish.fish", "tang.fish", "angelfish.fish"}) {
        std::string p = testsupport::ShareDir() + "/" + n;
        if (testsupport::FileExists(p)) return p;
    }
    return "";
}

// The bundled archive with `bytes` written at `at` (an offset into the file).
std::string Patched(const TempDir& dir, size_t at, const void* bytes, size_t n) {
    std::vector<uint8_t> b = testsupport::ReadFile(FirstBundled());
    memcpy(&b[at], bytes, n);
    std::string out = dir / "patched.fish";
    testsupport::WriteFile(out, b);
    return out;
}

}  // namespace

TEST(HostileArchive, ANanAnywhereInAVertexIsRefusedByBothChecks) {
    ASSERT_FALSE(FirstBundled().empty());
    FISHFILE f;
    ASSERT_TRUE(f.Open(FirstBundled().c_str()));
    const uint32_t model = f.lumps[0].offset;
    f.Close();
    // MS3D: 14-byte header, vertex count, then 15-byte vertices (flags, x, y, z, ...).
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t coordinate = 0; coordinate < 3; coordinate++) {
        for (size_t vertex : {0, 1}) {
            TempDir dir;
            std::string p = Patched(dir, model + 16 + vertex * 15 + 1 + coordinate * 4, &nan, 4);
            std::string summary, error;
            EXPECT_FALSE(reefpack::ValidateArchive(p, &summary, &error)) << vertex << "/" << coordinate;
            FISHFILE g;
            ASSERT_TRUE(g.Open(p.c_str()));
            MS3D m;
            ASSERT_TRUE(g.SeekLump(0) && m.LoadFromFStream(&g.stream));
            EXPECT_TRUE(std::isnan(ModelExtent(m))) << vertex << "/" << coordinate;
        }
    }
}

TEST(HostileArchive, InspectEscapesControlBytesAndPrintsHugeFrameCounts) {
    ASSERT_FALSE(FirstBundled().empty());
    TempDir dir;
    const char name[] = "Evil\x1b]0;owned\x07\x1b[2J";
    Patched(dir, offsetof(FISHHEADER, name), name, sizeof name);
    const uint32_t huge = 0x7fffffff;
    std::vector<uint8_t> b = testsupport::ReadFile(dir / "patched.fish");
    memcpy(&b[offsetof(FISHHEADER, swimFrames)], &huge, 4);
    memcpy(&b[offsetof(FISHHEADER, secondFrames)], &huge, 4);
    testsupport::WriteFile(dir / "patched.fish", b);
    FILE* out = tmpfile();
    ASSERT_NE(out, nullptr);
    std::string error;
    reefpack::InspectArchive(dir / "patched.fish", out, &error);
    rewind(out);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, n);
    fclose(out);
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_NE(text.find("Evil\\x1b]0;owned\\x07\\x1b[2J"), std::string::npos) << text;
    EXPECT_NE(text.find("frames 2 to 2147483649"), std::string::npos) << text;
}
