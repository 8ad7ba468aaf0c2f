// A host for view tests: a real EGL context and an injected clock; counts what the view
// asks of it.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/egl_context.h"
#include "view/ReefmereView.h"

struct TestHost {
    EglContext gl;
    double clock = 1000.0;  // seconds
    int width = 320;
    int height = 240;
    bool mainScreen = true;
    int swaps = 0;
    int stopRequests = 0;
    int soundStarts = 0;
    int soundStops = 0;
    float soundVolume = -1.0f;
    std::string soundPath;
    // Capture: a width x height block from this generator (empty: no capture).
    std::vector<uint8_t> capture;
    int captureW = 0, captureH = 0;

    REEFHOST Table(bool preview = false) {
        REEFHOST h;
        h.user = this;
        h.preview = preview;
        h.makeCurrent = [](void* u) { return static_cast<TestHost*>(u)->gl.MakeCurrent(); };
        h.now = [](void* u) { return static_cast<TestHost*>(u)->clock; };
        h.swapBuffers = [](void* u) { static_cast<TestHost*>(u)->swaps++; };
        h.viewSize = [](void* u, int* w, int* hh) {
            *w = static_cast<TestHost*>(u)->width;
            *hh = static_cast<TestHost*>(u)->height;
        };
        h.isMainScreen = [](void* u) { return static_cast<TestHost*>(u)->mainScreen; };
        h.captureScreen = [](void* u, int* w, int* hh) -> uint8_t* {
            auto* t = static_cast<TestHost*>(u);
            *w = *hh = 0;
            if (t->capture.empty()) return nullptr;
            auto* p = static_cast<uint8_t*>(malloc(t->capture.size()));
            memcpy(p, t->capture.data(), t->capture.size());
            *w = t->captureW;
            *hh = t->captureH;
            return p;
        };
        h.soundPlay = [](void* u, const char* path, float volume) {
            auto* t = static_cast<TestHost*>(u);
            t->soundStarts++;
            t->soundPath = path;
            t->soundVolume = volume;
            return true;
        };
        h.soundStop = [](void* u) { static_cast<TestHost*>(u)->soundStops++; };
        h.stopAnimation = [](void* u) { static_cast<TestHost*>(u)->stopRequests++; };
        return h;
    }
};

// View options for tests: defaults (the store is not touched), fixed seed, overrides by key.
inline VIEWOPTIONS TestOptions(const std::vector<std::pair<const char*, const char*>>& overrides = {}) {
    VIEWOPTIONS o;
    o.useStore = false;
    o.fixedSeed = true;
    o.seed = 7;
    for (const auto& kv : overrides) {
        SettingOverride ov;
        ov.key = FindSettingKey(kv.first);
        if (ov.key) ParseSettingValue(*ov.key, kv.second, &ov.value);
        o.overrides.push_back(ov);
    }
    return o;
}
