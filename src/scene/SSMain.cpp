// Scene controller construction, Setup, SetSize, Cleanup and the caustic render target.
// Setup runs its steps in a fixed order; each owner's step is marked where it belongs.
// Leans on water/ (WATERCLASS, BACKGROUND), fish/ (AQUARIUM) and image/ (Texture).
#include "scene/SSMain.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "fish/Aquarium.h"
#include "image/Texture.h"
#include "motion/unimotion.h"
#include "settings/Settings.h"
#include "water/Background.h"
#include "water/Water.h"

namespace {

// Side of the caustic render target, pixels.
const int kCausticSide = 128;

float AspectOf(int width, int height) {
    float a = height != 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    // Also catches NaN: a degenerate view draws as if square.
    if (!(a >= 1.0f)) a = 1.0f;
    return a;
}

}  // namespace

SSMAIN::SSMAIN() {
    bannerPos.x = 0.0f;  // off screen until the first showing places it
    bannerPos.y = -35.0f;
    lightPos = {0.0f, 60.0f, 40.0f};
}

SSMAIN::~SSMAIN() { Cleanup(); }

bool SSMAIN::Setup(bool isPreview, int width, int height, SETTINGS* settings, const char* archivePath) {
    if (!settings) return false;
    preview = isPreview;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    waterShift = settings->WATERSHIFT;
    wantCaustic = settings->WANTCAUSTIC;
    gradualFill = settings->GRADUALFILL;
    smsReverse = settings->SMSREVERSE;
    skipPasses = ParseSkipPasses(std::getenv("REEFMERE_SKIP_PASSES"));

    // Water, background grid, aquarium and resource textures are replaced here, in this
    // order, before anything is drawn:
    delete water;
    water = new (std::nothrow) WATERCLASS;
    if (!water) return false;
    delete background;
    background = new (std::nothrow) BACKGROUND;
    if (!background) return false;
    delete aquarium;
    aquarium = new (std::nothrow) AQUARIUM;
    if (!aquarium) return false;
    // Resource textures: slot k is lump k of the archive (banner 1, captions 4 to 8,
    // bubble 9). A failed load leaves the array (if any) to Cleanup.
    if (resTextures) {
        for (int32_t i = textureCount - 1; i >= 0; i--) resTextures[i].Destroy();
        delete[] resTextures;
        resTextures = nullptr;
    }
    textureCount = 0;
    if (!LoadTexturesFromDataFile(archivePath, &resTextures, &textureCount)) return false;

    SetSize(width, height);

    // Camera: the modelview is at identity when the view calls Setup.
    float view[16];
    camera.View(view);
    glMultMatrixf(view);

    // Light 0 is positional, placed under the camera transform above.
    const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat specular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat position[4] = {lightPos.x, lightPos.y, lightPos.z, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glCullFace(GL_BACK);  // culling itself is switched on only while fish are drawn
    // What every pass relies on, whoever made the context: depth by LEQUAL, and colours
    // that set the lit material (the fade darkens fish and surface through them).
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);

    // An allocation failure leaves a grid the water update and draws skip safely.
    water->Initialize(static_cast<unsigned short>(waterShift & 0xFFFF), 64.0f, true, 1.0f);
    background->InitWobble();
    if (!aquarium->Setup(settings)) return false;
    // Slot 9 holds the bubble; an archive without it leaves the bubbles untextured.
    aquarium->bubbleTexture = textureCount > 9 ? resTextures[9].texID : 0;
    if (wantCaustic) {
        if (causticTexture) glDeleteTextures(1, &causticTexture);
        causticTexture = EmptyTexture();
    }

    // Wanted level in [0.65, 1.09] when random; above 1 the tank simply stays full.
    double wanted = static_cast<double>(settings->WWATERLEVEL) / 100.0;
    if (settings->RWATERLEVEL) wanted = static_cast<double>(rand() % 45) / 100.0 + 0.65;
    wantedLevel = static_cast<float>(wanted);
    waterLevel = gradualFill ? 0.0f : wantedLevel;

    smsActive = false;
    if (settings->WANTSMS) {
        smsKind = detect_sms();
        if (smsKind == 0) return true;  // no sensor: the tank is never tilted
        smsActive = true;
        VECTOR3D v{0.0f, 0.0f, 0.0f};
        restRoll = 0.0f;
        // A failed first read counts as a level machine.
        if (read_sms(smsKind, &smsRaw.x, &smsRaw.y, &smsRaw.z))
            v = {static_cast<float>(smsRaw.x), static_cast<float>(smsRaw.y), static_cast<float>(smsRaw.z)};
        v = v / 256.0f;
        v *= 90.0f;  // a reading of 256 is 90 degrees
        if (v.z < 0.0f) v.x = 180.0f - v.x;
        restRoll = v.x;
        tiltTarget = {0.0f, 0.0f, v.x};
        tiltCurrent = {0.0f, 0.0f, v.x};
    }
    return true;
}

void SSMAIN::SetSize(int width, int height) {
    viewWidth = width;
    viewHeight = height;
    aspect = AspectOf(width, height);
    // The projection's own ratio, also below 1 on a portrait view.
    camera.aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    viewVolume = camera.Frustum();
}

void SSMAIN::Cleanup() {
    delete water;
    water = nullptr;
    delete background;
    background = nullptr;
    if (aquarium) {
        aquarium->CleanupFishList();
        aquarium->Cleanup();
        delete aquarium;
        aquarium = nullptr;
    }
    if (resTextures) {
        // Last to first, as they were built.
        for (int32_t i = textureCount - 1; i >= 0; i--) resTextures[i].Destroy();
        delete[] resTextures;
        resTextures = nullptr;
    }
    textureCount = 0;
    if (backgroundTexture) glDeleteTextures(1, &backgroundTexture);
    backgroundTexture = 0;
    if (causticTexture) glDeleteTextures(1, &causticTexture);
    causticTexture = 0;
    if (pictureTexture) glDeleteTextures(1, &pictureTexture);
    pictureTexture = 0;
    pictureSource = 0;
    if (dimTexture) glDeleteTextures(1, &dimTexture);
    dimTexture = 0;
    dimSource = 0;
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_CULL_FACE);
}

uint32_t ParseSkipPasses(const char* list) {
    static const struct {
        const char* name;
        uint32_t bit;
    } kNames[] = {
        {"caustic-texture", kSkipCausticTexture},
        {"below", kSkipBelow},
        {"above", kSkipAbove},
        {"surface", kSkipSurface},
        {"fish", kSkipFish},
        {"fish-caustic", kSkipFishCaustic},
        {"wall-caustic", kSkipWallCaustic},
        {"overlay", kSkipOverlay},
    };
    uint32_t bits = 0;
    while (list && *list) {
        const char* end = std::strchr(list, ',');
        const size_t len = end ? static_cast<size_t>(end - list) : std::strlen(list);
        for (const auto& k : kNames)
            if (std::strlen(k.name) == len && std::strncmp(k.name, list, len) == 0) bits |= k.bit;
        list = end ? end + 1 : nullptr;
    }
    return bits;
}

uint32_t EmptyTexture() {
    std::vector<unsigned char> zeros(static_cast<size_t>(kCausticSide) * kCausticSide * 4, 0);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, kCausticSide, kCausticSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}
