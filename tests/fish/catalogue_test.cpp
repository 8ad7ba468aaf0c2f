// The species catalogue: which files count, order and duplicates across the two folders,
// the selection text (switched-off species) and the download folder lookup.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "FishArchives.h"
#include "fish/FishData.h"
#include "fish/Aquarium.h"
#include "test_support.h"

using fishtest::SpeciesSpec;

namespace {

std::string Folder(const testsupport::TempDir& d) { return d.path() + "/"; }

void WriteNamed(const std::string& path, const std::string& displayName, uint8_t waterType = 0,
                uint32_t flags = 0)
{
    SpeciesSpec spec;
    spec.displayName = displayName;
    spec.waterType = waterType;
    spec.flags = flags;
    ASSERT_TRUE(fishtest::WriteSpecies(path, spec));
}

TEST(Catalogue, EmptyOrMissingFoldersGiveNoCatalogue)
{
    testsupport::TempDir empty;
    AQUARIUM tank;
    tank.SetFishPaths(empty.path().c_str(), "/nonexistent/reefmere/fish");
    EXPECT_FALSE(tank.BuildFishList());
    EXPECT_EQ(tank.fishInfo, nullptr);
    EXPECT_EQ(tank.fishInfoCount, 0);
    EXPECT_EQ(CountFiles(tank.fishPath, tank.fishPath2, ".fish"), 0);
}

TEST(Catalogue, OnlyValidArchivesCount)
{
    testsupport::TempDir d;
    WriteNamed(d / "a.fish", "Angel", 1, 2);
    // b.fish: one byte appended, so its size check no longer matches.
    SpeciesSpec spec;
    std::vector<uint8_t> b = fishtest::BuildSpecies(spec);
    b.push_back(0);
    ASSERT_TRUE(testsupport::WriteFile(d / "b.fish", b));
    WriteNamed(d / "c.txt", "Text");
    WriteNamed(d / ".fish", "Hidden");         // no name before the suffix
    WriteNamed(d / "d.FISH", "Shouting");      // the suffix is case-sensitive
    ASSERT_TRUE(testsupport::WriteFile(d / "e.fish", std::string("FISH")));
    ASSERT_EQ(mkfifo((d / "f.fish").c_str(), 0600), 0);  // must not block the scan
    ASSERT_EQ(mkdir((d / "g.fish").c_str(), 0700), 0);

    EXPECT_EQ(CountFiles(Folder(d).c_str(), nullptr, ".fish"), 1);
    AQUARIUM tank;
    tank.SetFishPaths(d.path().c_str(), "");
    ASSERT_TRUE(tank.BuildFishList());
    ASSERT_EQ(tank.fishInfoCount, 1);
    const FISHINFO& a = tank.fishInfo[0];
    EXPECT_STREQ(a.fileName, "a.fish");
    EXPECT_EQ(std::string(a.folder), Folder(d));
    EXPECT_STREQ(a.displayName, "Angel");
    EXPECT_EQ(a.waterType, 1);
    EXPECT_EQ(a.flags, 2u);
    EXPECT_TRUE(a.selected);
    EXPECT_FALSE(a.loaded);
    EXPECT_EQ(a.data, nullptr);
}

TEST(Catalogue, SameFileNameInBothFolders)
{
    testsupport::TempDir d1, d2;
    WriteNamed(d1 / "twin.fish", "First");
    WriteNamed(d2 / "twin.fish", "Second");
    WriteNamed(d2 / "only.fish", "Only");
    AQUARIUM tank;
    tank.SetFishPaths(d1.path().c_str(), d2.path().c_str());
    ASSERT_TRUE(tank.BuildFishList());
    ASSERT_EQ(tank.fishInfoCount, 3);
    EXPECT_EQ(tank.FindFish("twin.fish"), 0);
    EXPECT_STREQ(tank.fishInfo[0].displayName, "First");
    EXPECT_EQ(std::string(tank.fishInfo[0].folder), Folder(d1));
    EXPECT_GT(tank.FindFish("only.fish"), 0);
    EXPECT_EQ(tank.FindFish("missing.fish"), -1);
    EXPECT_EQ(tank.FindFish("twin"), -1);

    // The download folder holds "Second" and "Only" but not "First".
    EXPECT_TRUE(tank.FishFileExists("Second"));
    EXPECT_TRUE(tank.FishFileExists("Only"));
    EXPECT_FALSE(tank.FishFileExists("First"));
    EXPECT_FALSE(tank.FishFileExists("Secon"));

    tank.CleanupFishList();
    EXPECT_EQ(tank.fishInfo, nullptr);
    EXPECT_EQ(tank.fishInfoCount, 0);
    tank.CleanupFishList();
}

TEST(Catalogue, FolderPathsGetOneSlash)
{
    AQUARIUM tank;
    tank.SetFishPaths("ab", "abc");
    EXPECT_STREQ(tank.fishPath, "ab");
    EXPECT_STREQ(tank.fishPath2, "abc/");
    tank.SetFishPaths("/tmp/", nullptr);
    EXPECT_STREQ(tank.fishPath, "/tmp/");
    EXPECT_STREQ(tank.fishPath2, "");
    std::string longPath(1100, 'x');
    tank.SetFishPaths(longPath.c_str(), "");
    EXPECT_EQ(std::string(tank.fishPath).size(), 1023u);
}

class Selection : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"Clown.fish", "Tetra.fish", "Guppy.fish"}) WriteNamed(d / name, name);
        WriteNamed(d / (longName + ".fish"), "Long");
        tank.SetFishPaths(d.path().c_str(), "");
        ASSERT_TRUE(tank.BuildFishList());
        ASSERT_EQ(tank.fishInfoCount, 4);
    }
    // The species switched on, by first letter (C, T, G, L), after applying text to a
    // freshly scanned catalogue (everything on).
    std::string On(const std::string& text, int length = -1)
    {
        for (int i = 0; i < tank.fishInfoCount; i++) tank.fishInfo[i].selected = true;
        EXPECT_TRUE(tank.FindFishSelection(text.c_str(), length < 0 ? (int)text.size() + 1 : length));
        std::string on;
        for (const char* name : {"Clown.fish", "Tetra.fish", "Guppy.fish"})
            if (tank.fishInfo[tank.FindFish(name)].selected) on += name[0];
        if (tank.fishInfo[tank.FindFish((longName + ".fish").c_str())].selected) on += 'L';
        EXPECT_EQ((int)on.size(), tank.selectionCount) << text.substr(0, 80);
        return on;
    }

    const std::string longName = std::string(60, 'L');
    testsupport::TempDir d;
    AQUARIUM tank;
};

