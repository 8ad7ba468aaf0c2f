// The tank with no GL context: catalogue, selection text, fish from species, bubbles.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fish/Aquarium.h"
#include "fish/Fish.h"
#include "math/Camera.h"
#include "settings/Settings.h"
#include "test_support.h"

using testsupport::SpeciesRecipe;

namespace {

const FRUSTUM kView = CAMERA().Frustum();  // the scene's camera at 4:3

void WriteNamed(const std::string& path, const std::string& displayName, uint8_t waterType = 0, uint32_t flags = 0) {
    SpeciesRecipe recipe;
    recipe.displayName = displayName;
    recipe.waterType = waterType;
    recipe.flags = flags;
    ASSERT_TRUE(testsupport::WriteSpecies(path, recipe));
}

TEST(Catalogue, BothFoldersValidArchivesOnly) {
    testsupport::TempDir d, d2;
    WriteNamed(d / "a.fish", "Angel", 1, 2);
    WriteNamed(d / ".fish", "Hidden");                                       // no name before the suffix
    WriteNamed(d / "d.FISH", "Shouting");                                    // the suffix is case-sensitive
    ASSERT_TRUE(testsupport::WriteFile(d / "e.fish", std::string("FISH")));  // not an archive
    ASSERT_EQ(mkfifo((d / "f.fish").c_str(), 0600), 0);                      // must not block the scan
    WriteNamed(d2 / "a.fish", "Second");  // the same file name in the download folder
    WriteNamed(d2 / "only.fish", "Only");

    AQUARIUM tank;
    tank.SetFishPaths(d.path().c_str(), d2.path().c_str());
    ASSERT_TRUE(tank.BuildFishList());
    ASSERT_EQ(tank.fishInfoCount, 3);
    const FISHINFO& a = tank.fishInfo[tank.FindFish("a.fish")];
    EXPECT_EQ(std::string(a.folder), d.path() + "/");
    EXPECT_TRUE(std::string(a.displayName) == "Angel" && a.waterType == 1 && a.flags == 2u);
    EXPECT_TRUE(a.selected && !a.loaded && !a.data);
    EXPECT_EQ(tank.FindFish("a"), -1);
    EXPECT_TRUE(tank.FishFileExists("Second") && !tank.FishFileExists("Secon"));  // whole names only
    tank.CleanupFishList();
    EXPECT_TRUE(tank.fishInfo == nullptr && tank.fishInfoCount == 0);
}

TEST(Catalogue, SelectionTextSwitchesNamedSpeciesOff) {
    testsupport::TempDir d;
    const std::string longName = std::string(SELECTION_ITEM_MAX - 4, 'L');  // with ".fish": one too long
    for (const char* name : {"Clown.fish", "Tetra.fish", "Guppy.fish"}) WriteNamed(d / name, name);
    WriteNamed(d / (longName + ".fish"), "Long");
    AQUARIUM tank;
    tank.SetFishPaths(d.path().c_str(), "");
    ASSERT_TRUE(tank.BuildFishList());
    // The species switched on, by first letter, after applying text to a catalogue with
    // every species on.
    auto on = [&](const std::string& text, int length) {
        for (int i = 0; i < tank.fishInfoCount; i++) tank.fishInfo[i].selected = true;
        EXPECT_TRUE(tank.FindFishSelection(text.c_str(), length));
        std::string letters;
        for (const std::string& name : {std::string("Clown"), std::string("Tetra"), std::string("Guppy"), longName})
            if (tank.fishInfo[tank.FindFish((name + ".fish").c_str())].selected) letters += name[0];
        EXPECT_EQ((int)letters.size(), tank.selectionCount);
        return letters;
    };
    const std::string longest(SELECTION_ITEM_MAX, 'x');
    const struct {
        std::string text, on;
    } cases[] = {
        {"##", "CTGL"},
        {"Clown.fish#Tetra.fish###", "GL"},
        {"Clown.fish", "CTGL"},     // no closing "#": nothing switched off
        {"#Clown.fish##", "CTGL"},  // an empty item ends the list at once
        // Unknown and over-long items are skipped whole (never cut to a shorter name).
        {"Gone.fish#" + longName + ".fish#Tetra.fish###", "CGL"},
        {longest + "#Clown.fish###", "TGL"},
    };
    for (const auto& c : cases) EXPECT_EQ(on(c.text, (int)c.text.size() + 1), c.on) << c.text.substr(0, 80);
    EXPECT_EQ(on("Clown.fish#", 10), "CTGL");  // the length bounds the walk
    // Every species off means every species on.
    for (int i = 0; i < tank.fishInfoCount; i++) tank.fishInfo[i].selected = false;
    ASSERT_TRUE(tank.FindFishSelection(nullptr, 0));
    EXPECT_EQ(tank.selectionCount, 4);
}

class Tank : public ::testing::Test {
protected:
    void SetUp() override {
        snprintf(settings.FishPath, sizeof settings.FishPath, "%s", dir.path().c_str());
        settings.FishPath2[0] = '\0';
        settings.MAX_FISH = 3;
        Select("##");
    }
    void TearDown() override { FreeFishSelection(&settings); }
    void Select(const char* text) {
        FreeFishSelection(&settings);
        ASSERT_TRUE(SetFishSelection(&settings, text));
    }
    testsupport::TempDir dir;
    SETTINGS settings;
};

TEST_F(Tank, SetupTakesTheSelectionAndReplacesFailedSpecies) {
    AQUARIUM noCatalogue;
    EXPECT_FALSE(noCatalogue.Setup(&settings));
    Select("##");
    ASSERT_TRUE(testsupport::WriteFile(dir / "broken.fish",
                                       testsupport::BuildSpecies(SpeciesRecipe(), std::vector<uint8_t>(64, 0x33))));
    ASSERT_TRUE(testsupport::WriteSpecies(dir / "good.fish", SpeciesRecipe()));
    Select("good.fish###");  // only the broken one selected: it fails, the good one steps in
    settings.LFISHSIZE = 50;
    AQUARIUM tank;
    ASSERT_TRUE(tank.Setup(&settings));
    EXPECT_EQ(settings.fishSelection, nullptr);  // taken over
    const int good = tank.FindFish("good.fish"), broken = tank.FindFish("broken.fish");
    ASSERT_TRUE(good >= 0 && broken >= 0 && tank.numFish == 3);
    EXPECT_EQ(tank.fishInfo[broken].data, nullptr);
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(tank.fish[i].action == FISH_WAITING && tank.fish[i].fishData == tank.fishInfo[good].data &&
                    tank.fish[i].scale == 1.0f)
            << i;
    EXPECT_FLOAT_EQ(tank.fishInfo[good].data->size, 0.5f);
    tank.Cleanup();
    tank.Cleanup();

    // No fish at all steps and draws nothing; only broken species fail the setup.
    Select("##");
    settings.MAX_FISH = 0;
    AQUARIUM empty;
    ASSERT_TRUE(empty.Setup(&settings));
    empty.Move(1.0f, 0.1f, kView);
    empty.Draw(false);
    testsupport::TempDir onlyBroken;
    ASSERT_TRUE(testsupport::WriteFile(onlyBroken / "x.fish",
                                       testsupport::BuildSpecies(SpeciesRecipe(), std::vector<uint8_t>(64, 1))));
    snprintf(settings.FishPath, sizeof settings.FishPath, "%s", onlyBroken.path().c_str());
    settings.MAX_FISH = 3;
    Select("##");
    AQUARIUM none;
    EXPECT_FALSE(none.Setup(&settings));
}

TEST_F(Tank, SchoolLeavesForTargetsOutOfViewUnlessItStaysOnScreen) {
    ASSERT_TRUE(testsupport::WriteSpecies(dir / "a.fish", SpeciesRecipe()));
    for (bool stay : {false, true}) {
        settings.STAYONSCREEN = stay;
        Select("##");
        AQUARIUM tank;
        ASSERT_TRUE(tank.Setup(&settings));
        // One fish in, the others still waiting.
        tank.fish[1].Reset();
        tank.fish[1].SetAction(FISH_CRUISING);
        tank.fish[1].position = VECTOR3D{0, -10, 0};
        for (int i : {0, 2}) tank.fish[i].position = VECTOR3D{0, 0, (float)i};
        tank.leaveTimer = 0.001f;
        tank.Move(1.0f, 0.01f, kView);
        if (stay) {
            EXPECT_EQ(tank.leaveTimer, 0.001f);
            for (int i = 0; i < 3; i++) EXPECT_FALSE(tank.fish[i].leaving);
            continue;
        }
        EXPECT_TRUE(tank.leaveTimer >= 60.0f && tank.leaveTimer < 1260.0f);
        for (int i = 0; i < 3; i++) {
            const ONEFISH& f = tank.fish[i];
            EXPECT_TRUE(f.action == FISH_CRUISING && f.leaving) << i;
            EXPECT_FALSE(kView.SphereIn(f.target, 15.0f)) << i;
        }
        // The waiting fish joined where they stood, without a Reset.
        bool atOrigin = false;
        for (int i = 0; i < 3; i++) atOrigin |= std::fabs(tank.fish[i].position.y) < 0.5f;
        EXPECT_TRUE(atOrigin);
    }
}

TEST_F(Tank, FishShareGeometryDeformApartAndLeaveTheSpeciesIntact) {
    FISHINFO species;
    FISHDATA* data = testsupport::LoadSpecies(dir.path(), SpeciesRecipe(), &species);
    ASSERT_NE(data, nullptr);
    const ONEFISH* proto = data->prototype;
    MODELGROUP* groups = proto->groups;
    std::vector<uint16_t> indices(proto->indices, proto->indices + 3 * proto->numTriangles);
    {
        ONEFISH a, b;
        ASSERT_TRUE(a.SetupFromFishData(data));
        ASSERT_TRUE(b.SetupFromFishData(data));
        ASSERT_TRUE(b.SetupFromFishData(data));  // filling twice replaces
        for (const ONEFISH* f : {&a, &b}) {
            EXPECT_TRUE(f->groups == proto->groups && f->indices == proto->indices);
            EXPECT_TRUE(f->vertexBuffer != proto->vertexBuffer && f->materials != proto->materials);
            EXPECT_EQ(memcmp(f->vertexBuffer, proto->vertexBuffer, sizeof(MODELVERTEX) * f->numVertices), 0);
        }
        std::vector<MODELVERTEX> before(b.vertexBuffer, b.vertexBuffer + b.numVertices);
        a.SetAction(FISH_CRUISING);
        a.position = VECTOR3D{0, -10, 0};
        for (int i = 0; i < 30; i++) a.Move(&a, 1, 1.0f, 0.05f, false, kView);
        EXPECT_NE(memcmp(a.vertexBuffer, before.data(), sizeof(MODELVERTEX) * a.numVertices), 0);
        EXPECT_EQ(memcmp(b.vertexBuffer, before.data(), sizeof(MODELVERTEX) * b.numVertices), 0);
        b.Release();
        b.Release();
    }
    EXPECT_EQ(proto->groups, groups);
    EXPECT_EQ(std::vector<uint16_t>(proto->indices, proto->indices + 3 * proto->numTriangles), indices);

    // Incomplete data is refused; such a fish neither moves nor draws.
    ONEFISH f;
    FISHDATA empty;
    EXPECT_FALSE(f.SetupFromFishData(nullptr));
    EXPECT_FALSE(f.SetupFromFishData(&empty));
    EXPECT_TRUE(f.fishData == nullptr && f.vertexBuffer == nullptr);
    f.Move(&f, 1, 1.0f, 0.1f, false, kView);
    f.Draw(false);
}

TEST(Bubbles, VanishAtTheWaterLine) {
    // Full tank: 39.5 at the back (z = -32), 17.5 at the front (z = 32). Empty tank:
    // -40.5 and -18.5. A tiny step keeps the wobble out of the way.
    const struct {
        float level, z, line;
    } cases[] = {{1.0f, -32.0f, 39.5f}, {1.0f, 32.0f, 17.5f}, {0.0f, -32.0f, -40.5f}, {0.0f, 32.0f, -18.5f}};
    for (const auto& c : cases) {
        AQUARIUM tank;
        tank.emitting = false;
        tank.sourceTimer = 100.0f;  // keep the emitter quiet
        for (int i = 0; i < 2; i++) {
            tank.bubbles[i].Reset(VECTOR3D{});
            tank.bubbles[i].position = VECTOR3D{0, c.line + (i ? 0.01f : -0.01f), c.z};
        }
        tank.MoveBubbles(1e-5f, c.level);
        EXPECT_TRUE(tank.bubbles[0].active && !tank.bubbles[1].active) << c.level << " " << c.z;
    }
}

}  // namespace
