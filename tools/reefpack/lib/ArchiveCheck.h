// Checks shared by pack, inspect and validate: a loaded model against the frame ranges a
// fish archive's header promises, and TGA images decoded with the engine's decoder.
#pragma once
#include <cstdint>
#include <istream>
#include <string>

class MS3D;
struct Texture;

namespace reefpack {

// Errors: nothing to draw, frame ranges past the model's last frame. Warnings (loads,
// but may look wrong): missing "eyel"/"eyer"/"mouth", joints keyed on one kind only or
// not keyed at both ends of a range.
bool CheckModel(const MS3D& model, int swimFrames, int secondFrames, std::string* error, std::string* warnings);

// Runs the model through what species loading does with it (scale by modelScale / 100,
// skeleton setup, the shared animation template, a drawable instance); false with a
// reason when the engine would not get a fish out of it. *extent: the largest absolute
// coordinate after scaling (the species' radius in the tank).
bool PrepareModel(MS3D* model, int modelScale, float* extent, std::string* error);

// Decodes a TGA from the stream into tex, refusing a side over maxSide (the engine's
// limit for what it is: kSkinMaxSide for skins and masks); false with a reason.
bool DecodeImage(std::istream* in, Texture* tex, const std::string& what, std::string* error, uint32_t maxSide = 4096);

bool IsPowerOfTwo(uint32_t v);

}  // namespace reefpack
