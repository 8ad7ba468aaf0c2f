// `reefpack inspect` and `reefpack validate`: archives read through the engine's own
// readers (FISHFILE, RESFILE, the MS3D loader and the TGA decoder).
#include <cstdio>
#include <cstring>
#include <fstream>

#include "ArchiveCheck.h"
#include "ArchiveTools.h"
#include "data/FishFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "math/RegularFile.h"
#include "model/MilkshapeModel.h"

namespace reefpack {
namespace {

enum class Kind { Unknown, Fish, Resource };

Kind Sniff(const std::string& path) {
    std::ifstream in;
    if (!OpenRegularStream(&in, path.c_str())) return Kind::Unknown;
    char head[44] = {};
    in.read(head, sizeof head);
    if (in.gcount() >= 4 && std::memcmp(head, "KELP", 4) == 0) return Kind::Resource;
    if (in.gcount() >= 44 && std::memcmp(head + 40, "FISH", 4) == 0) return Kind::Fish;
    return Kind::Unknown;
}

// Names come from the archive: control bytes (terminal escapes) are shown as \xNN.
std::string Printable(const char* text, size_t most) {
    std::string out;
    for (size_t i = 0; i < most && text[i]; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f || c == '\\') {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Name40(const char* name) { return Printable(name, 40); }

// Width, height, bits and type of a TGA lump from its first 18 bytes.
std::string TgaLine(std::istream& in) {
    unsigned char h[18] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() != 18) return "short image";
    return "TGA type " + std::to_string(h[2]) + ", " + std::to_string(h[12] | h[13] << 8) + " x " +
           std::to_string(h[14] | h[15] << 8) + ", " + std::to_string(h[16]) + " bits";
}

std::string JointName(const char* n) { return Printable(n, 32); }

void PrintModel(const MS3D& m, int swimFrames, int secondFrames, FILE* out) {
    std::fprintf(out, "model: %u vertices, %u triangles, %u groups, %u materials, %u joints\n", m.numVertices,
                 m.numTriangles, m.numGroups, m.numMaterials, m.numJoints);
    std::fprintf(out, "animation: %d frames at %g frames per second\n", m.totalFrames, m.animationFPS);
    // Header counts can be anything: summed in 64 bits.
    const long long swim = swimFrames, rest = secondFrames;
    std::fprintf(out, "swim cycle: frames 2 to %lld; rest cycle: frames %lld to %lld\n", swim + 2, swim + 3,
                 swim + 3 + rest);
    for (int g = 0; g < m.numGroups; ++g)
        std::fprintf(out, "  group %d \"%s\": %u triangles, material %d\n", g, JointName(m.groups[g].name).c_str(),
                     m.groups[g].numTriangles, m.groups[g].materialIndex);
    for (int j = 0; j < m.numJoints; ++j) {
        const MS3DJOINT& jt = m.joints[j];
        std::fprintf(out, "  joint %d \"%s\" parent \"%s\": %u rotation keys, %u translation keys\n", j,
                     JointName(jt.name).c_str(), JointName(jt.parentName).c_str(), jt.numRotKeys, jt.numTransKeys);
    }
}

bool InspectFish(const std::string& path, FILE* out, std::string* error) {
    FISHFILE f;
    if (!f.Open(path.c_str())) {
        *error = "not a fish archive the engine opens (magic, size check, version, flags or directory)";
        return false;
    }
    const FISHHEADER& h = f.header;
    std::fprintf(out, "fish archive \"%s\", format %u.%u, flags 0x%08x, %u bytes\n", Name40(h.name).c_str(),
                 h.versionMajor, h.versionMinor, h.flags, f.fileSize);
    std::fprintf(out, "water %u (%s), model scale %u, alpha mask %u, swimming speed %u, turning rate %u\n", h.waterType,
                 h.waterType == 0   ? "saltwater"
                 : h.waterType == 1 ? "freshwater"
                                    : "other",
                 h.modelScale, h.alphaMask, h.swimSpeed, h.turnRate);
    std::fprintf(out, "animation speed %u, swim frames %u, rest frames %u\n", h.animSpeed, h.swimFrames,
                 h.secondFrames);
    std::fprintf(out, "%u lumps, directory at %u\n", h.lumpCount, h.dirOffset);
    for (int k = 0; k < f.LumpCount(); ++k) {
        const FISHLUMP& l = f.lumps[k];
        std::string what = "data";
        if (f.SeekLump(k)) what = l.kind == kLumpKindTGA ? TgaLine(f.stream) : (k == 0 ? "model" : "data");
        std::fprintf(out, "  lump %d: offset %u, %u bytes, kind %u, mode %u: %s\n", k, l.offset, l.length, l.kind,
                     l.mode, what.c_str());
    }
    MS3D model;
    if (!f.SeekLump(0) || !model.LoadFromFStream(&f.stream)) {
        *error = "lump 0 is not a model the engine loads";
        return false;
    }
    PrintModel(model, static_cast<int>(h.swimFrames), static_cast<int>(h.secondFrames), out);
    return true;
}

bool InspectResource(const std::string& path, FILE* out, std::string* error) {
    RESFILE f;
    if (!f.Open(path.c_str())) {
        *error = "not a resource archive the engine opens (magic, size check or directory)";
        return false;
    }
    std::fprintf(out, "resource archive, %u bytes, %u lumps, directory at %u\n", f.fileSize, f.header.lumpCount,
                 f.header.dirOffset);
    for (int k = 0; k < f.LumpCount(); ++k) {
        const RESLUMP& l = f.lumps[k];
        std::string what = "data";
        if (l.kind == kLumpKindTGA && f.SeekLump(k)) what = TgaLine(f.stream);
        std::fprintf(out, "  slot %d: offset %u, %u bytes, kind %u, mode %u: %s\n", k, l.offset, l.length, l.kind,
                     l.mode, what.c_str());
    }
    return true;
}

bool ValidateFish(const std::string& path, std::string* summary, std::string* error) {
    FISHFILE f;
    if (!f.Open(path.c_str())) {
        *error = "not a fish archive the engine opens (magic, size check, version, flags or directory)";
        return false;
    }
    const FISHHEADER& h = f.header;
    MS3D model;
    if (!f.SeekLump(0) || !model.LoadFromFStream(&f.stream)) {
        *error = "lump 0 is not a model the engine loads";
        return false;
    }
    std::string warnings;
    float extent = 0;
    if (!CheckModel(model, static_cast<int>(h.swimFrames), static_cast<int>(h.secondFrames), error, &warnings) ||
        !PrepareModel(&model, h.modelScale, &extent, error))
        return false;
    int first = h.alphaMask ? 2 : 1;
    int skins = f.LumpCount() - first;
    if (skins < 1) {
        *error = "no skins after the model" + std::string(h.alphaMask ? " and the mask" : "");
        return false;
    }
    Texture mask;
    if (h.alphaMask) {
        if (!f.SeekLump(1) || !DecodeImage(&f.stream, &mask, "mask (lump 1)", error, kSkinMaxSide)) return false;
        if (mask.bpp != 24) {
            *error = "the mask (lump 1) is not a 24-bit image";
            return false;
        }
    }
    int decoded = 0;
    for (int k = first; k < f.LumpCount(); ++k) {
        if (f.lumps[k].kind != kLumpKindTGA) continue;
        Texture skin;
        std::string what = "skin (lump " + std::to_string(k) + ")";
        if (!f.SeekLump(k) || !DecodeImage(&f.stream, &skin, what, error, kSkinMaxSide)) return false;
        if (h.alphaMask && (skin.bpp != 24 || skin.width != mask.width || skin.height != mask.height)) {
            *error = what + " does not match the mask (24 bits, same size)";
            return false;
        }
        if (!IsPowerOfTwo(skin.width) || !IsPowerOfTwo(skin.height)) {
            *error = what + " has a side that is not a power of two";
            return false;
        }
        ++decoded;
    }
    if (decoded == 0) {
        *error = "no skin lump is marked as an image";
        return false;
    }
    *summary = "\"" + Name40(h.name) + "\": model " + std::to_string(model.numTriangles) + " triangles, " +
               std::to_string(model.numJoints) + " joints, radius " + std::to_string(extent).substr(0, 5) + ", " +
               std::to_string(decoded) + " skins" + (h.alphaMask ? " with mask" : "");
    if (!warnings.empty()) *summary += "; warnings:\n" + warnings.substr(0, warnings.size() - 1);
    return true;
}

bool ValidateResource(const std::string& path, std::string* summary, std::string* error) {
    RESFILE f;
    if (!f.Open(path.c_str())) {
        *error = "not a resource archive the engine opens (magic, size check or directory)";
        return false;
    }
    // The scene draws slots 1 and 4 to 8 in its overlay and slot 9 as the bubble.
    if (f.LumpCount() < 10) {
        *error = "only " + std::to_string(f.LumpCount()) + " lumps; the scene needs slots 1, 4 to 8 and 9";
        return false;
    }
    for (int k = 0; k < f.LumpCount(); ++k) {
        bool needed = k == 1 || (k >= 4 && k <= 9);
        if (f.lumps[k].kind != kLumpKindTGA) {
            if (needed) {
                *error = "slot " + std::to_string(k) + " is not an image and the scene draws it";
                return false;
            }
            continue;
        }
        Texture tex;
        if (!f.SeekLump(k) || !DecodeImage(&f.stream, &tex, "slot " + std::to_string(k), error)) return false;
        if (!IsPowerOfTwo(tex.width) || !IsPowerOfTwo(tex.height)) {
            *error = "slot " + std::to_string(k) + " has a side that is not a power of two";
            return false;
        }
    }
    *summary = "resource archive: " + std::to_string(f.LumpCount()) + " slots decode";
    return true;
}

const char* const kNeitherKind = "neither a fish archive (\"FISH\") nor a resource archive (\"KELP\")";

}  // namespace

bool InspectArchive(const std::string& path, FILE* out, std::string* error) {
    switch (Sniff(path)) {
        case Kind::Fish:
            return InspectFish(path, out, error);
        case Kind::Resource:
            return InspectResource(path, out, error);
        default:
            *error = kNeitherKind;
            return false;
    }
}

bool ValidateArchive(const std::string& path, std::string* summary, std::string* error) {
    switch (Sniff(path)) {
        case Kind::Fish:
            return ValidateFish(path, summary, error);
        case Kind::Resource:
            return ValidateResource(path, summary, error);
        default:
            *error = kNeitherKind;
            return false;
    }
}

}  // namespace reefpack
