// Fish steering and behaviour, and the tank (catalogue, selection text, fish from
// species, bubbles), with no GL context.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
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

const float kDt = 1.0f / 60.0f;
const FRUSTUM kView = CAMERA().Frustum();  // the scene's camera at 4:3

// A bare fish for the pure steering arithmetic.
void Aim(ONEFISH* f, VECTOR3D angles) {
    f->angles = angles;
    f->orientation = MatrixFromAngle(angles);
    f->direction = MatrixPointMultiply(f->orientation, VECTOR3D{0, 0, 1});
}

TEST(Steering, TurnRulesAheadBehindAndFineAiming) {
    // Wanted pitch and yaw for a target at `degrees` off the nose (positive: to the
    // fish's left, +x) and `up` above it, at turn rate 60.
    struct Case {
        double degrees;
        float up, pitch, yaw;
    } cases[] = {
        {2, 0, 0, 0},      // sine below 0.05: no turn
        {6, 0, 0, 30},     // below 0.15: half rate
        {20, 0, 0, 60},    // full rate
        {-20, 0, 0, -60},  // to the right
        {178, 0, 60, 60},  // behind and slightly off: full pitch and yaw, no fine aiming
        {0, 10, 60, 0},    // above, sine ~0.196: full pitch
        {0, 5, 30, 0},     // sine ~0.0995: half rate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.degrees << " degrees, " << c.up << " up");
        ONEFISH f;
        const double a = c.degrees * 3.141592653589793 / 180.0;
        f.target = VECTOR3D{(float)(50 * std::sin(a)), c.up, (float)(50 * std::cos(a))};
        f.TurnToTarget(60.0f, 0.0f);
        EXPECT_EQ(std::make_pair(f.turnWanted.x, f.turnWanted.y), std::make_pair(c.pitch, c.yaw));
    }
}

TEST(Steering, PitchLimitsAndClampAndYawWraps) {
    // Already pitched towards a target well above: the closer to the limit, the slower.
    const float cases[][2] = {{42, 0}, {-42, 60}, {33, 30}, {37, 15}};
    for (const auto& c : cases) {
        ONEFISH h;
        Aim(&h, VECTOR3D{c[0], 0, 0});
        h.target = h.position + MatrixPointMultiply(h.orientation, VECTOR3D{0, 60, 10});
        h.TurnToTarget(60.0f, 0.0f);
        EXPECT_EQ(h.turnWanted.x, c[1]) << "pitch " << c[0];
    }
    // Whatever the turning speed, the pitch stays within 45 degrees.
    for (float sign : {1.0f, -1.0f}) {
        ONEFISH f;
        Aim(&f, VECTOR3D{44 * sign, 0, 0});
        f.turnVelocity.x = 500.0f * sign;
        f.target = VECTOR3D{0, 0, 50};
        f.TurnToTarget(60.0f, 0.1f);
        EXPECT_EQ(f.angles.x, 45.0f * sign);
    }
    // Yaw wraps at a full turn. Start, turning speed (eased to half: a quarter of it turned
    // in 0.5 s), yaw after.
    const float yaws[][3] = {{359, 12, 2}, {-359, -8, -1}};
    for (const auto& c : yaws) {
        ONEFISH f;
        Aim(&f, VECTOR3D{0, c[0], 0});
        f.target = f.position + f.direction * 50.0f;  // straight ahead: no wanted turn
        f.turnVelocity.y = c[1];
        f.TurnToTarget(60.0f, 0.5f);
        EXPECT_NEAR(f.angles.y, c[2], 1e-4);
        EXPECT_NEAR(f.direction.x, std::sin(c[2] * 3.141592653589793 / 180.0), 1e-4);  // follows the turn
    }
}

