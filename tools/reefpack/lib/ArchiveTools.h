// The kit's commands on archives: pack a person's own model and skins into a fish
// archive, inspect any archive, validate archives with the engine's own readers, and
// write the download list for a folder of fish archives.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace reefpack {

struct PackOptions {
    std::string modelPath;           // MilkShape 3D model (version 3 or 4)
    std::vector<std::string> skins;  // TGA skins, in order
    std::vector<uint32_t> modes;     // texture mode per skin (missing: 0)
    std::string maskPath;            // optional greyscale TGA: translucency shared by all skins
    std::string name;                // display name, at most 39 bytes
    std::string outPath;
    int waterType = 0;      // 0 saltwater, 1 freshwater
    int modelScale = 100;   // percent
    int swimSpeed = 8;      // units per second
    int turnRate = 60;      // degrees per second
    int animSpeed = 1000;   // 1000 plays the swim cycle at the model's own rate
    int swimFrames = -1;    // swim cycle: frames 2 .. swimFrames + 2
    int secondFrames = -1;  // rest cycle: frames swimFrames + 3 .. + secondFrames
};

// Builds and writes the archive; false with the reason in *error (nothing written).
// Warnings (things that load but may look wrong) go to *warnings, one per line.
bool PackFish(const PackOptions& opt, std::string* error, std::string* warnings);

// Prints header, directory and, for a fish archive, the model's counts, joints and
// frame ranges. False with the reason in *error when the file is not a readable archive.
bool InspectArchive(const std::string& path, FILE* out, std::string* error);

// Opens the archive with the engine's reader, loads its model and decodes every image;
// false with the first reason in *error. *summary: one line on what was checked.
bool ValidateArchive(const std::string& path, std::string* summary, std::string* error);

// Writes the download list (an XML property list: an array of "name;address" strings)
// for every fish archive in dir that validates, addresses formed from baseUrl and the
// file name; written atomically.
bool WriteDownloadList(const std::string& dir, const std::string& baseUrl, const std::string& outPath, int* count,
                       std::string* error);

// The download list of a folder of fish archives as a fish source: written (atomically) to
// dir/mac/zips/fish/fishTypes14.plist with addresses relative to it, so that dir's own
// address (http:// or file://) is the source. Archives that fail validation are left out
// with a line on stderr.
bool WriteIndex(const std::string& dir, std::string* outPath, int* count, std::string* error);

}  // namespace reefpack
