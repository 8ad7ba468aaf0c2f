// The tank's population and frame step: species for each fish, fish entering one by one,
// the school leaving the view now and then, depth sorting and drawing. Leans on the
// catalogue (Catalogue.cpp), ONEFISH (Fish.h) and the view volume the scene passes in.
#include "fish/Aquarium.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "fish/FishData.h"
#include "fish/Fish.h"
#include "math/GLStuff.h"
#include "math/Misc.h"
#include "settings/Settings.h"

AQUARIUM::AQUARIUM() {
    fishPath[0] = '\0';
    fishPath2[0] = '\0';
}

AQUARIUM::~AQUARIUM() {
    Cleanup();
    CleanupFishList();
}

int AQUARIUM::PickSpecies(const int32_t* pool, int poolCount, bool* failed) {
    std::vector<int32_t> candidates;
    for (;;) {
        candidates.clear();
        for (int i = 0; i < poolCount; i++) {
            int k = pool ? pool[i] : i;
            if (k >= 0 && k < fishInfoCount && !failed[k]) candidates.push_back(k);
        }
        if (candidates.empty()) return -1;
        int k = candidates[rand() % (int)candidates.size()];
        if (fishInfo[k].LoadData(fishInfo[k].folder, sizeFactor)) return k;
        // Like an archive that does not open: choose again among the others.
        failed[k] = true;
    }
}

bool AQUARIUM::Setup(SETTINGS* settings) {
    if (!settings) return false;
    Cleanup();

    numFish = settings->MAX_FISH > 0 ? settings->MAX_FISH : 0;
    wantBubbles = settings->WANTBUBBLES;
    sizeFactor = (float)(settings->LFISHSIZE / 100.0);
    SetFishPaths(settings->FishPath, settings->FishPath2);
    stayOnScreen = settings->STAYONSCREEN;

    if (!BuildFishList()) return false;

    int64_t size = settings->selectionSize;
    if (size > 0x7fffffff) size = 0x7fffffff;
    FindFishSelection(settings->fishSelection, (int)(size > 0 ? size : 0));
    // The settings record gives its selection buffer up here.
    free(settings->fishSelection);
    settings->fishSelection = nullptr;
    settings->selectionSize = 0;

    fish = new (std::nothrow) ONEFISH[numFish > 0 ? numFish : 1];
    if (!fish) {
        ERRORCLOSE("Unable to allocate memory!");
        numFish = 0;
        return false;
    }

    bool* failed = new (std::nothrow) bool[fishInfoCount]();
    if (!failed) {
        ERRORCLOSE("Unable to allocate memory!");
        return false;
    }
    for (int64_t i = 0; i < numFish; i++) {
        int k = -1;
        if (selectionList && selectionCount > 0) k = PickSpecies(selectionList, selectionCount, failed);
        // When none of the chosen species loads, any species beats an empty tank.
        if (k < 0) k = PickSpecies(nullptr, fishInfoCount, failed);
        if (k < 0) {
            ERRORCLOSE("No Fish Data Found!");
            fprintf(stderr, "reefmere: no fish species could be loaded\n");
            delete[] failed;
            return false;
        }
        fish[i].SetupFromFishData(fishInfo[k].data);
        if (settings->RANDOMSIZES) {
            fish[i].RevertPoints(fish[i].joints);
            fish[i].scale = (float)((rand() % 70) / 100.0 + 0.3);  // 0.3 to 0.99
            fish[i].UpdateSkeleton();
            fish[i].UpdatePoints(fish[i].joints);
        }
    }
    delete[] failed;

    leaveTimer = (float)(rand() % 600 + 60);  // seconds
    return true;
}

int compare_depth(const void* a, const void* b) {
    float za = static_cast<const ONEFISH*>(a)->position.z;
    float zb = static_cast<const ONEFISH*>(b)->position.z;
    if (za > zb) return 1;
    if (zb > za) return -1;
    return 0;
}

void AQUARIUM::Sort() {
    // Fish own only heap pointers, never pointers into themselves, so qsort may move them.
    if (fish && numFish > 1) qsort(static_cast<void*>(fish), (size_t)numFish, sizeof(ONEFISH), compare_depth);
}

VECTOR3D AQUARIUM::LeavingTarget(float level, const FRUSTUM& view) {
    // Up to 100 random points across the tank; the first one well out of view wins.
    VECTOR3D t;
    for (int tries = 0; tries < 100; tries++) {
        t.z = (float)((rand() % 400) / 10.0 - 20.0);
        t.y = ONEFISH::TargetHeight(level);
        t.x = (float)((rand() % 800) / 10.0 - 40.0);
        if (!view.SphereIn(t, 15.0f)) return t;
    }
    // The tank's points lie mostly in view (on a wide screen all of them), so the last
    // one is slid sideways until it is 15 units beyond the view's edge: the school
    // really leaves. 1-unit steps, at most 200 units out.
    const float side = t.x < 0.0f ? -1.0f : 1.0f;
    while (view.SphereIn(t, 15.0f) && std::fabs(t.x) < 200.0f) t.x += side;
    return t;
}

void AQUARIUM::Move(float level, float dt, const FRUSTUM& view) {
    if (fish) {
        Sort();

        if (!stayOnScreen) {
            leaveTimer -= dt;
            if (leaveTimer < 0.0f) {
                leaveTimer = (float)(rand() % 1200 + 60);
                for (int64_t i = 0; i < numFish; i++) {
                    ONEFISH& f = fish[i];
                    if (!f.fishData) continue;
                    f.SetAction(FISH_CRUISING);
                    f.wantedFactor = (float)((rand() % 20) / 10.0 + 3.5);
                    f.actionTimer = (float)(rand() % 10 + 15);  // seconds
                    f.leaving = true;
                    f.target = LeavingTarget(level, view);
                }
            }
        }

        for (int64_t i = 0; i < numFish; i++) {
            ONEFISH& f = fish[i];
            if (!f.fishData) continue;  // never set up: stays out of the tank
            if (f.action > 0) {
                f.Move(fish, (long)numFish, level, dt, stayOnScreen, view);
            } else if (rand() % 10 == 1) {
                f.Reset();
                f.SetAction(FISH_CRUISING);
                VECTOR3D t;
                t.z = (float)((rand() % 400) / 10.0 - 20.0);
                t.y = ONEFISH::TargetHeight(level);
                t.x = (float)((rand() % 400) / 10.0 - 20.0);
                f.target = t;
            }
        }
    }

    if (wantBubbles) MoveBubbles(dt, level);
}

void AQUARIUM::Draw(bool causticPass) {
    if (fish)
        for (int64_t i = 0; i < numFish; i++)
            if (fish[i].action != FISH_WAITING && fish[i].fishData) fish[i].Draw(causticPass);
    if (wantBubbles && !causticPass) DrawBubbles();
}

void AQUARIUM::Cleanup() {
    // Each fish gives back the species' groups and indices before it goes.
    delete[] fish;
    fish = nullptr;
    free(selectionList);
    selectionList = nullptr;
    selectionCount = 0;
}