TEST(Steering, CollisionHandlesOnlyTheFirstFishMet) {
    FISHDATA species;  // only the radius matters here
    species.extent = 4.0f;
    ONEFISH all[3];
    const float x[3] = {0, 2, -2};  // fish 1 within 0.75 x 8; fish 2 as close, but met later
    for (int i = 0; i < 3; i++) {
        all[i].fishData = &species;
        all[i].action = FISH_CRUISING;
        all[i].position = VECTOR3D{x[i], 0, 0};
        all[i].target = VECTOR3D{7, 7, 7};
    }
    EXPECT_FALSE(all[0].CheckCollision(all, 3, 0.5f));
    // Fish 0 pushed away from fish 1 by dt x 0.5 and both sent apart; fish 2 untouched.
    const float x0 = all[0].position.x, x1 = all[1].position.x;
    EXPECT_EQ((std::vector<float>{x0, x1, all[0].target.x, all[1].target.x, all[2].target.x}),
              (std::vector<float>{-0.5f, 2, -2.5f * 15, 2.5f * 15, 7}));

    // A waiting fish is not an obstacle; a leaving one keeps its target and the other's.
    all[1].action = FISH_WAITING;
    all[0].position = VECTOR3D{};
    all[0].CheckCollision(all, 2, 0.5f);
    EXPECT_EQ(all[0].position.x, 0.0f);
    all[1].action = FISH_CRUISING;
    all[0].leaving = true;
    all[0].target = VECTOR3D{100, 0, 0};
    all[1].target = VECTOR3D{5, 5, 5};
    all[0].CheckCollision(all, 2, 0.5f);
    EXPECT_TRUE(all[0].position.x < 0.0f && all[0].target.x == 100.0f && all[1].target.x == 5.0f);
    for (ONEFISH& f : all) f.fishData = nullptr;
}

class Behaviour : public ::testing::Test {
protected:
    void SetUp() override {
        data = testsupport::LoadSpecies(dir.path(), SpeciesRecipe(), &species);
        ASSERT_NE(data, nullptr);
        for (ONEFISH& f : fish) ASSERT_TRUE(f.SetupFromFishData(data));
    }
    // A cruising fish at p heading along +z (angles zero), steady at speed.
    static void Place(ONEFISH* f, VECTOR3D p, float speed = 0.0f) {
        f->action = FISH_CRUISING;
        f->position = p;
        Aim(f, VECTOR3D{});
        f->currentSpeed = f->cruiseSpeed = speed;
        f->speedFactor = f->wantedFactor = 1.0f;
        f->turnVelocity = f->turnWanted = VECTOR3D{};
        f->actionTimer = 10.0f;
        f->target = VECTOR3D{p.x, p.y, p.z + 30.0f};
    }
    testsupport::TempDir dir;
    FISHINFO species;
    ONEFISH fish[3];
    FISHDATA* data = nullptr;
};

TEST_F(Behaviour, CeilingAndWallsHoldTheFishAndRetarget) {
    ONEFISH& f = fish[0];
    for (float level : {0.0f, 1.0f}) {
        Place(&f, VECTOR3D{0, 30, 0});
        f.Move(fish, 1, level, kDt, false, kView);
        EXPECT_NEAR(f.position.y, ONEFISH::Ceiling(level, data->extent, f.position.z), 1e-4) << level;
    }
    Place(&f, VECTOR3D{0, -10, 31.9f}, 30.0f);
    f.target = VECTOR3D{0, -10, 200};
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_EQ(f.position.z, 32.0f);
    EXPECT_LE(std::fabs(f.target.z), 20.0f);
    // A leaving fish keeps its target.
    Place(&f, VECTOR3D{0, -10, -31.9f}, 30.0f);
    Aim(&f, VECTOR3D{0, 180, 0});
    f.leaving = true;
    f.target = VECTOR3D{0, -10, -300};
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_TRUE(f.position.z == -32.0f && f.target.z == -300.0f);
    // A resting fish that reaches a wall swims on in the same frame.
    Place(&f, VECTOR3D{0, -10, 31.9f}, 30.0f);
    f.leaving = false;
    f.SetAction(FISH_RESTING);
    f.actionTimer = 8.0f;
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_TRUE(f.position.z == 32.0f && f.action == FISH_CRUISING && f.actionTimer == 20.0f);
}

