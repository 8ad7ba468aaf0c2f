// The scene controller: one per view. Owns the water, the background wobble grid, the
// aquarium, the resource textures and the caustic render target; steps and draws them.
// A frame is Update (every change of state, no GL) then DrawFrame (GL, reads only).
// Setup/SetSize/Cleanup live in SSMain.cpp, the frame step in SSMainUpdate.cpp, the 3D
// passes in SSMainDraw.cpp, the underlay and overlay in SSMainOverlay.cpp.
#pragma once

#include <cstdint>

#include "math/Camera.h"
#include "math/GLStuff.h"
#include "math/NiftyMaths.h"

struct SETTINGS;
struct Texture;
class WATERCLASS;
class BACKGROUND;
class AQUARIUM;

// Drawing passes a measurement run may leave out (REEFMERE_SKIP_PASSES), one bit each.
enum SKIPPASS : uint32_t {
    kSkipCausticTexture = 1u << 0,  // "caustic-texture": the 128 x 128 render-to-texture
    kSkipBelow = 1u << 1,           // "below": the wobbling picture under the water line
    kSkipAbove = 1u << 2,           // "above": the plain picture above it
    kSkipSurface = 1u << 3,         // "surface": the refracting water surface
    kSkipFish = 1u << 4,            // "fish": fish and bubbles
    kSkipFishCaustic = 1u << 5,     // "fish-caustic": the projected caustic over the fish
    kSkipWallCaustic = 1u << 6,     // "wall-caustic": the back-wall caustic quad
    kSkipOverlay = 1u << 7,         // "overlay": banner, caption and title card
};
// The bits named in a comma-separated list of the names above; unknown names are ignored.
uint32_t ParseSkipPasses(const char* list);

// A raw motion-sensor reading.
struct SMSREADING {
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
};

class SSMAIN {
public:
    SSMAIN();
    ~SSMAIN();
    SSMAIN(const SSMAIN&) = delete;
    SSMAIN& operator=(const SSMAIN&) = delete;

    // Builds the scene; the GL context must be current and the modelview at identity.
    // archivePath is the resource archive ("kelpish.tidewares"). False when an object
    // cannot be made, the archive cannot be loaded or the aquarium setup fails; what was
    // built stays owned and Cleanup releases it.
    bool Setup(bool preview, int width, int height, SETTINGS* settings, const char* archivePath);
    void SetSize(int width, int height);  // pixels
    void Cleanup();                       // safe to repeat, and on a half-built scene

    // Seconds since the last drawn frame: the water tick and drops, the wobble, the level,
    // the tilt, the camera and its view volume, the fish and bubbles, the banner, caption
    // and title-card timers. Makes no GL call.
    void Update(double elapsed);
    // The whole frame into the current buffers: the caustic texture when the water ticked,
    // clear, underlay, 3D passes, overlay (the overlay alone behind a full title card).
    void DrawFrame();
    // Its parts, each setting the GL state it depends on.
    void Draw();                             // camera, surface, fish, caustic pass, overlay
    void RenderToTexture(uint32_t texture);  // caustic pattern -> texture (128 x 128)
    void DoUnderlay();
    // The picture as the screen shows it, one texel per pixel, into pictureTexture when
    // the picture or the view size changed since it was made (part of DrawFrame).
    void PreparePicture();
    // The picture at the underwater brightness (three quarters) into dimTexture when the
    // picture changed (part of DrawFrame).
    void PrepareDimmed();
    void DoOverlay();
    // The banner, caption and title-card timers and `fade`, by frameTime (part of Update).
    void StepOverlay();
    // The sensor poll and the easing of the drawn tilt (part of Update).
    void StepTilt();

    double frameTime = 0.0;  // seconds; set by Update
    int32_t viewWidth = 0;   // pixels; set by Setup / SetSize
    int32_t viewHeight = 0;  // pixels
    bool preview = false;
    float bannerTimer = 80.0f;  // seconds
    bool bannerShown = false;
    bool bannerAtTop = false;
    point2d bannerPos;  // pixels, y up
    uint32_t captionSlot = 5;
    float cardTimer = 60.0f;  // seconds
    float fade = 0.0f;        // 0..1, the title card's opacity
    // The fade the underlay and 3D passes darken by: `fade` before this frame's overlay
    // step, so the card leads the scene by one frame.
    float sceneFade = 0.0f;
    bool smsActive = false;
    bool smsReverse = false;
    float smsPollTimer = 0.0f;  // seconds
    int32_t smsKind = 0;        // from detect_sms
    SMSREADING smsRaw;
    VECTOR3D tiltTarget;    // degrees (z only)
    VECTOR3D tiltCurrent;   // degrees (z only)
    float restRoll = 0.0f;  // degrees
    // Roll (degrees) of the underlay's water line: the tilt before this frame's easing.
    float underlayRoll = 0.0f;
    float smsWindow = 60.0f;  // seconds
    int32_t textureCount = 0;
    Texture* resTextures = nullptr;    // owned array, slot = lump number
    WATERCLASS* water = nullptr;       // owned
    BACKGROUND* background = nullptr;  // owned
    AQUARIUM* aquarium = nullptr;      // owned
    uint32_t backgroundTexture = 0;    // GL name, given by the view, deleted by Cleanup
    uint32_t causticTexture = 0;       // GL name, owned
    // The draw pass's own copy of the picture at the view size (GL name, owned), and what
    // it was made from; not scene state: Update never reads it. 0: not made (yet).
    uint32_t pictureTexture = 0;
    uint32_t pictureSource = 0;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    // The picture darkened once to the brightness below the water line (GL name, owned),
    // and what it was made from: drawn unmodulated, it spares a software rasteriser a
    // multiply per pixel of the largest pass. 0: not made (none, or too large to copy).
    uint32_t dimTexture = 0;
    uint32_t dimSource = 0;
    float waterLevel = 1.0f;  // fraction of the tank
    float wantedLevel = 1.0f;
    int64_t waterShift = 6;
    bool wantCaustic = true;
    bool gradualFill = true;
    VECTOR3D lightPos;           // (0, 60, 40)
    CAMERA camera;               // eye (0, 0, 60) on the origin; aspect and roll kept by the scene
    FRUSTUM viewVolume;          // camera.Frustum(), refreshed by Update before the fish move
    bool causticDue = false;     // the water ticked in the last Update: redraw the caustic texture
    float dropTimer = 1.0f;      // seconds
    float waterTimer = 0.0f;     // seconds
    float aspect = 4.0f / 3.0f;  // width / height, never below 1
    // Passes DrawFrame leaves out, for measuring what each costs: set by Setup from
    // REEFMERE_SKIP_PASSES, 0 otherwise.
    uint32_t skipPasses = 0;
};

// A new 128 x 128 RGBA texture, all zero, left bound; repeat wrap, linear filters.
uint32_t EmptyTexture();

// Texture-coordinate generation for the caustic projector, and back to normal drawing.
void ReadyProjPass(float level);
void ReadyNormalPass();
// Push both matrices with a 128 x 128 orthographic projection (y down); pop both.
void ViewOrtho();
void ViewPerspective();
