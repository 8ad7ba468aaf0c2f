// `reefpack pack` from a person's own model and skins, round-tripped through the engine's
// species loader; its refusals; the inspect, validate and list commands around it; and
// `reefpack install` into the private home's fish folder: what is refused, what is replaced
// only when asked, and that no failure leaves a file behind. (`reefpack index` and the
// dialog's install: tests/config/sources_test.cpp.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <tuple>

#include "FishBuilder.h"
#include "LumpWriter.h"
#include "Ms3dWriter.h"
#include "TgaWriter.h"
#include "fish/FishData.h"
#include "test_support.h"

using namespace testsupport;
using namespace reefpack;

namespace {

// A person's files: the clownfish model (26 frames) as a plain .ms3d and plain skins.
struct Inputs {
    TempDir dir;
    std::string model = dir / "fish.ms3d", skinA = dir / "a.tga", skinB = dir / "b.tga";
    Inputs() {
        EXPECT_TRUE(WriteMs3dFile(BuildFishModel(BundledSpecies()[0]), model));
        const std::tuple<const char*, int, int, uint8_t> skins[] = {{"a.tga", 64, 64, 200},
                                                                    {"b.tga", 64, 64, 20},
                                                                    {"mask.tga", 64, 64, 128},
                                                                    {"odd.tga", 48, 64, 1},
                                                                    {"big.tga", 128, 128, 9}};
        for (auto [name, w, h, v] : skins) {
            std::vector<uint8_t> px(size_t(w) * h * 3, v);
            EXPECT_TRUE(WriteTGA(dir / name, px.data(), w, h, 24, v == 20));
        }
    }
    std::vector<std::string> Args(const std::string& out, std::initializer_list<std::string> more = {}) const {
        std::vector<std::string> a = {Program("reefpack"), "pack", "--model", model, "--skin", skinA, "--skin", skinB};
        a.insert(a.end(), {"--name", "My Fish", "--water", "fresh", "--speed", "11", "--turn", "70", "--swim-frames",
                           "14", "--rest-frames", "8", "--out", out});
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
};

// reefpack install, after the shell commands in `shell` (limits for the run).
RunResult Install(std::vector<std::string> args, const PrivateHome& home, const std::string& shell = "") {
    std::string line = shell + " exec '" + Program("reefpack") + "' install";
    for (const std::string& a : args) line += " '" + a + "'";
    return Run({"/bin/sh", "-c", line}, home.Env(), 60);
}

SpeciesRecipe Named(const char* name) {
    SpeciesRecipe r;
    r.displayName = name;
    return r;
}

}  // namespace

TEST(Pack, RoundTripThroughTheEngineAndInspect) {
    Inputs in;
    const std::string out = in.dir / "mine.fish", masked = in.dir / "masked.fish";
    RunResult r = testsupport::Run(in.Args(out, {"--mode", "0,2"}));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    r = testsupport::Run(in.Args(masked, {"--mask", in.dir / "mask.tga"}));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(32, 32));
    for (const char* file : {"mine.fish", "masked.fish"}) {
        FISHINFO info;
        std::snprintf(info.fileName, sizeof info.fileName, "%s", file);
        ASSERT_TRUE(info.LoadData((in.dir.path() + "/").c_str(), 1.0f)) << file;
        const FISHDATA& d = *info.data;
        EXPECT_TRUE(d.numTextures == 2 && d.swimSpeed == 11.0f && d.turnRate == 70 && d.swimFrames == 14 &&
                    d.secondFrames == 8)
            << file;
        EXPECT_TRUE(d.eyeLeftJoint > 0 && d.eyeRightJoint > 0 && d.mouthJoint > 0 && d.extent > 3 && d.extent < 8);
    }
    // The second skin's mode sits in the entry before it, where the loader reads it.
    const std::vector<uint8_t> bytes = ReadFile(out);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "My Fish");
    EXPECT_TRUE(bytes[64] == 1 && bytes[66] == 0 && ReadFile(masked)[66] == 1);  // freshwater; the mask flag
    EXPECT_EQ(GetU32(bytes, 84 + 16 * 1 + 12), 2u);
    r = testsupport::Run({Program("reefpack"), "inspect", out});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    for (const char* want : {"\"My Fish\"", "freshwater", "\"eyel\"", "\"mouth\"", "swim cycle: frames 2 to 16",
                             "rest cycle: frames 17 to 25", "64 x 64, 24 bits"})
        EXPECT_NE(r.output.find(want), std::string::npos) << want << "\n" << r.output;
}

