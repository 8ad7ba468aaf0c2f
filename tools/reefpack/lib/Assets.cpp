// Build-time content: every file of the resource folder, deterministically.
#include "Assets.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Captions.h"
#include "LumpWriter.h"
#include "Pictures.h"
#include "Sound.h"
#include "SpeciesArchive.h"

namespace reefpack {
namespace {

// Texture modes of the resource archive (alpha from the brightest channel, or a colour
// key taken from the first stored pixel).
constexpr uint32_t kModeOpaque = 0, kModeColourKey = 1, kModeBrightness = 2;

bool MakeDirs(const std::string& dir) {
    std::string path;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        path = dir.substr(0, pos);
        if (path.empty()) continue;
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "reefpack: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
            return false;
        }
    }
    return true;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {
        std::fprintf(stderr, "reefpack: nothing to write for %s\n", path.c_str());
        return false;
    }
    return WriteBytes(path, bytes);
}

}  // namespace

std::vector<uint8_t> BuildResourceArchive() {
    Font regular, bold;
    if (!regular.Load("DejaVuSans.ttf") || !bold.Load("DejaVuSans-Bold.ttf")) return {};
    LumpWriter w;
    w.AddLump(PaintSandTile(64).EncodeTga(24, true), kLumpKindTGA, kModeOpaque);  // 0
    w.AddLump(RenderBanner(bold, kBannerWidth, kBannerHeight).EncodeTga(32, true), kLumpKindTGA,
              kModeBrightness);                                                             // 1
    w.AddLump(PaintCausticTile(128).EncodeTga(32, true), kLumpKindTGA, kModeBrightness);    // 2
    w.AddLump(PaintKelpSprite(64, 128).EncodeTga(24, true), kLumpKindTGA, kModeColourKey);  // 3
    for (const std::string& line : CaptionLines())                                          // 4..8
        w.AddLump(RenderCaption(regular, line, kCaptionWidth, kCaptionHeight).EncodeTga(32, true), kLumpKindTGA,
                  kModeBrightness);
    w.AddLump(PaintBubble(64).EncodeTga(32, true), kLumpKindTGA, kModeBrightness);  // 9
    return w.BuildResource();
}

std::vector<uint8_t> BuildAmbienceWav() {
    return EncodeWav(SynthesiseAmbience(kAmbienceRate, kAmbienceSeconds, 1234), kAmbienceRate);
}

std::vector<uint8_t> BuildFallbackPicture() { return EncodeJpeg(PaintFallbackPicture(1920, 1080), 90); }

bool BuildAssets(const std::string& dir) {
    if (!MakeDirs(dir)) return false;
    bool ok = Write(dir + "/" + kResourceArchiveName, BuildResourceArchive());
    ok = Write(dir + "/" + kSoundName, BuildAmbienceWav()) && ok;
    ok = Write(dir + "/" + kFallbackPictureName, BuildFallbackPicture()) && ok;
    for (const SpeciesDesc& d : BundledSpecies())
        ok = Write(dir + "/" + SpeciesFileName(d), BuildSpeciesArchive(d)) && ok;
    return ok;
}

}  // namespace reefpack
