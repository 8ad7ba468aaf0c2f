// Bundled species to fish archive bytes.
#include "SpeciesArchive.h"

#include <cstdio>

#include "FishBuilder.h"
#include "SpeciesSkins.h"

namespace reefpack {

FishInfo SpeciesFishInfo(const SpeciesDesc& d) {
    FishInfo info;
    info.displayName = d.displayName;
    info.waterType = d.header.waterType;
    info.modelScale = d.header.modelScale;
    info.alphaMask = d.alphaMask ? 1 : 0;
    info.swimSpeed = d.header.swimSpeed;
    info.turnRate = d.header.turnRate;
    info.animSpeed = d.header.animSpeed;
    info.swimFrames = static_cast<uint32_t>(d.motion.swimFrames);
    info.secondFrames = static_cast<uint32_t>(d.motion.secondFrames);
    return info;
}

std::string SpeciesFileName(const SpeciesDesc& d) { return d.key + ".fish"; }

std::vector<uint8_t> BuildSpeciesArchive(const SpeciesDesc& d) {
    Ms3dModelDesc model = BuildFishModel(d);
    std::vector<uint8_t> modelBytes;
    std::string error;
    if (!WriteMs3d(model, &modelBytes, &error)) {
        std::fprintf(stderr, "reefpack: species %s: %s\n", d.key.c_str(), error.c_str());
        return {};
    }
    LumpWriter w;
    w.AddLump(std::move(modelBytes), kLumpKindModel, 0);
    if (d.alphaMask) w.AddLump(PaintSpeciesMask(d).EncodeTga(24, true), kLumpKindTGA, 0);
    for (const Image& skin : PaintSpeciesSkins(d)) w.AddLump(skin.EncodeTga(24, true), kLumpKindTGA, 0);
    return w.BuildFish(SpeciesFishInfo(d));
}

}  // namespace reefpack
