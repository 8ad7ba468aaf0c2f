// The property-list store (libplist) and LoadSettings / SaveSettings over the key table.
#include "settings/Preferences.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "settings/Paths.h"
#include "settings/PlistShape.h"
#include "settings/Settings.h"

namespace {

// A preference file larger than this is not ours (1 MiB).
const size_t kMaxStoreBytes = 1u << 20;

// How reading the store went.
enum class READRESULT {
    Missing,     // no file: a fresh store may be created
    Read,        // bytes holds the whole file
    TooLarge,    // a regular file, larger than any store of ours: kept aside, then replaced
    Untouchable  // cannot be opened or read, or is no regular file: left as it is
};

READRESULT ReadWholeFile(const std::string& path, std::vector<char>* out, int* err) {
    out->clear();
    *err = 0;
    // Non-blocking open and a type check: a FIFO or device at the path must not hang us.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *err = errno;
        return errno == ENOENT || errno == ENOTDIR ? READRESULT::Missing : READRESULT::Untouchable;
    }
    struct stat st;
    *err = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    if (*err != 0) {
        close(fd);
        return READRESULT::Untouchable;
    }
    if (st.st_size > static_cast<off_t>(kMaxStoreBytes)) {
        close(fd);
        return READRESULT::TooLarge;
    }
    char buf[65536];
    while (true) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *err = errno;
            close(fd);
            return READRESULT::Untouchable;
        }
        if (n == 0) break;
        out->insert(out->end(), buf, buf + n);
        if (out->size() > kMaxStoreBytes) {
            close(fd);
            return READRESULT::TooLarge;
        }
    }
    close(fd);
    return READRESULT::Read;
}

