// The tank: population from the catalogue and the selection, species that fail to load,
// fish entering one by one, the school leaving the view, depth order and teardown.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FishFixture.h"
#include "fish/Aquarium.h"
#include "math/GLStuff.h"
#include "settings/Settings.h"

using fishtest::SpeciesSpec;

namespace {

class Tank : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.Create(64, 48));
        fishtest::SetTankFrustum();
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
    void Write(const std::string& name, SpeciesSpec spec = SpeciesSpec())
    {
        ASSERT_TRUE(fishtest::WriteSpecies(dir / name, spec));
    }
    void WriteBroken(const std::string& name)
    {
        std::vector<uint8_t> junk(64, 0x33);
        ASSERT_TRUE(reefpack::WriteBytes(dir / name, fishtest::BuildSpecies(SpeciesSpec(), junk)));
    }
    int Active(const AQUARIUM& tank)
    {
        int n = 0;
        for (int i = 0; i < tank.numFish; i++) n += tank.fish[i].action > 0;
        return n;
    }

    EglContext gl;
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
    EXPECT_EQ(tank.numFish, 3);
    EXPECT_FLOAT_EQ(tank.sizeFactor, 0.5f);
    EXPECT_EQ(std::string(tank.fishPath), dir.path() + "/");
    EXPECT_GE(tank.leaveTimer, 60.0f);
    EXPECT_LT(tank.leaveTimer, 660.0f);
    ASSERT_NE(tank.fish, nullptr);
    for (int i = 0; i < 3; i++)  // scale 1: no random sizes
        EXPECT_TRUE(tank.fish[i].action == FISH_WAITING && tank.fish[i].fishData == tank.fishInfo[0].data &&
                    tank.fish[i].scale == 1.0f) << i;
    EXPECT_FLOAT_EQ(tank.fishInfo[0].data->size, 0.5f);
    tank.Cleanup();
    tank.Cleanup();
    EXPECT_EQ(tank.fish, nullptr);
    EXPECT_EQ(tank.selectionList, nullptr);
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
    ASSERT_TRUE(reefpack::WriteBytes(onlyBroken / "x.fish",
                                     fishtest::BuildSpecies(SpeciesSpec(), std::vector<uint8_t>(64, 1))));
    snprintf(settings.FishPath, sizeof settings.FishPath, "%s", onlyBroken.path().c_str());
    Select("##");
    AQUARIUM none;
    EXPECT_FALSE(none.Setup(&settings));
}

TEST_F(Tank, SelectionChoosesTheSpecies)
{
    SpeciesSpec red, blue;
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
    empty.Move(1.0f, 0.1f);
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
        tank.Move(1.0f, 1.0f / 60.0f);
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
    FISHDATA* data = tank.fish[0].fishData;
    tank.Sort();
    EXPECT_EQ(tank.fish[0].position.z, -20.0f);
    EXPECT_EQ(tank.fish[1].position.z, 5.0f);
    EXPECT_EQ(tank.fish[2].position.z, 10.0f);
    for (int i = 0; i < 3; i++) EXPECT_EQ(tank.fish[i].fishData, data);
    ONEFISH a, b;
    a.position.z = 1;
    b.position.z = 2;
    EXPECT_EQ(compare_depth(&a, &b), -1);
    EXPECT_EQ(compare_depth(&b, &a), 1);
    EXPECT_EQ(compare_depth(&a, &a), 0);
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
    tank.Move(1.0f, 0.01f);
    EXPECT_GE(tank.leaveTimer, 60.0f);
    EXPECT_LT(tank.leaveTimer, 1260.0f);
    for (int i = 0; i < 3; i++) {
        const ONEFISH& f = tank.fish[i];
        EXPECT_EQ(f.action, FISH_CRUISING);
        EXPECT_TRUE(f.leaving);
        EXPECT_FALSE(SphereInFrustum(f.target, 15.0f)) << i;
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
    for (int i = 0; i < 100; i++) tank.Move(1.0f, 0.1f);
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
        while (tank.fish[0].action == FISH_WAITING && frames++ < 1000) tank.Move(0.0f, 1e-4f);
        const ONEFISH& f = tank.fish[0];
        ASSERT_EQ(f.action, FISH_CRUISING);
        EXPECT_EQ(f.position.y, -40.0f);
        EXPECT_EQ(f.target.y, -35.0f);  // an empty tank puts every target at -35
        EXPECT_LE(std::fabs(f.target.x), 20.0f);
        EXPECT_LE(std::fabs(f.target.z), 20.0f);
    }
}

}  // namespace
