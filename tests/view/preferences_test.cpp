// The preference store: first run, version reset, clamp, selection, corrupt and
// wrongly typed files, atomic writes, an unwritable store, save and reload.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "settings/Paths.h"
#include "settings/Preferences.h"
#include "settings/Settings.h"

using testsupport::TempDir;

namespace {

// Points XDG_CONFIG_HOME / XDG_DATA_HOME at a fresh folder for one test.
class PrefsTest : public ::testing::Test {
protected:
    void TearDown() override { FreeFishSelection(&s); }
    std::string StorePath() const { return dir / "config/kpFishSS.plist"; }
    void WriteStore(const std::string& dictBody) {
        mkdir((dir / "config").c_str(), 0700);
        std::string xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + dictBody +
            "</dict>\n</plist>\n";
        ASSERT_TRUE(testsupport::WriteFile(StorePath(), xml));
    }
    std::vector<std::string> ConfigEntries() const {
        std::vector<std::string> names;
        DIR* d = opendir((dir / "config").c_str());
        if (!d) return names;
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
        return names;
    }

    TempDir dir;
    testsupport::ScopedEnv env{{{"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}}};
    SETTINGS s;
    bool mmo = true;
};

std::string Str(const char* k, const char* v) { return std::string("<key>") + k + "</key><string>" + v + "</string>\n"; }
std::string Int(const char* k, long long v) {
    return std::string("<key>") + k + "</key><integer>" + std::to_string(v) + "</integer>\n";
}
std::string Bool(const char* k, bool v) { return std::string("<key>") + k + "</key>" + (v ? "<true/>" : "<false/>") + "\n"; }

void ExpectDefaults(const SETTINGS& s, bool mmo) {
    EXPECT_FALSE(mmo);
    EXPECT_EQ(s.LFISHSIZE, 100);
    EXPECT_EQ(s.MAX_FISH, 3);
    EXPECT_EQ(s.WATERSHIFT, 6);
    EXPECT_TRUE(s.WANTCAUSTIC);
    EXPECT_TRUE(s.WANTBUBBLES);
    EXPECT_TRUE(s.GRADUALFILL);
    EXPECT_EQ(s.BGTYPE, 0);
    EXPECT_EQ(s.BGRES, 1);
    EXPECT_TRUE(s.RWATERLEVEL);
    EXPECT_EQ(s.WWATERLEVEL, 85);
    EXPECT_TRUE(s.PLAYSOUND);
    EXPECT_STREQ(s.BGPath, "/library/Desktop Pictures/");
    EXPECT_FALSE(s.STAYONSCREEN);
    EXPECT_FALSE(s.RANDOMSIZES);
    EXPECT_EQ(s.VOLUME, 100);
    EXPECT_FALSE(s.LOWCPU);
    EXPECT_FALSE(s.WANTSMS);
    EXPECT_FALSE(s.SMSREVERSE);
}

}  // namespace

TEST_F(PrefsTest, FirstRunWritesEveryDefaultTypedAndKeepsSelectionUnwritten) {
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    ExpectDefaults(s, mmo);
    // No selection stored: a one-byte empty string.
    ASSERT_NE(s.fishSelection, nullptr);
    EXPECT_STREQ(s.fishSelection, "");
    EXPECT_EQ(s.selectionSize, 1);
    // The folders: resource folder and the per-user fish folder.
    EXPECT_EQ(std::string(s.FishPath), ResourceFolder());
    EXPECT_EQ(std::string(s.FishPath2), dir.path() + "/data/reefmere/fish/");

    PREFSTORE store;
    store.OpenFile(StorePath());
    EXPECT_FALSE(store.Damaged());
    std::string version;
    ASSERT_TRUE(store.GetString("version", &version));
    EXPECT_EQ(version, "1.7");
    bool b = false;
    int64_t i = 0;
    std::string t;
    EXPECT_TRUE(store.GetBool("WantCaustic", &b) && b);
    EXPECT_TRUE(store.GetBool("MainMonitorOnly", &b) && !b);
    EXPECT_TRUE(store.GetInteger("MaxFish", &i) && i == 3);
    EXPECT_TRUE(store.GetInteger("WantedWaterLevel", &i) && i == 85);
    EXPECT_TRUE(store.GetString("BGPath", &t) && t == "/library/Desktop Pictures/");
    // Types are kept: an integer key is not readable as a string.
    EXPECT_FALSE(store.GetString("MaxFish", &t));
    EXPECT_FALSE(store.Has("FishSelection"));
    // Atomic write leaves no temporary behind.
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{"kpFishSS.plist"});
}

TEST_F(PrefsTest, OtherVersionResetsEveryKeyButNotTheSelection) {
    WriteStore(Str("version", "1.6") + Int("MaxFish", 1) + Bool("WantCaustic", false) + Int("WaterRes", 5) +
               Str("BGPath", "/pics") + Bool("MainMonitorOnly", true) + Str("FishSelection", "clown.fish###"));
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    ExpectDefaults(s, mmo);
    EXPECT_STREQ(s.fishSelection, "clown.fish###");
    EXPECT_EQ(s.selectionSize, 14);

    PREFSTORE store;
    store.OpenFile(StorePath());
    std::string t;
    int64_t i = 0;
    EXPECT_TRUE(store.GetString("version", &t) && t == "1.7");
    EXPECT_TRUE(store.GetInteger("MaxFish", &i) && i == 3);
    EXPECT_TRUE(store.GetString("FishSelection", &t) && t == "clown.fish###");
}

TEST_F(PrefsTest, CurrentVersionLoadsStoredValuesAndClampsFishCount) {
    WriteStore(Str("version", "1.7") + Int("MaxFish", 10) + Int("WaterRes", 5) + Bool("LowCPU", true) +
               Int("Volume", 70000) + Int("BGType", 2) + Bool("MainMonitorOnly", true) + Int("FishSize", -20));
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    EXPECT_EQ(s.MAX_FISH, 3);
    EXPECT_EQ(s.WATERSHIFT, 5);
    EXPECT_TRUE(s.LOWCPU);
    EXPECT_EQ(s.VOLUME, static_cast<int16_t>(70000 & 0xFFFF));  // kept in 16 bits
    EXPECT_EQ(s.BGTYPE, 2);
    EXPECT_TRUE(mmo);
    EXPECT_EQ(s.LFISHSIZE, -20);  // negative integers survive
    // Keys that are absent read as NO, 0 or "".
    EXPECT_FALSE(s.WANTCAUSTIC);
    EXPECT_EQ(s.WWATERLEVEL, 0);
    EXPECT_STREQ(s.BGPath, "");

    // An overlong path is cut to the field.
    WriteStore(Str("version", "1.7") + Int("MaxFish", 2) + Str("BGPath", std::string(3000, 'a').c_str()));
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    EXPECT_EQ(s.MAX_FISH, 2);
    EXPECT_EQ(strlen(s.BGPath), 1023u);
}

TEST_F(PrefsTest, CorruptFileIsKeptAsACopyAndDefaultsApply) {
    mkdir((dir / "config").c_str(), 0700);
    const std::string garbage = "this is not a property list \x01\x02\xff";
    ASSERT_TRUE(testsupport::WriteFile(StorePath(), garbage));
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    ExpectDefaults(s, mmo);
    std::vector<std::string> names = ConfigEntries();
    ASSERT_EQ(names.size(), 2u);
    std::string copy;
    for (const std::string& n : names)
        if (n.rfind("kpFishSS.plist.unreadable-", 0) == 0) copy = n;
    ASSERT_FALSE(copy.empty());
    std::vector<uint8_t> kept = testsupport::ReadFile(dir / ("config/" + copy));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), garbage);
    PREFSTORE store;
    store.OpenFile(StorePath());
    EXPECT_FALSE(store.Damaged());  // rewritten as a good store

