// Shared pieces of the configuration tests: the build's bundled archives, their header
// fields, and the store as written, read back on its own.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/FishFile.h"
#include "settings/Paths.h"
#include "settings/Preferences.h"
#include "test_support.h"

namespace configtest {

using testsupport::ListFolder;

inline std::vector<std::string> BundledArchives() {
    std::vector<std::string> names;
    for (const std::string& n : ListFolder(testsupport::ShareDir()))
        if (n.size() > 5 && n.compare(n.size() - 5, 5, ".fish") == 0) names.push_back(n);
    return names;
}

inline std::string Bundled(const std::string& name) { return testsupport::ShareDir() + "/" + name; }

// The archive's display name ("" when it does not open); its water type in *water (-1 then).
inline std::string DisplayNameOf(const std::string& path, int* water = nullptr) {
    FISHFILE f;
    if (water) *water = -1;
    if (!f.Open(path.c_str())) return "";
    if (water) *water = f.header.waterType;
    return std::string(f.header.name, strnlen(f.header.name, sizeof f.header.name));
}

inline bool CopyInto(const std::string& src, const std::string& folder, const std::string& name = "") {
    MakeFolders(folder);
    return testsupport::WriteFile(folder + "/" + (name.empty() ? src.substr(src.rfind('/') + 1) : name),
                                  testsupport::ReadFile(src));
}

inline bool StoreGet(PREFSTORE& p, const char* key, bool* v) { return p.GetBool(key, v); }
inline bool StoreGet(PREFSTORE& p, const char* key, int64_t* v) { return p.GetInteger(key, v); }
inline bool StoreGet(PREFSTORE& p, const char* key, std::string* v) { return p.GetString(key, v); }

// A key of the store in this home as written; fails when absent or of another type.
template <typename T>
T Stored(const testsupport::PrivateHome& home, const char* key) {
    PREFSTORE p;
    p.OpenFile(home.StorePath());
    T v{};
    EXPECT_TRUE(StoreGet(p, key, &v)) << key;
    return v;
}

inline bool StoreHas(const testsupport::PrivateHome& home, const char* key) {
    PREFSTORE p;
    p.OpenFile(home.StorePath());
    return p.Has(key);
}

}  // namespace configtest
