// The headless host: an EGL pbuffer, a clock that advances by a fixed step per call
// (no wall time, no sleeping), and PNG frames written at fixed scene-time intervals.
#pragma once

#include <string>

#include "view/ReefmereView.h"

struct HEADLESSOPTIONS {
    int width = 1280;  // pixels
    int height = 720;
    double seconds = 10.0;  // scene time to run
    std::string outDir;     // PNG frames (frame-0001.png, ...); empty: none
    double every = 0.5;     // scene seconds between frames written to outDir
    std::string snapshot;   // the last frame alone, to this file; empty: none
    bool preview = false;
    double delay = 0.0;  // -delay: scene seconds between frames at least; 0: the view's
};

// Seconds the headless clock advances per host call for a view: its animation interval
// (or delay, when longer), nudged to lie above the view's minimum step so that no call is
// wasted (1/60 in double is below the single-precision 1/60 the view compares with).
double HeadlessStep(const ReefmereView& view, double delay = 0.0);

// Writes an RGBA8 picture (top row first) as PNG; false with one line on stderr.
bool WriteFramePNG(const std::string& path, const unsigned char* rgba, int width, int height);

// Runs a view for options.seconds of scene time. Returns a process exit status:
// 0 done, 1 when the GL context, the output folder or a frame file failed.
int RunHeadless(const HEADLESSOPTIONS& options, const VIEWOPTIONS& viewOptions);
