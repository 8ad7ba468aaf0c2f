// Preference stores and download lists that try to hurt: deep nesting, an unreadable
// store, a version reset behind a symbolic link, stale temporaries of killed saves.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "config/Downloads.h"
#include "settings/PlistShape.h"
#include "settings/Preferences.h"
#include "settings/Settings.h"

using testsupport::TempDir;

namespace {

using testsupport::DeepBinaryPlist;

std::string DeepXml(const char* top, int depth) {
    std::string x = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><";
    x += top;
    x += std::string(top) == "dict" ? "><key>x</key>" : ">";
    for (int i = 0; i < depth; i++) x += "<array>";
    for (int i = 0; i < depth; i++) x += "</array>";
    return x + "</" + top + "></plist>";
}

int CountWithPrefix(const std::string& folder, const std::string& prefix) {
    int n = 0;
    for (const std::string& e : testsupport::ListFolder(folder)) n += e.compare(0, prefix.size(), prefix) == 0;
    return n;
}

class HostileStore : public ::testing::Test {
protected:
    void SetUp() override { mkdir(Config().c_str(), 0700); }
    void TearDown() override { FreeFishSelection(&s); }
    std::string Config() const { return dir / "config"; }
    std::string Store() const { return dir / "config/kpFishSS.plist"; }
    TempDir dir;
    testsupport::ScopedEnv env{{{"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}}};
    SETTINGS s;
    bool mmo = false;
};

const char kGoodStore[] = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><string>1.7</string>"
                          "<key>MaxFish</key><integer>2</integer></dict></plist>";

}  // namespace

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
        {DeepXml("dict", 3), PLISTTOP::Dictionary, false},
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
    std::vector<uint8_t> deep = DeepBinaryPlist(true, 110000);
    ASSERT_LT(deep.size(), 1u << 20);
    ASSERT_TRUE(testsupport::WriteFile(Store(), deep));
    LoadSettings(&s, &mmo);
    EXPECT_EQ(s.MAX_FISH, 3);
    // The sheet's save over the same file must not crash in the XML writer either.
    EXPECT_TRUE(SaveSettings(s, mmo, "##"));
    int copies = 0;
    for (const std::string& e : testsupport::ListFolder(Config()))
        copies += e.rfind("kpFishSS.plist.unreadable-", 0) == 0 && testsupport::ReadFile(Config() + "/" + e) == deep;
    EXPECT_EQ(copies, 1);
    PREFSTORE store;
    store.OpenFile(Store());
    EXPECT_FALSE(store.Damaged());
}

// Root reads anything, so the load runs in a child that drops to nobody first.
TEST_F(HostileStore, AnUnreadableStoreIsLeftExactlyAsItWas) {
    ASSERT_TRUE(testsupport::WriteFile(Store(), std::string(kGoodStore)));
    chmod(Store().c_str(), 0);
    const uid_t nobody = 65534;
    for (const std::string& p : {dir.path(), Config(), Store()})
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
    chmod(Store().c_str(), 0600);
    EXPECT_EQ(testsupport::ReadText(Store()), kGoodStore);
    EXPECT_EQ(testsupport::ListFolder(Config()), std::vector<std::string>{"kpFishSS.plist"});
}

TEST_F(HostileStore, VersionResetKeepsTheOldStoreOnceAndLinksStay) {
    // A store kept elsewhere behind a link, with an older version and a stale temporary.
    mkdir((dir / "dotfiles").c_str(), 0700);
    const std::string real = dir / "dotfiles/kp.plist";
    const std::string old = "<plist><dict><key>version</key><string>1.6</string><key>MaxFish</key><integer>1</integer>"
                            "<key>FishSelection</key><string>a.fish###</string></dict></plist>";
    ASSERT_TRUE(testsupport::WriteFile(real, old));
    ASSERT_EQ(symlink("../dotfiles/kp.plist", Store().c_str()), 0);
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = real + ".tmp-" + std::to_string(gone);
    ASSERT_TRUE(testsupport::WriteFile(stale, "half"));

    ASSERT_TRUE(LoadSettings(&s, &mmo));
    EXPECT_EQ(s.MAX_FISH, 3);
    EXPECT_STREQ(s.fishSelection, "a.fish###");  // every key reset but the selection
    struct stat st;
    ASSERT_EQ(lstat(Store().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_NE(testsupport::ReadText(real).find("<string>1.7</string>"), std::string::npos);
    EXPECT_FALSE(testsupport::FileExists(stale));
    ASSERT_EQ(CountWithPrefix(dir / "dotfiles", "kp.plist.old-"), 1);
    for (const std::string& e : testsupport::ListFolder(dir / "dotfiles"))
        EXPECT_TRUE(e.rfind("kp.plist.old-", 0) != 0 || testsupport::ReadText(dir / "dotfiles/" + e) == old) << e;

    // A damaged store whose copy already exists gains no second copy.
    ASSERT_TRUE(testsupport::WriteFile(real, "garbage"));
    ASSERT_TRUE(testsupport::WriteFile(real + ".unreadable-1", "garbage"));
    FreeFishSelection(&s);
    LoadSettings(&s, &mmo);
    EXPECT_EQ(CountWithPrefix(dir / "dotfiles", "kp.plist.unreadable-"), 1);
    EXPECT_NE(testsupport::ReadText(real).find("<string>1.7</string>"), std::string::npos);
}