TEST_F(Behaviour, StayOnScreenUndoesOnlyTheOffendingAxis) {
    ONEFISH& f = fish[0];
    // The rightmost x at y = 0, z = 0 where the whole fish is still in view.
    float edge = 0;
    while (kView.SphereIn(VECTOR3D{edge + 0.01f, 0, 0}, -data->extent)) edge += 0.01f;
    // At the edge, heading out at 10 units a second.
    auto start = [&](VECTOR3D direction, bool onScreen) {
        Place(&f, VECTOR3D{edge - 0.005f, 0, 0});
        f.direction = direction;
        f.currentSpeed = f.cruiseSpeed = 10.0f;
        f.onScreen = onScreen;
    };
    start(NormalizeVector(VECTOR3D{1, 0.2f, -0.1f}), true);
    VECTOR3D before = f.position;
    f.Move(fish, 1, 1.0f, 0.1f, true, kView);
    EXPECT_EQ(f.position.x, before.x);                                               // undone
    EXPECT_TRUE(f.position.y > before.y + 0.1f && f.position.z < before.z - 0.05f);  // kept
    EXPECT_LE(std::max({std::fabs(f.target.x), std::fabs(f.target.y), std::fabs(f.target.z)}), 20.0f);
    // Not yet wholly in view since entering, or without the setting: not held back.
    for (bool onScreen : {false, true}) {
        start(VECTOR3D{1, 0, 0}, onScreen);
        f.Move(fish, 1, 1.0f, 0.1f, !onScreen, kView);
        EXPECT_GT(f.position.x, edge + 0.9f);
    }
}

TEST_F(Behaviour, RestingCoastsEndsAndIsInterruptedByANearFish) {
    ONEFISH& f = fish[0];
    Place(&f, VECTOR3D{0, -10, 0});
    f.SetAction(FISH_RESTING);
    f.actionTimer = 5.0f;
    f.cruiseSpeed = 0.3f;
    f.Move(fish, 1, 1.0f, 0.5f, false, kView);
    EXPECT_FLOAT_EQ(f.cruiseSpeed, -0.2f);
    f.Move(fish, 1, 1.0f, 0.5f, false, kView);
    EXPECT_TRUE(f.cruiseSpeed == 0.0f && f.action == FISH_RESTING);
    VECTOR3D angles = f.angles;  // resting fish do not turn
    f.target = VECTOR3D{30, 0, -30};
    f.Move(fish, 1, 1.0f, 0.5f, false, kView);
    EXPECT_TRUE(f.angles.x == angles.x && f.angles.y == angles.y);
    f.actionTimer = 0.01f;  // the timer runs out: cruising again with a fresh leg
    f.Move(fish, 1, 1.0f, 0.1f, false, kView);
    EXPECT_TRUE(f.action == FISH_CRUISING && f.actionTimer == 20.0f);

    // A fish within twice the radius ends the rest; one farther away does not.
    const float reach = 2 * data->extent;
    for (float distance : {1.2f * reach, 3 * reach}) {
        Place(&fish[0], VECTOR3D{0, -10, 0});
        fish[0].SetAction(FISH_RESTING);
        fish[0].actionTimer = 8.0f;
        Place(&fish[1], VECTOR3D{distance, -10, 0});
        fish[0].Move(fish, 2, 1.0f, kDt, false, kView);
        EXPECT_EQ(fish[0].action, distance < reach * 2 ? FISH_CRUISING : FISH_RESTING) << distance;
    }
}

TEST_F(Behaviour, EyesRollOnlyWithBothJoints) {
    ONEFISH& f = fish[0];
    Place(&f, VECTOR3D{0, -10, 0});
    f.eyeTimer = 0.1f;
    f.eyeTarget = VECTOR3D{0, 20, -20};
    f.Move(fish, 1, 1.0f, 0.15f, false, kView);  // timer at -0.05: eyes turn
    EXPECT_NEAR(f.eyeAngles.y, 20.0f * 1.5f, 1e-4);
    const int left = data->eyeLeftJoint, right = data->eyeRightJoint;
    ASSERT_TRUE(left > 0 && right > 0);
    MATRIX expected = MatrixFromAngle(f.eyeAngles);
    for (int i = 0; i < 16; i++) {
        EXPECT_NEAR(f.joints[left].animMatrix.m[i], expected.m[i], 1e-12);
        EXPECT_NEAR(f.joints[right].animMatrix.m[i], TransposeMatrix(expected).m[i], 1e-12);
    }
}

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
