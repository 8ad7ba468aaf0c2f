// The preference store: first run, clamp, absent and wrongly typed keys, save and reload,
// every integer key's range, the pictures folder; stores and download lists that try to
// hurt (deep nesting, FIFOs, oversized or unreadable files, a version reset behind a
// symbolic link, stale temporaries of killed saves); adding the hack to ~/.xscreensaver's
// programs: list (the text edit on the layouts people and XScreenSaver write, and the
// file's replacement: symlink, backup, mode, twice).
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/Downloads.h"
#include "settings/Paths.h"
#include "settings/PlistShape.h"
#include "settings/Preferences.h"
#include "settings/SettingOverrides.h"
#include "settings/Settings.h"
#include "settings/XScreenSaverPrograms.h"
#include "test_support.h"

namespace {

using testsupport::DeepBinaryPlist;

std::string Str(const char* k, const std::string& v) {
    return std::string("<key>") + k + "</key><string>" + v + "</string>\n";
}
std::string Int(const char* k, long long v) {
    return std::string("<key>") + k + "</key><integer>" + std::to_string(v) + "</integer>\n";
}

const char kGoodStore[] = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><string>1.7</string>"
                          "<key>MaxFish</key><integer>2</integer></dict></plist>";

// The folder's entries whose names start with prefix and, when content is given, that hold it.
int Copies(const std::string& folder, const std::string& prefix, const std::string* content = nullptr) {
    int n = 0;
    for (const std::string& e : testsupport::ListFolder(folder))
        n += e.rfind(prefix, 0) == 0 && (!content || testsupport::ReadText(folder + "/" + e) == *content);
    return n;
}

class PrefsTest : public ::testing::Test {
protected:
    void TearDown() override { FreeFishSelection(&s); }
    void WriteStore(const std::string& dictBody) {
        MakeFolders(home.ConfigDir());
        ASSERT_TRUE(testsupport::WriteFile(
            home.StorePath(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
                                  dictBody + "</dict>\n</plist>\n"));
    }
    void Load(bool expectOk = true) {
        FreeFishSelection(&s);
        s = SETTINGS();
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadSettings(&s, &mmo), expectOk);
        testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> ConfigEntries() const { return testsupport::ListFolder(home.ConfigDir()); }

    testsupport::PrivateHome home;
    SETTINGS s;
    bool mmo = true;
};

TEST_F(PrefsTest, FirstRunWritesEveryDefaultTypedAndSavesReadBack) {
    Load();
    SETTINGS d;
    bool dm = true;
    DefaultSettings(&d, &dm);
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        if (!k.get || !std::strcmp(k.key, "FishSelection")) continue;
        SETTINGVALUE a, b;
        k.get(s, mmo, &a);
        k.get(d, dm, &b);
        EXPECT_EQ(a.integer, b.integer) << k.key;
        EXPECT_EQ(a.text, b.text) << k.key;
    }
    FreeFishSelection(&d);
    EXPECT_STREQ(s.fishSelection, "");  // none stored: a one-byte empty string
    EXPECT_EQ(s.selectionSize, 1);
    EXPECT_EQ(std::string(s.FishPath), ResourceFolder());
    EXPECT_EQ(std::string(s.FishPath2), home.FishDir() + "/");

    PREFSTORE store;
    store.OpenFile(home.StorePath());
    std::string t;
    bool b = true;
    EXPECT_TRUE(store.GetString("version", &t) && t == SETTINGS_VERSION);
    EXPECT_TRUE(store.GetBool("MainMonitorOnly", &b) && !b);
    EXPECT_FALSE(store.GetString("MaxFish", &t));  // types are kept
    EXPECT_FALSE(store.Has("FishSelection"));
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{"kpFishSS.plist"});  // no temporary left

    s.MAX_FISH = 2;
    s.WANTCAUSTIC = false;
    CopyToField(s.BGPath, sizeof s.BGPath, "/home/me/Pictures");
    CopyToField(s.FishPath2, sizeof s.FishPath2, "/elsewhere");
    ASSERT_TRUE(SaveSettings(s, true, "a.fish#b.fish###"));
    ASSERT_TRUE(SaveSettings(s, true, nullptr));  // a null selection leaves the stored one alone
    Load();
    EXPECT_TRUE(mmo);
    EXPECT_EQ(s.MAX_FISH, 2);
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_STREQ(s.BGPath, "/home/me/Pictures");
    EXPECT_STREQ(s.fishSelection, "a.fish#b.fish###");
    EXPECT_EQ(std::string(s.FishPath2), home.FishDir() + "/");  // a chosen fish folder is never stored
}