// The file a (chain of) symbolic link(s) names, so that a store kept in a dotfile
// folder is rewritten there and the link stays. A dangling link names its target too.
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 16; hops++) {
        char buf[PATH_MAX];
        ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return path;
        buf[n] = '\0';
        std::string target = buf;
        if (target[0] != '/') {
            size_t slash = path.rfind('/');
            target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
        path = target;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes <file>.tmp-<pid> left by a save that was killed before its rename.
void RemoveStaleTemporaries(const std::string& path) {
    DIR* dir = opendir(FolderOf(path).c_str());
    if (!dir) return;
    const std::string prefix = BaseName(path) + ".tmp-";
    while (dirent* e = readdir(dir)) {
        if (strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        const char* digits = e->d_name + prefix.size();
        char* end = nullptr;
        long pid = strtol(digits, &end, 10);
        if (end == digits || *end || pid <= 0 || pid == getpid()) continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // its writer still runs
        unlinkat(dirfd(dir), e->d_name, 0);
    }
    closedir(dir);
}

bool SameBytes(const std::string& a, const std::string& b) {
    std::vector<char> x, y;
    int err = 0;
    return ReadWholeFile(a, &x, &err) == READRESULT::Read && ReadWholeFile(b, &y, &err) == READRESULT::Read && x == y;
}

// An earlier <file>.<label>-* that already holds this file (the same inode, or the same
// bytes): a store that cannot be rewritten must not gain a copy on every start.
std::string ExistingCopy(const std::string& path, const char* label) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "";
    DIR* dir = opendir(FolderOf(path).c_str());
    if (!dir) return "";
    const std::string prefix = BaseName(path) + "." + label + "-";
    std::string found;
    while (dirent* e = readdir(dir)) {
        if (strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        std::string copy = FolderOf(path) + "/" + e->d_name;
        struct stat cs;
        if (stat(copy.c_str(), &cs) != 0 || !S_ISREG(cs.st_mode) || cs.st_size != st.st_size) continue;
        if ((cs.st_dev == st.st_dev && cs.st_ino == st.st_ino) || SameBytes(path, copy)) {
            found = copy;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Writes data to path through a temporary file in the same folder and a rename, so a
// reader sees the old file or the new one, never half of one.
bool AtomicWrite(const std::string& path, const char* data, size_t size, std::string* why) {
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) {
        *why = strerror(errno);
        return false;
    }
    std::string tmp = path + ".tmp-" + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        *why = strerror(errno);
        return false;
    }
    bool ok = WriteAll(fd, data, size) && fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(tmp.c_str());
        *why = strerror(err);
    }
    return ok;
}

void PutValue(PREFSTORE* store, const SETTINGKEY& k, const SETTINGVALUE& v) {
    switch (k.type) {
        case SETTINGTYPE::Boolean:
            store->SetBool(k.key, v.integer != 0);
            break;
        case SETTINGTYPE::Integer:
            store->SetInteger(k.key, v.integer);
            break;
        case SETTINGTYPE::Text:
            store->SetString(k.key, v.text.c_str());
            break;
    }
}

}  // namespace

PREFSTORE::~PREFSTORE() {
    if (dict_) plist_free(static_cast<plist_t>(dict_));
    dict_ = nullptr;
}

void PREFSTORE::Open(const char* module) {
    OpenFile(ConfigFolder() + "/" + (module ? module : SETTINGS_MODULE) + ".plist");
}

void PREFSTORE::OpenFile(const std::string& path) {
    if (dict_) plist_free(static_cast<plist_t>(dict_));
    dict_ = nullptr;
    path_ = path;
    target_ = ResolveLinks(path);
    damaged_ = false;
    untouchable_ = false;
    copyKept_ = false;

    std::vector<char> bytes;
    int err = 0;
    READRESULT got = ReadWholeFile(target_, &bytes, &err);
    plist_t root = nullptr;
    std::string why = "too large";
    if (got == READRESULT::Untouchable) {
        // Only a missing file may be created afresh: one we cannot read (permissions, an
        // I/O error, a FIFO) is the user's, and stays exactly as it is.
        untouchable_ = damaged_ = true;
        fprintf(stderr, "reefmere: %s: cannot be read (%s); running on defaults and leaving it untouched\n",
                path.c_str(), err ? strerror(err) : "not a regular file");
    } else if (got == READRESULT::Read && !bytes.empty() &&
               PlistShapeOk(bytes.data(), bytes.size(), PLISTTOP::Dictionary, &why)) {
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    } else if (got == READRESULT::Read && bytes.empty()) {
        why = "empty";
    }
    if (root && plist_get_node_type(root) == PLIST_DICT) {
        dict_ = root;
    } else {
        if (root) plist_free(root);
        if (got == READRESULT::Read || got == READRESULT::TooLarge) {
            damaged_ = true;
            fprintf(stderr, "reefmere: %s: not a readable preference list (%s); starting from defaults\n", path.c_str(),
                    why.c_str());
        }
        dict_ = plist_new_dict();
    }
    // A known key holding the wrong type counts as damage too: flag it now so the copy
    // is kept before anything overwrites it.
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        int want = k.type == SETTINGTYPE::Boolean   ? PLIST_BOOLEAN
                   : k.type == SETTINGTYPE::Integer ? PLIST_UINT
                                                    : PLIST_STRING;
        Node(k.key, want);
    }
}

size_t PREFSTORE::KeyCount() const { return dict_ ? plist_dict_get_size(static_cast<plist_t>(dict_)) : 0; }

bool PREFSTORE::Has(const char* key) const {
    return dict_ && key && plist_dict_get_item(static_cast<plist_t>(dict_), key) != nullptr;
}

void* PREFSTORE::Node(const char* key, int wantedType) {
    if (!dict_ || !key) return nullptr;
    plist_t node = plist_dict_get_item(static_cast<plist_t>(dict_), key);
    if (!node) return nullptr;
    if (static_cast<int>(plist_get_node_type(node)) != wantedType) {
        if (!damaged_) {
            fprintf(stderr, "reefmere: %s: key \"%s\" has the wrong type; using its default\n", path_.c_str(), key);
        }
        damaged_ = true;
        return nullptr;
    }
    return node;
}

bool PREFSTORE::GetBool(const char* key, bool* out) {
    plist_t n = static_cast<plist_t>(Node(key, PLIST_BOOLEAN));
    if (!n) return false;
    uint8_t v = 0;
    plist_get_bool_val(n, &v);
    *out = v != 0;
    return true;
}

bool PREFSTORE::GetInteger(const char* key, int64_t* out) {
    plist_t n = static_cast<plist_t>(Node(key, PLIST_UINT));
    if (!n) return false;
    uint64_t v = 0;
    plist_get_uint_val(n, &v);
    *out = static_cast<int64_t>(v);  // negative values are stored two's-complement
    return true;
}

bool PREFSTORE::GetString(const char* key, std::string* out) {
    plist_t n = static_cast<plist_t>(Node(key, PLIST_STRING));
    if (!n) return false;
    // Read with its length: the XML reader lets a NUL byte into a string, which
    // plist_get_string_val refuses with an assertion. The text ends at the first NUL.
    uint64_t length = 0;
    const char* v = plist_get_string_ptr(n, &length);
    *out = v ? std::string(v, strnlen(v, static_cast<size_t>(length))) : "";
    return true;
}

void PREFSTORE::SetBool(const char* key, bool value) {
    if (!dict_) dict_ = plist_new_dict();
    plist_dict_set_item(static_cast<plist_t>(dict_), key, plist_new_bool(value ? 1 : 0));
}

void PREFSTORE::SetInteger(const char* key, int64_t value) {
    if (!dict_) dict_ = plist_new_dict();
    plist_dict_set_item(static_cast<plist_t>(dict_), key, plist_new_uint(static_cast<uint64_t>(value)));
}

void PREFSTORE::SetString(const char* key, const char* value) {
    if (!dict_) dict_ = plist_new_dict();
    plist_dict_set_item(static_cast<plist_t>(dict_), key, plist_new_string(value ? value : ""));
}

bool PREFSTORE::KeepCopy(const char* label) {
    if (untouchable_) return false;
    struct stat st;
    if (lstat(target_.c_str(), &st) != 0) return true;  // nothing on disk to keep
    std::string earlier = ExistingCopy(target_, label);
    if (!earlier.empty()) return true;
    // Never replace an earlier copy: add a counter when the name is taken.
    std::string base = target_ + "." + label + "-" + std::to_string(static_cast<long long>(time(nullptr)));
    std::string copy = base;
    for (int n = 1; lstat(copy.c_str(), &st) == 0 && n < 1000; n++) copy = base + "-" + std::to_string(n);
    // A second name for the same file keeps every byte, whatever its size; the new store
    // is then renamed over the old name only.
    bool kept = link(target_.c_str(), copy.c_str()) == 0;
    if (!kept) {
        std::vector<char> bytes;
        int err = 0;
        std::string why;
        if (ReadWholeFile(target_, &bytes, &err) != READRESULT::Read ||
            !AtomicWrite(copy, bytes.data(), bytes.size(), &why)) {
            fprintf(stderr, "reefmere: cannot keep a copy of %s as %s; leaving it untouched\n", target_.c_str(),
                    copy.c_str());
            return false;
        }
    }
    fprintf(stderr, "reefmere: kept a copy of the earlier preferences as %s\n", copy.c_str());
    return true;
}

bool PREFSTORE::Synchronize() {
    if (!dict_) dict_ = plist_new_dict();
    if (untouchable_) {
        fprintf(stderr, "reefmere: %s: not written, since it could not be read\n", path_.c_str());
        return false;
    }
    // Never overwrite a file we could not read until its copy is safe.
    if (damaged_ && !copyKept_) {
        if (!KeepCopy("unreadable")) return false;
        copyKept_ = true;
    }
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(static_cast<plist_t>(dict_), &xml, &len);
    if (!xml) {
        fprintf(stderr, "reefmere: cannot encode preferences for %s\n", path_.c_str());
        return false;
    }
    RemoveStaleTemporaries(target_);
    std::string why;
    bool ok = AtomicWrite(target_, xml, len, &why);
    plist_to_xml_free(xml);
    if (!ok) {
        fprintf(stderr, "reefmere: cannot write preferences %s: %s\n", path_.c_str(), why.c_str());
        return false;
    }
    return true;
}

bool LoadSettings(SETTINGS* s, bool* mainMonitorOnly) {
    if (!s) return false;
    bool mmoDummy = false;
    if (!mainMonitorOnly) mainMonitorOnly = &mmoDummy;
    PREFSTORE store;
    store.Open(SETTINGS_MODULE);

    std::string version;
    bool haveVersion = store.GetString("version", &version);

    bool flag = false;
    store.GetBool("MainMonitorOnly", &flag);
    *mainMonitorOnly = flag;

    CopyToField(s->FishPath, sizeof s->FishPath, ResourceFolder().c_str());
    // Downloads from the sheet land in the per-user fish folder; every later process
    // must find them, so the second folder is derived rather than left empty.
    CopyToField(s->FishPath2, sizeof s->FishPath2, UserFishFolder().c_str());

    std::string selection;
    store.GetString("FishSelection", &selection);
    FreeFishSelection(s);
    if (!SetFishSelection(s, selection.c_str())) {
        fprintf(stderr, "reefmere: out of memory for the fish selection\n");
    }

    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        if (!k.set || !strcmp(k.key, "MainMonitorOnly") || !strcmp(k.key, "FishSelection")) continue;
        SETTINGVALUE v;
        bool found = false;
        switch (k.type) {
            case SETTINGTYPE::Boolean: {
                bool b = false;
                found = store.GetBool(k.key, &b);
                v.integer = b ? 1 : 0;
                break;
            }
            case SETTINGTYPE::Integer:
                found = store.GetInteger(k.key, &v.integer);
                break;
            case SETTINGTYPE::Text:
                found = store.GetString(k.key, &v.text);
                break;
        }
        if (!found && store.Has(k.key)) {
            // Present with the wrong type: its default, not 0 (an integer read as 0
            // would mean no fish, or fish of size 0).
            v.integer = k.defaultInteger;
            v.text = k.defaultText ? k.defaultText : "";
        }
        k.set(s, mainMonitorOnly, v);
    }

    bool ok = true;
    if (!haveVersion || version != SETTINGS_VERSION) {
        // The reset rewrites every key: what the user had is kept beside it first.
        if (!store.Damaged() && store.KeyCount() > 0 && !store.KeepCopy("old")) {
            DefaultSettings(s, mainMonitorOnly);
            if (s->MAX_FISH > 3) s->MAX_FISH = 3;
            return false;
        }
        // The store gets the record's defaults, so that a default the platform maps
        // (the picture folder) is stored as the folder the record holds.
        DefaultSettings(s, mainMonitorOnly);
        for (size_t i = 0; i < kSettingKeyCount; i++) {
            const SETTINGKEY& k = kSettingKeys[i];
            if (k.type == SETTINGTYPE::Text && !k.defaultText) continue;
            SETTINGVALUE v;
            v.integer = k.defaultInteger;
            if (k.defaultText) v.text = k.defaultText;
            if (k.get) k.get(*s, *mainMonitorOnly, &v);
            PutValue(&store, k, v);
        }
        ok = store.Synchronize();
    }
    // Last, apart from reading: whatever the file held, the record leaves here in range.
    LimitSettings(s, store.Path().c_str());
    return ok;
}

bool SaveSettings(const SETTINGS& s, bool mainMonitorOnly, const char* selection) {
    PREFSTORE store;
    store.Open(SETTINGS_MODULE);
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        if (!k.get || !strcmp(k.key, "FishSelection")) continue;
        SETTINGVALUE v;
        k.get(s, mainMonitorOnly, &v);
        PutValue(&store, k, v);
    }
    if (selection) store.SetString("FishSelection", selection);
    return store.Synchronize();
}
