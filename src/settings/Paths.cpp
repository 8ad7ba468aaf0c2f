// Folder lookups for the view and the settings store. POSIX only.
#include "settings/Paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
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

// user-dirs.dirs is a few lines; anything larger is not one.
const size_t kMaxUserDirsBytes = 64u << 10;

// The file's text when it is a regular file of at most maxBytes; empty otherwise. A FIFO
// under the name must not block the screen saver.
std::string ReadSmallFile(const std::string& path, size_t maxBytes) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return "";
    struct stat st;
    std::string text;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= maxBytes) {
        char buf[4096];
        ssize_t n;
        while (text.size() <= maxBytes && ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)))
            if (n > 0) text.append(buf, static_cast<size_t>(n));
        if (text.size() > maxBytes) text.clear();
    }
    close(fd);
    return text;
}

// One XDG_<NAME>_DIR="..." line as xdg-user-dirs writes it: the value is quoted, starts
// with $HOME or "/", and may escape characters with a backslash. Anything else (commands
// a shell would run, relative paths) is not taken. Empty when the line is not this one.
std::string UserDirFromLine(const std::string& line, const std::string& var, const std::string& home) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, var.size(), var) != 0) return "";
    i = line.find_first_not_of(" \t", i + var.size());
    if (i == std::string::npos || line[i] != '=') return "";
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line[i] != '"') return "";
    i++;
    std::string value;
    if (line.compare(i, 5, "$HOME") == 0 && (i + 5 == line.size() || line[i + 5] == '/' || line[i + 5] == '"')) {
        value = home;
        i += 5;
    } else if (i >= line.size() || line[i] != '/') {
        return "";
    }
    for (; i < line.size() && line[i] != '"'; i++) {
        if (line[i] == '\\' && i + 1 < line.size())
            i++;
        else if (line[i] == '$' || line[i] == '`')
            return "";  // the shell would expand it: not a plain path
        value += line[i];
    }
    if (i >= line.size()) return "";  // no closing quote
    return value;
}

std::string TrimSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
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

std::string UserPicturesFolder() {
    const std::string home = HomeFolder();
    std::string found;
    std::string text = ReadSmallFile(ConfigFolder() + "/user-dirs.dirs", kMaxUserDirsBytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        // The last assignment wins, as when the shell sources the file.
        std::string v = UserDirFromLine(text.substr(start, end - start), "XDG_PICTURES_DIR", home);
        if (!v.empty()) found = v;
        start = end + 1;
    }
    if (found.empty()) {
        const char* env = getenv("XDG_PICTURES_DIR");
        if (env && env[0] == '/') found = env;
    }
    found = TrimSlashes(found);
    if (found.empty() || found == TrimSlashes(home)) return home + "/Pictures";
    return found;
}

std::string PlatformPictureFolder(const char* stored) {
    if (!stored) stored = "";
    if (!strcasecmp(TrimSlashes(stored).c_str(), "/library/desktop pictures")) return UserPicturesFolder();
    return stored;
}

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
