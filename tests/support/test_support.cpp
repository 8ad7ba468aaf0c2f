// Shared test helpers; see test_support.h.
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include <GL/gl.h>
#include <stb_image.h>
#include <stb_image_write.h>

namespace testsupport {

std::string BinDir() { return std::string(REEFMERE_BUILD_DIR) + "/bin"; }
std::string ShareDir() { return REEFMERE_SHARE_DIR; }
std::string SourceDir() { return REEFMERE_SOURCE_DIR; }

TempDir::TempDir() {
    char tmpl[] = "/tmp/reefmere-test-XXXXXX";
    const char* p = mkdtemp(tmpl);
    path_ = p ? p : "/tmp";
}

TempDir::~TempDir() {
    if (path_.size() > 5 && path_ != "/tmp") {
        std::string cmd = "rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
}

ScopedEnv::ScopedEnv(const std::map<std::string, std::string>& vars) {
    for (const auto& kv : vars) {
        const char* v = getenv(kv.first.c_str());
        old_[kv.first] = {v != nullptr, v ? v : ""};
        setenv(kv.first.c_str(), kv.second.c_str(), 1);
    }
}

ScopedEnv::~ScopedEnv() {
    for (const auto& kv : old_) {
        if (kv.second.first)
            setenv(kv.first.c_str(), kv.second.second.c_str(), 1);
        else
            unsetenv(kv.first.c_str());
    }
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool WriteFile(const std::string& path, const std::string& text) {
    return WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

bool FileExists(const std::string& path) { return FileSize(path) >= 0; }

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

namespace {
double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int SpawnWithLog(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::string& logPath) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    setpgid(0, 0);
    int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
    }
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    for (const auto& kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
}

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Polls for the child's exit for up to timeoutSeconds: its decoded status, or -1 (with
// *timedOut set when the time ran out; the child is then still running).
int WaitExit(int pid, double timeoutSeconds, bool* timedOut) {
    const double deadline = Now() + timeoutSeconds;
    *timedOut = false;
    for (;;) {
        int status = 0;
        pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) return DecodeStatus(status);
        if (w < 0) return -1;
        if (Now() > deadline) {
            *timedOut = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string NewLogPath() {
    char tmpl[] = "/tmp/reefmere-run-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    return tmpl;
}
}  // namespace

RunResult Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
              double timeoutSeconds) {
    RunResult r;
    std::string log = NewLogPath();
    int pid = SpawnWithLog(argv, env, log);
    if (pid < 0) return r;
    r.exitCode = WaitExit(pid, timeoutSeconds, &r.timedOut);
    if (r.timedOut) {
        kill(-pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        r.exitCode = DecodeStatus(status);
    }
    r.output = ReadText(log);
    unlink(log.c_str());
    return r;
}

Process::~Process() {
    if (pid_ > 0) Stop(SIGKILL, 5.0);
    if (!logPath_.empty()) unlink(logPath_.c_str());
}

bool Process::Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env) {
    if (logPath_.empty()) logPath_ = NewLogPath();
    pid_ = SpawnWithLog(argv, env, logPath_);
    return pid_ > 0;
}

bool Process::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    return waitpid(pid_, &status, WNOHANG) == 0;
}

int Process::Stop(int sig, double timeoutSeconds, double* secondsTaken) {
    if (pid_ <= 0) return -1;
    const double start = Now();
    kill(pid_, sig);
    bool timedOut = false;
    int result = WaitExit(pid_, timeoutSeconds, &timedOut);
    if (timedOut) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (secondsTaken) *secondsTaken = Now() - start;
    kill(-pid_, SIGKILL);  // anything it left behind in its group
    pid_ = -1;
    return result;
}

std::string Process::Output() const { return logPath_.empty() ? std::string() : ReadText(logPath_); }

Xvfb::Xvfb(int width, int height, const std::string& extraArgs) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        std::string cmd = "exec Xvfb -displayfd " + std::to_string(fds[1]) + " -screen 0 " +
                          std::to_string(width) + "x" + std::to_string(height) +
                          "x24 -nolisten tcp -noreset +extension GLX +extension RANDR " + extraArgs;
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    // Xvfb writes its display number once it accepts connections.
    std::string num;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') num += c;
    close(fds[0]);
    if (num.empty()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return;
    }
    pid_ = pid;
    display_ = ":" + num;
    const char* old = getenv("DISPLAY");
    hadDisplay_ = old != nullptr;
    if (old) oldDisplay_ = old;
    setenv("DISPLAY", display_.c_str(), 1);
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (hadDisplay_)
        setenv("DISPLAY", oldDisplay_.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

std::vector<uint8_t> LoadImageRGBA(const std::string& path, int* width, int* height) {
    int w = 0, h = 0, n = 0;
    unsigned char* p = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!p) return {};
    std::vector<uint8_t> out(p, p + static_cast<size_t>(w) * h * 4);
    stbi_image_free(p);
    if (width) *width = w;
    if (height) *height = h;
    return out;
}

unsigned PatternTexture(int checker) {
    const int side = 256;
    if (checker < 1) checker = 1;
    std::vector<uint8_t> px(side * side * 4);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint8_t* t = &px[(y * side + x) * 4];
            t[0] = uint8_t(x);
            t[1] = uint8_t(y);
            t[2] = (x / checker + y / checker) % 2 ? 30 : 240;
            t[3] = 255;
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return name;
}

bool WritePNG(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
    return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

}  // namespace testsupport
