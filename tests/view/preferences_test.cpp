// The preference store: first run, version reset, clamp, absent and wrongly typed keys,
// unreadable files kept aside, FIFOs and oversized files, an unwritable store, save and
// reload.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "settings/Paths.h"
#include "settings/Preferences.h"
#include "settings/Settings.h"

namespace {

std::string Str(const char* k, const std::string& v) { return std::string("<key>") + k + "</key><string>" + v + "</string>\n"; }
std::string Int(const char* k, long long v) {
    return std::string("<key>") + k + "</key><integer>" + std::to_string(v) + "</integer>\n";
}
std::string Bool(const char* k, bool v) { return std::string("<key>") + k + "</key>" + (v ? "<true/>" : "<false/>") + "\n"; }

class PrefsTest : public ::testing::Test {
protected:
    void TearDown() override { FreeFishSelection(&s); }
    void WriteStore(const std::string& dictBody) {
        MakeFolders(home.ConfigDir());
        ASSERT_TRUE(testsupport::WriteFile(home.StorePath(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
                                                                 dictBody + "</dict>\n</plist>\n"));
    }
    // Loads into a fresh record (the fixture's s).
    void Load(bool expectOk = true) {
        FreeFishSelection(&s);
        s = SETTINGS();
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadSettings(&s, &mmo), expectOk);
        err = testing::internal::GetCapturedStderr();
    }
    // Every key of the loaded record as a default record holds it (the selection aside).
    void ExpectDefaults() {
        SETTINGS d;
        bool dm = true;
        DefaultSettings(&d, &dm);
        for (size_t i = 0; i < kSettingKeyCount; i++) {
            const SettingKey& k = kSettingKeys[i];
            if (!k.get || !std::strcmp(k.key, "FishSelection")) continue;
            SettingValue a, b;
            k.get(s, mmo, &a);
            k.get(d, dm, &b);
            EXPECT_EQ(a.integer, b.integer) << k.key;
            EXPECT_EQ(a.text, b.text) << k.key;
        }
        FreeFishSelection(&d);
    }
    std::vector<std::string> ConfigEntries() const { return testsupport::ListFolder(home.ConfigDir()); }

    testsupport::PrivateHome home;
    SETTINGS s;
    bool mmo = true;
    std::string err;
};

TEST_F(PrefsTest, FirstRunWritesEveryDefaultTyped) {
    Load();
    ExpectDefaults();
    EXPECT_STREQ(s.fishSelection, "");  // none stored: a one-byte empty string
    EXPECT_EQ(s.selectionSize, 1);
    EXPECT_EQ(std::string(s.FishPath), ResourceFolder());
    EXPECT_EQ(std::string(s.FishPath2), home.FishDir() + "/");

    PREFSTORE store;
    store.OpenFile(home.StorePath());
    EXPECT_FALSE(store.Damaged());
    std::string t;
    int64_t i = 0;
    bool b = true;
    EXPECT_TRUE(store.GetString("version", &t) && t == SETTINGS_VERSION);
    EXPECT_TRUE(store.GetBool("MainMonitorOnly", &b) && !b);
    EXPECT_TRUE(store.GetInteger("MaxFish", &i) && i == s.MAX_FISH);
    EXPECT_TRUE(store.GetString("BGPath", &t) && t == s.BGPath);
    EXPECT_FALSE(store.GetString("MaxFish", &t));  // types are kept
    EXPECT_FALSE(store.Has("FishSelection"));
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{"kpFishSS.plist"});  // no temporary left
}

TEST_F(PrefsTest, OtherVersionResetsEveryKeyButTheSelection) {
    for (const std::string& version : {Str("version", "1.6"), Int("version", 17)}) {  // a wrong type counts as absent
        WriteStore(version + Int("MaxFish", 1) + Bool("WantCaustic", false) + Int("WaterRes", 5) + Str("BGPath", "/pics") +
                   Bool("MainMonitorOnly", true) + Str("FishSelection", "clown.fish###"));
        Load();
        ExpectDefaults();
        EXPECT_STREQ(s.fishSelection, "clown.fish###");
        PREFSTORE store;
        store.OpenFile(home.StorePath());
        std::string t;
        int64_t i = 0;
        EXPECT_TRUE(store.GetString("version", &t) && t == SETTINGS_VERSION);
        EXPECT_TRUE(store.GetInteger("MaxFish", &i) && i == s.MAX_FISH);
        EXPECT_TRUE(store.GetString("FishSelection", &t) && t == "clown.fish###");
    }
}

TEST_F(PrefsTest, CurrentVersionLoadsClampsAndReadsAbsentKeysAsZero) {
    WriteStore(Str("version", SETTINGS_VERSION) + Int("MaxFish", 10) + Int("WaterRes", 5) + Bool("LowCPU", true) +
               Int("BGType", 2) + Bool("MainMonitorOnly", true) + Int("FishSize", -20) +
               Str("FishSelection", std::string(3000, 'a')));
    Load();
    EXPECT_EQ(s.MAX_FISH, 3);  // the tank holds three
    EXPECT_EQ(s.WATERSHIFT, 5);
    EXPECT_TRUE(s.LOWCPU);
    EXPECT_EQ(s.BGTYPE, 2);
    EXPECT_TRUE(mmo);
    EXPECT_EQ(s.LFISHSIZE, 50);  // read whole, then limited to its range
    EXPECT_EQ(s.selectionSize, 3001);  // a long selection is not cut
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.WWATERLEVEL, 20);  // absent reads 0, limited to 20
    EXPECT_STREQ(s.BGPath, "");

    WriteStore(Str("version", SETTINGS_VERSION) + Str("BGPath", std::string(3000, 'a')));
    Load();
    EXPECT_EQ(strlen(s.BGPath), 1023u);  // an overlong path is cut to the field
}

