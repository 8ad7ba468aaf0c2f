// The view's lifecycle and frame loop: creation (settings, capture), pacing with the
// 2 s skip, the sound countdown, the scene's setup, GL state and projection, teardown.
// Leans on scene/SSMain, settings/Settings and the host table.
#include "view/ReefmereView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>

#include "scene/SSMain.h"
#include "view/BackgroundSource.h"
#include "settings/Paths.h"

namespace {

// Pacing, seconds.
const double kSkipGap = 2.0;                                // longer gaps are dropped
const double kLowCpuStep = 0.05;                            // at most 20 frames a second
const double kNormalStep = static_cast<float>(1.0 / 60.0);  // 0.016666668
const double kIntervalNormal = 0.016666666666666666;        // host call rate, 60 Hz
const double kIntervalLowCpu = 0.028571428571428571;        // 35 Hz
const float kSoundParked = 9999.9f;

}  // namespace

ReefmereView::ReefmereView(const REEFHOST& h, const VIEWOPTIONS& opts) : host(h), options(opts) {
    viewAllocated = true;
    glReady = false;

    if (options.useStore) {
        LoadSettings(&mySettings, &MainMonitorOnly);
        // So the hack does what XScreenSaver's dialog shows: it passes only what differs
        // from the defaults it shows.
        if (options.optionsOnly) DefaultSettings(&mySettings, &MainMonitorOnly);
    } else {
        DefaultSettings(&mySettings, &MainMonitorOnly);
        CopyToField(mySettings.FishPath, sizeof mySettings.FishPath, ResourceFolder().c_str());
        CopyToField(mySettings.FishPath2, sizeof mySettings.FishPath2, UserFishFolder().c_str());
        SetFishSelection(&mySettings, "");
    }
    ApplySettingOverrides(options.overrides, &mySettings, &MainMonitorOnly);
    LimitSettings(&mySettings, nullptr);  // overrides are checked when parsed; this is the backstop

    int w = 0, hgt = 0;
    if (host.viewSize) host.viewSize(host.user, &w, &hgt);
    Scrn.width = w;
    Scrn.height = hgt;
    ThisScreenIsOn = true;
    initialized = false;

    if (mySettings.BGTYPE == 0) {
        DeskTex.texID = 0;
        GetDesktopTexture(&DeskTex.texID, Detail());
        // No capture: the desktop picture, for the life of this view (not stored).
        if (DeskTex.texID == 0) mySettings.BGTYPE = 1;
    }
    animationInterval = mySettings.LOWCPU ? kIntervalLowCpu : kIntervalNormal;
    soundDelay = 0.1f;
}

ReefmereView::~ReefmereView() {
    bool current = MakeCurrent();
    DropScene();
    if (bgSound && host.soundStop) host.soundStop(host.user);
    bgSound = false;
    FreeFishSelection(&mySettings);
    if (current) {
        DeskTex.Destroy();
    } else {
        DeskTex.texID = 0;  // no context: the name dies with the context
        DeskTex.Destroy();
    }
}

void ReefmereView::DropScene() {
    delete ssMain;  // its destructor runs Cleanup
    ssMain = nullptr;
    // The scene deleted the background name it was given; never delete a name twice
    // (it may already belong to someone else).
    if (deskTexGiven) {
        DeskTex.texID = 0;
        deskTexGiven = false;
    }
}

bool ReefmereView::MakeCurrent() { return host.makeCurrent ? host.makeCurrent(host.user) : true; }

int ReefmereView::Detail() const { return host.preview ? 0 : mySettings.BGRES; }

double ReefmereView::MinimumStep() const { return mySettings.LOWCPU ? kLowCpuStep : kNormalStep; }

void ReefmereView::startAnimation() {
    bool mainScreen = host.isMainScreen ? host.isMainScreen(host.user) : true;
    ThisScreenIsOn = !(MainMonitorOnly && !mainScreen);
    // Only the main screen's view plays sound.
    if (mySettings.PLAYSOUND && !mainScreen) mySettings.PLAYSOUND = false;
    if (MakeCurrent()) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (host.swapBuffers) host.swapBuffers(host.user);
    }
    animating = true;
}

void ReefmereView::stopAnimation() {
    animating = false;
    if (host.stopAnimation) host.stopAnimation(host.user);
}

void ReefmereView::animateOneFrame() {
    if (!ThisScreenIsOn) {
        stopAnimation();
        return;
    }
    if (!MakeCurrent()) return;
    if (!glReady) {
        glInit();
        glReady = true;
    }
    if (!initialized) {
        // A scene that failed half-way is never stepped or drawn.
        if (!mainSetup()) DropScene();
        initialized = true;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    double now = host.now ? host.now(host.user) : 0.0;
    double dt = now - animtime;
    if (dt > kSkipGap) {
        animtime = now;
        return;
    }
    if (dt > MinimumStep()) {
        animtime = now;
        if (ssMain) {
            ssMain->Update(dt);
            ssMain->DrawFrame();
        } else {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        }
        if (host.swapBuffers) host.swapBuffers(host.user);
        framesDrawn++;
    }

    // Counted also on calls that drew nothing: dt is the time since the last drawn frame.
    if (!host.preview && mySettings.PLAYSOUND) {
        soundDelay = static_cast<float>(soundDelay - dt);
        if (soundDelay < 0.0f) {
            if (!bgSound) {
                std::string wav = ResourceFile("kelpish.wav");
                if (host.soundPlay) host.soundPlay(host.user, wav.c_str(), static_cast<float>(mySettings.VOLUME));
                bgSound = true;  // once per view, whether or not a device was there
            }
            soundDelay = kSoundParked;
        }
    }
}

bool ReefmereView::mainSetup() {
    int w = static_cast<int>(Scrn.width);
    int h = static_cast<int>(Scrn.height);
    srand(options.fixedSeed ? options.seed : static_cast<unsigned>(time(nullptr)));

    DropScene();
    ssMain = new (std::nothrow) SSMAIN();
    if (!ssMain) {
        fprintf(stderr, "reefmere: out of memory for the scene\n");
        return false;
    }
    std::string archive = ResourceFile("kelpish.tidewares");
    if (archive.size() > 16383) archive.resize(16383);
    if (!ssMain->Setup(host.preview, w, h, &mySettings, archive.c_str())) return false;

    // Background source by BGTYPE (1 desktop picture, 2 a random picture from BGPath;
    // 0 was captured at creation). The picture chain lives in view/BackgroundSource.
    ChooseBackground(host, mySettings.BGTYPE, mySettings.BGPath, Detail(), ResourceFolder(), &DeskTex);

    ssMain->backgroundTexture = DeskTex.texID;
    deskTexGiven = DeskTex.texID != 0;
    animtime = host.now ? host.now(host.user) : 0.0;
    return true;
}

void ReefmereView::glInit() {
    int w = 0, h = 0;
    if (host.viewSize) host.viewSize(host.user, &w, &h);
    Scrn.width = w;
    Scrn.height = h;
    glViewport(0, 0, w, h);
    if (ssMain) ssMain->SetSize(w, h);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glReshape();
}

void ReefmereView::glReshape() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    float w = static_cast<float>(Scrn.width);
    float h = static_cast<float>(Scrn.height);
    gluPerspective(45.0, h > 0.0f ? w / h : 1.0f, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ReefmereView::setFrameSize(int width, int height) {
    // The host has already resized its drawable; glInit re-reads the size from it.
    Scrn.width = width;
    Scrn.height = height;
    glReady = false;
}
