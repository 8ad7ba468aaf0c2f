// The picture folder a stored "BGPath" stands for: the macOS default becomes the user's
// pictures folder as xdg-user-dirs names it, read without a shell and without blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "settings/Paths.h"
#include "settings/Settings.h"
#include "test_support.h"

namespace {

TEST(PictureFolder, TheMacDefaultMapsToTheUsersPicturesFolder)
{
    struct CASE {
        const char* userDirs;  // user-dirs.dirs; null: no file, "FIFO": a FIFO there
        const char* env;       // $XDG_PICTURES_DIR
        const char* stored;
        std::string want;      // "~" stands for the home folder
    } cases[] = {
        {nullptr, "", "/Library/Desktop Pictures", "~/Pictures"},
        {nullptr, "/env/pics", "/library/desktop pictures//", "/env/pics"},
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/env/pics", "/library/Desktop Pictures/", "~/Bilder"},
        {"# x\nXDG_PICTURES_DIR=\"/srv/a\"\n  XDG_PICTURES_DIR = \"/srv/My \\\"Pics\\\"/\"", "", "/library/Desktop Pictures/",
         "/srv/My \"Pics\""},
        {"XDG_PICTURES_DIR=\"$HOME/\"\n", "", "/library/Desktop Pictures/", "~/Pictures"},  // "disabled"
        {"XDG_PICTURES_DIR=\"$(id)\"\nXDG_PICTURES_DIR=x\nXDG_PICTURES_DIR=\"/`id`\"\nXDG_PICTURES_DIR=\"/open", "",
         "/library/Desktop Pictures/", "~/Pictures"},
        {"FIFO", "", "/library/Desktop Pictures/", "~/Pictures"},
        {"XDG_PICTURES_DIR=\"/srv/a\"\n", "", "/home/me/mine", "/home/me/mine"},
    };
    for (const CASE& c : cases) {
        testsupport::PrivateHome home;
        testsupport::ScopedEnv env(std::map<std::string, std::string>{{"XDG_PICTURES_DIR", c.env}});
        const std::string dirs = home.ConfigDir() + "/user-dirs.dirs";
        MakeFolders(home.ConfigDir());
        if (c.userDirs && std::string(c.userDirs) == "FIFO") {
            ASSERT_EQ(mkfifo(dirs.c_str(), 0600), 0);
        } else if (c.userDirs) {
            ASSERT_TRUE(testsupport::WriteFile(dirs, std::string(c.userDirs)));
        }
        std::string want = c.want[0] == '~' ? home.path() + c.want.substr(1) : c.want;
        EXPECT_EQ(PlatformPictureFolder(c.stored), want) << c.stored << " with " << (c.userDirs ? c.userDirs : "no file");
    }

    // Loading and defaults go through the key table, which maps the stored default.
    testsupport::PrivateHome home;
    testsupport::ScopedEnv env(std::map<std::string, std::string>{{"XDG_PICTURES_DIR", ""}});
    SETTINGS s;
    DefaultSettings(&s, nullptr);
    EXPECT_EQ(std::string(s.BGPath), home.path() + "/Pictures");
}

}  // namespace
