// What the water's two meshes cost the rasteriser (llvmpipe here): the surface drawn as
// the scene draws it at 1280 x 720 (tank a third full, so its near rows run off screen),
// and the caustic mesh into its 128 x 128 corner. CPU time of the whole process (the
// rasteriser's threads included), each draw finished with glFinish. `fill` 0 masks colour
// and depth writes and discards every fragment before shading, leaving the per-triangle
// work (vertex fetch and shading, clipping, setup, binning); `fill` 2 culls every
// triangle, leaving the vertex work alone.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "math/Camera.h"
#include "platform/egl_context.h"
#include "water/Water.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr float kLevel = 0.33f;

struct Rig {
    EGLCONTEXT gl;
    WATERCLASS water;
    GLuint picture = 0;

    bool Make(int width, int height) {
        if (!gl.Create(width, height)) return false;
        water.Initialize(6, 64.0f, true, 1.0f);
        std::srand(11);
        VECTOR3D eye{0.0f, 0.0f, 60.0f};
        VECTOR3D light{0.0f, 1.0f, 0.0f};
        for (int i = 0; i < 120; ++i) {
            if (i % 10 == 0) water.Drop(1.5f);
            water.Update(eye, light, true, 1.0 / 60.0, kLevel);
        }
        std::vector<unsigned char> px(256 * 256 * 4);
        for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 7);
        glGenTextures(1, &picture);
        glBindTexture(GL_TEXTURE_2D, picture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        return true;
    }
};

// 1: as drawn; 0: no fragment shaded; 2: every triangle culled after the vertices are shaded.
void Fill(int mode) {
    const bool on = mode == 1;
    const GLboolean w = on ? GL_TRUE : GL_FALSE;
    if (mode == 2) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT_AND_BACK);
    } else {
        glDisable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    glColorMask(w, w, w, w);
    glDepthMask(w);
    // Every fragment fails the alpha test before it is shaded or written.
    if (on) {
        glDisable(GL_ALPHA_TEST);
    } else {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_NEVER, 0.0f);
    }
}

// How the surface goes to GL: 0 as WATERCLASS draws it (client arrays, one strip);
// 1 the same strip from buffer objects; 2 the strip's triangles as an indexed list from
// buffer objects (degenerate joins dropped); 3 the same triangles ordered row by row.
// The caustic mesh: 0 as WATERCLASS draws it (its lit triangles), 1 and 2 as above (every
// triangle), 3 every triangle of the strip from client arrays.
struct Submit {
    GLuint vbo = 0, ibo = 0;
    GLsizei count = 0;
    GLenum mode = GL_TRIANGLE_STRIP;
    void Make(const WATERCLASS& w, const void* verts, size_t bytes, int path) {
        std::vector<uint16_t> idx;
        if (path == 1) {
            idx.assign(w.indices, w.indices + w.numIndices - 2);
        } else {
            std::vector<std::array<uint16_t, 3>> tris;
            for (uint32_t i = 0; i + 2 < w.numIndices - 2 + 2 && i + 2 < w.numIndices; ++i) {
                uint16_t a = w.indices[i], b = w.indices[i + 1], c = w.indices[i + 2];
                if (a == b || b == c || a == c) continue;
                if (i & 1) std::swap(a, b);
                tris.push_back({a, b, c});
            }
            if (path == 3) {
                const uint32_t n = 1u << w.shift;
                std::stable_sort(tris.begin(), tris.end(), [n](const auto& x, const auto& y) {
                    auto row = [n](const std::array<uint16_t, 3>& t) {
                        return std::min({t[0] / n, t[1] / n, t[2] / n});
                    };
                    return row(x) < row(y);
                });
            }
            for (const auto& t : tris) idx.insert(idx.end(), t.begin(), t.end());
            mode = GL_TRIANGLES;
        }
        count = static_cast<GLsizei>(idx.size());
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), verts, GL_STREAM_DRAW);
        glGenBuffers(1, &ibo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(idx.size() * 2), idx.data(), GL_STATIC_DRAW);
    }
};

