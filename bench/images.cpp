// Image loading costs at setup: TGA decoding (raw and run-length, 24/32 bits) of a
// 1024 x 1024 skin from a stream, the archive directory read, and RGBA texture building
// in the headless context.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "LumpWriter.h"
#include "TgaWriter.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "platform/egl_context.h"

namespace {

// A skin-like picture: flat areas (runs) with noisy stripes (raw packets).
std::vector<uint8_t> Picture(int side, int bytesPerPixel) {
    std::vector<uint8_t> px(static_cast<size_t>(side) * side * bytesPerPixel);
    srand(1);
    for (size_t i = 0; i < px.size(); ++i) px[i] = ((i / bytesPerPixel) % 64 < 40) ? 90 : rand() & 255;
    return px;
}

void BM_DecodeTGA(benchmark::State& state) {
    const int bpp = static_cast<int>(state.range(0));
    const bool rle = state.range(1) != 0;
    const int side = 1024;
    const std::vector<uint8_t> tga = reefpack::EncodeTGA(Picture(side, bpp / 8), side, side, bpp, rle);
    const std::string bytes(tga.begin(), tga.end());
    for (auto _ : state) {
        std::istringstream in(bytes);
        Texture t;
        if (!LoadTGA2(&t, &in)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(t.imageData);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(side) * side * (bpp / 8));
}
BENCHMARK(BM_DecodeTGA)->Args({24, 0})->Args({24, 1})->Args({32, 0})->Args({32, 1})->Unit(benchmark::kMillisecond);

void BM_OpenResourceArchive(benchmark::State& state) {
    reefpack::LumpWriter w;
    for (int k = 0; k < 64; ++k) w.AddLump(std::vector<uint8_t>(4096, static_cast<uint8_t>(k)), 1, 0);
    const std::string path = "/tmp/bench_images_" + std::to_string(static_cast<long>(getpid())) + ".tidewares";
    if (!w.WriteResource(path)) state.SkipWithError("cannot write archive");
    for (auto _ : state) {
        RESFILE r;
        if (!r.Open(path.c_str())) state.SkipWithError("open failed");
        benchmark::DoNotOptimize(r.lumps);
    }
    remove(path.c_str());
}
BENCHMARK(BM_OpenResourceArchive)->Unit(benchmark::kMicrosecond);

void BM_BuildTexture(benchmark::State& state) {
    EGLCONTEXT ctx;
    if (!ctx.Create(16, 16)) {
        state.SkipWithError("no headless GL context");
        return;
    }
    const int side = 1024;
    const std::vector<uint8_t> px = Picture(side, 3);
    for (auto _ : state) {
        Texture t;
        t.width = t.height = side;
        t.bpp = 24;
        t.type = GL_RGB;
        t.imageData = static_cast<uint8_t*>(malloc(px.size()));
        std::copy(px.begin(), px.end(), t.imageData);
        BuildTexture(&t, static_cast<int>(state.range(0)));
        glFinish();
    }
}
BENCHMARK(BM_BuildTexture)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
