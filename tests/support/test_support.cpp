// Shared test helpers; see test_support.h.
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <GL/gl.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include "LumpWriter.h"
#include "Ms3dWriter.h"
#include "TgaWriter.h"
#include "fish/FishData.h"

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
    std::error_code ec;
    if (path_ != "/tmp") std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const std::map<std::string, std::string>& vars) {
    for (const auto& kv : vars) {
        const char* v = getenv(kv.first.c_str());
        old_[kv.first] = {v != nullptr, v ? v : ""};
        setenv(kv.first.c_str(), kv.second.c_str(), 1);
    }
}

ScopedEnv::~ScopedEnv() {
    for (const auto& kv : old_)
        kv.second.first ? setenv(kv.first.c_str(), kv.second.second.c_str(), 1) : unsetenv(kv.first.c_str());
}

PrivateHome::PrivateHome()
    : env_({{"HOME", dir_.path()}, {"XDG_CONFIG_HOME", dir_ / "config"}, {"XDG_DATA_HOME", dir_ / "data"}}) {}

std::map<std::string, std::string> PrivateHome::Env(const std::string& display) const {
    std::map<std::string, std::string> env = {
        {"HOME", path()},     {"XDG_CONFIG_HOME", ConfigDir()}, {"XDG_DATA_HOME", DataDir()},
        {"DISPLAY", display}, {"SDL_AUDIODRIVER", "dummy"},     {"XSCREENSAVER_WINDOW", ""}};
#if defined(__SANITIZE_ADDRESS__)
    env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1:halt_on_error=1";
#endif
    return env;
}

std::string Program(const std::string& name) { return BinDir() + "/" + name; }

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
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return FileSize(path) >= 0; }

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(path, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

Process::~Process() {
    if (pid_ > 0) Stop(SIGKILL, 5.0);
    if (!logPath_.empty()) unlink(logPath_.c_str());
}

bool Process::Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env) {
    if (logPath_.empty()) {
        char tmpl[] = "/tmp/reefmere-run-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0) close(fd);
        logPath_ = tmpl;
    }
    pid_ = fork();
    if (pid_ != 0) return pid_ > 0;
    setpgid(0, 0);  // its own group, so that Stop also ends whatever it started
    int fd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) dup2(fd, 1), dup2(fd, 2), close(fd);
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

bool Process::Running() {
    int status = 0;
    return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0;
}

int Process::Stop(int sig, double timeoutSeconds) {
    if (pid_ <= 0) return -1;
    kill(pid_, sig);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0, result = -1;
    pid_t w;
    while ((w = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (w == pid_) result = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    kill(-pid_, SIGKILL);  // anything it left behind in its group
    if (w == 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return result;
}

std::string Process::Output() const { return logPath_.empty() ? std::string() : ReadText(logPath_); }

RunResult Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
              double timeoutSeconds) {
    Process p;
    RunResult r;
    if (!p.Start(argv, env)) return r;
    r.exitCode = p.Stop(0, timeoutSeconds);  // signal 0 only waits
    r.output = p.Output();
    return r;
}

Xvfb::Xvfb(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) return;
    // Xvfb writes its display number to the pipe once it accepts connections.
    const bool started = server_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                        std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten",
                                        "tcp", "-noreset", "+extension", "GLX", "+extension", "RANDR"});
    close(fds[1]);
    std::string num;
    char c;
    while (started && read(fds[0], &c, 1) == 1 && c != '\n') num += c;
    close(fds[0]);
    if (num.empty()) return;
    display_ = ":" + num;
    displayEnv_.emplace(std::map<std::string, std::string>{{"DISPLAY", display_}});
}

Xvfb::~Xvfb() { server_.Stop(SIGTERM, 5.0); }

