// The frame loop of the hosts that run on a real clock (the window, full screen on every
// monitor, the hack): one loop over one or more views, each called when its next frame
// is due and never before, sleeping in between. The clock, the sleep and the event pump
// come from the host, so the loop runs the same under a test's injected clock.
#pragma once

#include <vector>

#include "view/ReefmereView.h"

struct FRAMELOOPHOOKS {
    void* user = nullptr;
    // Monotonic seconds: the clock the views read through their host table.
    double (*now)(void* user) = nullptr;
    // Sleeps for at least `seconds` (> 0) unless input or a quit request arrives first.
    void (*wait)(void* user, double seconds) = nullptr;
    // Handles pending input (resizes reach the views here); false ends the loop.
    bool (*pump)(void* user) = nullptr;
};

// Microseconds between frames that -delay accepts: up to 1 s (longer would run into the
// view's 2 s skip).
const long kMaxFrameDelayMicros = 1000000;

// The pacing step of a view: its minimum step, or the host's delay (seconds) when longer.
double FrameStep(const ReefmereView& view, double delay);

// Seconds to sleep before a view whose last frame was drawn at lastDrawn may draw again:
// 0 when now - lastDrawn > step (due), else the time left, never less than 1 us, so a
// host that sleeps this long never wakes before the frame is due.
double FrameWait(double now, double lastDrawn, double step);

// Drives the views until the pump says stop or `seconds` (> 0) have passed since the
// start. A view that stopped animating is no longer called. delay: seconds between
// frames asked for by the host (0: the views' own rate).
void RunFrameLoop(const std::vector<ReefmereView*>& views, const FRAMELOOPHOOKS& hooks, double seconds, double delay);
