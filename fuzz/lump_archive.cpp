// Fuzzes the lump archive readers: any bytes as a fish archive and as a resource
// archive; whatever opens is walked lump by lump (seek, whole-lump read, TGA decode).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "data/FishFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"

namespace {

std::string TempPath() {
    static std::string path = "/tmp/fuzz_lump_archive." + std::to_string(static_cast<long>(getpid()));
    return path;
}

template <typename Reader>
void Walk(Reader* r) {
    for (int k = -1; k <= r->LumpCount(); ++k) {
        void* data = nullptr;
        if (r->LoadData(k, &data)) delete[] static_cast<uint8_t*>(data);
        if (r->SeekLump(k)) {
            Texture t;
            LoadTGA2(&t, &r->stream);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fopen(TempPath().c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    FISHFILE fish;
    if (fish.Open(TempPath().c_str())) Walk(&fish);
    RESFILE res;
    if (res.Open(TempPath().c_str())) Walk(&res);
    return 0;
}