void BM_SurfaceDraw(benchmark::State& state) {
    Rig rig;
    if (!rig.Make(kWidth, kHeight)) {
        state.SkipWithError("no EGL context");
        return;
    }
    CAMERA camera;
    camera.aspect = static_cast<float>(kWidth) / kHeight;
    // `small`: the same view shrunk to 160 x 90, an eighth of the side: the pixels go, the
    // triangles stay.
    if (state.range(2) != 0) {
        glViewport(0, 0, kWidth / 8, kHeight / 8);
    } else {
        glViewport(0, 0, kWidth, kHeight);
    }
    camera.Load();
    // As the scene places the surface (see SSMAIN::Draw).
    glTranslatef(0.0f, kLevel * 80.0f - 40.0f, -5.0f);
    glTranslatef(0.0f, 0.0f, -32.0f);
    glRotatef(40.0f * kLevel - 20.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, 32.0f);
    glScalef(1.66f, 1.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, rig.picture);
    Fill(static_cast<int>(state.range(0)));
    const int path = static_cast<int>(state.range(1));
    Submit sub;
    if (path > 0) sub.Make(rig.water, rig.water.vertices, sizeof(WATERVERTEX) * rig.water.numVerts, path);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (path == 0) {
            rig.water.DrawSurface();
        } else {
            // Positions change every tick: upload them as the scene would.
            glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(WATERVERTEX) * rig.water.numVerts, rig.water.vertices);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glVertexPointer(3, GL_FLOAT, sizeof(WATERVERTEX), reinterpret_cast<void*>(0));
            glNormalPointer(GL_FLOAT, sizeof(WATERVERTEX), reinterpret_cast<void*>(12));
            glTexCoordPointer(2, GL_FLOAT, sizeof(WATERVERTEX), reinterpret_cast<void*>(40));
            glDrawElements(sub.mode, sub.count, GL_UNSIGNED_SHORT, nullptr);
        }
        glFinish();
    }
    Fill(1);
}
BENCHMARK(BM_SurfaceDraw)
    ->ArgNames({"fill", "path", "small"})
    ->ArgsProduct({{1, 0, 2}, {0, 1, 2, 3}, {0, 1}})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void BM_CausticDraw(benchmark::State& state) {
    Rig rig;
    if (!rig.Make(kWidth, kHeight)) {
        state.SkipWithError("no EGL context");
        return;
    }
    // As SSMAIN::RenderToTexture draws it.
    glViewport(0, 0, 128, 128);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 128.0, 128.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(2.0f, 2.0f, 1.0f);
    glTranslatef(32.0f, 32.0f, 0.0f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    Fill(static_cast<int>(state.range(0)));
    const int path = static_cast<int>(state.range(1));
    Submit sub;
    if (path == 1 || path == 2)
        sub.Make(rig.water, rig.water.causticVerts, sizeof(CAUSTICVERTEX) * rig.water.numVerts, path);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        if (path == 0) {
            rig.water.DrawCaustics();
        } else if (path == 3) {
            // Every triangle of the strip, dark ones included, from client arrays.
            const char* base = reinterpret_cast<const char*>(rig.water.causticVerts);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_COLOR_ARRAY);
            glVertexPointer(3, GL_FLOAT, sizeof(CAUSTICVERTEX), base);
            glColorPointer(4, GL_FLOAT, sizeof(CAUSTICVERTEX), base + 28);
            glDrawElements(GL_TRIANGLE_STRIP, static_cast<GLsizei>(rig.water.numIndices - 2), GL_UNSIGNED_SHORT,
                           rig.water.indices);
            glDisableClientState(GL_COLOR_ARRAY);
        } else {
            glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(CAUSTICVERTEX) * rig.water.numVerts, rig.water.causticVerts);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_COLOR_ARRAY);
            glVertexPointer(3, GL_FLOAT, sizeof(CAUSTICVERTEX), reinterpret_cast<void*>(0));
            glColorPointer(4, GL_FLOAT, sizeof(CAUSTICVERTEX), reinterpret_cast<void*>(28));
            glDrawElements(sub.mode, sub.count, GL_UNSIGNED_SHORT, nullptr);
            glDisableClientState(GL_COLOR_ARRAY);
        }
        glFinish();
    }
    state.counters["lit_triangles"] = rig.water.numLitIndices / 3;
    Fill(1);
}
BENCHMARK(BM_CausticDraw)
    ->ArgNames({"fill", "path"})
    ->ArgsProduct({{1, 0, 2}, {0, 1, 2, 3}})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
