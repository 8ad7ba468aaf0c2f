// Fish archive reader: the shared lump-archive steps plus the fish format's version and
// flag rules.
#include "data/FishFile.h"

#include <cstring>

#include "data/LumpArchive.h"

namespace {

struct FishTraits {
    using Header = FISHHEADER;
    using Entry = FISHLUMP;
    static constexpr size_t kMagicOffset = 40;
    static const char* Magic() { return kFishMagic; }
    // Versions up to 1.0 (0.x or exactly 1.0), and flag bit 0 clear.
    static bool HeaderRulesHold(const FISHHEADER& h) {
        if (h.versionMajor > kFishVersionMajor) return false;
        if (h.versionMajor == kFishVersionMajor && h.versionMinor > kFishVersionMinor) return false;
        return (h.flags & kFishFlagUnsupported) == 0;
    }
};

}  // namespace

FISHFILE::FISHFILE() : fileSize(0), lumps(nullptr) { std::memset(&header, 0, sizeof header); }

FISHFILE::~FISHFILE() { Close(); }

bool FISHFILE::Open(const char* path) { return lumparchive::Open<FISHFILE, FishTraits>(this, path); }

bool FISHFILE::SeekLump(int n) { return lumparchive::SeekLump(this, n); }

bool FISHFILE::LoadData(int n, void** out) { return lumparchive::LoadData(this, n, out); }

void FISHFILE::Close() { lumparchive::Close(this); }
