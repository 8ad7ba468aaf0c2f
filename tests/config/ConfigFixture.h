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
#include "view/Paths.h"
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

inline std::string DisplayNameOf(const std::string& path)
{
    FISHFILE f;
    if (!f.Open(path.c_str())) return "";
    std::string name(f.header.name, strnlen(f.header.name, sizeof f.header.name));
    f.Close();
    return name;
}

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

// Points XDG_CONFIG_HOME and XDG_DATA_HOME into a fresh folder for one test.
class XdgHome {
public:
    XdgHome()
    {
        Save("XDG_CONFIG_HOME", &config_);
        Save("XDG_DATA_HOME", &data_);
        setenv("XDG_CONFIG_HOME", ConfigDir().c_str(), 1);
        setenv("XDG_DATA_HOME", DataDir().c_str(), 1);
    }
    ~XdgHome()
    {
        Restore("XDG_CONFIG_HOME", config_);
        Restore("XDG_DATA_HOME", data_);
    }
    std::string ConfigDir() const { return dir.path() + "/config"; }
    std::string DataDir() const { return dir.path() + "/data"; }
    std::string StorePath() const { return ConfigDir() + "/kpFishSS.plist"; }
    std::string FishDir() const { return DataDir() + "/reefmere/fish"; }

    testsupport::TempDir dir;

private:
    struct Old {
        bool had = false;
        std::string value;
    };
    static void Save(const char* name, Old* o)
    {
        const char* v = getenv(name);
        o->had = v != nullptr;
        o->value = v ? v : "";
    }
    static void Restore(const char* name, const Old& o)
    {
        if (o.had)
            setenv(name, o.value.c_str(), 1);
        else
            unsetenv(name);
    }
    Old config_, data_;
};

}  // namespace configtest