    // Other non-dictionary shapes are equally unreadable; an empty file too.
    for (const std::string& bad :
         {std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>"),
          std::string(""), std::string("bplist00\xff\xff\xff\xff", 12), std::string("<plist><dict><key>")}) {
        ASSERT_TRUE(testsupport::WriteFile(StorePath(), bad));
        FreeFishSelection(&s);
        SETTINGS fresh;
        ASSERT_TRUE(LoadSettings(&fresh, &mmo));
        ExpectDefaults(fresh, mmo);
        FreeFishSelection(&fresh);
    }
}

TEST_F(PrefsTest, WrongTypedKeyReadsItsDefaultAndTheFileIsKept) {
    WriteStore(Str("version", "1.7") + Str("MaxFish", "lots") + Int("WantCaustic", 1) + Int("FishSize", 50) +
               Bool("BGPath", true) + Int("FishSelection", 4));
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    EXPECT_EQ(s.MAX_FISH, 3);    // default, not 0
    EXPECT_TRUE(s.WANTCAUSTIC);  // default
    EXPECT_EQ(s.LFISHSIZE, 50);  // good keys still load
    EXPECT_STREQ(s.BGPath, "/library/Desktop Pictures/");
    EXPECT_STREQ(s.fishSelection, "");
    // Nothing written yet (version was current); a save keeps the original first.
    EXPECT_EQ(ConfigEntries().size(), 1u);
    ASSERT_TRUE(SaveSettings(s, mmo, "##"));
    EXPECT_EQ(ConfigEntries().size(), 2u);

    // A wrongly typed version counts as absent: full reset.
    WriteStore(Int("version", 17) + Int("MaxFish", 1));
    SETTINGS fresh;
    ASSERT_TRUE(LoadSettings(&fresh, &mmo));
    ExpectDefaults(fresh, mmo);
    FreeFishSelection(&fresh);
}

