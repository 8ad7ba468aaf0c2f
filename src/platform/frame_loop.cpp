// One frame loop for the real-clock hosts; see frame_loop.h.
#include "platform/frame_loop.h"

#include <algorithm>

double FrameStep(const ReefmereView& view, double delay) { return std::max(view.MinimumStep(), delay); }

double FrameWait(double now, double lastDrawn, double step) {
    if (now - lastDrawn > step) return 0.0;
    // The same comparison as the view's, so a call on waking draws: wait past the
    // deadline, not up to it (rounding could leave `left` at or below zero here).
    return std::max(lastDrawn + step - now, 1e-6);
}

void RunFrameLoop(const std::vector<ReefmereView*>& views, const FRAMELOOPHOOKS& hooks, double seconds, double delay) {
    const double start = hooks.now(hooks.user);
    const double kIdleWait = 1.0;  // no view animating: only input or the end can wake us
    while (hooks.pump(hooks.user)) {
        double now = hooks.now(hooks.user);
        if (seconds > 0.0 && now - start >= seconds) break;
        // A view called when due that neither drew nor restarted its clock could not make
        // its context current: it is tried again after its interval, not in a busy loop.
        std::vector<bool> stalled(views.size(), false);
        for (size_t i = 0; i < views.size(); ++i) {
            ReefmereView* v = views[i];
            if (!v->animating || FrameWait(now, v->animtime, FrameStep(*v, delay)) > 0.0) continue;
            const double before = v->animtime;
            v->animateOneFrame();
            now = hooks.now(hooks.user);
            stalled[i] = v->animtime == before;
        }
        // Measured after every view had its turn: one view's frame delays the next one's.
        double wait = kIdleWait;
        for (size_t i = 0; i < views.size(); ++i) {
            ReefmereView* v = views[i];
            if (!v->animating) continue;
            wait = std::min(
                wait, stalled[i] ? v->animationTimeInterval() : FrameWait(now, v->animtime, FrameStep(*v, delay)));
        }
        if (seconds > 0.0) wait = std::min(wait, std::max(start + seconds - now, 1e-6));
        if (wait > 0.0) hooks.wait(hooks.user, wait);
    }
}
