// The tank with no GL context: the species catalogue and the selection text, filling fish
// from their species, population and entry, the school leaving the view, depth order and
// the bubble pool.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SpeciesBuilder.h"
#include "fish/Aquarium.h"
#include "fish/Fish.h"
#include "image/Texture.h"
#include "math/Camera.h"
#include "test_support.h"
#include "settings/Settings.h"

using fishtest::SpeciesRecipe;

namespace {

const FRUSTUM kView = CAMERA().Frustum();  // the scene's camera at 4:3

std::string Folder(const testsupport::TempDir& d) { return d.path() + "/"; }

void WriteNamed(const std::string& path, const std::string& displayName, uint8_t waterType = 0,
                uint32_t flags = 0)
{
    SpeciesRecipe recipe;
    recipe.displayName = displayName;
    recipe.waterType = waterType;
    recipe.flags = flags;
    ASSERT_TRUE(fishtest::WriteSpecies(path, recipe));
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
    SpeciesRecipe recipe;
    std::vector<uint8_t> b = fishtest::BuildSpecies(recipe);
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
    EXPECT_TRUE(std::string(a.displayName) == "Angel" && a.waterType == 1 && a.flags == 2u);
    EXPECT_TRUE(a.selected && !a.loaded && !a.data);
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

    const std::string longName = std::string(SELECTION_ITEM_MAX - 4, 'L');  // with ".fish": one too long
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

class Tank : public ::testing::Test {
public:
    FISHINFO species;
protected:
    void SetUp() override
    {
        snprintf(settings.FishPath, sizeof settings.FishPath, "%s", dir.path().c_str());
        settings.FishPath2[0] = '\0';
        Select("##");
    }
    void TearDown() override { FreeFishSelection(&settings); }

    void Select(const char* text)
    {
        FreeFishSelection(&settings);
        ASSERT_TRUE(SetFishSelection(&settings, text));
    }
    void Write(const std::string& name, SpeciesRecipe recipe = SpeciesRecipe())
    {
        ASSERT_TRUE(fishtest::WriteSpecies(dir / name, recipe));
    }
    void WriteBroken(const std::string& name)
    {
        std::vector<uint8_t> junk(64, 0x33);
        ASSERT_TRUE(testsupport::WriteFile(dir / name, fishtest::BuildSpecies(SpeciesRecipe(), junk)));
    }
    int Active(const AQUARIUM& tank)
    {
        int n = 0;
        for (int i = 0; i < tank.numFish; i++) n += tank.fish[i].action > 0;
        return n;
    }

    testsupport::TempDir dir;
    SETTINGS settings;
};

TEST_F(Tank, SetupFillsTheTankWithWaitingFish)
{
    Write("a.fish");
    settings.MAX_FISH = 3;
    settings.LFISHSIZE = 50;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    EXPECT_EQ(settings.fishSelection, nullptr);  // taken over
    ASSERT_TRUE(tank.fish && tank.numFish == 3);
    for (int i = 0; i < 3; i++)  // scale 1: no random sizes
        EXPECT_TRUE(tank.fish[i].action == FISH_WAITING && tank.fish[i].fishData == tank.fishInfo[0].data &&
                    tank.fish[i].scale == 1.0f) << i;
    EXPECT_FLOAT_EQ(tank.fishInfo[0].data->size, 0.5f);
    tank.Cleanup();
    tank.Cleanup();
    EXPECT_TRUE(!tank.fish && !tank.selectionList);
}

TEST_F(Tank, FailedSpeciesAreReplacedOrSetupFails)
{
    AQUARIUM noCatalogue;
    EXPECT_FALSE(noCatalogue.Setup(&settings));
    EXPECT_EQ(noCatalogue.fish, nullptr);
    Select("##");

    WriteBroken("broken.fish");
    Write("good.fish");
    Select("good.fish###");  // only the broken one selected: it fails, the good one steps in
    settings.MAX_FISH = 3;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    int good = tank.FindFish("good.fish");
    int broken = tank.FindFish("broken.fish");
    ASSERT_GE(good, 0);
    ASSERT_GE(broken, 0);
    EXPECT_EQ(tank.fishInfo[broken].data, nullptr);
    for (int i = 0; i < 3; i++) EXPECT_EQ(tank.fish[i].fishData, tank.fishInfo[good].data);

    testsupport::TempDir onlyBroken;
    ASSERT_TRUE(testsupport::WriteFile(onlyBroken / "x.fish",
                                     fishtest::BuildSpecies(SpeciesRecipe(), std::vector<uint8_t>(64, 1))));
    snprintf(settings.FishPath, sizeof settings.FishPath, "%s", onlyBroken.path().c_str());
    Select("##");
    AQUARIUM none;
    EXPECT_FALSE(none.Setup(&settings));
}

TEST_F(Tank, SelectionChoosesTheSpecies)
{
    SpeciesRecipe red, blue;
    red.displayName = "Red";
    blue.displayName = "Blue";
    Write("red.fish", red);
    Write("blue.fish", blue);
    Select("red.fish###");
    settings.MAX_FISH = 3;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    int blueIndex = tank.FindFish("blue.fish");
    EXPECT_EQ(tank.selectionCount, 1);
    for (int i = 0; i < 3; i++) EXPECT_EQ(tank.fish[i].fishData, tank.fishInfo[blueIndex].data);
    EXPECT_FALSE(tank.fishInfo[tank.FindFish("red.fish")].loaded);  // never needed
}

TEST_F(Tank, RandomSizesAndNoFish)
{
    Write("a.fish");
    settings.MAX_FISH = 3;
    settings.RANDOMSIZES = true;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    for (int i = 0; i < 3; i++) EXPECT_TRUE(tank.fish[i].scale >= 0.3f && tank.fish[i].scale <= 0.991f) << tank.fish[i].scale;

    Select("##");
    settings.MAX_FISH = 0;
    AQUARIUM empty;
    ASSERT_TRUE(empty.Setup(&settings));
    EXPECT_EQ(empty.numFish, 0);
    empty.Move(1.0f, 0.1f, kView);
    empty.Draw(false);
}

TEST_F(Tank, FishEnterOneByOne)
{
    Write("a.fish");
    settings.MAX_FISH = 3;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    int frames = 0;
    while (Active(tank) < 3 && frames < 1000) {
        tank.Move(1.0f, 1.0f / 60.0f, kView);
        frames++;
    }
    EXPECT_EQ(Active(tank), 3);
    EXPECT_LT(frames, 200);
}

TEST_F(Tank, SortedFarthestFirst)
{
    Write("a.fish");
    settings.MAX_FISH = 3;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    tank.fish[0].position.z = 10;
    tank.fish[1].position.z = -20;
    tank.fish[2].position.z = 5;
    tank.Sort();
    EXPECT_TRUE(tank.fish[0].position.z == -20.0f && tank.fish[1].position.z == 5.0f && tank.fish[2].position.z == 10.0f);
}

TEST_F(Tank, SchoolLeavesForTargetsOutOfView)
{
    Write("a.fish");
    settings.MAX_FISH = 3;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    // One fish in, the others still waiting.
    tank.fish[1].Reset();
    tank.fish[1].SetAction(FISH_CRUISING);
    tank.fish[1].position = VECTOR3D{0, -10, 0};
    for (int i : {0, 2}) tank.fish[i].position = VECTOR3D{0, 0, (float)i};
    tank.leaveTimer = 0.001f;
    tank.Move(1.0f, 0.01f, kView);
    EXPECT_GE(tank.leaveTimer, 60.0f);
    EXPECT_LT(tank.leaveTimer, 1260.0f);
    for (int i = 0; i < 3; i++) {
        const ONEFISH& f = tank.fish[i];
        EXPECT_EQ(f.action, FISH_CRUISING);
        EXPECT_TRUE(f.leaving);
        EXPECT_FALSE(kView.SphereIn(f.target, 15.0f)) << i;
        EXPECT_TRUE(f.wantedFactor >= 3.5f && f.wantedFactor <= 5.41f) << f.wantedFactor;
        EXPECT_TRUE(f.actionTimer >= 14.9f && f.actionTimer < 25.0f) << f.actionTimer;
    }
    // The waiting fish joined where they stood, without a Reset.
    bool atOrigin = false;
    for (int i = 0; i < 3; i++) atOrigin |= std::fabs(tank.fish[i].position.y) < 0.5f;
    EXPECT_TRUE(atOrigin);
}

TEST_F(Tank, StayOnScreenKeepsTheSchool)
{
    Write("a.fish");
    settings.STAYONSCREEN = true;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    tank.leaveTimer = 0.001f;
    for (int i = 0; i < 100; i++) tank.Move(1.0f, 0.1f, kView);
    EXPECT_EQ(tank.leaveTimer, 0.001f);
    for (int i = 0; i < tank.numFish; i++) EXPECT_FALSE(tank.fish[i].leaving);
}

TEST_F(Tank, EntryTargetsAndEmptyTankHeights)
{
    Write("a.fish");
    settings.MAX_FISH = 1;
    for (int round = 0; round < 5; round++) {
        Select("##");
        AQUARIUM tank;
        ASSERT_TRUE(tank.Setup(&settings));
        int frames = 0;
        while (tank.fish[0].action == FISH_WAITING && frames++ < 1000) tank.Move(0.0f, 1e-4f, kView);
        const ONEFISH& f = tank.fish[0];
        ASSERT_EQ(f.action, FISH_CRUISING);
        EXPECT_EQ(f.position.y, -40.0f);
        EXPECT_EQ(f.target.y, -35.0f);  // an empty tank puts every target at -35
        EXPECT_LE(std::fabs(f.target.x), 20.0f);
        EXPECT_LE(std::fabs(f.target.z), 20.0f);
    }
}

TEST_F(Tank, FishSharesGeometryCopiesVerticesAndDeformsIndependently)
{
    FISHDATA* data = fishtest::LoadSpecies(dir.path(), SpeciesRecipe(), &species);
    ASSERT_NE(data, nullptr);
    const ONEFISH* proto = data->prototype;
    ONEFISH a, b;
    ASSERT_TRUE(a.SetupFromFishData(data));
    ASSERT_TRUE(b.SetupFromFishData(data));
    for (const ONEFISH* f : {&a, &b}) {
        EXPECT_EQ(f->groups, proto->groups);
        EXPECT_EQ(f->indices, proto->indices);
        EXPECT_NE(f->vertexBuffer, proto->vertexBuffer);
        EXPECT_NE(f->materials, proto->materials);
        ASSERT_EQ(f->numVertices, proto->numVertices);
        EXPECT_EQ(memcmp(f->vertexBuffer, proto->vertexBuffer, sizeof(MODELVERTEX) * f->numVertices), 0);
    }
    EXPECT_NE(a.vertexBuffer, b.vertexBuffer);

    std::vector<MODELVERTEX> before(b.vertexBuffer, b.vertexBuffer + b.numVertices);
    a.SetAction(FISH_CRUISING);
    a.position = VECTOR3D{0, -10, 0};
    for (int i = 0; i < 30; i++) a.Move(&a, 1, 1.0f, 0.05f, false, kView);
    EXPECT_NE(memcmp(a.vertexBuffer, before.data(), sizeof(MODELVERTEX) * a.numVertices), 0);
    EXPECT_EQ(memcmp(b.vertexBuffer, before.data(), sizeof(MODELVERTEX) * b.numVertices), 0);
}

TEST_F(Tank, FishTeardownLeavesTheSpeciesIntact)
{
    FISHDATA* data = fishtest::LoadSpecies(dir.path(), SpeciesRecipe(), &species);
    ASSERT_NE(data, nullptr);
    const ONEFISH* proto = data->prototype;
    MODELGROUP* groups = proto->groups;
    uint16_t* indices = proto->indices;
    std::vector<uint16_t> savedIndices(indices, indices + 3 * proto->numTriangles);
    {
        ONEFISH* many = new ONEFISH[3];
        for (int i = 0; i < 3; i++) ASSERT_TRUE(many[i].SetupFromFishData(data));
        delete[] many;
    }
    EXPECT_EQ(proto->groups, groups);
    EXPECT_EQ(proto->indices, indices);
    EXPECT_EQ(std::vector<uint16_t>(indices, indices + 3 * proto->numTriangles), savedIndices);
    // Filling twice replaces, never leaks or frees the shared parts.
    ONEFISH again;
    EXPECT_TRUE(again.SetupFromFishData(data));
    EXPECT_TRUE(again.SetupFromFishData(data));
    EXPECT_EQ(again.groups, groups);
    again.Release();
    again.Release();
    EXPECT_EQ(proto->groups, groups);
}

TEST_F(Tank, FishIncompleteDataIsRefused)
{
    ONEFISH f;
    EXPECT_FALSE(f.SetupFromFishData(nullptr));
    FISHDATA empty;
    EXPECT_FALSE(f.SetupFromFishData(&empty));
    EXPECT_EQ(f.fishData, nullptr);
    EXPECT_EQ(f.vertexBuffer, nullptr);
    // A fish without data neither moves nor breaks anything.
    f.Move(&f, 1, 1.0f, 0.1f, false, kView);
    f.Draw(false);
}

int ActiveCount(const AQUARIUM& tank)
{
    int n = 0;
    for (const ONEPARTICLE& b : tank.bubbles) n += b.active ? 1 : 0;
    return n;
}

TEST(Bubbles, PuffsUseFreeSlotsOnly)
{
    AQUARIUM tank;
    EXPECT_EQ(ActiveCount(tank), 0);
    tank.AddBubbles(MAX_BUBBLES, VECTOR3D{0, -45, 0});
    EXPECT_EQ(ActiveCount(tank), MAX_BUBBLES);
    tank.bubbles[7].position.y = 123.0f;
    tank.AddBubbles(4, VECTOR3D{1, 1, 1});  // full pool: nothing starts
    EXPECT_EQ(ActiveCount(tank), MAX_BUBBLES);
    EXPECT_EQ(tank.bubbles[7].position.y, 123.0f);

    tank.bubbles[10].active = false;
    tank.bubbles[200].active = false;
    tank.AddBubbles(4, VECTOR3D{20, 0, 0});  // two free slots: two start
    EXPECT_EQ(ActiveCount(tank), MAX_BUBBLES);
    EXPECT_NEAR(tank.bubbles[10].position.x, 20.0f, 0.5f);
    EXPECT_NEAR(tank.bubbles[200].position.x, 20.0f, 0.5f);

    AQUARIUM other;
    other.AddBubbles(3, VECTOR3D{});
    EXPECT_TRUE(other.bubbles[0].active && other.bubbles[1].active && other.bubbles[2].active);
    EXPECT_FALSE(other.bubbles[3].active);
}

TEST(Bubbles, VanishAtTheWaterLine)
{
    // Full tank: 39.5 at the back (z = -32), 17.5 at the front (z = 32). Empty tank:
    // -40.5 and -18.5. A tiny step keeps the wobble out of the way.
    struct Case {
        float level, z, line;
    } cases[] = {{1.0f, -32.0f, 39.5f}, {1.0f, 32.0f, 17.5f}, {0.0f, -32.0f, -40.5f}, {0.0f, 32.0f, -18.5f}};
    for (const Case& c : cases) {
        AQUARIUM tank;
        tank.emitting = false;
        tank.sourceTimer = 100.0f;  // keep the emitter quiet
        tank.bubbles[0].Reset(VECTOR3D{});
        tank.bubbles[0].position = VECTOR3D{0, c.line - 0.01f, c.z};
        tank.bubbles[1].Reset(VECTOR3D{});
        tank.bubbles[1].position = VECTOR3D{0, c.line + 0.01f, c.z};
        tank.MoveBubbles(1e-5f, c.level);
        EXPECT_TRUE(tank.bubbles[0].active) << c.level << " " << c.z;
        EXPECT_FALSE(tank.bubbles[1].active) << c.level << " " << c.z;
    }
}

TEST(Bubbles, RiseAboutFiveUnitsASecond)
{
    AQUARIUM tank;
    tank.emitting = false;
    tank.sourceTimer = 100.0f;
    tank.AddBubbles(50, VECTOR3D{0, -30, 0});
    double startY = 0;
    for (int i = 0; i < 50; i++) startY += tank.bubbles[i].position.y;
    for (int f = 0; f < 60; f++) tank.MoveBubbles(1.0f / 60.0f, 1.0f);
    double endY = 0;
    for (int i = 0; i < 50; i++) {
        ASSERT_TRUE(tank.bubbles[i].active);
        endY += tank.bubbles[i].position.y;
    }
    EXPECT_NEAR((endY - startY) / 50.0, 5.0, 0.3);
}

TEST(Bubbles, SourceTogglesAndWanders)
{
    AQUARIUM tank;
    EXPECT_TRUE(tank.emitting);
    // First frame: both timers at 0, so the emitter switches off and moves.
    tank.MoveBubbles(1.0f / 60.0f, 1.0f);
    EXPECT_FALSE(tank.emitting);
    const VECTOR3D& at = tank.bubbleSource;
    EXPECT_TRUE(at.y == -45.0f && at.x >= -20.0f && at.x <= 19.0f && at.z >= -15.0f && at.z <= 14.0f)
        << at.x << "," << at.y << "," << at.z;
    EXPECT_TRUE(tank.sourceTimer >= 0.0f && tank.sourceTimer <= 19.9f + 1e-5f) << tank.sourceTimer;
    EXPECT_EQ(ActiveCount(tank), 0);

    // Nothing starts until the emitter switches on again; then puffs of one to four.
    int frames = 0;
    while (!tank.emitting && frames < 60 * 30) {
        EXPECT_EQ(ActiveCount(tank), 0);
        tank.MoveBubbles(1.0f / 60.0f, 1.0f);
        frames++;
    }
    ASSERT_TRUE(tank.emitting);
    VECTOR3D source = tank.bubbleSource;
    tank.sourceTimer = 100.0f;
    int seen = 0;
    for (int f = 0; f < 60 && seen == 0; f++) {
        tank.MoveBubbles(1.0f / 60.0f, 1.0f);
        seen = ActiveCount(tank);
    }
    ASSERT_GE(seen, 1);
    EXPECT_LE(seen, 4);
    for (const ONEPARTICLE& b : tank.bubbles)
        if (b.active) {
            EXPECT_NEAR(b.position.x, source.x, 0.6f);
            EXPECT_NEAR(b.position.z, source.z, 0.6f);
        }
    EXPECT_GE(tank.emitTimer, 0.0f);
    EXPECT_LE(tank.emitTimer, 0.45f);
}

}  // namespace
