// Resource archive reader: the shared lump-archive steps with the "KELP" header.
#include "data/ResFile.h"

#include <cstring>

#include "data/LumpArchive.h"

namespace {

struct ResTraits {
    using Header = RESHEADER;
    using Entry = RESLUMP;
    static constexpr size_t kMagicOffset = 0;
    static const char* Magic() { return kResMagic; }
    static bool HeaderRulesHold(const RESHEADER&) { return true; }
};

}  // namespace

RESFILE::RESFILE() : fileSize(0), lumps(nullptr) { std::memset(&header, 0, sizeof header); }

RESFILE::~RESFILE() { Close(); }

bool RESFILE::Open(const char* path) { return lumparchive::Open<RESFILE, ResTraits>(this, path); }

bool RESFILE::SeekLump(int n) { return lumparchive::SeekLump(this, n); }

bool RESFILE::LoadData(int n, void** out) { return lumparchive::LoadData(this, n, out); }

void RESFILE::Close() { lumparchive::Close(this); }