TEST_F(PrefsTest, WronglyTypedKeysReadTheirDefaultsAndTheFileIsKeptOnSave) {
    WriteStore(Str("version", SETTINGS_VERSION) + Str("MaxFish", "lots") + Int("WantCaustic", 0) + Int("FishSize", 50) +
               Bool("BGPath", true) + Int("FishSelection", 4));
    Load();
    SETTINGS d;
    bool dm = false;
    DefaultSettings(&d, &dm);
    EXPECT_EQ(s.MAX_FISH, d.MAX_FISH);
    EXPECT_EQ(s.WANTCAUSTIC, d.WANTCAUSTIC);
    EXPECT_STREQ(s.BGPath, d.BGPath);
    EXPECT_EQ(s.LFISHSIZE, 50);  // good keys still load
    EXPECT_STREQ(s.fishSelection, "");
    FreeFishSelection(&d);
    EXPECT_EQ(ConfigEntries().size(), 1u);  // nothing written yet
    ASSERT_TRUE(SaveSettings(s, mmo, "##"));
    EXPECT_EQ(ConfigEntries().size(), 2u);  // the original kept aside first
}

TEST_F(PrefsTest, EachUnreadableStoreIsKeptAsItsOwnCopy) {
    const std::string bad[] = {"this is not a property list \x01\x02\xff",
                               "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>",
                               "", std::string("bplist00\xff\xff\xff\xff", 12), "<plist><dict><key>"};
    MakeFolders(home.ConfigDir());
    for (const std::string& text : bad) {
        ASSERT_TRUE(testsupport::WriteFile(home.StorePath(), text));
        Load();
        ExpectDefaults();
        PREFSTORE store;
        store.OpenFile(home.StorePath());
        EXPECT_FALSE(store.Damaged());  // rewritten as a good store
    }
    std::vector<std::string> kept;
    for (const std::string& n : ConfigEntries())
        if (n.rfind("kpFishSS.plist.unreadable-", 0) == 0) kept.push_back(testsupport::ReadText(home.ConfigDir() + "/" + n));
    for (const std::string& text : bad)
        if (!text.empty()) {
            EXPECT_EQ(std::count(kept.begin(), kept.end(), text), 1) << text;
        }
}

TEST_F(PrefsTest, FifoOrOversizedStoreIsUnreadableNotAHang) {
    MakeFolders(home.ConfigDir());
    ASSERT_EQ(mkfifo(home.StorePath().c_str(), 0600), 0);
    Load(false);  // no writer on the FIFO: must not block; no regular file, so never written
    ExpectDefaults();
    struct stat fifo;
    ASSERT_EQ(lstat(home.StorePath().c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
    unlink(home.StorePath().c_str());

    std::string big = Str("version", SETTINGS_VERSION) + Int("MaxFish", 1) + Str("pad", std::string(2u << 20, 'p'));
    WriteStore(big);
    const long size = testsupport::FileSize(home.StorePath());
    Load();
    EXPECT_EQ(s.MAX_FISH, 3);  // not used...
    bool keptWhole = false;    // ...but kept whole
    for (const std::string& n : ConfigEntries()) {
        struct stat st;
        keptWhole |= stat((home.ConfigDir() + "/" + n).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == size &&
                     n != "kpFishSS.plist";
    }
    EXPECT_TRUE(keptWhole);
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

TEST_F(PrefsTest, SaveAndReload) {
    Load();
    s.MAX_FISH = 2;
    s.WATERSHIFT = 5;
    s.WANTCAUSTIC = false;
    s.VOLUME = 40;
    CopyToField(s.BGPath, sizeof s.BGPath, "/home/me/Pictures");
    CopyToField(s.FishPath2, sizeof s.FishPath2, "/elsewhere");
    ASSERT_TRUE(SaveSettings(s, true, "a.fish#b.fish###"));
    ASSERT_TRUE(SaveSettings(s, true, nullptr));  // a null selection leaves the stored one alone
    SETTINGS saved = s;
    saved.fishSelection = nullptr;
    Load();
    EXPECT_TRUE(mmo);
    EXPECT_EQ(s.MAX_FISH, 2);
    EXPECT_EQ(s.WATERSHIFT, 5);
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.VOLUME, 40);
    EXPECT_STREQ(s.BGPath, saved.BGPath);
    EXPECT_STREQ(s.fishSelection, "a.fish#b.fish###");
    EXPECT_EQ(std::string(s.FishPath2), home.FishDir() + "/");  // a chosen fish folder is never stored
}

TEST_F(PrefsTest, UnwritableStoreReportsAndUsesDefaultsInMemory) {
    ASSERT_TRUE(testsupport::WriteFile(home.ConfigDir(), std::string("x")));  // a file where the folder goes
    Load(false);
    EXPECT_NE(err.find("cannot write preferences"), std::string::npos) << err;
    ExpectDefaults();
    EXPECT_FALSE(SaveSettings(s, mmo, "##"));
}

TEST(SettingsPaths, CopyToFieldNeverSplitsACharacter) {
    char field[6];
    CopyToField(field, sizeof field, "abcd\xc3\xa9");  // "abcdé": 6 bytes, room for 5
    EXPECT_STREQ(field, "abcd");
    CopyToField(field, sizeof field, nullptr);
    EXPECT_STREQ(field, "");
}

}  // namespace
