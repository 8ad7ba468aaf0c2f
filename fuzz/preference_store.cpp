// The preference store from untrusted bytes: the shape check, libplist's readers on
// what passes, every key read back, and the XML writer on what was read.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/Preferences.h"
#include "settings/Settings.h"

namespace {

// One file per fuzzing process, rewritten for every input.
const std::string& StorePath() {
    static std::string path = [] {
        char folder[] = "/tmp/fuzz-prefs-XXXXXX";
        const char* made = mkdtemp(folder);
        return std::string(made ? made : "/tmp") + "/kpFishSS.plist";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = StorePath();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (!written) return 0;
    PREFSTORE store;
    store.OpenFile(path);
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        bool b;
        int64_t n;
        std::string s;
        store.GetBool(kSettingKeys[i].key, &b);
        store.GetInteger(kSettingKeys[i].key, &n);
        store.GetString(kSettingKeys[i].key, &s);
    }
    // A damaged store would be copied aside first; only sound ones go through the writer.
    if (!store.Damaged()) store.Synchronize();
    return 0;
}
