// Fish archives for tests: a bundled species' model, built by the content kit, packed
// with small solid skins; the header, the lumps and the model stay open to change.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FishBuilder.h"
#include "LumpWriter.h"
#include "SpeciesArchive.h"
#include "TgaWriter.h"

namespace testsupport {

struct SpeciesArchive {
    reefpack::Ms3dModelDesc model = reefpack::BuildFishModel(reefpack::BundledSpecies()[0]);
    reefpack::FishInfo info = reefpack::SpeciesFishInfo(reefpack::BundledSpecies()[0]);
    int skins = 2;
    std::vector<uint32_t> kinds;       // per skin lump; empty: all TGA
    std::vector<uint32_t> modes;       // per directory entry; empty: 0
    std::vector<uint8_t> modelBytes;   // replaces the model lump when not empty

    SpeciesArchive() { info.alphaMask = 0; }

    // An 8 x 8 skin of one colour; skin k has green 100 + 20 k, the mask is grey 128.
    static std::vector<uint8_t> Solid(uint8_t r, uint8_t g, uint8_t b) {
        std::vector<uint8_t> px(8 * 8 * 3);
        for (size_t i = 0; i < px.size(); i += 3) px[i] = r, px[i + 1] = g, px[i + 2] = b;
        return reefpack::EncodeTGA(px, 8, 8, 24, false);
    }

    std::vector<uint8_t> Bytes() const {
        reefpack::LumpWriter w;
        auto mode = [&](size_t lump) { return lump < modes.size() ? modes[lump] : 0u; };
        std::vector<uint8_t> m = modelBytes;
        if (m.empty()) reefpack::WriteMs3d(model, &m);
        w.AddLump(m, kLumpKindModel, mode(0));
        if (info.alphaMask) w.AddLump(Solid(128, 128, 128), kLumpKindTGA, mode(1));
        for (int k = 0; k < skins; k++)
            w.AddLump(Solid(200, static_cast<uint8_t>(100 + 20 * k), 50),
                      k < static_cast<int>(kinds.size()) ? kinds[k] : kLumpKindTGA, mode(w.Count()));
        return w.BuildFish(info);
    }
    bool Write(const std::string& path) const { return reefpack::WriteBytes(path, Bytes()); }
};

}  // namespace testsupport
