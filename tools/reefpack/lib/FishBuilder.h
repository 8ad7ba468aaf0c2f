// Procedural fish models: a body lofted along a spine of joints, median, tail and paired
// fins, eyes as small spheres on their own joints, texture coordinates into the skin
// layout of SkinLayout.h. Head at +z, back at +y, the fish's left side at +x.
#pragma once
#include <vector>

#include "Ms3dWriter.h"
#include "Species.h"

namespace reefpack {

// Joint indices of a built fish, for the keyframe generator.
struct FishRig {
    std::vector<int> spine;  // head joint first, then towards the tail
    int caudal = -1;
    int mouth = -1, eyeLeft = -1, eyeRight = -1;
    int pectLeft = -1, pectRight = -1;
};

// Smooth (monotone cubic) sampling of a species' body profile at s in [0, 1].
ProfilePoint SampleProfile(const std::vector<ProfilePoint>& profile, float s);

// Builds the geometry and skeleton (no keys yet). Joints are listed parent before child.
void BuildFishGeometry(const SpeciesDesc& desc, Ms3dModelDesc* model, FishRig* rig);

// Geometry plus the swim and rest cycles (FishMotion.cpp).
void AddFishMotion(const SpeciesDesc& desc, const FishRig& rig, Ms3dModelDesc* model);
Ms3dModelDesc BuildFishModel(const SpeciesDesc& desc);

}  // namespace reefpack
