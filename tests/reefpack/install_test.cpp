// `reefpack install` into the private home's fish folder: what is refused, what is replaced
// only when asked, and that no failure leaves a file behind. (`reefpack index` and the
// dialog's install: tests/config/sources_test.cpp.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"

using namespace testsupport;

namespace {

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
