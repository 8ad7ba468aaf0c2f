// Fuzzes the TGA decoder through both entry points: the archive stream loader and the
// file loader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "image/TGALoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Texture t;
    if (LoadTGA2(&t, &in) && t.imageData) {
        // Touch the last byte the decoder claims to have written.
        volatile uint8_t last = t.imageData[static_cast<size_t>(t.width) * t.height * (t.bpp / 8) - 1];
        (void)last;
    }
    static std::string path = "/tmp/fuzz_tga." + std::to_string(static_cast<long>(getpid()));
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    Texture u;
    LoadTGA(&u, path.c_str());
    return 0;
}
