// `reefpack pack` from a person's own model and skins, round-tripped through the engine's
// species loader, its refusals, and the inspect, validate and list commands around it.
#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <cstring>

#include "FishBuilder.h"
#include "Image.h"
#include "LumpWriter.h"
#include "Ms3dWriter.h"
#include "Species.h"
#include "TgaWriter.h"
#include "fish/FishData.h"
#include "test_support.h"

using namespace testsupport;
using namespace reefpack;

namespace {

std::string Reefpack() { return BinDir() + "/reefpack"; }
RunResult Kit(const std::vector<std::string>& argv) { return testsupport::Run(argv); }

// A person's files: the clownfish model as a plain .ms3d and two plain skins.
struct Inputs {
    TempDir dir;
    std::string model, skinA, skinB, mask, odd;
    Inputs() {
        model = dir / "fish.ms3d";
        EXPECT_TRUE(WriteMs3dFile(BuildFishModel(BundledSpecies()[0]), model));
        auto tga = [&](const std::string& name, int w, int h, uint8_t r, uint8_t g, uint8_t b, bool rle) {
            std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
            for (size_t i = 0; i < px.size(); i += 3) px[i] = r, px[i + 1] = g, px[i + 2] = b;
            EXPECT_TRUE(WriteTGA(dir / name, px.data(), w, h, 24, rle));
            return dir / name;
        };
        skinA = tga("a.tga", 64, 64, 200, 100, 20, false);
        skinB = tga("b.tga", 64, 64, 20, 100, 200, true);
        mask = tga("mask.tga", 64, 64, 128, 128, 128, true);
        odd = tga("odd.tga", 48, 64, 1, 2, 3, false);
    }
    std::vector<std::string> Args(const std::string& out) const {
        return {Reefpack(), "pack",     "--model",       model, "--skin",        skinA, "--skin", skinB,
                "--name",   "My Fish",  "--water",       "fresh", "--speed",     "11",  "--turn", "70",
                "--swim-frames", "14",  "--rest-frames", "8",   "--out",         out};
    }
};

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

TEST(Pack, RoundTripThroughTheEngine) {
    Inputs in;
    std::string out = in.dir / "mine.fish", masked = in.dir / "masked.fish";
    RunResult r = Kit(With(in.Args(out), {"--mode", "0,2"}));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    r = Kit(With(in.Args(masked), {"--mask", in.mask}));
    ASSERT_EQ(r.exitCode, 0) << r.output;

    EglContext ctx;
    ASSERT_TRUE(ctx.Create(32, 32));
    for (const std::string& file : {std::string("mine.fish"), std::string("masked.fish")}) {
        SCOPED_TRACE(file);
        FISHINFO info;
        std::snprintf(info.fileName, sizeof info.fileName, "%s", file.c_str());
        ASSERT_TRUE(info.LoadData((in.dir.path() + "/").c_str(), 1.0f));
        ASSERT_NE(info.data, nullptr);
        const FISHDATA& d = *info.data;
        EXPECT_TRUE(d.Complete());
        EXPECT_EQ(d.numTextures, 2);
        EXPECT_FLOAT_EQ(d.swimSpeed, 11.0f);
        EXPECT_EQ(d.turnRate, 70);
        EXPECT_EQ(d.swimFrames, 14);
        EXPECT_EQ(d.secondFrames, 8);
        EXPECT_GT(d.eyeLeftJoint, 0);
        EXPECT_GT(d.eyeRightJoint, 0);
        EXPECT_GT(d.mouthJoint, 0);
        EXPECT_GT(d.extent, 3.0f);
        EXPECT_LT(d.extent, 8.0f);
        info.Unload();
    }

    // The header as packed; the second skin's mode sits in the entry before it, where
    // the loader reads it.
    std::vector<uint8_t> bytes = ReadFile(out);
    ASSERT_GT(bytes.size(), 84u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "My Fish");
    EXPECT_EQ(bytes[64], 1);   // freshwater
    EXPECT_EQ(bytes[66], 0);   // no mask
    EXPECT_EQ(GetU32(bytes, 84 + 16 * 1 + 12), 2u);
    EXPECT_EQ(ReadFile(masked)[66], 1);

    r = Kit({Reefpack(), "inspect", out});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    for (const char* want : {"\"My Fish\"", "freshwater", "\"eyel\"", "\"eyer\"", "\"mouth\"", "swim cycle: frames 2 to 16",
                             "rest cycle: frames 17 to 25", "64 x 64, 24 bits"})
        EXPECT_NE(r.output.find(want), std::string::npos) << want << "\n" << r.output;
    r = Kit({Reefpack(), "validate", out, masked});
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(Pack, RefusesWhatWouldNotLoad) {
    Inputs in;
    std::string out = in.dir / "x.fish";
    auto refused = [&](const std::vector<std::string>& args, const char* reason) {
        RunResult r = Kit(args);
        EXPECT_EQ(r.exitCode, 1) << reason << "\n" << r.output;
        EXPECT_NE(r.output.find("refused"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(reason), std::string::npos) << r.output;
        EXPECT_FALSE(FileExists(out)) << reason;
    };
    // A model the loader reads but whose corners, split by texture coordinate, overflow
    // the 16-bit vertex buffer of a drawable fish.
    Ms3dModelDesc huge;
    for (int v = 0; v < 3; ++v) huge.AddVertex(static_cast<float>(v), static_cast<float>(v * v), 0);
    huge.AddGroup("all", -1);
    for (int t = 0; t < 22000; ++t) {
        int i = huge.AddTriangle(0, 1, 2, 0);
        for (int k = 0; k < 3; ++k) huge.triangles[i].s[k] = t * 3 + k;
    }
    huge.animationFPS = 20;
    huge.totalFrames = 30;
    ASSERT_TRUE(WriteMs3dFile(huge, in.dir / "huge.ms3d"));
    ASSERT_TRUE(WriteFile(in.dir / "junk.ms3d", std::string("MS3D000000\x05\0\0\0 nothing more", 26)));
    ASSERT_TRUE(WriteFile(in.dir / "text.tga", std::string("hello, not a picture")));
    // Each row replaces one argument of a good command line (3 model, 7 second skin,
    // 9 name, 19 rest frames).
    const struct {
        size_t arg;
        std::string value;
        const char* reason;
    } rows[] = {
        {3, in.dir / "junk.ms3d", "does not load the model"},
        {3, in.dir / "huge.ms3d", "drawable fish"},
        {19, "40", "only 26 frames"},  // cycles past the model's last frame
        {7, in.odd, "power-of-two"},   // a skin OpenGL 1.x cannot take
        {7, in.dir / "text.tga", "not a TGA image"},
        {9, "A name far too long to fit in forty bytes of header", "1 to 39 bytes"},
        {9, "Semi;colon", "';'"},  // the download list separates fields with ';'
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = in.Args(out);
        args.at(row.arg) = row.value;
        refused(args, row.reason);
    }
    std::vector<uint8_t> big(128 * 128 * 3, 9);
    ASSERT_TRUE(WriteTGA(in.dir / "big.tga", big.data(), 128, 128, 24, false));
    refused(With(in.Args(out), {"--mask", in.dir / "big.tga"}), "mask's size");

    RunResult r = Kit({Reefpack(), "pack", "--model", in.model, "--skin", in.skinA, "--name", "X", "--out", out});
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find("--swim-frames"), std::string::npos);
}

TEST(Pack, ValidateAndInspectRejectDamagedArchives) {
    Inputs in;
    std::string good = in.dir / "good.fish";
    ASSERT_EQ(Kit(in.Args(good)).exitCode, 0);
    std::vector<uint8_t> bytes = ReadFile(good);

    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);  // the size check no longer matches
    ASSERT_TRUE(WriteFile(in.dir / "longer.fish", longer));
    // A skin cut short, size check repaired so that the archive itself still opens.
    std::vector<uint8_t> cut = bytes;
    uint32_t lastOffset = GetU32(cut, 84 + 16 * 2 + 4);
    cut.resize(lastOffset + 30);
    PutU32(cut, 84 + 16 * 2, 30);
    FixSizeCheck(cut, true);
    ASSERT_TRUE(WriteFile(in.dir / "cut.fish", cut));
    ASSERT_TRUE(WriteFile(in.dir / "text.fish", std::string("not an archive at all")));

    RunResult r = Kit({Reefpack(), "validate", good, in.dir / "longer.fish", in.dir / "cut.fish", in.dir / "text.fish"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("ok " + good), std::string::npos) << r.output;
    for (const char* f : {"longer.fish", "cut.fish", "text.fish"})
        EXPECT_NE(r.output.find("FAILED " + in.dir / f), std::string::npos) << f << "\n" << r.output;
    EXPECT_EQ(Kit({Reefpack(), "inspect", in.dir / "text.fish"}).exitCode, 1);
    EXPECT_EQ(Kit({Reefpack(), "--help"}).exitCode, 0);
}

TEST(Pack, ListWritesTheDownloadPropertyList) {
    Inputs in;
    TempDir served;
    std::vector<std::string> args = in.Args(served / "b fish.fish");
    ASSERT_EQ(Kit(args).exitCode, 0);
    args = in.Args(served / "a.fish");
    args[9] = "Another Fish";
    ASSERT_EQ(Kit(args).exitCode, 0);
    ASSERT_TRUE(WriteFile(served / "broken.fish", std::string("junk")));

    RunResult r = Kit({Reefpack(), "list", served.path(), "http://127.0.0.1:8080/fish/"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<uint8_t> xml = ReadFile(served / "fishTypes14.plist");
    plist_t root = nullptr;
    plist_from_xml(reinterpret_cast<const char*>(xml.data()), static_cast<uint32_t>(xml.size()), &root);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(plist_get_node_type(root), PLIST_ARRAY);
    ASSERT_EQ(plist_array_get_size(root), 2u);
    std::vector<std::string> entries;
    for (uint32_t i = 0; i < 2; ++i) {
        char* s = nullptr;
        plist_get_string_val(plist_array_get_item(root, i), &s);
        entries.push_back(s ? s : "");
        free(s);
    }
    plist_free(root);
    EXPECT_EQ(entries[0], "Another Fish;http://127.0.0.1:8080/fish/a.fish");
    EXPECT_EQ(entries[1], "My Fish;http://127.0.0.1:8080/fish/b%20fish.fish");
    EXPECT_NE(r.output.find("broken.fish"), std::string::npos);
}