std::vector<uint8_t> DeepBinaryPlist(bool dictTop, int depth) {
    std::vector<uint8_t> b = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    auto put = [&b](uint64_t v, int n) {
        for (int i = n - 1; i >= 0; i--) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    std::vector<uint64_t> offsets = {b.size()};
    const uint64_t first = dictTop ? 2 : 1;  // index of the outermost nested array
    b.push_back(dictTop ? 0xD1 : 0xA1);
    if (dictTop) put(1, 4);
    put(first, 4);
    if (dictTop) offsets.push_back(b.size()), b.insert(b.end(), {0x51, 'x'});
    for (int i = 0; i < depth; i++) {
        offsets.push_back(b.size());
        b.push_back(i + 1 < depth ? 0xA1 : 0xA0);
        if (i + 1 < depth) put(first + i + 1, 4);
    }
    const uint64_t table = b.size();
    for (uint64_t o : offsets) put(o, 4);
    b.insert(b.end(), {0, 0, 0, 0, 0, 0, 4, 4});
    put(offsets.size(), 8);
    put(0, 8);
    put(table, 8);
    return b;
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
    for (GLenum p : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) glTexParameteri(GL_TEXTURE_2D, p, GL_LINEAR);
    for (GLenum p : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) glTexParameteri(GL_TEXTURE_2D, p, GL_REPEAT);
    return name;
}

std::vector<uint8_t> ReadTexture(uint32_t name, int* w, int* h) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint tw = 0, th = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    if (w) *w = tw;
    if (h) *h = th;
    std::vector<uint8_t> out(static_cast<size_t>(tw) * th * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}

bool WritePNG(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
    return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

reefpack::Ms3dModelDesc SpeciesModel(const SpeciesRecipe& recipe) {
    reefpack::Ms3dModelDesc m;
    m.animationFPS = 10.0f;
    m.totalFrames = 2 + recipe.swimFrames + 1 + recipe.secondFrames + 1;
    const float endTime = m.totalFrames / m.animationFPS;  // seconds
    int body = m.AddJoint("body", "");
    for (const char* name : {"eyel", "eyer", "mouth"}) m.AddJoint(name, "body", 0, 0, 0, 0, 0.5f, 2.5f);
    for (auto& j : m.joints) j.rotKeys = j.transKeys = {reefpack::Ms3dKey{0, {}}, reefpack::Ms3dKey{endTime, {}}};
    // A slight wag of the body over the swim range.
    m.joints[body].rotKeys.insert(m.joints[body].rotKeys.begin() + 1, reefpack::Ms3dKey{0.6f, {0.0f, 0.2f, 0.0f}});
    m.materials.resize(1);
    m.materials[0].name = "skin";
    int g = m.AddGroup("body", 0);
    const float x = 2.0f, y = 1.5f, z = 4.0f;  // half-extents; z is the nose
    int nose = m.AddVertex(0, 0, z, body);
    int tail = m.AddVertex(0, 0, -z, body);
    const int ring[4] = {m.AddVertex(0, y, 0, body), m.AddVertex(x, 0, 0, body), m.AddVertex(0, -y, 0, body),
                         m.AddVertex(-x, 0, 0, body)};
    for (int i = 0; i < 4; i++) {
        int a = ring[i], b = ring[(i + 1) % 4];
        for (int t : {m.AddTriangle(nose, a, b, g), m.AddTriangle(tail, b, a, g)})
            for (int c = 0; c < 3; c++) m.triangles[t].s[c] = 0.25f * c, m.triangles[t].t[c] = 0.5f;
    }
    for (int joint = 1; joint <= 3; joint++) {
        m.AddTriangle(m.AddVertex(0.2f, 0.6f, 2.4f, joint), m.AddVertex(0.3f, 0.7f, 2.5f, joint),
                      m.AddVertex(0.2f, 0.8f, 2.4f, joint), g);
    }
    return m;
}

static std::vector<uint8_t> SolidTGA(int size, const uint8_t rgb[3]) {
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) std::memcpy(&pixels[i], rgb, 3);
    return reefpack::EncodeTGA(pixels, size, size, 24, false);
}

std::vector<uint8_t> BuildSpecies(const SpeciesRecipe& recipe, const std::vector<uint8_t>& modelOverride) {
    reefpack::LumpWriter writer;
    std::vector<uint8_t> model = modelOverride;
    if (model.empty()) reefpack::WriteMs3d(recipe.model ? *recipe.model : SpeciesModel(recipe), &model);
    auto modeOf = [&recipe](size_t lump) { return lump < recipe.modes.size() ? recipe.modes[lump] : 0u; };
    writer.AddLump(model, kLumpKindModel, modeOf(0));
    const uint8_t grey[3] = {128, 128, 128};
    if (recipe.mask) writer.AddLump(SolidTGA(recipe.skinSize, grey), kLumpKindTGA, modeOf(1));
    for (int k = 0; k < recipe.skins; k++) {
        uint32_t kind = k < static_cast<int>(recipe.skinKinds.size()) ? recipe.skinKinds[k] : kLumpKindTGA;
        uint8_t rgb[3] = {recipe.colour[0], static_cast<uint8_t>(recipe.colour[1] + 20 * k), recipe.colour[2]};
        writer.AddLump(SolidTGA(recipe.skinSize, rgb), kind, modeOf(writer.Count()));
    }
    reefpack::FishInfo info;
    info.displayName = recipe.displayName;
    info.flags = recipe.flags;
    info.waterType = recipe.waterType;
    info.modelScale = recipe.modelScale;
    info.alphaMask = recipe.mask ? 1 : 0;
    info.swimSpeed = recipe.swimSpeed;
    info.turnRate = recipe.turnRate;
    info.animSpeed = recipe.animSpeed;
    info.swimFrames = recipe.swimFrames;
    info.secondFrames = recipe.secondFrames;
    return writer.BuildFish(info);
}

bool WriteSpecies(const std::string& path, const SpeciesRecipe& recipe) {
    return reefpack::WriteBytes(path, BuildSpecies(recipe));
}

FISHDATA* LoadSpecies(const std::string& folder, const SpeciesRecipe& recipe, FISHINFO* entry) {
    if (!WriteSpecies(folder + "/test.fish", recipe)) return nullptr;
    snprintf(entry->fileName, sizeof entry->fileName, "test.fish");
    snprintf(entry->folder, sizeof entry->folder, "%s/", folder.c_str());
    return entry->LoadData(entry->folder, 1.0f) ? entry->data : nullptr;
}

}  // namespace testsupport
