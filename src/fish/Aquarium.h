// The fish tank: the fish array, the species catalogue with the user's selection, and the
// bubble pool. Aquarium.cpp holds population and the frame step, Catalogue.cpp the
// catalogue, Bubbles.cpp the bubbles; a fish's own behaviour lives in Fish*.cpp.
#pragma once

#include <cstdint>

#include "fish/Bubbles.h"
#include "math/GLStuff.h"
#include "math/NiftyMaths.h"

struct SETTINGS;
struct FISHINFO;
class ONEFISH;

// Number of valid fish archives with the suffix in both folders (either may be null or
// empty). Folder paths are used as given: a file path is folder + name.
int CountFiles(const char* folder1, const char* folder2, const char* suffix);

// Longest item of the selection text (file name) that is looked up; a longer item is
// skipped whole, never cut.
#define SELECTION_ITEM_MAX 55

class AQUARIUM {
public:
    AQUARIUM();
    ~AQUARIUM();  // Cleanup, then CleanupFishList
    AQUARIUM(const AQUARIUM&) = delete;
    AQUARIUM& operator=(const AQUARIUM&) = delete;

    // Fills the tank from the settings; takes over (frees) settings->fishSelection.
    // False when no catalogue can be built, the fish cannot be allocated, or no species
    // of the catalogue loads.
    bool Setup(SETTINGS* settings);
    // One frame: level is the water level 0..1, dt the frame time in seconds, view the
    // camera's view volume (fish stay in it, leave it, or pick targets by it).
    void Move(float level, float dt, const FRUSTUM& view);
    // Every active fish (far ones first); bubbles only in the ordinary pass.
    void Draw(bool causticPass);
    // Fish in ascending z, so the farthest are drawn first.
    void Sort();
    // Destroys the fish and the selection; safe to repeat.
    void Cleanup();

    // Catalogue (Catalogue.cpp).
    // Copies the two folders, appending "/" to a path of 3 or more characters that lacks one.
    void SetFishPaths(const char* path1, const char* path2);
    bool BuildFishList();
    int FindFish(const char* fileName) const;
    bool FindFishSelection(const char* text, int length);
    bool FishFileExists(const char* displayName) const;
    void CleanupFishList();

    // Bubbles (Bubbles.cpp).
    void AddBubbles(int count, VECTOR3D at);
    void MoveBubbles(float dt, float level);
    void DrawBubbles();

    ONEFISH* fish = nullptr;  // owned array of numFish fish
    int64_t numFish = 3;
    FISHINFO* fishInfo = nullptr;  // owned catalogue
    int32_t fishInfoCount = 0;
    int32_t catalogueSpare = 0;
    float leaveTimer = 0.0f;           // seconds until the school leaves the view
    char fishPath[1024];               // bundled species, ends in "/"
    char fishPath2[1024];              // per-user species (downloads), ends in "/"
    int32_t* selectionList = nullptr;  // owned: catalogue indices the user chose
    int32_t selectionCount = 0;
    ONEPARTICLE bubbles[MAX_BUBBLES];
    float emitTimer = 0.0f;    // seconds until the next puff
    float sourceTimer = 0.0f;  // seconds until the emitter toggles and moves
    VECTOR3D bubbleSource;
    bool emitting = true;
    uint32_t bubbleTexture = 0;     // GL name, set by the scene after Setup
    float bubbleBrightness = 1.0f;  // 1 - the scene's fade: bubbles dim with the fish behind the title card
    bool wantBubbles = true;
    float sizeFactor = 1.0f;  // fish size setting / 100
    bool stayOnScreen = false;

private:
    int PickSpecies(const int32_t* pool, int poolCount, bool* failed);
    VECTOR3D LeavingTarget(float level, const FRUSTUM& view);
};

// Depth order of two fish for qsort: by position.z, ascending.
int compare_depth(const void* a, const void* b);
