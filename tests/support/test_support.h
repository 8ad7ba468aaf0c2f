// Shared test helpers: temporary folders, running programs, a private Xvfb, a headless
// GL context, paths into the build tree.
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

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteFile(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);
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

}  // namespace testsupport
