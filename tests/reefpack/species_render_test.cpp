// Draws every bundled species headless (left side at rest and mid-beat, right side
// mid-beat, each column in another skin) straight from the kit's model description and skins, so that shapes, winding
// and texture mapping are checked by pixels. Set REEFPACK_SHEET=path.png to keep the
// picture.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "FishBuilder.h"
#include "SpeciesSkins.h"
#include "test_support.h"

using namespace reefpack;

namespace {

struct Rt {
    float r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major rotation
    float t[3] = {0, 0, 0};
};

Rt Mul(const Rt& a, const Rt& b) {
    Rt o;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            o.r[i * 3 + j] = 0;
            for (int k = 0; k < 3; ++k) o.r[i * 3 + j] += a.r[i * 3 + k] * b.r[k * 3 + j];
        }
        o.t[i] = a.t[i];
        for (int k = 0; k < 3; ++k) o.t[i] += a.r[i * 3 + k] * b.t[k];
    }
    return o;
}

float KeyAt(const std::vector<Ms3dKey>& keys, float time, int axis) {
    if (keys.empty()) return 0;
    if (time <= keys.front().time) return keys.front().value[axis];
    for (size_t i = 1; i < keys.size(); ++i)
        if (time <= keys[i].time) {
            float f = (time - keys[i - 1].time) / (keys[i].time - keys[i - 1].time);
            return keys[i - 1].value[axis] + f * (keys[i].value[axis] - keys[i - 1].value[axis]);
        }
    return keys.back().value[axis];
}

