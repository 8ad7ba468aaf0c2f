// What the two full-screen passes under the water cost the rasteriser (llvmpipe here) at
// 1280 x 720, tank full: the wobbling picture (1024 x 1024 texture, as bg-res 1 makes it)
// and the back-wall caustic, each as the scene draws it and in cheaper forms, and both
// merged into one GLSL pass. CPU time of the whole process (the rasteriser's threads
// included), each draw finished with glFinish.
//
// The two passes as drawn are most of a full-tank frame and they are its floor while the
// picture and the blend order stay: the caustic is added after the fish, where no fish
// wrote depth, so it has to be a pass of its own. The other forms say what each change
// buys: `replace` (the picture darkened once, as the scene draws it unless it fades or is
// over 2048 texels; for the caustic a texture stored at a quarter, which puts 0.1 % of the
// pixels 3 or 4 levels off), `nearest` (visibly blockier), no depth test (the caustic over
// the fish), and the merged pass (the caustic light under translucent fins and bubbles
// instead of stopping at them).
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "math/Camera.h"
#include "platform/egl_context.h"
#include "scene/SSMain.h"
#include "water/Background.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr float kLevel = 0.85f;
constexpr float kWallZ = -37.0f;

const char* kMergedVertex = "varying vec2 uv; varying vec4 projected;\n"
                            "void main() {\n"
                            "  gl_Position = ftransform(); uv = gl_MultiTexCoord0.xy; gl_FrontColor = gl_Color;\n"
                            "  projected = gl_TextureMatrix[1] * (gl_ModelViewMatrix * gl_Vertex);\n"
                            "}\n";
const char* kMergedFragment = "uniform sampler2D picture; uniform sampler2D caustic; uniform float light;\n"
                              "varying vec2 uv; varying vec4 projected;\n"
                              "void main() {\n"
                              "  vec4 p = texture2D(picture, uv) * gl_Color;\n"
                              "  vec4 k = texture2DProj(caustic, projected) * light;\n"
                              "  gl_FragColor = k + p * (1.0 - k.a);\n"
                              "}\n";

struct Rig {
    EGLCONTEXT gl;
    BACKGROUND wobble;
    CAMERA camera;
    GLuint picture = 0, caustic = 0, merged = 0;

    bool Make() {
        if (!gl.Create(kWidth, kHeight)) return false;
        wobble.InitWobble();
        for (int i = 0; i < 200; ++i) wobble.RelaxWobble(1.0 / 60.0);
        camera.aspect = static_cast<float>(kWidth) / kHeight;
        std::vector<unsigned char> px(1024 * 1024 * 4);
        for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>((i * 7) ^ (i >> 11));
        picture = Texture(1024, px.data());
        // Bright lines on a faint ground, alpha like the rendered pattern's.
        std::vector<unsigned char> cx(128 * 128 * 4);
        for (size_t i = 0; i < cx.size(); ++i) cx[i] = static_cast<unsigned char>((i / 4) % 13 == 0 ? 200 : 24);
        caustic = Texture(128, cx.data());
        merged = Program();
        glViewport(0, 0, kWidth, kHeight);
        return merged != 0;
    }

    static GLuint Texture(int side, const unsigned char* rgba) {
        GLuint t = 0;
        glGenTextures(1, &t);
        glBindTexture(GL_TEXTURE_2D, t);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        return t;
    }

