// Animation templates and model instances, and models and instances drawn into the
// headless GL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "image/Texture.h"
#include "model/ModelMain.h"
#include "model_fixtures.h"
#include "platform/egl_context.h"

using namespace modeltest;

namespace {

// A loaded, set-up species: model, template and prototype.
struct Species {
    MS3D model;
    ANIMATIONTEMPLATE tmpl;
    ONEMODEL proto;
    unsigned texture = 77;

    bool Build(const reefpack::Ms3dModelDesc& d, float scaleBy = 1.0f) {
        if (!LoadBytes(Bytes(d), &model)) return false;
        model.Scale(scaleBy);
        model.InitialSetup();
        return tmpl.Setup(&model) && proto.Setup(&tmpl, &model, &texture);
    }
};

std::vector<float> Buffer(const ONEMODEL& m) {
    std::vector<float> out;
    for (int i = 0; i < m.numVertices; i++)
        out.insert(out.end(), m.vertexBuffer[i].position, m.vertexBuffer[i].position + 6);  // position, normal
    return out;
}

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

TEST(ModelInstance, SetupBuildsTemplateGroupsIndicesAndMaterials) {
    // A quad (4 distinct corners) drawn by two groups of 2 and 3 triangles, the second
    // group with a corner that differs from corner 3 only by its joint (at the origin).
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 10;
    reefpack::Ms3dMaterialDesc mat;
    mat.ambient[2] = 0.3f;
    mat.transparency = 0.75f;
    mat.mode = static_cast<std::int8_t>(0x80);
    d.materials = {mat, mat};
    d.AddGroup("a", 1);
    d.AddGroup("b", -1);
    for (int i = 0; i < 4; i++) d.AddVertex(static_cast<float>(i & 1), static_cast<float>(i >> 1), 0, i == 3 ? 1 : -1);
    d.AddVertex(1, 1, 0, -1);  // 4: vertex 3 without its joint
    for (auto t : {std::array<int, 4>{0, 1, 2, 0}, {1, 3, 2, 0}, {0, 1, 2, 1}, {1, 3, 2, 1}, {2, 1, 4, 1}}) {
        int i = d.AddTriangle(t[0], t[1], t[2], t[3]);
        for (int k = 0; k < 3; k++) d.triangles[i].t[k] = 0.25f;
    }
    int j = d.AddJoint("j", "", 0, 0, 0, 1, 2, 3);
    d.joints[j].rotKeys = {Key(0.5f, 0.3f, 0.2f, 0.1f)};
    d.joints[j].transKeys = {Key(0, 0, 0, 0), Key(0.5f, 1.5f, 0, 0)};
    d.AddJoint("origin", "");
    Species s;
    ASSERT_TRUE(s.Build(d, 2.0f));
    const ONEMODEL& m = s.proto;
    EXPECT_EQ(m.numVertices, 5);
    ASSERT_EQ(m.numGroups, 2);
    EXPECT_TRUE(m.groups[0].firstIndex == 0 && m.groups[0].numTriangles == 2 && m.groups[0].material == 1);
    EXPECT_TRUE(m.groups[1].firstIndex == 6 && m.groups[1].numTriangles == 3 && m.groups[1].material == -1);
    const std::uint16_t want[15] = {0, 1, 2, 1, 3, 2, 0, 1, 2, 1, 3, 2, 2, 1, 4};
    for (int i = 0; i < 15; i++) EXPECT_EQ(m.indices[i], want[i]) << i;
    EXPECT_EQ(m.vertexBuffer[0].t, 0.75f);  // stored flipped
    ASSERT_EQ(m.numMaterials, 2);
    EXPECT_TRUE(m.materials[1].texture == 77u && m.materials[1].mode == static_cast<std::int8_t>(0x80) &&
                m.materials[1].alpha == 0.75f && m.materials[1].colour[2] == 0.3f);

    // The template: bind translation and key values scaled with the model, key times in
    // milliseconds, key quaternions computed once.
    const ANIMJOINT& tj = s.tmpl.joints[0];
    EXPECT_TRUE(s.tmpl.numJoints == 2 && tj.parent == -1);
    EXPECT_TRUE(tj.bindMatrix.m[12] == 2 && tj.bindMatrix.m[13] == 4 && tj.bindMatrix.m[14] == 6);
    EXPECT_TRUE(tj.transKeys[1].time == 500.0f && tj.transKeys[1].value[0] == 3.0f && tj.rotKeys[0].value[0] == 0.3f);
    EXPECT_TRUE(
        tj.rotQuats[0].IsEqualTo(RotationToQuat(VECTOR3D{0.3f * 57.29578f, 0.2f * 57.29578f, 0.1f * 57.29578f})));
    for (int i = 0; i < 16; i++) EXPECT_EQ(tj.absolute.m[i], s.model.skeleton[0].absolute.m[i]);

    // More corners than 16-bit indices can name are refused, one fewer fits.
    reefpack::Ms3dModelDesc big;
    big.AddGroup("big");
    big.AddVertex(0, 0, 0);
    for (int extra : {1, 0}) {
        big.triangles.resize(21845 + extra);
        big.groups[0].triangleIndices.clear();
        for (std::size_t i = 0; i < big.triangles.size(); i++) {
            for (int k = 0; k < 3; k++) big.triangles[i].s[k] = static_cast<float>(3 * i + k);
            big.groups[0].triangleIndices.push_back(static_cast<std::uint16_t>(i));
        }
        Species b;
        testing::internal::CaptureStderr();
        EXPECT_EQ(b.Build(big), extra == 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr().find("65535") != std::string::npos, extra == 1);
        EXPECT_EQ(b.proto.vertexBuffer == nullptr, extra == 1);
    }
}

TEST(ModelInstance, FollowsTheModelsOwnPlayerAndBlendsAtItsOwnRate) {
    Species s;
    ASSERT_TRUE(s.Build(TwoJointModel()));
    MS3D self;
    ASSERT_TRUE(LoadBytes(Bytes(TwoJointModel()), &self));
    self.InitialSetup();
    self.SetAnimation(1, 9, 1000, true, false);
    s.proto.SetAnimation(1, 9, 1000, true, false);
    for (int step = 0; step < 25; step++) {
        if (step) self.RevertPoints();
        self.Animate(0.05);
        self.UpdateSkeleton();
        self.UpdatePoints();
        s.proto.Update(0.05);
        ASSERT_EQ(self.currentTime, s.proto.currentTime);
        for (int j = 0; j < 2; j++)
            for (int e = 0; e < 16; e++)
                ASSERT_NEAR(self.skeleton[j].absolute.m[e], s.proto.joints[j].absolute.m[e], 1e-6) << step;
    }
    // Vertex 2 of the file is the third corner of triangle 0.
    const MODELVERTEX& v = s.proto.vertexBuffer[s.proto.indices[2]];
    for (int c = 0; c < 3; c++) EXPECT_NEAR(v.position[c], self.vertices[2].position[c], 1e-5);

    // Blending: four steps of 1/16 at 4 per unit, the clock held.
    ONEMODEL& m = s.proto;
    m.SetAnimation(5, 10, 1000, true, true);
    for (int i = 1; i <= 4; i++) {
        m.Animate(0.0625);
        EXPECT_TRUE(m.blendFactor == 0.25f * i && m.blending == (i < 4) && m.currentTime == 500.0f) << i;
    }
    EXPECT_FLOAT_EQ(m.joints[0].currentTranslation.x, 1.0f);

    // Scale shrinks attached vertices only; reverting undoes it exactly.
    m.RevertPoints(m.joints);
    m.joints[0].absolute.Identity();
    m.joints[1].absolute.Identity();
    const auto jointSpace = Buffer(m);
    m.scale = 0.5f;
    m.UpdatePoints(m.joints);
    for (int i = 0; i < m.numVertices; i++)
        EXPECT_EQ(m.vertexBuffer[i].position[0], jointSpace[6 * i] * (m.vertexBuffer[i].joint >= 0 ? 0.5f : 1.0f)) << i;
    m.RevertPoints(m.joints);
    EXPECT_EQ(Buffer(m), jointSpace);
}

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
