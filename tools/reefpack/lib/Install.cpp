// `reefpack install` and the dialog's install button: a checked, atomic copy into the
// fish folder. See Install.h.
#include "Install.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ArchiveTools.h"
#include "data/FishFile.h"
#include "settings/Paths.h"

namespace reefpack {
namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string Slashed(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string Why(const std::string& what) { return what + ": " + std::strerror(errno); }

// The display name of a fish archive the catalogue would list; false when it would not.
bool ListedName(const std::string& path, std::string* name) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FISHFILE f;
    if (!f.Open(path.c_str())) return false;
    *name = std::string(f.header.name, strnlen(f.header.name, sizeof f.header.name));
    return true;
}

// Copies the open source into fd, at most kInstallMaxBytes.
bool CopyInto(int from, int to, std::string* error) {
    std::vector<char> buf(1 << 16);
    long long total = 0;
    for (;;) {
        ssize_t n = read(from, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = Why("cannot read it");
            return false;
        }
        if (n == 0) return true;
        total += n;
        if (total > kInstallMaxBytes) {
            *error = "larger than " + std::to_string(kInstallMaxBytes >> 20) + " MiB";
            return false;
        }
        if (!WriteAll(to, buf.data(), static_cast<size_t>(n))) {
            *error = Why("cannot write the copy");
            return false;
        }
    }
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// A hidden temporary file in folder, without the ".fish" suffix so no scan reads it.
int MakeTemporary(const std::string& folder, std::string* path) {
    *path = Slashed(folder) + ".reefmere-install-XXXXXX";
    int fd = mkostemp(&(*path)[0], O_CLOEXEC);
    if (fd < 0) {
        path->clear();
        return -1;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return fd;
}

InstallOutcome Outcome(InstallOutcome::Status status, const std::string& reason) {
    InstallOutcome o;
    o.status = status;
    o.reason = reason;
    return o;
}

}  // namespace

std::string InstallFileName(const std::string& file) {
    std::string name = file.substr(file.rfind('/') + 1);
    if (!EndsWith(name, ".fish")) name += ".fish";
    if (name.size() <= 5 || name.size() > 255) return "";
    return name;
}

bool WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string* error) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string temp;
    int fd = MakeTemporary(folder, &temp);
    if (fd < 0) {
        *error = Why("cannot write in " + folder);
        return false;
    }
    bool ok = WriteAll(fd, reinterpret_cast<const char*>(bytes.data()), bytes.size()) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        *error = Why("cannot write " + path);
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

InstallOutcome InstallFish(const std::string& file, const std::string& folderIn, bool replace) {
    const std::string folder = Slashed(folderIn);
    const std::string name = InstallFileName(file);
    if (name.empty()) return Outcome(InstallOutcome::Refused, "no usable file name");
    // Non-blocking, so a FIFO under a fish's name cannot stall the open; only a regular
    // file is taken.
    int from = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (from < 0) return Outcome(InstallOutcome::Refused, Why("cannot open it"));
    struct stat st;
    if (fstat(from, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(from);
        return Outcome(InstallOutcome::Refused, "not a regular file");
    }
    if (!MakeFolders(folder.substr(0, folder.size() - 1))) {
        close(from);
        return Outcome(InstallOutcome::Failed, Why("cannot create the fish folder " + folder));
    }
    std::string temp;
    int to = MakeTemporary(folder, &temp);
    if (to < 0) {
        close(from);
        return Outcome(InstallOutcome::Failed, Why("cannot write in the fish folder " + folder));
    }
    std::string error;
    bool copied = CopyInto(from, to, &error);
    close(from);
    if (copied && fsync(to) != 0) copied = false, error = Why("cannot write the copy");
    if (close(to) != 0 && copied) copied = false, error = Why("cannot write the copy");
    // From here on every way out but success removes the temporary file.
    struct Cleanup {
        std::string path;
        ~Cleanup() {
            if (!path.empty()) unlink(path.c_str());
        }
    } cleanup{temp};
    if (!copied) return Outcome(InstallOutcome::Failed, error);

    // What is checked is the copy itself, the bytes that will be installed.
    std::string displayName;
    if (!ListedName(temp, &displayName))
        return Outcome(InstallOutcome::Refused,
                       "not a fish archive the screen saver reads (magic, size check or directory)");
    std::string summary;
    if (!ValidateArchive(temp, &summary, &error)) return Outcome(InstallOutcome::Refused, error);

    InstallOutcome out;
    out.displayName = displayName;
    const std::string destination = folder + name;
    std::vector<std::string> sameName;  // other files holding this display name
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string entry = e->d_name, other;
            if (!EndsWith(entry, ".fish") || entry.size() <= 5) continue;
            if (entry == name) {
                out.existing.push_back(folder + entry);
            } else if (ListedName(folder + entry, &other) && other == displayName) {
                out.existing.push_back(folder + entry);
                sameName.push_back(folder + entry);
            }
        }
        closedir(d);
    }
    if (!out.existing.empty() && !replace) {
        out.status = InstallOutcome::Exists;
        return out;
    }
    // link() never replaces: a file that appeared since the scan is not overwritten unasked.
    if (replace ? rename(temp.c_str(), destination.c_str()) != 0 : link(temp.c_str(), destination.c_str()) != 0) {
        if (errno == EEXIST) {
            out.existing.push_back(destination);
            out.status = InstallOutcome::Exists;
            return out;
        }
        return Outcome(InstallOutcome::Failed, Why("cannot put it in place as " + destination));
    }
    if (!replace) unlink(temp.c_str());
    cleanup.path.clear();
    for (const std::string& old : sameName) unlink(old.c_str());
    SyncFolder(folder);
    out.status = InstallOutcome::Installed;
    out.path = destination;
    return out;
}

}  // namespace reefpack
