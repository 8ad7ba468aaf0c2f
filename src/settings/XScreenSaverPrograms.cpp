// Adding an entry to ~/.xscreensaver's programs: list. The file is an X resource file:
// a value continues on the next line after a trailing backslash, and the list's entries
// are separated by a literal "\n" ([-] [visual:] ["name"] command args).
#include "settings/XScreenSaverPrograms.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "settings/Paths.h"

namespace {

const size_t kMaxFileBytes = 1u << 20;  // XScreenSaver's own file is about 10 KB

struct LINE {
    size_t begin, end;  // [begin, end) without the newline
};

std::vector<LINE> SplitLines(const std::string& t) {
    std::vector<LINE> lines;
    size_t at = 0;
    while (at < t.size()) {
        size_t nl = t.find('\n', at);
        size_t end = nl == std::string::npos ? t.size() : nl;
        lines.push_back({at, end});
        at = end + 1;
    }
    return lines;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

// An odd number of trailing backslashes continues the value on the next line.
bool Continues(const std::string& t, const LINE& l) {
    size_t n = 0;
    for (size_t i = l.end; i > l.begin && t[i - 1] == '\\'; --i) n++;
    return n % 2 == 1;
}

// Offset just past "programs:" when the line starts that resource, else npos.
size_t ProgramsValueStart(const std::string& t, const LINE& l) {
    size_t i = l.begin;
    while (i < l.end && Blank(t[i])) i++;
    if (l.end - i < 8 || t.compare(i, 8, "programs") != 0) return std::string::npos;
    i += 8;
    while (i < l.end && Blank(t[i])) i++;
    return i < l.end && t[i] == ':' ? i + 1 : std::string::npos;
}

// The program an entry runs, without its folder: "- GL: "Name" /usr/bin/x -root" -> "x".
std::string ProgramOf(const std::string& entry) {
    size_t i = 0, n = entry.size();
    auto skipBlanks = [&] {
        while (i < n && (Blank(entry[i]) || entry[i] == '\n')) i++;
    };
    skipBlanks();
    if (i < n && entry[i] == '-') i++;
    skipBlanks();
    size_t j = i;
    while (j < n && !Blank(entry[j]) && entry[j] != ':' && entry[j] != '"') j++;
    if (j < n && entry[j] == ':') i = j + 1;  // the visual
    skipBlanks();
    if (i < n && entry[i] == '"') {
        size_t close = entry.find('"', i + 1);
        if (close == std::string::npos) return "";
        i = close + 1;
        skipBlanks();
    }
    j = i;
    while (j < n && !Blank(entry[j])) j++;
    std::string word = entry.substr(i, j - i);
    size_t slash = word.rfind('/');
    return slash == std::string::npos ? word : word.substr(slash + 1);
}

// The entry laid out as XScreenSaver writes it: the command from column 32, the
// separator from column 76.
std::string FormatEntry(const std::string& entry) {
    size_t i = 0;
    while (i < entry.size() && Blank(entry[i])) i++;
    size_t j = i;
    while (j < entry.size() && !Blank(entry[j]) && entry[j] != ':') j++;
    std::string visual, command = entry.substr(i);
    if (j < entry.size() && entry[j] == ':') {
        visual = "  " + entry.substr(i, j + 1 - i) + " ";
        i = j + 1;
        while (i < entry.size() && Blank(entry[i])) i++;
        command = entry.substr(i);
    }
    std::string s = visual;
    size_t col = s.size();
    auto tabTo = [&](size_t target) {
        do {
            s += '\t';
            col = (col / 8 + 1) * 8;
        } while (col < target);
    };
    tabTo(32);
    s += command;
    col += command.size();
    tabTo(72);
    return s + "    ";
}

bool EndsWithSeparator(const std::string& value) {
    size_t e = value.size();
    while (e > 0 && Blank(value[e - 1])) e--;
    return e >= 2 && value[e - 2] == '\\' && value[e - 1] == 'n';
}

bool ReadResourceFile(const std::string& path, std::string* text, struct stat* st, std::string* why) {
    // Non-blocking open and a type check: a FIFO or device at the path must not hang us.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = strerror(errno);
        return false;
    }
    bool ok = fstat(fd, st) == 0;
    if (!ok)
        *why = strerror(errno);
    else if (!S_ISREG(st->st_mode))
        *why = "not a regular file";
    else if (st->st_size > static_cast<off_t>(kMaxFileBytes))
        *why = "too large for an XScreenSaver file";
    ok = ok && S_ISREG(st->st_mode) && st->st_size <= static_cast<off_t>(kMaxFileBytes);
    char buf[65536];
    ssize_t n = 0;
    while (ok && (n = read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) *why = strerror(errno);
        ok = n > 0 && text->size() + static_cast<size_t>(n) <= kMaxFileBytes;
        if (ok)
            text->append(buf, static_cast<size_t>(n));
        else if (n > 0)
            *why = "too large for an XScreenSaver file";
    }
    close(fd);
    if (ok && text->find('\0') != std::string::npos) {
        *why = "not a text file";
        ok = false;
    }
    return ok;
}

// Writes data as path through a temporary file beside it and a rename. When `before` is
// given, the rename happens only while path is still the file that was read.
bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode, const struct stat* before,
                 std::string* why) {
    std::string tmpl = path + ".reefmere-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        *why = strerror(errno);
        return false;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data.data(), data.size()) && fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    struct stat now;
    if (ok && before &&
        (stat(path.c_str(), &now) != 0 || now.st_ino != before->st_ino || now.st_size != before->st_size ||
         now.st_mtim.tv_sec != before->st_mtim.tv_sec || now.st_mtim.tv_nsec != before->st_mtim.tv_nsec)) {
        unlink(name.data());
        *why = "it changed while being read; try again";
        return false;
    }
    if (ok && rename(name.data(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(name.data());
        *why = strerror(err);
    }
    return ok;
}

}  // namespace

