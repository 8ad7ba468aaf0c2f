// Folder lookups for the view and the settings store. POSIX only.
#include "settings/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgFolder(const char* var, const char* fallbackUnderHome) {
    const char* v = getenv(var);
    if (v && v[0] == '/') {
        std::string s = v;
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    }
    return HomeFolder() + "/" + fallbackUnderHome;
}

std::string Normalise(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
    return path;
}

}  // namespace

std::string HomeFolder() {
    const char* home = getenv("HOME");
    if (home && home[0] == '/') return home;
    struct passwd* pw = getpwuid(getuid());
    if (pw && pw->pw_dir && pw->pw_dir[0] == '/') return pw->pw_dir;
    return "/tmp";
}

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    buf[n] = '\0';
    std::string exe = buf;
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string ResourceFolder() {
    const char* over = getenv("REEFMERE_SHARE_DIR");
    if (over && over[0]) {
        std::string s = over;
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    }
    std::string exe = ExecutableFolder();
    if (exe.empty()) return "/usr/share/reefmere";
    const std::string candidates[] = {exe + "/../share/reefmere", exe + "/../../share/reefmere"};
    for (const std::string& c : candidates)
        if (IsFolder(c)) return Normalise(c);
    return candidates[0];
}

std::string ResourceFile(const char* name) { return ResourceFolder() + "/" + name; }

std::string ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserFishFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share") + "/reefmere/fish/"; }

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        size_t next = path.find('/', pos + 1);
        partial = path.substr(0, next);
        pos = next;
        if (partial.empty() || partial == "/") continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (!IsFolder(path)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

void CopyToField(char* field, size_t size, const char* text) {
    if (!field || size == 0) return;
    if (!text) text = "";
    size_t n = strlen(text);
    if (n > size - 1) {
        n = size - 1;
        // Back off over UTF-8 continuation bytes so a character is never cut in half.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) n--;
    }
    memcpy(field, text, n);
    field[n] = '\0';
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
