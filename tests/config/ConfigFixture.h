// Shared pieces of the configuration tests: the bundled archives of the build's resource
// folder, their header fields, and per-test XDG folders for the store and the fish.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/FishFile.h"
#include "settings/Paths.h"
#include "settings/Preferences.h"
#include "test_support.h"

namespace configtest {

// File names of the bundled fish archives, sorted.
inline std::vector<std::string> BundledArchives()
{
    std::vector<std::string> names;
    DIR* d = opendir(testsupport::ShareDir().c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 5 && n.compare(n.size() - 5, 5, ".fish") == 0) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string Bundled(const std::string& name) { return testsupport::ShareDir() + "/" + name; }

// The archive's display name, or "" when it does not open.
inline std::string DisplayNameOf(const std::string& path)
{
    FISHFILE f;
    if (!f.Open(path.c_str())) return "";
    std::string name(f.header.name, strnlen(f.header.name, sizeof f.header.name));
    f.Close();
    return name;
}

// 0 saltwater, 1 freshwater, -1 when the archive does not open.
inline int WaterTypeOf(const std::string& path)
{
    FISHFILE f;
    if (!f.Open(path.c_str())) return -1;
    int w = f.header.waterType;
    f.Close();
    return w;
}

inline bool CopyInto(const std::string& src, const std::string& folder, const std::string& name = "")
{
    MakeFolders(folder);
    std::string base = name.empty() ? src.substr(src.rfind('/') + 1) : name;
    return testsupport::WriteFile(folder + "/" + base, testsupport::ReadFile(src));
}

inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

inline bool StoreGet(PREFSTORE& p, const char* key, bool* v) { return p.GetBool(key, v); }
inline bool StoreGet(PREFSTORE& p, const char* key, int64_t* v) { return p.GetInteger(key, v); }
inline bool StoreGet(PREFSTORE& p, const char* key, std::string* v) { return p.GetString(key, v); }

// Points XDG_CONFIG_HOME and XDG_DATA_HOME into a fresh folder for one test.
struct XdgHome {
    testsupport::TempDir dir;
    testsupport::ScopedEnv env{{{"XDG_CONFIG_HOME", ConfigDir()}, {"XDG_DATA_HOME", DataDir()}}};

    std::string ConfigDir() const { return dir.path() + "/config"; }
    std::string DataDir() const { return dir.path() + "/data"; }
    std::string StorePath() const { return ConfigDir() + "/kpFishSS.plist"; }
    std::string FishDir() const { return DataDir() + "/reefmere/fish"; }

    // A key of the store as written, read back independently of the record; the test
    // fails when it is absent or of another type.
    template <typename T>
    T Stored(const char* key) const
    {
        PREFSTORE p;
        p.OpenFile(StorePath());
        T v{};
        EXPECT_TRUE(StoreGet(p, key, &v)) << key;
        return v;
    }
    bool StoreHas(const char* key) const
    {
        PREFSTORE p;
        p.OpenFile(StorePath());
        return p.Has(key);
    }
};

}  // namespace configtest