PROGRAMSRESULT AddProgramEntry(const std::string& text, const std::string& entry, std::string* out) {
    std::vector<LINE> lines = SplitLines(text);
    // The last programs: resource wins, as in XScreenSaver; continued lines start nothing.
    size_t first = lines.size(), valueStart = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k > 0 && Continues(text, lines[k - 1])) continue;
        size_t v = ProgramsValueStart(text, lines[k]);
        if (v != std::string::npos) {
            first = k;
            valueStart = v;
        }
    }
    if (first == lines.size()) return PROGRAMSRESULT::NoList;

    // The value's lines; lastLine is the last one holding entry text.
    std::string value;
    size_t lastLine = first;
    bool anyEntry = false;
    for (size_t k = first; k < lines.size(); ++k) {
        bool more = Continues(text, lines[k]);
        size_t b = k == first ? valueStart : lines[k].begin;
        std::string part = text.substr(b, lines[k].end - (more ? 1 : 0) - b);
        value += part;
        for (size_t at = 0; at < part.size(); ++at) {
            if (part.compare(at, 2, "\\n") == 0)
                at++;
            else if (!Blank(part[at])) {
                lastLine = k;
                anyEntry = true;
                break;
            }
        }
        if (!more) break;
    }
    for (size_t at = 0;;) {
        size_t sep = value.find("\\n", at);
        std::string e = value.substr(at, sep == std::string::npos ? std::string::npos : sep - at);
        std::string program = ProgramOf(e);
        if (!program.empty() && program == ProgramOf(entry)) return PROGRAMSRESULT::AlreadyListed;
        if (sep == std::string::npos) break;
        at = sep + 2;
    }

    // The value up to the last entry line: whether that entry still needs its "\n".
    std::string upToLast;
    for (size_t k = first; k <= lastLine; ++k) {
        size_t b = k == first ? valueStart : lines[k].begin;
        upToLast += text.substr(b, lines[k].end - (Continues(text, lines[k]) ? 1 : 0) - b);
    }
    const std::string sep = anyEntry && !EndsWithSeparator(upToLast) ? "\\n" : "";
    const LINE& at = lines[lastLine];
    std::string inserted;
    if (Continues(text, at))  // as XScreenSaver writes it: every entry line ends in \n\ .
        inserted = "\n" + sep + FormatEntry(entry) + "\\n\\";
    else  // the list ended on that line: continue it onto the new last entry
        inserted = sep + "\\\n" + FormatEntry(entry) + "\\n";
    *out = text.substr(0, at.end) + inserted + text.substr(at.end);
    return PROGRAMSRESULT::Added;
}

PROGRAMSRESULT AddToProgramsFile(const std::string& path, const std::string& entry, std::string* message) {
    const std::string saveFirst =
        ": open xscreensaver-settings and change any setting so that it writes its list, then add Reefmere "
        "again (or add \"" +
        entry + "\" to its programs: list by hand)";
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) {
        if (errno == ENOENT) {
            *message = path + " does not exist yet" + saveFirst;
            return PROGRAMSRESULT::NoFile;
        }
        *message = path + ": " + strerror(errno);
        return PROGRAMSRESULT::Failed;
    }
    const std::string file = resolved;
    std::string text, why, out;
    struct stat st;
    if (!ReadResourceFile(file, &text, &st, &why)) {
        *message = file + ": " + why + "; left as it is";
        return PROGRAMSRESULT::Failed;
    }
    PROGRAMSRESULT r = AddProgramEntry(text, entry, &out);
    if (r == PROGRAMSRESULT::AlreadyListed) {
        *message = path + " already lists " + ProgramOf(entry) + "; nothing changed";
    } else if (r == PROGRAMSRESULT::NoList) {
        *message = path + " has no programs: list (XScreenSaver uses its built-in one)" + saveFirst;
    } else {
        const std::string backup = file + ".reefmere-backup";
        mode_t mode = st.st_mode & 07777;
        if (!ReplaceFile(backup, text, mode, nullptr, &why) || !ReplaceFile(file, out, mode, &st, &why)) {
            *message = file + ": " + why + "; left as it is";
            return PROGRAMSRESULT::Failed;
        }
        *message = "added \"" + entry + "\" to the programs: list in " + path + " (the previous file is " + backup +
                   "); choose it in xscreensaver-settings";
    }
    return r;
}

std::string XScreenSaverFile() { return HomeFolder() + "/.xscreensaver"; }

std::string HackEntry(const std::string& hackPath) {
    size_t slash = hackPath.rfind('/');
    std::string name = slash == std::string::npos ? hackPath : hackPath.substr(slash + 1);
    const char* pathVar = getenv("PATH");
    std::string folders = std::string(pathVar ? pathVar : "") + ":/usr/libexec/xscreensaver";
    char self[PATH_MAX], found[PATH_MAX];
    bool known = realpath(hackPath.c_str(), self) != nullptr;
    for (size_t at = 0; known && at <= folders.size();) {
        size_t colon = folders.find(':', at);
        if (colon == std::string::npos) colon = folders.size();
        std::string dir = folders.substr(at, colon - at);
        at = colon + 1;
        if (dir.empty() || dir[0] != '/') continue;
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) != 0) continue;
        // The first one found is the one that would run.
        if (realpath(candidate.c_str(), found) && strcmp(found, self) == 0) return "GL: " + name + " -root";
        break;
    }
    return "GL: " + hackPath + " -root";
}