TEST_F(PrefsTest, SaveWritesEveryKeyAndReloads) {
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    s.MAX_FISH = 2;
    s.WATERSHIFT = 5;
    s.WANTCAUSTIC = false;
    s.VOLUME = 40;
    CopyToField(s.BGPath, sizeof s.BGPath, "/home/me/Pictures");
    ASSERT_TRUE(SaveSettings(s, true, "a.fish#b.fish###"));

    SETTINGS back;
    bool backMmo = false;
    ASSERT_TRUE(LoadSettings(&back, &backMmo));
    EXPECT_TRUE(backMmo);
    EXPECT_EQ(back.MAX_FISH, 2);
    EXPECT_EQ(back.WATERSHIFT, 5);
    EXPECT_FALSE(back.WANTCAUSTIC);
    EXPECT_EQ(back.VOLUME, 40);
    EXPECT_STREQ(back.BGPath, "/home/me/Pictures");
    EXPECT_STREQ(back.fishSelection, "a.fish#b.fish###");
    // A chosen fish folder is never stored: loading derives it again.
    EXPECT_EQ(std::string(back.FishPath2), dir.path() + "/data/reefmere/fish/");
    FreeFishSelection(&back);

    // A null selection leaves the stored one alone.
    ASSERT_TRUE(SaveSettings(s, false, nullptr));
    SETTINGS again;
    ASSERT_TRUE(LoadSettings(&again, &backMmo));
    EXPECT_STREQ(again.fishSelection, "a.fish#b.fish###");
    EXPECT_FALSE(backMmo);
    FreeFishSelection(&again);
}

TEST_F(PrefsTest, UnwritableStoreReportsAndUsesDefaultsInMemory) {
    // The config "folder" is a plain file: nothing can be created under it.
    ASSERT_TRUE(testsupport::WriteFile(dir / "config", std::string("x")));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadSettings(&s, &mmo));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot write preferences"), std::string::npos) << err;
    ExpectDefaults(s, mmo);
    EXPECT_FALSE(SaveSettings(s, mmo, "##"));
}