TEST(Pack, RefusesWhatWouldNotLoad) {
    Inputs in;
    const std::string out = in.dir / "x.fish";
    // Corners that, split by texture coordinate, overflow a drawable fish's 16-bit buffer.
    Ms3dModelDesc huge;
    for (int v = 0; v < 3; ++v) huge.AddVertex(float(v), float(v * v), 0);
    huge.AddGroup("all", -1);
    for (int t = 0; t < 22000; ++t)
        for (int k = 0, i = huge.AddTriangle(0, 1, 2, 0); k < 3; ++k) huge.triangles[i].s[k] = float(t * 3 + k);
    huge.animationFPS = 20;
    huge.totalFrames = 30;
    ASSERT_TRUE(WriteMs3dFile(huge, in.dir / "huge.ms3d"));
    ASSERT_TRUE(WriteFile(in.dir / "junk.ms3d", std::string("MS3D000000\x05\0\0\0 nothing more", 26)));
    ASSERT_TRUE(WriteFile(in.dir / "text.tga", std::string("hello, not a picture")));
    // Each row replaces one argument (3 model, 7 second skin, 9 name, 19 rest frames).
    const struct {
        size_t arg;
        std::string value;
        const char* reason;
    } rows[] = {
        {3, in.dir / "junk.ms3d", "does not load the model"},
        {3, in.dir / "huge.ms3d", "drawable fish"},
        {19, "10", "only 26 frames"},  // the rest cycle would end one frame past the last
        {19, "0", "between 1 and"},
        {7, in.dir / "odd.tga", "power-of-two"},
        {7, in.dir / "text.tga", "not a TGA image"},
        {9, "A name far too long to fit in forty bytes of header", "1 to 39 bytes"},
        {9, "Semi;colon", "';'"},  // the download list separates fields with ';'
        {0, in.dir / "big.tga", "mask's size"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = row.arg ? in.Args(out) : in.Args(out, {"--mask", row.value});
        if (row.arg) args.at(row.arg) = row.value;
        RunResult r = testsupport::Run(args);
        EXPECT_EQ(r.exitCode, 1) << row.reason << "\n" << r.output;
        EXPECT_NE(r.output.find(std::string("refused")), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(row.reason), std::string::npos) << r.output;
        EXPECT_FALSE(FileExists(out)) << row.reason;
    }
    std::vector<std::string> args = in.Args(out);
    args.at(19) = "9";  // ends exactly on the last frame
    EXPECT_EQ(testsupport::Run(args).exitCode, 0);
    RunResult r =
        testsupport::Run({Program("reefpack"), "pack", "--model", in.model, "--skin", in.skinA, "--out", out});
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find("--swim-frames"), std::string::npos);
}

