// The painted skins of the bundled species (at least two each) and the shared fin mask
// of the species that have translucent fins.
#pragma once
#include <vector>

#include "Image.h"
#include "Species.h"

namespace reefpack {

std::vector<Image> PaintSpeciesSkins(const SpeciesDesc& desc);
// Only for species with alphaMask set.
Image PaintSpeciesMask(const SpeciesDesc& desc);

}  // namespace reefpack