TEST(SettingsTable, KeysTypesAndDefaultsAreConsistent) {
    // Each record field named by the table round-trips through get/set.
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SettingKey& k = kSettingKeys[i];
        EXPECT_EQ(FindSettingKey(k.key), &k);
        if (!k.set) continue;
        SETTINGS a;
        bool flag = false;
        SettingValue v;
        v.integer = 1;
        v.text = "x.fish##";
        k.set(&a, &flag, v);
        SettingValue out;
        k.get(a, flag, &out);
        if (k.type == SettingType::Text)
            EXPECT_EQ(out.text, "x.fish##") << k.key;
        else
            EXPECT_EQ(out.integer, 1) << k.key;
        FreeFishSelection(&a);
    }
    EXPECT_EQ(FindSettingKey("NoSuchKey"), nullptr);
    const SettingKey* lowCpu = FindSettingKey("LowCPU");
    ASSERT_NE(lowCpu, nullptr);
    SettingValue v;
    EXPECT_TRUE(ParseSettingValue(*lowCpu, "yes", &v));
    EXPECT_EQ(v.integer, 1);
    EXPECT_FALSE(ParseSettingValue(*lowCpu, "maybe", &v));
    const SettingKey* maxFish = FindSettingKey("MaxFish");
    EXPECT_TRUE(ParseSettingValue(*maxFish, "-2", &v));
    EXPECT_EQ(v.integer, -2);
    EXPECT_FALSE(ParseSettingValue(*maxFish, "2x", &v));
    EXPECT_FALSE(ParseSettingValue(*maxFish, "", &v));
}

TEST(SettingsPaths, CopyToFieldNeverSplitsACharacter) {
    char field[6];
    CopyToField(field, sizeof field, "abcd\xc3\xa9");  // "abcdé": 6 bytes, room for 5
    EXPECT_STREQ(field, "abcd");
    CopyToField(field, sizeof field, nullptr);
    EXPECT_STREQ(field, "");
}

TEST_F(PrefsTest, EachUnreadableFileGetsItsOwnCopy) {
    mkdir((dir / "config").c_str(), 0700);
    ASSERT_TRUE(testsupport::WriteFile(StorePath(), std::string("first bad")));
    ASSERT_TRUE(LoadSettings(&s, &mmo));
    ASSERT_TRUE(testsupport::WriteFile(StorePath(), std::string("second bad")));
    SETTINGS again;
    ASSERT_TRUE(LoadSettings(&again, &mmo));
    FreeFishSelection(&again);
    std::vector<std::string> contents;
    for (const std::string& n : ConfigEntries()) {
        if (n == "kpFishSS.plist") continue;
        std::vector<uint8_t> b = testsupport::ReadFile(dir / ("config/" + n));
        contents.emplace_back(b.begin(), b.end());
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"first bad", "second bad"}));
}

TEST_F(PrefsTest, FifoOrOversizedStoreIsUnreadableNotAHang) {
    mkdir((dir / "config").c_str(), 0700);
    ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadSettings(&s, &mmo));  // no writer on the FIFO: must not block
    testing::internal::GetCapturedStderr();
    ExpectDefaults(s, mmo);

    std::string big = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><string>1.7</string>"
                      "<key>MaxFish</key><integer>1</integer><key>pad</key><string>" +
                      std::string(2u << 20, 'p') + "</string></dict></plist>";
    ASSERT_TRUE(testsupport::WriteFile(StorePath(), big));
    SETTINGS again;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadSettings(&again, &mmo));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(again.MAX_FISH, 3);  // the oversized store was not used
    FreeFishSelection(&again);
    // ...but it was kept whole.
    bool keptWhole = false;
    for (const std::string& n : ConfigEntries()) {
        struct stat st;
        // (The FIFO's copy is a FIFO too: never open it.)
        if (stat((dir / ("config/" + n)).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<size_t>(st.st_size) == big.size())
            keptWhole = true;
    }
    EXPECT_TRUE(keptWhole);
}

TEST_F(PrefsTest, StringWithANulByteNeverAborts) {
    // Whether the reader cuts the text at the NUL or refuses the file, loading goes on.
    for (const std::string& path : {std::string("/pics&#0;/evil"), std::string("/pics\0/evil", 11)}) {
        WriteStore(Str("version", "1.7") + "<key>BGPath</key><string>" + path + "</string>\n" +
                   Str("FishSelection", "a.fish###"));
        FreeFishSelection(&s);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(LoadSettings(&s, &mmo));
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(!strcmp(s.BGPath, "/pics") || !strcmp(s.BGPath, "/library/Desktop Pictures/")) << s.BGPath;
        ASSERT_NE(s.fishSelection, nullptr);
        EXPECT_EQ(static_cast<size_t>(s.selectionSize), strlen(s.fishSelection) + 1);
    }
}
