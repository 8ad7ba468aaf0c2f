// `reefpack pack`: a person's own MilkShape 3D model and TGA skins into a fish archive,
// refused with a reason when the engine would not load it.
#include <fstream>
#include <iterator>

#include "ArchiveCheck.h"
#include "ArchiveTools.h"
#include "LumpWriter.h"
#include "image/Texture.h"
#include "model/MilkshapeModel.h"

namespace reefpack {
namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes->empty()) {
        *error = path + " is empty";
        return false;
    }
    return true;
}

bool InRange(int v, int lo, int hi, const char* what, std::string* error) {
    if (v >= lo && v <= hi) return true;
    *error = std::string(what) + " must lie between " + std::to_string(lo) + " and " + std::to_string(hi);
    return false;
}

// Decodes an image file with the engine's decoder and checks what every skin needs.
bool CheckImage(const std::string& path, const char* what, Texture* tex, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    if (!DecodeImage(&in, tex, std::string(what) + " " + path, error)) return false;
    if (!IsPowerOfTwo(tex->width) || !IsPowerOfTwo(tex->height)) {
        *error = std::string(what) + " " + path + " is " + std::to_string(tex->width) + " x " +
                 std::to_string(tex->height) + "; OpenGL 1.x needs power-of-two sides";
        return false;
    }
    return true;
}

}  // namespace

bool PackFish(const PackOptions& opt, std::string* error, std::string* warnings) {
    if (opt.name.empty() || opt.name.size() > 39) {
        *error = "the display name must have 1 to 39 bytes";
        return false;
    }
    if (opt.name.find(';') != std::string::npos) {
        *error = "the display name may not contain ';' (it separates the fields of the download list)";
        return false;
    }
    if (opt.outPath.empty()) {
        *error = "no output file given";
        return false;
    }
    if (opt.skins.empty()) {
        *error = "at least one skin is needed";
        return false;
    }
    if (!InRange(opt.waterType, 0, 1, "water type", error) || !InRange(opt.modelScale, 1, 255, "model scale", error) ||
        !InRange(opt.swimSpeed, 0, 255, "swimming speed", error) ||
        !InRange(opt.turnRate, 0, 255, "turning rate", error) ||
        !InRange(opt.animSpeed, 1, 100000, "animation speed", error) ||
        !InRange(opt.swimFrames, 1, 100000, "swim frames", error) ||
        !InRange(opt.secondFrames, 1, 100000, "rest frames", error))
        return false;

    // The model, read by the engine's own loader.
    std::vector<uint8_t> modelBytes;
    if (!ReadFile(opt.modelPath, &modelBytes, error)) return false;
    {
        std::ifstream in(opt.modelPath, std::ios::binary);
        MS3D model;
        if (!model.LoadFromFStream(&in)) {
            *error = "the engine does not load the model " + opt.modelPath;
            return false;
        }
        float extent = 0;
        if (!CheckModel(model, opt.swimFrames, opt.secondFrames, error, warnings) ||
            !PrepareModel(&model, opt.modelScale, &extent, error)) {
            *error = opt.modelPath + ": " + *error;
            return false;
        }
        // The tank is about 80 units across; the extent is the species' radius there.
        if (extent < 1.5f || extent > 15.0f)
            *warnings += "the scaled model reaches " + std::to_string(extent) +
                         " units from its centre; fish of 8 to 16 units long read well\n";
    }

    LumpWriter w;
    // Without a mask the loader takes the texture mode of skin k from directory entry k
    // (one before the skin's own entry), so each skin's mode is stored there.
    auto modeOf = [&](size_t k) { return k < opt.modes.size() ? opt.modes[k] : 0u; };
    bool mask = !opt.maskPath.empty();
    w.AddLump(modelBytes, kLumpKindModel, mask ? 0 : modeOf(0));
    Texture maskTex;
    if (mask) {
        std::vector<uint8_t> bytes;
        if (!CheckImage(opt.maskPath, "mask", &maskTex, error) || !ReadFile(opt.maskPath, &bytes, error)) return false;
        if (maskTex.bpp != 24) {
            *error = "mask " + opt.maskPath + " must be a 24-bit image (its red channel is the alpha)";
            return false;
        }
        w.AddLump(std::move(bytes), kLumpKindTGA, 0);
    }
    for (size_t k = 0; k < opt.skins.size(); ++k) {
        Texture skin;
        std::vector<uint8_t> bytes;
        if (!CheckImage(opt.skins[k], "skin", &skin, error) || !ReadFile(opt.skins[k], &bytes, error)) return false;
        if (mask && (skin.bpp != 24 || skin.width != maskTex.width || skin.height != maskTex.height)) {
            *error = "skin " + opt.skins[k] + " must be a 24-bit image of the mask's size (" +
                     std::to_string(maskTex.width) + " x " + std::to_string(maskTex.height) + ")";
            return false;
        }
        if (!mask && modeOf(k) > 2) *warnings += "texture mode " + std::to_string(modeOf(k)) + " acts as 0\n";
        w.AddLump(std::move(bytes), kLumpKindTGA, mask ? 0 : modeOf(k + 1));
    }

    FishInfo info;
    info.displayName = opt.name;
    info.waterType = static_cast<uint8_t>(opt.waterType);
    info.modelScale = static_cast<uint8_t>(opt.modelScale);
    info.alphaMask = mask ? 1 : 0;
    info.swimSpeed = static_cast<uint8_t>(opt.swimSpeed);
    info.turnRate = static_cast<uint8_t>(opt.turnRate);
    info.animSpeed = static_cast<uint32_t>(opt.animSpeed);
    info.swimFrames = static_cast<uint32_t>(opt.swimFrames);
    info.secondFrames = static_cast<uint32_t>(opt.secondFrames);
    if (!w.WriteFish(opt.outPath, info)) {
        *error = "cannot write " + opt.outPath;
        return false;
    }
    return true;
}

}  // namespace reefpack
