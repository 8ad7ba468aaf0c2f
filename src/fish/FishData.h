// One species: its catalogue entry (FISHINFO) and, once loaded, its data (FISHDATA):
// skins, the shared animation template, the prototype fish whose geometry every fish of
// the species borrows, and the behaviour parameters of the archive header.
// Leans on FishFile (archive), MilkshapeModel / AnimTemplate / ModelMain (model),
// TGALoader / Texture (skins) and fish/Fish.h (the prototype).
#pragma once

#include <cstdint>

struct Texture;
class ANIMATIONTEMPLATE;
class ONEFISH;
class FISHFILE;

// Longest species display name, terminating zero included.
#define FISH_NAME_SIZE 40
// Folder and file-name buffers of a catalogue entry.
#define FISH_PATH_SIZE 16384

struct FISHDATA {
    int32_t numTextures = 0;
    Texture* textures = nullptr;                // owned; skin k = k-th image of the archive
    ANIMATIONTEMPLATE* animTemplate = nullptr;  // owned; shared by all fish of the species
    float swimSpeed = 0.0f;                     // units per second, size factor applied
    int32_t turnRate = 0;                       // degrees per second
    int32_t animSpeed = 0;                      // playback speed of the swim cycle
    int32_t swimFrames = 0;                     // swim cycle spans frames 2 .. swimFrames + 2
    int32_t secondFrames = 0;                   // rest cycle length, from frame swimFrames + 3
    ONEFISH* prototype = nullptr;               // owned; fish borrow its groups and indices
    float size = 1.0f;                          // size factor given to Load
    float extent = 0.0f;                        // largest |coordinate| of the scaled model
    int32_t eyeLeftJoint = 0;                   // joint "eyel", 0 if none
    int32_t eyeRightJoint = 0;                  // joint "eyer", 0 if none
    int32_t mouthJoint = 0;                     // joint "mouth", 0 if none

    FISHDATA() = default;
    ~FISHDATA();
    FISHDATA(const FISHDATA&) = delete;
    FISHDATA& operator=(const FISHDATA&) = delete;

    // Reads the species from the open archive. False when the model, a skin or the
    // prototype cannot be had; what was built stays for the destructor.
    bool Load(FISHFILE* archive, float size);
    // Frees everything (the skins' GL textures too); safe to repeat.
    void Cleanup();
    // True when a fish can be set up from this data: template, skins and a prototype
    // with its geometry.
    bool Complete() const;
};

struct FISHINFO {
    char folder[FISH_PATH_SIZE];       // ends in "/"
    char fileName[FISH_PATH_SIZE];     // within folder
    char displayName[FISH_NAME_SIZE];  // from the archive header
    FISHDATA* data = nullptr;          // owned; null until loaded (or when loading failed)
    bool loaded = false;               // LoadData has run (data null: it failed)
    uint8_t waterType = 0;             // 0 saltwater, 1 freshwater
    uint32_t flags = 0;                // header flags
    bool selected = true;              // may be placed in the tank

    FISHINFO();
    ~FISHINFO();
    FISHINFO(const FISHINFO&) = delete;
    FISHINFO& operator=(const FISHINFO&) = delete;

    // Loads the species once, from folder + fileName, scaled by size (fish size / 100).
    // A species that does not load completely is dropped (data null) and reports false,
    // now and on every later call, so that no fish is ever set up from partial data.
    bool LoadData(const char* folder, float size);
    // Releases the data; the entry can be loaded again.
    void Unload();
};