TEST_F(PrefsTest, CurrentVersionLoadsClampsAndReadsAbsentKeysAsZero) {
    // (Each integer key's limits: SettingRanges below.)
    std::string path;  // 1500 two-byte characters
    for (int i = 0; i < 1500; i++) path += "\xc3\xa9";
    WriteStore(Str("version", SETTINGS_VERSION) + Str("BGPath", path) + Str("FishSelection", std::string(3000, 'a')));
    Load();
    EXPECT_EQ(s.selectionSize, 3001);    // a long selection is not cut
    EXPECT_EQ(strlen(s.BGPath), 1022u);  // cut to the field's 1023 bytes, never within a character
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.WWATERLEVEL, 20);  // absent reads 0, limited to 20
}

TEST_F(PrefsTest, WronglyTypedKeysReadTheirDefaultsAndTheFileIsKeptOnSave) {
    WriteStore(Str("version", SETTINGS_VERSION) + Str("MaxFish", "lots") + Int("WantCaustic", 0) + Int("FishSize", 50) +
               "<key>BGPath</key><true/>\n" + Int("FishSelection", 4));
    Load();
    EXPECT_EQ(s.MAX_FISH, 3);  // the defaults
    EXPECT_TRUE(s.WANTCAUSTIC);
    EXPECT_EQ(s.BGPath, UserPicturesFolder());
    EXPECT_STREQ(s.fishSelection, "");
    EXPECT_EQ(s.LFISHSIZE, 50);             // good keys still load
    EXPECT_EQ(ConfigEntries().size(), 1u);  // nothing written yet
    ASSERT_TRUE(SaveSettings(s, mmo, "##"));
    EXPECT_EQ(ConfigEntries().size(), 2u);  // the original kept aside first
}

