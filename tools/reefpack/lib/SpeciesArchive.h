// Packing a bundled species into a fish archive: model in lump 0, then the shared fin
// mask (species with translucent fins) and the skins, all as TGA lumps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LumpWriter.h"
#include "Species.h"

namespace reefpack {

// Header fields of a bundled species' archive.
FishInfo SpeciesFishInfo(const SpeciesDesc& desc);
// The whole archive; empty (with one line on stderr) if the model does not serialise.
std::vector<uint8_t> BuildSpeciesArchive(const SpeciesDesc& desc);
// File name in the resource folder: the species key plus ".fish".
std::string SpeciesFileName(const SpeciesDesc& desc);

}  // namespace reefpack