// Vertex positions and per-joint rotations of the model at a frame.
void Pose(const Ms3dModelDesc& m, float frame, std::vector<float>* pos, std::vector<Rt>* abs) {
    float time = frame / m.animationFPS;
    std::vector<Rt> bind(m.joints.size());
    abs->assign(m.joints.size(), Rt());
    for (size_t j = 0; j < m.joints.size(); ++j) {
        const auto& jt = m.joints[j];
        int parent = jt.parentName.empty() ? -1 : m.FindJoint(jt.parentName);
        Rt rel;
        float yaw = KeyAt(jt.rotKeys, time, 1);
        float c = std::cos(yaw), s = std::sin(yaw);
        float r[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
        for (int k = 0; k < 9; ++k) rel.r[k] = r[k];
        for (int k = 0; k < 3; ++k) rel.t[k] = jt.position[k] + KeyAt(jt.transKeys, time, k);
        Rt b;
        for (int k = 0; k < 3; ++k) b.t[k] = jt.position[k];
        if (parent >= 0) {
            ASSERT_LT(parent, static_cast<int>(j)) << "parent listed after child";
            (*abs)[j] = Mul((*abs)[parent], rel);
            for (int k = 0; k < 3; ++k) b.t[k] += bind[parent].t[k];
        } else {
            (*abs)[j] = rel;
        }
        bind[j] = b;
    }
    pos->resize(m.vertices.size() * 3);
    for (size_t v = 0; v < m.vertices.size(); ++v) {
        const auto& vx = m.vertices[v];
        const Rt& a = (*abs)[vx.boneId];
        float l[3];
        for (int k = 0; k < 3; ++k) l[k] = vx.position[k] - bind[vx.boneId].t[k];
        for (int i = 0; i < 3; ++i)
            (*pos)[v * 3 + i] = a.r[i * 3] * l[0] + a.r[i * 3 + 1] * l[1] + a.r[i * 3 + 2] * l[2] + a.t[i];
    }
}

GLuint Upload(const Image& skin, const Image* mask) {
    std::vector<uint8_t> rgba = skin.Bytes(4, true);
    if (mask) {
        std::vector<uint8_t> m = mask->Bytes(4, true);
        for (size_t i = 0; i < rgba.size(); i += 4) rgba[i + 3] = m[i];
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, skin.width, skin.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return id;
}

void DrawModel(const Ms3dModelDesc& m, float frame) {
    std::vector<float> pos;
    std::vector<Rt> abs;
    Pose(m, frame, &pos, &abs);
    glBegin(GL_TRIANGLES);
    for (const auto& g : m.groups)
        for (uint16_t ti : g.triangleIndices) {
            const auto& t = m.triangles[ti];
            for (int k = 0; k < 3; ++k) {
                int v = t.vertexIndices[k];
                const Rt& a = abs[m.vertices[v].boneId];
                const float* n = t.normals[k];
                glNormal3f(a.r[0] * n[0] + a.r[1] * n[1] + a.r[2] * n[2], a.r[3] * n[0] + a.r[4] * n[1] + a.r[5] * n[2],
                           a.r[6] * n[0] + a.r[7] * n[1] + a.r[8] * n[2]);
                glTexCoord2f(t.s[k], 1.0f - t.t[k]);
                glVertex3f(pos[v * 3], pos[v * 3 + 1], pos[v * 3 + 2]);
            }
        }
    glEnd();
}

}  // namespace

TEST(SpeciesRender, EverySpeciesDrawsItsOwnSilhouette) {
    const auto& all = BundledSpecies();
    const int cellW = 320, cellH = 200, cols = 3;
    const int rows = static_cast<int>(all.size());
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(cellW * cols, cellH * rows));
    glClearColor(0.1f, 0.3f, 0.45f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    float amb[4] = {0.45f, 0.45f, 0.45f, 1}, dif[4] = {0.7f, 0.7f, 0.7f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dif);

    std::vector<float> aspect(rows);
    for (int r = 0; r < rows; ++r) {
        const SpeciesDesc& d = all[r];
        Ms3dModelDesc model = BuildFishModel(d);
        std::vector<Image> skins = PaintSpeciesSkins(d);
        ASSERT_GE(skins.size(), 2u) << d.key;
        Image mask;
        if (d.alphaMask) mask = PaintSpeciesMask(d);
        for (int c = 0; c < cols; ++c) {
            GLuint tex = Upload(skins[c % skins.size()], d.alphaMask ? &mask : nullptr);
            glViewport(c * cellW, (rows - 1 - r) * cellH, cellW, cellH);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(-12, 12, -7.5, 7.5, -50, 50);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            float light[4] = {0.3f, 1.0f, 0.5f, 0};
            glLightfv(GL_LIGHT0, GL_POSITION, light);
            if (c == 2)
                gluLookAt(-30, 0, 0, 0, 0, 0, 0, 1, 0);  // the fish's right side, head to the right
            else
                gluLookAt(30, 0, 0, 0, 0, 0, 0, 1, 0);  // the fish's left side
            float frame = c == 0 ? static_cast<float>(d.motion.swimFrames + 3)
                                 : 2 + d.motion.swimFrames * 0.25f;
            glColor4f(1, 1, 1, 1);
            DrawModel(model, frame);
            glDeleteTextures(1, &tex);
        }
    }
    std::vector<uint8_t> px = ctx.ReadPixels();
    if (const char* out = std::getenv("REEFPACK_SHEET")) testsupport::WritePNG(out, px, cellW * cols, cellH * rows);

    // Silhouette of each side view at rest: width over height of the non-water pixels.
    for (int r = 0; r < rows; ++r) {
        int x0 = cellW, x1 = -1, y0 = cellH, y1 = -1;
        for (int y = 0; y < cellH; ++y)
            for (int x = 0; x < cellW; ++x) {
                const uint8_t* p = &px[((r * cellH + y) * cellW * cols + x) * 4];
                bool water = std::abs(p[0] - 26) < 3 && std::abs(p[1] - 77) < 3 && std::abs(p[2] - 115) < 3;
                if (water) continue;
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        ASSERT_GT(x1, x0) << all[r].key << " drew nothing";
        aspect[r] = static_cast<float>(x1 - x0 + 1) / (y1 - y0 + 1);
    }
    auto byKey = [&](const char* key) {
        for (int r = 0; r < rows; ++r)
            if (all[r].key == key) return aspect[r];
        return 0.0f;
    };
    EXPECT_GT(byKey("barracuda"), 3.0f);   // long and thin
    EXPECT_LT(byKey("discus"), 1.6f);      // round
    EXPECT_LT(byKey("angelfish"), 1.0f);   // taller than long with its fins
    EXPECT_GT(byKey("tetra"), 2.0f);
}

#include "data/FishData.h"
#include "fish/Fish.h"

// The bundled archives through the engine itself: species loading, a fish filled from
// the species and its swim cycle played by the model instance. The tail must move
// between two moments of the cycle. Set REEFPACK_ENGINE_SHEET=path.png to keep the
// picture (from above, head up, mid-stroke; and from the side).
TEST(SpeciesRender, EngineSwimsEveryBundledSpecies) {
    const auto& all = BundledSpecies();
    const int cell = 200, rows = 2, cols = static_cast<int>(all.size());
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(cell * cols, cell * rows));
    glClearColor(0.1f, 0.3f, 0.45f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    float amb[4] = {0.45f, 0.45f, 0.45f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb);
    for (int c = 0; c < cols; ++c) {
        SCOPED_TRACE(all[c].key);
        FISHINFO info;
        std::snprintf(info.fileName, sizeof info.fileName, "%s.fish", all[c].key.c_str());
        ASSERT_TRUE(info.LoadData((testsupport::ShareDir() + "/").c_str(), 1.0f));
        FISHDATA* data = info.data;
        ONEFISH fish;
        ASSERT_TRUE(fish.SetupFromFishData(data));
        fish.SetAnimation(2, data->swimFrames + 2, data->animSpeed, true, false);
        std::vector<std::vector<uint8_t>> tops;
        for (int shot = 0; shot < 2; ++shot) {
            // Two moments half a stroke apart, from above: the tail swings across.
            float stroke = data->swimFrames / 20.0f;
            for (int i = 0; i < 10; ++i) fish.Update(stroke * (shot ? 0.05 : 0.025));
            glViewport(c * cell, cell, cell, cell);
            glScissor(c * cell, cell, cell, cell);
            glEnable(GL_SCISSOR_TEST);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(-11, 11, -11, 11, -60, 60);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            gluLookAt(0, 40, 0, 0, 0, 0, 0, 0, 1);  // head towards the top of the picture
            float light[4] = {0.2f, 1, 0.4f, 0};
            glLightfv(GL_LIGHT0, GL_POSITION, light);
            glColor4f(1, 1, 1, 1);
            fish.Draw(false);
            std::vector<uint8_t> px = ctx.ReadPixels();
            std::vector<uint8_t> region;
            for (int y = 0; y < cell; ++y)  // top rows of the read-back = the upper cells
                region.insert(region.end(), px.begin() + (y * cell * cols + c * cell) * 4,
                              px.begin() + (y * cell * cols + c * cell + cell) * 4);
            tops.push_back(region);
        }
        size_t changed = 0;
        for (size_t i = 0; i < tops[0].size(); i += 4) changed += tops[0][i + 2] != tops[1][i + 2];
        EXPECT_GT(changed, 150u) << "the swim cycle does not move the fish";

        // Side view for the picture: the fish's left side, head to the left.
        glViewport(c * cell, 0, cell, cell);
        glScissor(c * cell, 0, cell, cell);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(40, 0, 0, 0, 0, 0, 0, 1, 0);
        float light[4] = {0.4f, 1, 0.2f, 0};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        fish.Draw(false);
        fish.Release();
    }
    if (const char* out = std::getenv("REEFPACK_ENGINE_SHEET"))
        testsupport::WritePNG(out, ctx.ReadPixels(), cell * cols, cell * rows);
}