    static GLuint Program() {
        const GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(vs, 1, &kMergedVertex, nullptr);
        glShaderSource(fs, 1, &kMergedFragment, nullptr);
        glCompileShader(vs);
        glCompileShader(fs);
        const GLuint p = glCreateProgram();
        glAttachShader(p, vs);
        glAttachShader(p, fs);
        glLinkProgram(p);
        GLint ok = 0;
        glGetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) return 0;
        glUseProgram(p);
        glUniform1i(glGetUniformLocation(p, "picture"), 0);
        glUniform1i(glGetUniformLocation(p, "caustic"), 1);
        glUniform1f(glGetUniformLocation(p, "light"), 0.25f);
        glUseProgram(0);
        return p;
    }

    void Pixels() const {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0.0, kWidth, 0.0, kHeight, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // The underlay's pass below the water line.
    void Picture(int mode) const {
        Pixels();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picture);
        const GLint filter = mode == 2 ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        const GLdouble below[4] = {0.0, -1.0, 0.0, kHeight * kLevel + 2.0};
        glClipPlane(GL_CLIP_PLANE0, below);
        glEnable(GL_CLIP_PLANE0);
        glColor4f(0.75f, 0.75f, 0.75f, 1.0f);
        if (mode == 1) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        const_cast<BACKGROUND&>(wobble).Draw(kWidth, kHeight, kLevel, 0.0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_CLIP_PLANE0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }

    // The back-wall quad with the projector's coordinates.
    void Wall(int mode) const {
        camera.Load();
        if (mode == 2) {
            glDisable(GL_DEPTH_TEST);
        } else {
            glEnable(GL_DEPTH_TEST);
        }
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0.25f, 0.25f, 0.25f, 0.25f);
        if (mode == 1) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        ReadyProjPass(kLevel);
        glBindTexture(GL_TEXTURE_2D, caustic);
        if (mode == 3) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        const float w = 60.0f * camera.aspect, top = kLevel * 80.0f - 40.0f;
        glBegin(GL_QUADS);
        glVertex3f(-w, top, kWallZ);
        glVertex3f(w, top, kWallZ);
        glVertex3f(w, -100.0f, kWallZ);
        glVertex3f(-w, -100.0f, kWallZ);
        glEnd();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        ReadyNormalPass();
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
    }

    // Both in one pass: unit 1's texture matrix takes a pixel to its point on the back
    // wall (the wall faces the camera, so that is affine) and on through the projector.
    void Merged() const {
        glActiveTexture(GL_TEXTURE1);
        camera.Load();
        ReadyProjPass(kLevel);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_GEN_R);
        glDisable(GL_TEXTURE_GEN_Q);
        const float halfH = static_cast<float>((camera.eye.z - kWallZ) * std::tan(camera.fovY * M_PI / 360.0));
        glMatrixMode(GL_TEXTURE);
        glTranslatef(0.0f, 0.0f, kWallZ);
        glScalef(2.0f * halfH * camera.aspect / kWidth, 2.0f * halfH / kHeight, 1.0f);
        glTranslatef(-kWidth / 2.0f, -kHeight / 2.0f, 0.0f);
        glMatrixMode(GL_MODELVIEW);
        glBindTexture(GL_TEXTURE_2D, caustic);
        glActiveTexture(GL_TEXTURE0);
        glUseProgram(merged);
        Picture(0);
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE1);
        ReadyNormalPass();
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
        glActiveTexture(GL_TEXTURE0);
    }
};

template <typename Draw>
void Measure(benchmark::State& state, Draw draw) {
    static Rig rig;
    static const bool made = rig.Make();
    if (!made) {
        state.SkipWithError("no EGL context or no GLSL");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        state.ResumeTiming();
        draw(rig);
        glFinish();
    }
}

// 0 dimmed by the vertex colour (while fading), 1 replace (the darkened copy, as drawn), 2 nearest.
void BM_PicturePass(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    Measure(state, [mode](const Rig& r) { r.Picture(mode); });
}
BENCHMARK(BM_PicturePass)->DenseRange(0, 2)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// 0 as drawn, 1 replace (a texture stored at a quarter), 2 no depth test, 3 nearest.
void BM_WallCausticPass(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    Measure(state, [mode](const Rig& r) { r.Wall(mode); });
}
BENCHMARK(BM_WallCausticPass)->DenseRange(0, 3)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// Both passes as drawn, one after the other, and the merged GLSL pass.
void BM_BothPasses(benchmark::State& state) {
    Measure(state, [](const Rig& r) {
        r.Picture(0);
        r.Wall(0);
    });
}
BENCHMARK(BM_BothPasses)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_MergedPass(benchmark::State& state) {
    Measure(state, [](const Rig& r) { r.Merged(); });
}
BENCHMARK(BM_MergedPass)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