TEST_F(PrefsTest, FifoOrOversizedStoreIsUnreadableNotAHang) {
    MakeFolders(home.ConfigDir());
    ASSERT_EQ(mkfifo(home.StorePath().c_str(), 0600), 0);
    Load(false);  // no writer on the FIFO: must not block; no regular file, so never written
    EXPECT_EQ(s.BGPath, UserPicturesFolder());  // the defaults, mapped
    struct stat fifo;
    ASSERT_EQ(lstat(home.StorePath().c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
    unlink(home.StorePath().c_str());

    WriteStore(Str("version", SETTINGS_VERSION) + Int("MaxFish", 1) + Str("pad", std::string(2u << 20, 'p')));
    const std::string big = testsupport::ReadText(home.StorePath());
    Load();
    EXPECT_EQ(s.MAX_FISH, 3);                                         // not used...
    EXPECT_EQ(Copies(home.ConfigDir(), "kpFishSS.plist.", &big), 1);  // ...but kept whole
}

TEST_F(PrefsTest, AStringWithANulByteNeverAborts) {
    // Whether the reader cuts the text at the NUL or refuses the file, loading goes on.
    for (const std::string& path : {std::string("/pics&#0;/evil"), std::string("/pics\0/evil", 11)}) {
        WriteStore(Str("version", SETTINGS_VERSION) + Str("BGPath", path) + Str("FishSelection", "a.fish###"));
        Load();
        EXPECT_TRUE(!strcmp(s.BGPath, "/pics") || s.BGPath == UserPicturesFolder()) << s.BGPath;
        ASSERT_NE(s.fishSelection, nullptr);
        EXPECT_EQ(static_cast<size_t>(s.selectionSize), strlen(s.fishSelection) + 1);
    }
}

// The value an integer option sets; nothing when its value is refused.
std::optional<long long> ParseOne(const std::string& option, long long value) {
    std::string v = std::to_string(value);
    std::vector<char*> argv = {const_cast<char*>(option.c_str()), const_cast<char*>(v.c_str())};
    std::vector<SETTINGOVERRIDE> out;
    int i = 0;
    int r = ParseSettingOverride(2, argv.data(), &i, &out);
    EXPECT_NE(r, 0) << option << " is no option";
    if (r != 1) return std::nullopt;
    return out.at(0).value.integer;
}

using SettingRanges = PrefsTest;

TEST_F(SettingRanges, EdgesOfEveryIntegerKeyFromOptionsAndFromTheStore) {
    int integers = 0;
    for (size_t k = 0; k < kSettingKeyCount; k++) {
        const SETTINGKEY& key = kSettingKeys[k];
        if (key.type != SETTINGTYPE::Integer) continue;
        integers++;
        SCOPED_TRACE(key.key);
        ASSERT_LT(key.low, key.high);
        EXPECT_GE(key.defaultInteger, key.low);
        EXPECT_LE(key.defaultInteger, key.high);
        std::string option = "--" + OverrideOptionName(key);
        for (long long v : {key.low, key.high}) EXPECT_EQ(ParseOne(option, v), v);
        for (long long v : {key.low - 1, key.high + 1}) EXPECT_EQ(ParseOne(option, v), std::nullopt);

        // Stored: in range kept, out of range limited to the nearer end.
        const long long stored[][2] = {
            {key.low, key.low}, {key.high, key.high}, {key.low - 1, key.low}, {key.high + 1, key.high}};
        for (const auto& c : stored) {
            WriteStore(Str("version", SETTINGS_VERSION) + Int(key.key, c[0]));
            Load();
            SETTINGVALUE v;
            key.get(s, mmo, &v);
            EXPECT_EQ(v.integer, c[1]) << "stored " << c[0];
        }
    }
    EXPECT_EQ(integers, 7);
}

TEST(PictureFolder, TheMacDefaultMapsToTheUsersPicturesFolder) {
    struct CASE {
        const char* userDirs;  // user-dirs.dirs; null: no file, "FIFO": a FIFO there
        const char* env;       // $XDG_PICTURES_DIR
        const char* stored;
        std::string want;  // "~" stands for the home folder
    } cases[] = {
        {nullptr, "", "/Library/Desktop Pictures", "~/Pictures"},
        {nullptr, "/env/pics", "/library/desktop pictures//", "/env/pics"},
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/env/pics", "/library/Desktop Pictures/", "~/Bilder"},
        {"# x\nXDG_PICTURES_DIR=\"/srv/a\"\n  XDG_PICTURES_DIR = \"/srv/My \\\"Pics\\\"/\"", "",
         "/library/Desktop Pictures/", "/srv/My \"Pics\""},
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
        EXPECT_EQ(PlatformPictureFolder(c.stored), want)
            << c.stored << " with " << (c.userDirs ? c.userDirs : "no file");
    }
}

using HostileStore = PrefsTest;

TEST(PlistShape, RefusesNestingAndWrongTopsInBothForms) {
    struct Case {
        std::string bytes;
        PLISTTOP top;
        bool ok;
    } cases[] = {
        {kGoodStore, PLISTTOP::Dictionary, true},
        {kGoodStore, PLISTTOP::Array, false},
        {"<plist><array><string>a;b</string><integer>1</integer></array></plist>", PLISTTOP::Array, true},
        {"<plist><array><string>a;b</string><array/></array></plist>", PLISTTOP::Array, false},
        {"<plist><!-- <array><array> --><array><string><![CDATA[<dict>]]></string></array></plist>", PLISTTOP::Array,
         true},
        {"<!DOCTYPE plist [<!ENTITY a \"b\">]><plist><array/></plist>", PLISTTOP::Array, false},
        {"<plist><array><string", PLISTTOP::Array, false},
        {std::string(reinterpret_cast<const char*>(DeepBinaryPlist(true, 0).data()), DeepBinaryPlist(true, 0).size()),
         PLISTTOP::Dictionary, false},  // {"x": []}: an array inside
        {std::string(reinterpret_cast<const char*>(DeepBinaryPlist(false, 2).data()), DeepBinaryPlist(false, 2).size()),
         PLISTTOP::Array, false},
        {"bplist00", PLISTTOP::Array, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlistShapeOk(c.bytes.data(), c.bytes.size(), c.top), c.ok) << c.bytes.substr(0, 80);
}

TEST(HostileDownloadList, ADeepListIsRefusedNotParsed) {
    std::vector<uint8_t> bin = DeepBinaryPlist(false, 110000);
    std::vector<DOWNLOADDATA> offers;
    EXPECT_FALSE(ParseDownloadList(reinterpret_cast<const char*>(bin.data()), bin.size(), &offers));
    EXPECT_TRUE(offers.empty());
}

TEST_F(HostileStore, ADeepStoreIsKeptAsideAndReplacedByDefaults) {
    MakeFolders(home.ConfigDir());
    const std::vector<uint8_t> deep = DeepBinaryPlist(true, 110000);
    const std::string deepText(deep.begin(), deep.end());
    ASSERT_LT(deep.size(), 1u << 20);
    ASSERT_TRUE(testsupport::WriteFile(home.StorePath(), deep));
    LoadSettings(&s, &mmo);
    EXPECT_EQ(s.MAX_FISH, 3);
    // The sheet's save over the same file must not crash in the XML writer either.
    EXPECT_TRUE(SaveSettings(s, mmo, "##"));
    EXPECT_EQ(Copies(home.ConfigDir(), "kpFishSS.plist.unreadable-", &deepText), 1);
    PREFSTORE store;
    store.OpenFile(home.StorePath());
    EXPECT_FALSE(store.Damaged());
}

// Root reads anything, so the load runs in a child that drops to nobody first.
TEST_F(HostileStore, AnUnreadableStoreIsLeftExactlyAsItWas) {
    MakeFolders(home.ConfigDir());
    ASSERT_TRUE(testsupport::WriteFile(home.StorePath(), std::string(kGoodStore)));
    chmod(home.StorePath().c_str(), 0);
    const uid_t nobody = 65534;
    for (const std::string& p : {home.path(), home.ConfigDir(), home.StorePath()})
        ASSERT_TRUE(geteuid() != 0 || chown(p.c_str(), nobody, nobody) == 0) << p;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
                               setresuid(nobody, nobody, nobody) != 0))
            _exit(2);
        SETTINGS child;
        bool flag = true;
        bool loaded = LoadSettings(&child, &flag);
        bool saved = SaveSettings(child, flag, "##");
        // Defaults in memory; nothing written.
        _exit(!loaded && !saved && child.MAX_FISH == 3 && child.LFISHSIZE == 100 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    chmod(home.StorePath().c_str(), 0600);
    EXPECT_EQ(testsupport::ReadText(home.StorePath()), kGoodStore);
    EXPECT_EQ(testsupport::ListFolder(home.ConfigDir()), std::vector<std::string>{"kpFishSS.plist"});
}

TEST_F(HostileStore, VersionResetKeepsTheOldStoreOnceAndLinksStay) {
    // A store kept elsewhere behind a link, with an older version and a stale temporary.
    MakeFolders(home.ConfigDir());
    mkdir((home / "dotfiles").c_str(), 0700);
    const std::string real = home / "dotfiles/kp.plist";
    const std::string old = "<plist><dict><key>version</key><string>1.6</string><key>MaxFish</key><integer>1</integer>"
                            "<key>FishSelection</key><string>a.fish###</string></dict></plist>";
    ASSERT_TRUE(testsupport::WriteFile(real, old));
    ASSERT_EQ(symlink("../dotfiles/kp.plist", home.StorePath().c_str()), 0);
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = real + ".tmp-" + std::to_string(gone);
    ASSERT_TRUE(testsupport::WriteFile(stale, "half"));

    ASSERT_TRUE(LoadSettings(&s, &mmo));
    EXPECT_EQ(s.MAX_FISH, 3);
    EXPECT_STREQ(s.fishSelection, "a.fish###");  // every key reset but the selection
    struct stat st;
    ASSERT_EQ(lstat(home.StorePath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_NE(testsupport::ReadText(real).find("<string>1.7</string>"), std::string::npos);
    EXPECT_FALSE(testsupport::FileExists(stale));
    EXPECT_EQ(Copies(home / "dotfiles", "kp.plist.old-"), 1);
    EXPECT_EQ(Copies(home / "dotfiles", "kp.plist.old-", &old), 1);

    // A damaged store whose copy already exists gains no second copy.
    ASSERT_TRUE(testsupport::WriteFile(real, "garbage"));
    ASSERT_TRUE(testsupport::WriteFile(real + ".unreadable-1", "garbage"));
    FreeFishSelection(&s);
    LoadSettings(&s, &mmo);
    EXPECT_EQ(Copies(home / "dotfiles", "kp.plist.unreadable-"), 1);
    EXPECT_NE(testsupport::ReadText(real).find("<string>1.7</string>"), std::string::npos);
}

const char kEntry[] = "GL: reefmere -root";
const std::string kLine = "  GL: \t\t\t\treefmere -root\t\t\t\t    \\n";  // as XScreenSaver lays it out

TEST(XScreenSaverPrograms, AddsOneEntryAtTheEndOfTheList) {
    struct Case {
        const char* what;
        std::string in, out;  // out empty: nothing added
        PROGRAMSRESULT result;
    };
    const Case cases[] = {
        {"list ends on its last entry", "programs: maze -root \\n\\\n  gears -root \\n\nb: 2\n",
         "programs: maze -root \\n\\\n  gears -root \\n\\\n" + kLine + "\nb: 2\n", PROGRAMSRESULT::Added},
        {"last entry without its separator, no final newline", "programs: maze -root",
         "programs: maze -root\\n\\\n" + kLine, PROGRAMSRESULT::Added},
        {"continued last entry without its separator", "programs: \\\n maze -root \\\n\nx: 1\n",
         "programs: \\\n maze -root \\\n\\n" + kLine + "\\\n\nx: 1\n", PROGRAMSRESULT::Added},
        {"empty list", "programs:\n", "programs:\\\n" + kLine + "\n", PROGRAMSRESULT::Added},
        {"the last of two lists counts", "programs: a\nprograms: b \\n\n",
         "programs: a\nprograms: b \\n\\\n" + kLine + "\n", PROGRAMSRESULT::Added},
        {"another program of the same prefix", "programs: reefmere-config \\n\n",
         "programs: reefmere-config \\n\\\n" + kLine + "\n", PROGRAMSRESULT::Added},
        {"listed, disabled, by path, with options",
         "programs: maze \\n\\\n-  GL: /usr/libexec/xscreensaver/reefmere --root --max-fish 2 \\n\n", "",
         PROGRAMSRESULT::AlreadyListed},
        {"listed under a name", "programs: \"Fish tank\" reefmere -root\n", "", PROGRAMSRESULT::AlreadyListed},
        {"no list: comments and continued lines start nothing",
         "# programs: maze\n! programs: maze\ntext: a \\\nprograms: b\nprogramsX: c\n", "", PROGRAMSRESULT::NoList},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(AddProgramEntry(c.in, kEntry, &out), c.result) << c.what;
        if (c.result == PROGRAMSRESULT::Added) {
            EXPECT_EQ(out, c.out) << c.what;
        }
    }
}

TEST(XScreenSaverPrograms, ReplacesTheFileBehindTheLinkAndKeepsABackup) {
    testsupport::TempDir dir;
    const std::string original = "timeout:\t0:10:00\nprograms:\t\\\n\t\t\t\tmaze --root\t    \\n\\\n\nlock: False\n";
    const std::string target = dir / "dotfiles-xscreensaver";
    ASSERT_TRUE(testsupport::WriteFile(target, original));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink(target.c_str(), (dir / ".xscreensaver").c_str()), 0);

    std::string message;
    ASSERT_EQ(AddToProgramsFile(dir / ".xscreensaver", kEntry, &message), PROGRAMSRESULT::Added) << message;
    struct stat st;
    ASSERT_EQ(lstat((dir / ".xscreensaver").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // the link stays a link
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::string added = testsupport::ReadText(target);
    EXPECT_EQ(added,
              "timeout:\t0:10:00\nprograms:\t\\\n\t\t\t\tmaze --root\t    \\n\\\n" + kLine + "\\\n\nlock: False\n");
    EXPECT_EQ(testsupport::ReadText(target + ".reefmere-backup"), original);

    // Twice: nothing changes, not even the backup.
    ASSERT_TRUE(testsupport::WriteFile(target + ".reefmere-backup", "older"));
    EXPECT_EQ(AddToProgramsFile(dir / ".xscreensaver", kEntry, &message), PROGRAMSRESULT::AlreadyListed);
    EXPECT_EQ(testsupport::ReadText(target), added);
    EXPECT_EQ(testsupport::ReadText(target + ".reefmere-backup"), "older");

    // No list, or no regular file: nothing is written.
    ASSERT_TRUE(testsupport::WriteFile(dir / "nolist", "timeout: 0:10:00\n"));
    EXPECT_EQ(AddToProgramsFile(dir / "nolist", kEntry, &message), PROGRAMSRESULT::NoList);
    EXPECT_EQ(testsupport::ReadText(dir / "nolist"), "timeout: 0:10:00\n");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(AddToProgramsFile(dir / "fifo", kEntry, &message), PROGRAMSRESULT::Failed);
    EXPECT_FALSE(testsupport::FileExists(dir / "fifo.reefmere-backup"));
}

}  // namespace
