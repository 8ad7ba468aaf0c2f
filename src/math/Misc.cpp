// Small helpers, error hooks and diagnostic writers. Diagnostics go to a per-user
// state folder ($XDG_STATE_HOME/reefmere, ~/.local/state/reefmere or /tmp/reefmere-<uid>).
#include "math/Misc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int32_t fCount = 0;
double frameRate = 0.0;
double lastcountTime = 0.0;
int32_t lastcountFrame = 0;

namespace {

bool DebugEnabled() {
    const char* v = std::getenv("REEFMERE_DEBUG");
    return v && std::strcmp(v, "1") == 0;
}

void ReportHook(const char* kind, const char* message) {
    if (!DebugEnabled()) return;
    std::fprintf(stderr, "reefmere: %s: %s\n", kind, message ? message : "(no message)");
}

// mkdir -p with owner-only permissions for the folders it creates.
bool MakeFolders(char* path) {
    size_t n = std::strlen(path);
    for (size_t i = 1; i <= n; ++i) {
        if (path[i] != '/' && path[i] != '\0') continue;
        char saved = path[i];
        path[i] = '\0';
        bool ok = mkdir(path, 0700) == 0 || errno == EEXIST;
        path[i] = saved;
        if (!ok) return false;
    }
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool FormatFits(unsigned long size, int written) { return written > 0 && static_cast<unsigned long>(written) < size; }

void AppendLine(const char* text) {
    char path[1024];
    if (!DiagnosticsPath("debug.txt", path, sizeof path)) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    std::fputs(text, f);
    std::fclose(f);
}

}  // namespace

void ERRORCLOSE(const char* message) { ReportHook("error", message); }

void ERRORBOX(const char* message) { ReportHook("error box", message); }

double clamp(double value, double min, double max) {
    // Non-finite input or a non-positive period would loop forever.
    if (!std::isfinite(value) || !(max > 0.0)) return value;
    // Jump most of a very long way in one step; the loops settle the rest.
    if (min - value > 1024.0 * max) value += std::floor((min - value) / max) * max;
    if (value - max > 1024.0 * max) value -= std::floor((value - max) / max) * max;
    while (min > value) value += max;
    while (value >= max) value -= max;
    return value;
}

VECTOR3D MakePoint(float x, float y, float z) { return {x, y, z}; }

point2d Make2DPoint(float x, float y) { return {x, y}; }

COLOUR MakeColour(float r, float g, float b, float a) { return {r, g, b, a}; }

void Rotate(VECTOR3D* v, float ax, float ay, float az) {
    if (!v) return;
    if (ax == 0.0f && ay == 0.0f && az == 0.0f) return;
    const double pi = 3.141592653589793;
    float rx = static_cast<float>(ax * pi / 180.0);
    float ry = static_cast<float>(ay * pi / 180.0);
    float rz = static_cast<float>(az * pi / 180.0);
    if (rx != 0.0f) {
        double c = std::cos(rx), s = std::sin(rx);
        float y = static_cast<float>(c * v->y - s * v->z);
        float z = static_cast<float>(s * v->y + c * v->z);
        v->y = y;
        v->z = z;
    }
    if (ry != 0.0f) {
        double c = std::cos(ry), s = std::sin(ry);
        float x = static_cast<float>(c * v->x + s * v->z);
        float z = static_cast<float>(c * v->z - s * v->x);
        v->x = x;
        v->z = z;
    }
    if (rz != 0.0f) {
        double c = std::cos(rz), s = std::sin(rz);
        float x = static_cast<float>(c * v->x - s * v->y);
        float y = static_cast<float>(s * v->x + c * v->y);
        v->x = x;
        v->y = y;
    }
}

VECTOR3D CalculateNormal(VECTOR3D a, VECTOR3D b, VECTOR3D c) {
    return VectorCrossProduct(SubtractVectors(a, b), SubtractVectors(b, c));
}

void CalcFrameRate(double now) {
    if (now < 0.25) return;
    if (now > lastcountTime + 0.25) {
        int32_t frames = static_cast<int32_t>(static_cast<uint32_t>(fCount) - static_cast<uint32_t>(lastcountFrame));
        frameRate = frames / (now - lastcountTime);
        lastcountTime = now;
        lastcountFrame = fCount;
    }
}

bool DiagnosticsPath(const char* name, char* out, unsigned long outSize) {
    if (!out || outSize == 0) return false;
    out[0] = '\0';
    if (!name || !*name || std::strchr(name, '/')) return false;
    char dir[1024];
    int n;
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (state && state[0] == '/')
        n = std::snprintf(dir, sizeof dir, "%s/reefmere", state);
    else if (home && home[0] == '/')
        n = std::snprintf(dir, sizeof dir, "%s/.local/state/reefmere", home);
    else
        n = std::snprintf(dir, sizeof dir, "/tmp/reefmere-%u", static_cast<unsigned>(getuid()));
    if (!FormatFits(sizeof dir, n) || !MakeFolders(dir)) return false;
    n = std::snprintf(out, outSize, "%s/%s", dir, name);
    if (!FormatFits(outSize, n)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

void DEBUGp3d(VECTOR3D v) {
    char line[256];
    std::snprintf(line, sizeof line, "%f,%f,%f\n", v.x, v.y, v.z);
    AppendLine(line);
}

void DEBUGstr(const char* text) {
    char path[1024];
    if (!DiagnosticsPath("debug.txt", path, sizeof path)) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    std::fprintf(f, "%s\n", text ? text : "");
    std::fclose(f);
}

void DEBUG(double value) {
    char line[512];
    std::snprintf(line, sizeof line, "%f\n", value);
    AppendLine(line);
}

void MessageBox(void* /*owner*/, const char* text, const char* caption, int /*flags*/) {
    std::fprintf(stderr, "reefmere: %s: %s\n", caption ? caption : "alert", text ? text : "");
}
