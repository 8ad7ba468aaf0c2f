// Shared test helpers: folders, private home, programs, Xvfb, pictures, fish archives.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Ms3dWriter.h"
#include "fish/FishData.h"
#include "platform/egl_context.h"

namespace testsupport {

std::string BinDir();  // the build's programs
std::string ShareDir();
std::string SourceDir();

// A fresh folder under /tmp, removed with its contents when the object goes.
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

// HOME, XDG_CONFIG_HOME and XDG_DATA_HOME in a fresh folder while it lives.
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
    // A child's environment: this home, the display, no sound, no saver window, and under
    // the sanitizers no leak checks (Mesa and SDL leak at exit).
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
std::vector<std::string> ListFolder(const std::string& path);
long FileSize(const std::string& path);  // -1 when absent

struct RunResult {
    int exitCode = -1;   // exit status, 128 + signal, or -1 when killed after the timeout
    std::string output;  // standard output and standard error together
};
// Runs argv with env added to the current environment, killed after timeoutSeconds.
RunResult Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
              double timeoutSeconds = 120.0);

std::string Program(const std::string& name);

// A process started in the background; Stop() sends a signal and waits for it.
class Process {
public:
    Process() = default;
    ~Process();
    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});
    // Sends sig (0: none) and waits: the exit status (128 + signal), or -1 when killed after the wait.
    int Stop(int sig, double timeoutSeconds);
    bool Running();
    std::string Output() const;  // what it has written so far

private:
    int pid_ = -1;
    std::string logPath_;
};

// A private Xvfb on a free display; DISPLAY points at it while it lives.
class Xvfb {
public:
    explicit Xvfb(int width = 1024, int height = 768);
    ~Xvfb();
    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

private:
    Process server_;
    std::string display_;
    std::optional<ScopedEnv> displayEnv_;
};

// A binary property list: a dictionary {"x": ...} or an array holding `depth` nested arrays.
std::vector<uint8_t> DeepBinaryPlist(bool dictTop, int depth);

std::vector<uint8_t> LoadImageRGBA(const std::string& path, int* width, int* height);
// A 256 x 256 texture (red and green gradients, a blue checker) in the current context.
unsigned PatternTexture(int checker);

bool WritePNG(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);
// The uploaded level 0 of a texture as RGBA bytes, bottom row first; its size in *w, *h.
std::vector<uint8_t> ReadTexture(uint32_t name, int* w = nullptr, int* h = nullptr);

// A small fish archive: a lozenge body on a root joint "body", the joints "eyel", "eyer"
// and "mouth" with a triangle each, one swim and one rest range, solid skins.
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
    int skinSize = 8;  // pixels a side
    uint8_t colour[3] = {230, 120, 40};
    std::optional<reefpack::Ms3dModelDesc> model;  // replaces the lozenge when set
};
reefpack::Ms3dModelDesc SpeciesModel(const SpeciesRecipe& recipe);
// The whole archive; modelOverride replaces lump 0 when not empty.
std::vector<uint8_t> BuildSpecies(const SpeciesRecipe& recipe, const std::vector<uint8_t>& modelOverride = {});
bool WriteSpecies(const std::string& path, const SpeciesRecipe& recipe);
// Writes folder/test.fish and loads it into *entry as the tank does; null on failure.
FISHDATA* LoadSpecies(const std::string& folder, const SpeciesRecipe& recipe, FISHINFO* entry);

}  // namespace testsupport
