// SSMAIN::DrawFrame and Draw: the refracting water surface, the fish, the projected
// caustic pass over the fish and the back wall, then the overlay; all as Update left the
// scene. Also the caustic render-to-texture and the projector / ortho state switches.
// Leans on water/ (WATERCLASS), fish/ (AQUARIUM), math/ (camera, look-at matrix).
#include <GL/gl.h>
#include <GL/glu.h>

#include "fish/Aquarium.h"
#include "math/GLStuff.h"
#include "math/NiftyMaths.h"
#include "scene/SSMain.h"
#include "water/Water.h"

namespace {

// Side of the caustic render target, pixels.
constexpr int kCausticSide = 128;
// Tank back wall (world units): the plane z = -37 down to y = -100.
constexpr float kBackWallZ = -37.0f;
constexpr float kBackWallBottom = -100.0f;

float SurfaceY(float level) { return static_cast<float>(level * 80.0 - 40.0); }

// Whether the bound texture already holds a 128 x 128 RGBA level 0 (as EmptyTexture and
// every earlier copy leave it).
bool IsCausticTarget() {
    GLint w = 0, h = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    return w == kCausticSide && h == kCausticSide && (format == 4 || format == GL_RGBA || format == GL_RGBA8);
}

}  // namespace

void SSMAIN::DrawFrame() {
    // The caustic render clears only its own corner first, and the buffers once after its
    // copy, which stands in for the frame's clear.
    if (causticDue && !(skipPasses & kSkipCausticTexture)) {
        RenderToTexture(causticTexture);
    } else {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glViewport(0, 0, viewWidth, viewHeight);
    // Behind the title card at full strength every scene pass draws black over the black
    // clear: only the overlay shows. The caustic texture above stays current for the
    // first frame after the card.
    if (sceneFade >= 1.0f) {
        if (!(skipPasses & kSkipOverlay)) DoOverlay();
        return;
    }
    if (!(skipPasses & kSkipAbove)) PreparePicture();
    PrepareDimmed();
    DoUnderlay();
    Draw();
}

void SSMAIN::Draw() {
    camera.Load();
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    const GLfloat light[4] = {lightPos.x, lightPos.y, lightPos.z, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);

    const float surfaceY = SurfaceY(waterLevel);
    if (waterLevel < 1.0f && water && !(skipPasses & kSkipSurface)) {
        const float c = sceneFade * -0.75f + 0.75f;
        glColor4f(c, c, c, 1.0f);
        glPushMatrix();
        glTranslatef(0.0f, surfaceY, -5.0f);
        glBindTexture(GL_TEXTURE_2D, backgroundTexture);
        // Tipped about an axis 32 units behind the surface centre: -20 degrees when
        // empty, towards +20 as the tank fills.
        glTranslatef(0.0f, 0.0f, -32.0f);
        glRotatef(40.0f * waterLevel - 20.0f, 1.0f, 0.0f, 0.0f);
        glTranslatef(0.0f, 0.0f, 32.0f);
        glScalef(1.66f, 1.0f, 1.0f);
        water->DrawSurface();
        glPopMatrix();
    }

    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    const float bright = 1.0f - sceneFade;
    glColor4f(bright, bright, bright, 1.0f);
    glPushMatrix();
    if (aquarium && !(skipPasses & kSkipFish)) aquarium->Draw(false);
    glPopMatrix();

    if (wantCaustic) {
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        const float c = sceneFade * -0.25f + 0.25f;
        glColor4f(c, c, c, c);
        glDisable(GL_LIGHTING);
        ReadyProjPass(waterLevel);
        glBindTexture(GL_TEXTURE_2D, causticTexture);
        // The second pass over the same fish must win the depth test.
        glDepthMask(GL_FALSE);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(-0.1f, -0.5f);
        glPushMatrix();
        if (aquarium && !(skipPasses & kSkipFishCaustic)) aquarium->Draw(true);
        glPopMatrix();
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDepthMask(GL_TRUE);
        glDisable(GL_CULL_FACE);

        // Back wall; texture coordinates come from the projector.
        const float w = 60.0f * aspect;
        if (!(skipPasses & kSkipWallCaustic)) {
            glBegin(GL_QUADS);
            glVertex3f(-w, surfaceY, kBackWallZ);
            glVertex3f(w, surfaceY, kBackWallZ);
            glVertex3f(w, kBackWallBottom, kBackWallZ);
            glVertex3f(-w, kBackWallBottom, kBackWallZ);
            glEnd();
        }
        ReadyNormalPass();
    }

    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    if (!preview && !(skipPasses & kSkipOverlay)) DoOverlay();
    glDisable(GL_TEXTURE_2D);
}

void SSMAIN::RenderToTexture(uint32_t texture) {
    glViewport(0, 0, kCausticSide, kCausticSide);
    // The pattern blends onto the target: start it from clear, whatever the buffer held.
    // Only the target is cleared, so the whole frame is cleared once per frame, after this.
    glScissor(0, 0, kCausticSide, kCausticSide);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    ViewOrtho();
    if (water) {
        glPushMatrix();
        // The 64-unit water square fills the 128-pixel target, turned to face the viewer.
        glScalef(2.0f, 2.0f, 1.0f);
        glTranslatef(32.0f, 32.0f, 0.0f);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        water->DrawCaustics();
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);
        glPopMatrix();
    }
    ViewPerspective();
    glBindTexture(GL_TEXTURE_2D, texture);
    if (IsCausticTarget()) {
        // Same size and format: copy into the storage in place rather than reallocate it.
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, kCausticSide, kCausticSide);
    } else {
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, kCausticSide, kCausticSide, 0);
    }
    // The frame has not been drawn yet: leave clean buffers behind.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, viewWidth, viewHeight);
}

void ReadyProjPass(float level) {
    // Planes given under the camera (and tilt) transform: generated coordinates are
    // world positions (x, y, z, 1).
    const GLfloat sPlane[4] = {1.0f, 0.0f, 0.0f, 0.0f};
    const GLfloat tPlane[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    const GLfloat rPlane[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    const GLfloat qPlane[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glTexGenfv(GL_S, GL_EYE_PLANE, sPlane);
    glTexGenfv(GL_T, GL_EYE_PLANE, tPlane);
    glTexGenfv(GL_R, GL_EYE_PLANE, rPlane);
    glTexGenfv(GL_Q, GL_EYE_PLANE, qPlane);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_Q, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
    glEnable(GL_TEXTURE_GEN_Q);

    // Projector at (0, 100, 20) aimed at the back wall's water line.
    VECTOR3D from{0.0f, 100.0f, 20.0f};
    VECTOR3D to{0.0f, level * 80.0f - 40.0f, kBackWallZ};
    const MATRIX m = TransposeMatrix(MatrixAngleBetweenVectors(from, to));

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.0f, 0.0f);
    glScalef(level * -0.5f + 1.1f, 1.0f, 1.0f);  // 1.1 when empty, 0.6 when full
    gluPerspective(65.0, 1.0, 0.1, 1.0);
    glMultMatrixd(m.m);
    glTranslatef(0.0f, -100.0f, -20.0f);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
}

void ReadyNormalPass() {
    // S and T stay in sphere-map mode: fish materials with generated coordinates switch
    // generation on and rely on the mode they find.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
}

void ViewOrtho() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, kCausticSide, kCausticSide, 0.0, -1.0, 1.0);  // y grows downwards
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void ViewPerspective() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