TEST(Pack, ValidateRejectsDamagedArchivesAndListWritesThePropertyList) {
    Inputs in;
    TempDir served;
    const std::string good = served / "b fish.fish";
    ASSERT_EQ(testsupport::Run(in.Args(good)).exitCode, 0);
    std::vector<std::string> other = in.Args(served / "a.fish");
    other[9] = "Another Fish";
    ASSERT_EQ(testsupport::Run(other).exitCode, 0);
    const std::vector<uint8_t> bytes = ReadFile(good);
    std::vector<uint8_t> longer = bytes, cut = bytes, noRest = bytes;
    longer.push_back(0);                            // the size check no longer matches
    cut.resize(GetU32(cut, 84 + 16 * 2 + 4) + 30);  // a skin cut short, the archive itself sound
    PutU32(cut, 84 + 16 * 2, 30);
    FixSizeCheck(cut, true);
    PutU32(noRest, 80, 0);  // a rest cycle of no frames
    ASSERT_TRUE(WriteFile(in.dir / "longer.fish", longer) && WriteFile(in.dir / "cut.fish", cut) &&
                WriteFile(in.dir / "norest.fish", noRest) && WriteFile(in.dir / "text.fish", "not an archive"));
    RunResult r = testsupport::Run({Program("reefpack"), "validate", good, in.dir / "longer.fish", in.dir / "cut.fish",
                                    in.dir / "norest.fish", in.dir / "text.fish"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("ok " + good), std::string::npos) << r.output;
    for (const char* f : {"longer.fish", "cut.fish", "norest.fish", "text.fish"})
        EXPECT_NE(r.output.find("FAILED " + in.dir / f), std::string::npos) << f << "\n" << r.output;
    EXPECT_EQ(testsupport::Run({Program("reefpack"), "inspect", in.dir / "text.fish"}).exitCode, 1);

    ASSERT_TRUE(WriteFile(served / "broken.fish", std::string("junk")));
    r = testsupport::Run({Program("reefpack"), "list", served.path(), "http://127.0.0.1:8080/fish/"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("broken.fish"), std::string::npos);
    const std::string xml = ReadText(served / "fishTypes14.plist");
    const size_t first = xml.find(">Another Fish;http://127.0.0.1:8080/fish/a.fish<"),
                 second = xml.find(">My Fish;http://127.0.0.1:8080/fish/b%20fish.fish<");
    EXPECT_TRUE(first < second && second != std::string::npos && xml.find("broken") == std::string::npos) << xml;
}

TEST(Install, RefusesWhatTheTankWouldLeaveOutAndReplacesOnlyWhenAsked) {
    PrivateHome home;
    TempDir in;
    ASSERT_TRUE(WriteSpecies(in / "nemo.fish", Named("Nemo")) && WriteSpecies(in / "dory.fish", Named("Dory")));
    std::vector<uint8_t> cut = ReadFile(in / "dory.fish");
    cut.resize(cut.size() - 3);
    SpeciesRecipe oddSkins = Named("Still");
    oddSkins.skinSize = 6;  // opens as an archive, but the skins cannot become textures
    ASSERT_TRUE(WriteFile(in / "cut.fish", cut) && WriteFile(in / "text.fish", "not an archive") &&
                WriteSpecies(in / "still.fish", oddSkins) && mkfifo((in / "pipe.fish").c_str(), 0600) == 0);
    ASSERT_TRUE(WriteFile(in / "resource.fish", ReadFile(ShareDir() + "/kelpish.tidewares")));

    // Each refusal names the file; none leaves anything in the folder.
    for (const char* bad : {"cut.fish", "text.fish", "still.fish", "pipe.fish", "resource.fish", "absent.fish"}) {
        RunResult r = Install({in / bad}, home);
        EXPECT_EQ(r.exitCode, 1) << bad;
        EXPECT_NE(r.output.find(in / bad + ": refused: "), std::string::npos) << r.output;
    }
    EXPECT_TRUE(ListFolder(home.FishDir()).empty());

    RunResult r = Install({in / "nemo.fish", in / "dory.fish"}, home);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), (std::vector<std::string>{"dory.fish", "nemo.fish"}));
    EXPECT_EQ(ReadFile(home.FishDir() + "/nemo.fish"), ReadFile(in / "nemo.fish"));

    // The same species again: refused without --replace.
    SpeciesRecipe changed = Named("Nemo");
    changed.colour[0] = 9;
    ASSERT_TRUE(WriteSpecies(in / "nemo.fish", changed));
    r = Install({in / "nemo.fish"}, home);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("already installed"), std::string::npos) << r.output;
    EXPECT_NE(ReadFile(home.FishDir() + "/nemo.fish"), ReadFile(in / "nemo.fish"));
    ASSERT_EQ(Install({"--replace", in / "nemo.fish"}, home).exitCode, 0);
    EXPECT_EQ(ReadFile(home.FishDir() + "/nemo.fish"), ReadFile(in / "nemo.fish"));

    // A write that fails half-way (file size limit) and a folder that cannot be made.
    const std::vector<std::string> before = ListFolder(home.FishDir());
    ASSERT_TRUE(WriteSpecies(in / "new.fish", Named("New")));
    r = Install({in / "new.fish"}, home, "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("cannot write the copy"), std::string::npos) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), before);
    PrivateHome blocked;
    ASSERT_TRUE(mkdir(blocked.DataDir().c_str(), 0700) == 0 &&
                WriteFile(blocked.DataDir() + "/reefmere", "a file where the folder goes"));
    r = Install({in / "new.fish"}, blocked);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot create the fish folder"), std::string::npos) << r.output;
}
