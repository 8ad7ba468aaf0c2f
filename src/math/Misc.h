// Small helpers: error hooks, a wrapping clamp, value constructors, Euler rotation of a
// vector, a triangle normal, a frame-rate counter and diagnostic writers.
#pragma once

#include <cstdint>

#include "math/NiftyMaths.h"

struct COLOUR {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

// Frame-rate counter state, all zero at start.
extern int32_t fCount;
extern double frameRate;
extern double lastcountTime;  // seconds
extern int32_t lastcountFrame;

// Load-error hooks: never block, never show anything. The message goes to stderr
// (one line) only when the environment has REEFMERE_DEBUG=1.
void ERRORCLOSE(const char* message);
void ERRORBOX(const char* message);

// Wraps rather than clamps: with min = 0 the result lies in [0, max).
double clamp(double value, double min, double max);

VECTOR3D MakePoint(float x, float y, float z);
point2d Make2DPoint(float x, float y);
COLOUR MakeColour(float r, float g, float b, float a);

// Rotates *v in place by Rz(az)·Ry(ay)·Rx(ax), degrees.
void Rotate(VECTOR3D* v, float ax, float ay, float az);

// Unnormalised normal (a - b) × (b - c).
VECTOR3D CalculateNormal(VECTOR3D a, VECTOR3D b, VECTOR3D c);

// Refreshes frameRate from fCount at most four times a second; now in seconds.
void CalcFrameRate(double now);

// Diagnostic writers appending to "debug.txt" in the per-user diagnostics folder
// (DiagnosticsPath). They write nothing if the file cannot be opened.
void DEBUGp3d(VECTOR3D v);
void DEBUGstr(const char* text);
void DEBUG(double value);

// Full path of a diagnostic file: $XDG_STATE_HOME/reefmere/<name>, else
// $HOME/.local/state/reefmere/<name>, else /tmp/reefmere-<uid>/<name>. The folder is
// created on demand. Returns false (and leaves out empty) if no folder can be made.
bool DiagnosticsPath(const char* name, char* out, unsigned long outSize);

// Alert for the image loaders: one line "caption: text" on stderr; never blocks.
// The owner and flags are ignored.
void MessageBox(void* owner, const char* text, const char* caption, int flags);
