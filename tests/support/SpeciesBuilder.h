// Small fish archives for tests, built with the content kit's writers: a lozenge-shaped
// body on a root joint, optional eye joints with a triangle each, one swim and one rest
// key range, and solid-colour skins. LoadSpecies fills a catalogue entry from one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "LumpWriter.h"
#include "Ms3dWriter.h"
#include "TgaWriter.h"
#include "fish/FishData.h"

namespace fishtest {

struct SpeciesSpec {
    std::string displayName = "Test Fish";
    int skins = 2;
    bool mask = false;
    std::vector<uint32_t> skinKinds;     // per skin lump; empty: all TGA
    std::vector<uint32_t> modes;         // directory modes per lump index; empty: 0
    uint8_t modelScale = 100;
    uint8_t swimSpeed = 10;
    uint8_t turnRate = 60;
    uint8_t waterType = 0;
    uint32_t flags = 0;
    uint32_t animSpeed = 1000;
    uint32_t swimFrames = 10;
    uint32_t secondFrames = 6;
    // Body reach (model units) on each axis, before scaling: x, y, z (z is the nose).
    float reach[3] = {2.0f, 1.5f, 4.0f};
    float tail = -4.0f;                  // z of the tail tip
    std::vector<std::string> extraJoints = {"eyel", "eyer", "mouth"};  // children of "body"
    int skinSize = 8;                    // pixels a side
    uint8_t colour[3] = {230, 120, 40};
    bool sphereMapped = false;           // material mode bit 7
};

inline reefpack::Ms3dModelDesc BuildModel(const SpeciesSpec& spec)
{
    reefpack::Ms3dModelDesc m;
    m.animationFPS = 10.0f;
    m.totalFrames = 2 + spec.swimFrames + 1 + spec.secondFrames + 1;
    const float endTime = m.totalFrames / m.animationFPS;  // seconds

    int body = m.AddJoint("body", "");
    for (const std::string& name : spec.extraJoints) m.AddJoint(name, "body", 0, 0, 0, 0, 0.5f, 2.5f);
    for (auto& j : m.joints) {
        reefpack::Ms3dKey a, b;
        a.time = 0;
        b.time = endTime;
        j.rotKeys = {a, b};
        j.transKeys = {a, b};
    }
    // A slight wag of the body over the swim range.
    m.joints[body].rotKeys.insert(m.joints[body].rotKeys.begin() + 1,
                                  reefpack::Ms3dKey{0.6f, {0.0f, 0.2f, 0.0f}});

    m.materials.resize(1);
    m.materials[0].name = "skin";
    m.materials[0].mode = spec.sphereMapped ? (int8_t)0x80 : (int8_t)0;
    int g = m.AddGroup("body", 0);

    const float x = spec.reach[0], y = spec.reach[1], z = spec.reach[2];
    int nose = m.AddVertex(0, 0, z, body);
    int tail = m.AddVertex(0, 0, spec.tail, body);
    int top = m.AddVertex(0, y, 0, body);
    int bottom = m.AddVertex(0, -y, 0, body);
    int left = m.AddVertex(x, 0, 0, body);
    int right = m.AddVertex(-x, 0, 0, body);
    const int ring[4] = {top, left, bottom, right};
    for (int i = 0; i < 4; i++) {
        int a = ring[i], b = ring[(i + 1) % 4];
        int t1 = m.AddTriangle(nose, a, b, g);
        int t2 = m.AddTriangle(tail, b, a, g);
        for (int t : {t1, t2})
            for (int c = 0; c < 3; c++) {
                m.triangles[t].s[c] = 0.25f * c;
                m.triangles[t].t[c] = 0.5f;
            }
    }
    // Each extra joint carries one small triangle.
    for (size_t k = 0; k < spec.extraJoints.size(); k++) {
        int jointIndex = (int)k + 1;
        int a = m.AddVertex(0.2f, 0.6f, 2.4f, jointIndex);
        int b = m.AddVertex(0.3f, 0.7f, 2.5f, jointIndex);
        int c = m.AddVertex(0.2f, 0.8f, 2.4f, jointIndex);
        m.AddTriangle(a, b, c, g);
    }
    return m;
}

inline std::vector<uint8_t> SolidTGA(int size, const uint8_t rgb[3])
{
    std::vector<uint8_t> pixels((size_t)size * size * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = rgb[0];
        pixels[i + 1] = rgb[1];
        pixels[i + 2] = rgb[2];
    }
    return reefpack::EncodeTGA(pixels, size, size, 24, false);
}

inline reefpack::FishInfo HeaderOf(const SpeciesSpec& spec)
{
    reefpack::FishInfo info;
    info.displayName = spec.displayName;
    info.flags = spec.flags;
    info.waterType = spec.waterType;
    info.modelScale = spec.modelScale;
    info.alphaMask = spec.mask ? 1 : 0;
    info.swimSpeed = spec.swimSpeed;
    info.turnRate = spec.turnRate;
    info.animSpeed = spec.animSpeed;
    info.swimFrames = spec.swimFrames;
    info.secondFrames = spec.secondFrames;
    return info;
}

// The whole archive; modelOverride replaces lump 0 when not empty.
inline std::vector<uint8_t> BuildSpecies(const SpeciesSpec& spec,
                                         const std::vector<uint8_t>& modelOverride = {})
{
    reefpack::LumpWriter writer;
    std::vector<uint8_t> model = modelOverride;
    if (model.empty()) reefpack::WriteMs3d(BuildModel(spec), &model);
    auto modeOf = [&spec](size_t lump) { return lump < spec.modes.size() ? spec.modes[lump] : 0u; };
    writer.AddLump(model, kLumpKindModel, modeOf(0));
    if (spec.mask) {
        const uint8_t grey[3] = {128, 128, 128};
        writer.AddLump(SolidTGA(spec.skinSize, grey), kLumpKindTGA, modeOf(1));
    }
    for (int k = 0; k < spec.skins; k++) {
        uint32_t kind = k < (int)spec.skinKinds.size() ? spec.skinKinds[k] : kLumpKindTGA;
        uint8_t rgb[3] = {spec.colour[0], (uint8_t)(spec.colour[1] + 20 * k), spec.colour[2]};
        writer.AddLump(SolidTGA(spec.skinSize, rgb), kind, modeOf(writer.Count()));
    }
    return writer.BuildFish(HeaderOf(spec));
}

inline bool WriteSpecies(const std::string& path, const SpeciesSpec& spec)
{
    return reefpack::WriteBytes(path, BuildSpecies(spec));
}

// Writes spec as folder/fileName and loads it into *entry; the species, or null.
inline FISHDATA* LoadSpecies(const std::string& folder, const SpeciesSpec& spec, FISHINFO* entry,
                             const char* fileName = "test.fish")
{
    if (!WriteSpecies(folder + "/" + fileName, spec)) return nullptr;
    snprintf(entry->fileName, sizeof entry->fileName, "%s", fileName);
    snprintf(entry->folder, sizeof entry->folder, "%s/", folder.c_str());
    return entry->LoadData(entry->folder, 1.0f) ? entry->data : nullptr;
}

}  // namespace fishtest
