// `reefpack install` into the private home's fish folder and `reefpack index` over a folder
// of archives: what is refused, what is replaced only when asked, and that no failure
// leaves a file behind.
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>

#include "test_support.h"

using namespace testsupport;

namespace {

RunResult Reefpack(std::vector<std::string> args, const PrivateHome& home, const std::string& shell = "") {
    args.insert(args.begin(), Program("reefpack"));
    if (shell.empty()) return Run(args, home.Env(), 60);
    std::string line = shell + " exec";
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
    ASSERT_TRUE(WriteSpecies(in / "nemo.fish", Named("Nemo")) && WriteSpecies(in / "nemo2", Named("Nemo")) &&
                WriteSpecies(in / "dory.fish", Named("Dory")));
    std::vector<uint8_t> cut = ReadFile(in / "dory.fish");
    cut.resize(cut.size() - 3);
    SpeciesRecipe oddSkins = Named("Still");
    oddSkins.skinSize = 6;  // opens as an archive, but the skins cannot become textures
    ASSERT_TRUE(WriteFile(in / "cut.fish", cut) && WriteFile(in / "text.fish", "not an archive") &&
                WriteSpecies(in / "still.fish", oddSkins) && mkfifo((in / "pipe.fish").c_str(), 0600) == 0);
    ASSERT_TRUE(WriteFile(in / "resource.fish", ReadFile(ShareDir() + "/kelpish.tidewares")));

    // Each refusal names the file; none leaves anything in the folder.
    for (const char* bad : {"cut.fish", "text.fish", "still.fish", "pipe.fish", "resource.fish", "absent.fish"}) {
        RunResult r = Reefpack({"install", in / bad}, home);
        EXPECT_EQ(r.exitCode, 1) << bad;
        EXPECT_NE(r.output.find(in / bad + ": refused: "), std::string::npos) << r.output;
    }
    EXPECT_TRUE(ListFolder(home.FishDir()).empty());

    RunResult r = Reefpack({"install", in / "nemo.fish", in / "dory.fish"}, home);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), (std::vector<std::string>{"dory.fish", "nemo.fish"}));
    EXPECT_EQ(ReadFile(home.FishDir() + "/nemo.fish"), ReadFile(in / "nemo.fish"));

    // The same species again, under its own file name or another: refused without --replace.
    ASSERT_TRUE(WriteSpecies(in / "nemo.fish", [] { SpeciesRecipe s = Named("Nemo"); s.colour[0] = 9; return s; }()));
    for (const char* again : {"nemo.fish", "nemo2"}) {
        r = Reefpack({"install", in / again}, home);
        EXPECT_EQ(r.exitCode, 1) << again;
        EXPECT_NE(r.output.find("already installed"), std::string::npos) << r.output;
    }
    EXPECT_NE(ReadFile(home.FishDir() + "/nemo.fish"), ReadFile(in / "nemo.fish"));
    ASSERT_EQ(Reefpack({"install", "--replace", in / "nemo.fish"}, home).exitCode, 0);
    EXPECT_EQ(ReadFile(home.FishDir() + "/nemo.fish"), ReadFile(in / "nemo.fish"));
    // Another file holding the same display name takes its place: one row per species.
    ASSERT_EQ(Reefpack({"install", "--replace", in / "nemo2"}, home).exitCode, 0);
    EXPECT_EQ(ListFolder(home.FishDir()), (std::vector<std::string>{"dory.fish", "nemo2.fish"}));

    // A write that fails half-way (file size limit) and a folder that cannot be made.
    const std::vector<std::string> before = ListFolder(home.FishDir());
    ASSERT_TRUE(WriteSpecies(in / "new.fish", Named("New")));
    r = Reefpack({"install", in / "new.fish"}, home, "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("cannot write the copy"), std::string::npos) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), before);
    PrivateHome blocked;
    ASSERT_TRUE(mkdir(blocked.DataDir().c_str(), 0700) == 0 &&
                WriteFile(blocked.DataDir() + "/reefmere", "a file where the folder goes"));
    r = Reefpack({"install", in / "new.fish"}, blocked);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot create the fish folder"), std::string::npos) << r.output;
}

TEST(Index, ListsTheArchivesThatLoadWithAddressesRelativeToTheList) {
    PrivateHome home;
    TempDir pack;
    ASSERT_TRUE(WriteSpecies(pack / "b fish.fish", Named("Bee")) && WriteSpecies(pack / "a.fish", Named("Ay")) &&
                WriteFile(pack / "broken.fish", "junk"));
    RunResult r = Reefpack({"index", pack.path()}, home);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("broken.fish"), std::string::npos) << r.output;
    const std::string xml = ReadText(pack / "mac/zips/fish/fishTypes14.plist");
    plist_t root = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    ASSERT_TRUE(root && plist_get_node_type(root) == PLIST_ARRAY && plist_array_get_size(root) == 2) << xml;
    const char* want[2] = {"Ay;../../../a.fish", "Bee;../../../b%20fish.fish"};
    for (uint32_t i = 0; i < 2; ++i) {
        char* s = nullptr;
        plist_get_string_val(plist_array_get_item(root, i), &s);
        EXPECT_STREQ(s, want[i]);
        free(s);
    }
    plist_free(root);
    EXPECT_EQ(ListFolder(pack / "mac/zips/fish"), std::vector<std::string>{"fishTypes14.plist"});  // no temporary left
}
