// Shared test helpers: temporary folders, a private home, running programs, a private
// Xvfb, a headless GL context with the tank's camera, reference frames, small fish
// archives, paths into the build tree.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/egl_context.h"

namespace testsupport {

// The build tree's folders (programs in bin/, the resource folder in share/reefmere/).
std::string BinDir();
std::string ShareDir();
std::string SourceDir();

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets environment variables for its lifetime, then puts back what was there.
class ScopedEnv {
public:
    explicit ScopedEnv(const std::map<std::string, std::string>& vars);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::map<std::string, std::pair<bool, std::string>> old_;  // name -> (was set, value)
};

// A private home for one test: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME point into a
// fresh folder while it lives, so the preference store, the fish folder and
// ~/.xscreensaver are the test's own.
class PrivateHome {
public:
    PrivateHome();
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;
    const std::string& path() const { return dir_.path(); }
    std::string operator/(const std::string& name) const { return dir_ / name; }
    std::string ConfigDir() const { return dir_ / "config"; }
    std::string DataDir() const { return dir_ / "data"; }
    std::string StorePath() const { return ConfigDir() + "/kpFishSS.plist"; }
    std::string FishDir() const { return DataDir() + "/reefmere/fish"; }
    // The environment for a program started from the test: this home, the given display
    // (none by default), no sound device and no saver window. Under the sanitizers the
    // child checks memory errors but not leaks (Mesa and SDL leak at exit, unsuppressably).
    std::map<std::string, std::string> Env(const std::string& display = "") const;

private:
    TempDir dir_;
    ScopedEnv env_;
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteFile(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& path);
long FileSize(const std::string& path);  // -1 when absent

struct RunResult {
    int exitCode = -1;       // exit status, or 128 + signal
    bool timedOut = false;   // killed after the time limit
    std::string output;      // standard output and standard error together
};
// Runs argv[0] with the given arguments and extra environment (NAME=VALUE entries added
// to or replacing the current ones), waiting at most timeoutSeconds.
RunResult Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
              double timeoutSeconds = 120.0);

// A program of the build (bin/<name>).
std::string Program(const std::string& name);

// A process started in the background; Stop() sends a signal and waits for it.
class Process {
public:
    Process() = default;
    ~Process();
    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});
    // Sends sig and waits up to timeoutSeconds; returns the exit status (128 + signal
    // when killed by one), or -1 when it had to be killed after the wait.
    int Stop(int sig, double timeoutSeconds, double* secondsTaken = nullptr);
    bool Running();
    int pid() const { return pid_; }
    std::string Output() const;  // what it has written so far

private:
    int pid_ = -1;
    std::string logPath_;
};

// A private X server (Xvfb) on a free display number; DISPLAY is set in this process
// while it lives. Skips nothing: a test that needs it fails when it cannot start.
class Xvfb {
public:
    explicit Xvfb(int width = 1024, int height = 768, const std::string& extraArgs = "");
    ~Xvfb();
    bool ok() const { return pid_ > 0; }
    const std::string& display() const { return display_; }

private:
    int pid_ = -1;
    std::string display_;
    std::string oldDisplay_;
    bool hadDisplay_ = false;
};

// Decodes a PNG (or any stb_image format) to RGBA8; empty on failure.
std::vector<uint8_t> LoadImageRGBA(const std::string& path, int* width, int* height);
// A 256 x 256 RGBA texture: red and green gradients across and up, blue in a checker of
// checker-texel squares, so any shift or bend of texture coordinates shows. Needs a
// current GL context; returns the GL name (linear filter, repeat).
unsigned PatternTexture(int checker);

bool WritePNG(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);

// A headless GL context with the tank's camera: perspective 45 degrees, near 1, far 120,
// the eye at (0, 0, 60) looking at the origin; LoadTankView() sets it in GL and in the
// shared frustum table.
class TankGL {
public:
    bool Create(int width, int height);
    void LoadTankView();
    std::vector<uint8_t> Pixels() const { return gl.ReadPixels(); }  // RGBA, top row first
    int width() const { return gl.Width(); }
    int height() const { return gl.Height(); }
    EglContext gl;
};
// Loads the tank camera's planes (at this aspect) into the shared frustum table; no GL.
void SetTankFrustum(float aspect = 4.0f / 3.0f);

// Compares a frame with a stored PNG: it matches when at most maxFraction of its pixels
// differ by more than tolerance in some channel (rasterisers differ a little at edges).
// With REEFMERE_UPDATE_REFERENCES set, the frame is written as the new reference instead.
bool MatchesReference(const std::vector<uint8_t>& rgba, int width, int height, const std::string& pngPath,
                      int tolerance, double maxFraction, std::string* why);

// A small fish archive built with the content kit's writers: a lozenge body on a root
// joint, extra joints with a triangle each, one swim and one rest key range, solid skins.
struct SpeciesRecipe {
    std::string displayName = "Test Fish";
    int skins = 2;
    bool mask = false;
    std::vector<uint32_t> skinKinds;  // per skin lump; empty: all TGA
    std::vector<uint32_t> modes;      // directory modes per lump index; empty: 0
    uint8_t modelScale = 100;
    uint8_t swimSpeed = 10;
    uint8_t turnRate = 60;
    uint8_t waterType = 0;
    uint32_t flags = 0;
    uint32_t animSpeed = 1000;
    uint32_t swimFrames = 10;
    uint32_t secondFrames = 6;
    float reach[3] = {2.0f, 1.5f, 4.0f};  // body half-extent on x, y, z (z is the nose)
    float tail = -4.0f;                   // z of the tail tip
    std::vector<std::string> extraJoints = {"eyel", "eyer", "mouth"};  // children of "body"
    int skinSize = 8;                     // pixels a side
    uint8_t colour[3] = {230, 120, 40};
    bool sphereMapped = false;            // material mode bit 7
};
// The whole archive; modelOverride replaces lump 0 when not empty.
std::vector<uint8_t> BuildSpecies(const SpeciesRecipe& recipe, const std::vector<uint8_t>& modelOverride = {});
bool WriteSpecies(const std::string& path, const SpeciesRecipe& recipe);

}  // namespace testsupport
