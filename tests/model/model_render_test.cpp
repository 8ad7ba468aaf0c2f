// Models and model instances drawn into the headless GL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <functional>
#include <string>
#include <vector>

#include "image/Texture.h"
#include "model/ModelMain.h"
#include "model_fixtures.h"
#include "platform/egl_context.h"

using modeltest::Bytes;
using modeltest::LoadBytes;

namespace {

constexpr int kSize = 64;

// A square from (-1, -1) to (1, 1) facing +z, on joint 0; group 0 holds the lower-left
// triangle with material 0, group 1 the upper-right one with no material.
reefpack::Ms3dModelDesc Square() {
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10;
    d.materials.push_back(reefpack::Ms3dMaterialDesc{});
    d.AddGroup("lower", 0);
    d.AddGroup("upper", -1);
    for (const auto& v : {std::pair{-1, -1}, std::pair{1, -1}, std::pair{1, 1}, std::pair{-1, 1}})
        d.AddVertex(v.first, v.second, 0, 0);
    d.AddTriangle(0, 1, 3, 0);
    d.AddTriangle(1, 2, 3, 1);
    d.AddJoint("root", "");
    return d;
}

// The pixel at scene coordinates (x, y): 'r', 'g' or 'b' for a bright primary, '.' for the
// clear colour, '?' otherwise.
char At(EGLCONTEXT& gl, float x, float y) {
    glFinish();
    std::vector<std::uint8_t> px = gl.ReadPixels();
    int col = static_cast<int>((x + 2) / 4 * kSize);
    int row = static_cast<int>((2 - y) / 4 * kSize);  // top row first
    const std::uint8_t* p = &px[(static_cast<std::size_t>(row) * kSize + col) * 4];
    for (int c = 0; c < 3; c++)
        if (p[c] > 200 && p[(c + 1) % 3] < 50 && p[(c + 2) % 3] < 50) return "rgb"[c];
    return p[0] < 16 && p[1] < 16 && p[2] < 16 ? '.' : '?';
}

// The lower-left and upper-right triangles of the square.
std::string Halves(EGLCONTEXT& gl) { return {At(gl, -0.8f, -0.8f), At(gl, 0.8f, 0.8f)}; }

GLuint SolidTexture(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const std::uint8_t texel[4] = {r, g, b, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    for (GLenum p : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) glTexParameteri(GL_TEXTURE_2D, p, GL_NEAREST);
    return id;
}

}  // namespace

TEST(ModelRender, ModelAndInstanceDrawEachGroupWithItsTexture) {
    EGLCONTEXT gl;
    ASSERT_TRUE(gl.Create(kSize, kSize));
    glMatrixMode(GL_PROJECTION);
    glOrtho(-2, 2, -2, 2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE}) glDisable(cap);
    glColor3f(1, 1, 1);
    MS3D model;
    ASSERT_TRUE(LoadBytes(Bytes(Square()), &model));
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const GLuint red = SolidTexture(255, 0, 0), green = SolidTexture(0, 255, 0);
    Texture blue[1];
    blue[0].texID = SolidTexture(0, 0, 255);
    // The model's own immediate-mode drawing, each call after green is bound.
    const struct {
        std::function<void()> draw;
        const char* halves;
    } rows[] = {
        {[&] { model.DrawGroup(0); }, "g."},
        {[&] { model.DrawGroup(1); }, ".g"},
        {[&] {
             model.DrawGroup(2);
             model.DrawGroup(-1, blue);
         },
         ".."},
        {[&] { model.DrawGroup(0, blue); }, "b."},
        {[&] { model.DrawGroup(1, blue); }, ".g"},  // no material: the bound texture stays
        {[&] { model.Render(); }, "gg"},
        {[&] { model.Render(blue); }, "bb"},
        {[&] { model.Render(nullptr); }, "gg"},
    };
    for (const auto& r : rows) {
        glClear(GL_COLOR_BUFFER_BIT);
        glBindTexture(GL_TEXTURE_2D, green);
        r.draw();
        EXPECT_EQ(Halves(gl), r.halves) << r.halves;
    }

    model.InitialSetup();
    ANIMATIONTEMPLATE tmpl;
    ASSERT_TRUE(tmpl.Setup(&model));
    unsigned texture = red;
    ONEMODEL m;
    ASSERT_TRUE(m.Setup(&tmpl, &model, &texture));
    m.Update(0);  // bind pose into model space
    // Lower-left triangle red (its material); the upper group has no material and keeps
    // the texture the lower group bound.
    glClear(GL_COLOR_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, green);
    m.Draw();
    EXPECT_EQ(Halves(gl), "rr");
    EXPECT_EQ(At(gl, 1.8f, 1.8f), '.');
    // The blank pass draws every triangle, ignoring position and materials.
    glClear(GL_COLOR_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, green);
    m.position = VECTOR3D{5, 5, 0};
    m.DrawBlank();
    EXPECT_EQ(Halves(gl), "gg");
    // Skinning shows: a joint moved by (0.5, 0, 0) moves the square.
    glClear(GL_COLOR_BUFFER_BIT);
    m.position = VECTOR3D{0, 0, 0};
    m.RevertPoints(m.joints);
    m.joints[0].currentTranslation = VECTOR3D{0.5f, 0, 0};
    m.UpdateSkeleton();
    m.UpdatePoints(m.joints);
    m.Draw();
    EXPECT_TRUE(At(gl, 1.3f, -0.8f) == 'r' && At(gl, -0.8f, -0.8f) == '.');
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
