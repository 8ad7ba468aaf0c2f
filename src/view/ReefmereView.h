// The screen saver's view: one per screen (plus the preview pane). It owns the settings
// record, the scene controller and the background picture, paces the frames, and plays
// the looping sound. It reaches the platform only through the REEFHOST table
// (view/HostInterface.h, where the host's calling order is documented).
#pragma once

#include <cstdint>
#include <vector>

#include "image/Texture.h"
#include "view/HostInterface.h"
#include "settings/SettingOverrides.h"
#include "settings/Settings.h"

class SSMAIN;

// How the view is created beyond the host table.
struct VIEWOPTIONS {
    bool useStore = true;  // false: defaults only, the store is not touched
    // XScreenSaver's dialog drives this run (--xscreensaver-options): every preference the
    // options leave out takes its default; the store supplies only the species selection.
    bool optionsOnly = false;
    std::vector<SETTINGOVERRIDE> overrides;  // applied after loading; never saved
    bool fixedSeed = false;                  // seed rand with `seed` instead of the time
    unsigned seed = 0;
};

// Width and height of the view, pixels.
struct VIEWRECT {
    double width = 0.0;
    double height = 0.0;
};

class ReefmereView {
public:
    // initWithFrame:isPreview: the host's GL context must exist (a screen capture for
    // background type 0 happens here). The size comes from host.viewSize.
    explicit ReefmereView(const REEFHOST& host, const VIEWOPTIONS& options = VIEWOPTIONS());
    ~ReefmereView();  // dealloc
    ReefmereView(const ReefmereView&) = delete;
    ReefmereView& operator=(const ReefmereView&) = delete;

    void startAnimation();
    void stopAnimation();
    void animateOneFrame();
    void setFrameSize(int width, int height);
    static bool hasConfigureSheet() { return true; }
    static bool performGammaFade() { return false; }
    // Seconds between the host's animateOneFrame calls: 1/60, or 1/35 with LOWCPU.
    double animationTimeInterval() const { return animationInterval; }

    bool mainSetup();
    void glInit();
    void glReshape();
    // Capture of the screen under the view into *texture (0 when none), sized by detail.
    void GetDesktopTexture(uint32_t* texture, int detail);

    // The smallest time between drawn frames, seconds: 0.05 with LOWCPU, else 1/60 in
    // single precision (0.016666668, just above 1/60 in double).
    double MinimumStep() const;

    // State, in the order the frame logic uses it.
    bool MainMonitorOnly = false;
    bool ThisScreenIsOn = true;
    bool viewAllocated = false;
    bool glReady = false;
    bool initialized = false;
    SETTINGS mySettings;
    double animtime = 0.0;  // host clock, seconds, of the last drawn frame
    VIEWRECT Scrn;
    SSMAIN* ssMain = nullptr;  // owned; null until mainSetup, and after it failed
    Texture DeskTex;           // background picture
    bool bgSound = false;      // the looping sound was started
    float soundDelay = 0.1f;   // seconds until the sound starts
    bool animating = false;
    double animationInterval = 0.016666666666666666;  // seconds
    int framesDrawn = 0;                              // drawn and swapped since creation

private:
    bool MakeCurrent();
    int Detail() const;
    // Tears the scene down, if any, with the context current; safe to repeat.
    void DropScene();

    REEFHOST host;
    VIEWOPTIONS options;
    bool deskTexGiven = false;  // the scene owns DeskTex.texID now (it deletes it)
};