TEST_F(Selection, TextSwitchesNamedSpeciesOff)
{
    const std::string huge(100000, 'y'), longest(SELECTION_ITEM_MAX, 'x');
    struct Case {
        std::string text;
        std::string on;
    } cases[] = {
        {"##", "CTGL"},
        {"Clown.fish#Tetra.fish###", "GL"},
        {"Clown.fish", "CTGL"},     // no closing "#": nothing switched off
        {"#Clown.fish##", "CTGL"},  // an empty item ends the list at once
        // Unknown and over-long items are skipped whole (never cut to a shorter name);
        // parsing goes on after them.
        {"Gone.fish#" + longName + ".fish#Tetra.fish###", "CGL"},
        {longest + "#Clown.fish###", "TGL"},  // an item of exactly the longest length is looked up
        {huge + "#Guppy.fish###", "CTL"},
    };
    for (const Case& c : cases) EXPECT_EQ(On(c.text), c.on) << c.text.substr(0, 80);
    // The length given bounds the walk: the closing "#" lies beyond it.
    EXPECT_EQ(On("Clown.fish#", 10), "CTGL");
    for (int i = 0; i < 4; i++) EXPECT_EQ(tank.selectionList[i], i);
}

TEST_F(Selection, EverySpeciesOffMeansAllOn)
{
    EXPECT_EQ(On("Clown.fish#Tetra.fish#Guppy.fish###"), "L");
    // The long one cannot be named, so switch it off by hand to reach "none on".
    for (int i = 0; i < tank.fishInfoCount; i++) tank.fishInfo[i].selected = false;
    ASSERT_TRUE(tank.FindFishSelection(nullptr, 0));
    EXPECT_EQ(tank.selectionCount, 4);
    for (int i = 0; i < 4; i++) EXPECT_TRUE(tank.fishInfo[i].selected);
}

}  // namespace
