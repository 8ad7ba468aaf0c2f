// The shared species archive builder (test_support.h) under the fish tests' names, and
// LoadSpecies, which fills a catalogue entry from one written archive.
#pragma once

#include <cstdio>
#include <string>

#include "fish/FishData.h"
#include "test_support.h"

namespace fishtest {

using testsupport::BuildSpecies;
using testsupport::SpeciesRecipe;
using testsupport::WriteSpecies;

// Writes the recipe as folder/fileName and loads it into *entry; the species, or null.
inline FISHDATA* LoadSpecies(const std::string& folder, const SpeciesRecipe& recipe, FISHINFO* entry,
                             const char* fileName = "test.fish") {
    if (!WriteSpecies(folder + "/" + fileName, recipe)) return nullptr;
    snprintf(entry->fileName, sizeof entry->fileName, "%s", fileName);
    snprintf(entry->folder, sizeof entry->folder, "%s/", folder.c_str());
    return entry->LoadData(entry->folder, 1.0f) ? entry->data : nullptr;
}

}  // namespace fishtest
