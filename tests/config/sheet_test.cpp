// The configuration sheet's model without a toolkit: each outlet as shown, taken by Save
// and set by Defaults; the enabling rules; Defaults then Cancel; the species table and
// its selection text; the water menu; the folder choosers' limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ConfigFixture.h"
#include "fish/FishData.h"
#include "fish/Aquarium.h"
#include "config/ConfigSheet.h"
#include "settings/Paths.h"
#include "settings/Preferences.h"

using namespace configtest;

namespace {

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Two saltwater and two freshwater species in the first fish folder.
        int salt = 0, fresh = 0;
        for (const std::string& n : BundledArchives()) {
            int w = WaterTypeOf(Bundled(n));
            if ((w == 0 && salt < 2) || (w == 1 && fresh < 2)) {
                ASSERT_TRUE(CopyInto(Bundled(n), FishDir1()));
                (w == 0 ? salt : fresh)++;
            }
        }
        ASSERT_EQ(salt, 2);
        ASSERT_EQ(fresh, 2);
        DefaultSettings(&s, &mmo);
        CopyToField(s.FishPath, sizeof s.FishPath, FishDir1().c_str());
        CopyToField(s.FishPath2, sizeof s.FishPath2, (home.dir.path() + "/fish2").c_str());
        SetFishSelection(&s, "");
        sheet.Bind(&s, &mmo, &aquarium, "http://127.0.0.1:1/");
        ASSERT_TRUE(sheet.ReloadCatalogue());
        ASSERT_EQ(aquarium.fishInfoCount, 4);
    }
    void TearDown() override { FreeFishSelection(&s); }

    std::string FishDir1() const { return home.dir.path() + "/fish1"; }

    XdgHome home;
    SETTINGS s;
    bool mmo = false;
    AQUARIUM aquarium;
    CONFIGSHEET sheet;
};

struct CheckRow {
    const char* key;
    CHECKOUTLET CONFIGSHEET::*outlet;
    bool SETTINGS::*field;  // null: the view's MainMonitorOnly flag
    int defaultState;
};

const CheckRow kCheckRows[] = {
    {"MainMonitorOnly", &CONFIGSHEET::oMainMonitorOnly, nullptr, 0},
    {"WantCaustic", &CONFIGSHEET::oWantCaustic, &SETTINGS::WANTCAUSTIC, 1},
    {"WantBubbles", &CONFIGSHEET::oWantBubbles, &SETTINGS::WANTBUBBLES, 1},
    {"GradualFill", &CONFIGSHEET::oGradualFill, &SETTINGS::GRADUALFILL, 1},
    {"PlaySound", &CONFIGSHEET::oPlaySound, &SETTINGS::PLAYSOUND, 1},
    {"RandomWaterLevel", &CONFIGSHEET::oRWaterLvl, &SETTINGS::RWATERLEVEL, 1},
    {"StayOnScreen", &CONFIGSHEET::oDontLeave, &SETTINGS::STAYONSCREEN, 0},
    {"RandomSizes", &CONFIGSHEET::oRandomSizes, &SETTINGS::RANDOMSIZES, 0},
    {"LowCPU", &CONFIGSHEET::oLowCPU, &SETTINGS::LOWCPU, 0},
    {"WantSMS", &CONFIGSHEET::oWantSMS, &SETTINGS::WANTSMS, 0},
    {"SMSReverse", &CONFIGSHEET::oSMSReverse, &SETTINGS::SMSREVERSE, 0},
};

TEST_F(SheetTest, CheckBoxesShownTakenAndDefaulted)
{
    for (const CheckRow& r : kCheckRows) {
        SCOPED_TRACE(r.key);
        bool& field = r.field ? s.*r.field : mmo;
        for (bool value : {true, false}) {
            field = value;
            ASSERT_TRUE(sheet.configureSheet());
            EXPECT_EQ((sheet.*r.outlet).state, value ? 1 : 0);
        }
        (sheet.*r.outlet).state = 1;
        ASSERT_TRUE(sheet.configureSheet_save());
        EXPECT_TRUE(field);
        EXPECT_TRUE(home.Stored<bool>(r.key));
        // Only the on state counts: mixed is off.
        sheet.configureSheet();
        (sheet.*r.outlet).state = -1;
        ASSERT_TRUE(sheet.configureSheet_save());
        EXPECT_FALSE(field);
        EXPECT_FALSE(home.Stored<bool>(r.key));
        (sheet.*r.outlet).state = 1 - r.defaultState;
        sheet.configureSheet_defaults();
        EXPECT_EQ((sheet.*r.outlet).state, r.defaultState);
    }
}

TEST_F(SheetTest, IntegerControlsShownTakenAndDefaulted)
{
    const struct {
        const char* key;
        INTOUTLET CONFIGSHEET::*outlet;
        int64_t shown, taken, byDefault;
    } rows[] = {{"FishSize", &CONFIGSHEET::oFishSize, 150, 60, 100},
                {"MaxFish", &CONFIGSHEET::oMaxFish, 2, 1, 3},
                {"WantedWaterLevel", &CONFIGSHEET::oWWaterLvl, 40, 95, 85},
                {"Volume", &CONFIGSHEET::oVolume, 30, 7, 100}};
    SettingValue v;
    for (const auto& r : rows) {
        v.integer = r.shown;
        FindSettingKey(r.key)->set(&s, &mmo, v);
    }
    sheet.configureSheet();
    for (const auto& r : rows) {
        EXPECT_EQ((sheet.*r.outlet).value, r.shown) << r.key;
        (sheet.*r.outlet).value = r.taken;
    }
    ASSERT_TRUE(sheet.configureSheet_save());
    for (const auto& r : rows) {
        FindSettingKey(r.key)->get(s, mmo, &v);
        EXPECT_EQ(v.integer, r.taken) << r.key;
        EXPECT_EQ(home.Stored<int64_t>(r.key), r.taken);
    }
    EXPECT_FALSE(home.StoreHas("version"));  // Save never writes the version
    sheet.configureSheet_defaults();
    for (const auto& r : rows) EXPECT_EQ((sheet.*r.outlet).value, r.byDefault) << r.key;
}

TEST_F(SheetTest, MenusAndWaterResolution)
{
    s.BGTYPE = 2;
    s.BGRES = 0;
    s.WATERSHIFT = 5;
    sheet.configureSheet();
    EXPECT_EQ(sheet.oBGType.item, 2);
    EXPECT_EQ(sheet.oBGRes.item, 0);
    EXPECT_EQ(sheet.oWaterRes.item, 1);

    // Item 0 of the water menu stores 6, item 1 stores 5.
    sheet.oWaterRes.item = 0;
    sheet.oBGType.item = 1;
    sheet.oBGRes.item = 2;
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(s.WATERSHIFT, 6);
    EXPECT_EQ(home.Stored<int64_t>("WaterRes"), 6);
    EXPECT_EQ(home.Stored<int64_t>("BGType"), 1);
    EXPECT_EQ(home.Stored<int64_t>("BGRes"), 2);
    sheet.configureSheet();
    sheet.oWaterRes.item = 1;
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(home.Stored<int64_t>("WaterRes"), 5);

    // Any stored shift but 6 shows item 1.
    for (int64_t shift : {5, 4, 7, 0}) EXPECT_EQ(WaterResItem(shift), 1) << shift;
    EXPECT_EQ(WaterResItem(6), 0);
    EXPECT_EQ(WaterResShift(0), 6);
    EXPECT_EQ(WaterResShift(1), 5);
    EXPECT_EQ(WaterResShift(-1), 6);

    // A value the menu has no item for shows no item and survives Save.
    s.BGTYPE = 7;
    s.BGRES = -3;
    sheet.configureSheet();
    EXPECT_EQ(sheet.oBGType.item, -1);
    EXPECT_EQ(sheet.oBGRes.item, -1);
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(s.BGTYPE, 7);
    EXPECT_EQ(home.Stored<int64_t>("BGRes"), -3);

    sheet.configureSheet_defaults();
    EXPECT_EQ(sheet.oWaterRes.item, 0);
    EXPECT_EQ(sheet.oBGType.item, 0);
    EXPECT_EQ(sheet.oBGRes.item, 1);
}

TEST_F(SheetTest, FolderButtons)
{
    CopyToField(s.BGPath, sizeof s.BGPath, "/srv/pictures/");
    sheet.configureSheet();
    EXPECT_STREQ(sheet.oBGPath.title, "/srv/pictures/");
    EXPECT_STREQ(sheet.oDirectory.title, "");  // not filled by the sheet

    ASSERT_TRUE(sheet.configureSheet_bgpath("/home/u/Bilder"));
    EXPECT_STREQ(s.BGPath, "/home/u/Bilder");  // applied when chosen
    EXPECT_STREQ(sheet.oBGPath.title, "/home/u/Bilder");
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(home.Stored<std::string>("BGPath"), "/home/u/Bilder");

    // Defaults keep the current folder as the title.
    sheet.configureSheet_defaults();
    EXPECT_STREQ(sheet.oBGPath.title, "/home/u/Bilder");

    ASSERT_TRUE(sheet.configureSheet_directory("/mnt/fish"));
    EXPECT_STREQ(s.FishPath2, "/mnt/fish");
    EXPECT_STREQ(sheet.oDirectory.title, "/mnt/fish");
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_FALSE(home.StoreHas("FishPath2"));
    sheet.configureSheet_defaults();
    EXPECT_STREQ(sheet.oDirectory.title, "/mnt/fish");

    // 1023 bytes fit the fields; 1024 are refused and change nothing.
    std::string fits = "/" + std::string(1022, 'a');
    std::string over = "/" + std::string(1023, 'b');
    EXPECT_TRUE(sheet.configureSheet_bgpath(fits.c_str()));
    EXPECT_EQ(std::string(s.BGPath), fits);
    EXPECT_FALSE(sheet.configureSheet_bgpath(over.c_str()));
    EXPECT_EQ(std::string(s.BGPath), fits);
    EXPECT_EQ(std::string(sheet.oBGPath.title), fits);
    EXPECT_FALSE(sheet.configureSheet_directory(over.c_str()));
    EXPECT_STREQ(s.FishPath2, "/mnt/fish");
    EXPECT_FALSE(sheet.configureSheet_bgpath(nullptr));

    EXPECT_EQ(sheet.configureSheet_openwebsite(), "http://127.0.0.1:1/mac/fish/");
}

TEST_F(SheetTest, EnablingRules)
{
    // Enabled states of: water level, background folder, volume, sensor reversal.
    auto expectEnabled = [&](bool level, bool bgPath, bool volume, bool smsReverse) {
        EXPECT_EQ(sheet.oWWaterLvl.enabled, level);
        EXPECT_EQ(sheet.oBGPath.enabled, bgPath);
        EXPECT_EQ(sheet.oVolume.enabled, volume);
        EXPECT_EQ(sheet.oSMSReverse.enabled, smsReverse);
    };
    s.RWATERLEVEL = true;
    s.BGTYPE = 0;
    s.PLAYSOUND = false;
    s.WANTSMS = false;
    sheet.configureSheet();
    expectEnabled(false, false, false, false);

    sheet.oRWaterLvl.state = 0;
    sheet.oBGType.item = 2;
    sheet.oPlaySound.state = 1;
    sheet.oWantSMS.state = 1;
    sheet.configureSheet_update();
    expectEnabled(true, true, true, true);

    // Switching random level on disables the level at once; a mixed box counts as off.
    sheet.oRWaterLvl.state = 1;
    sheet.oBGType.item = 1;
    sheet.oPlaySound.state = -1;
    sheet.configureSheet_update();
    expectEnabled(false, false, false, true);

    // Defaults run the rules too: random level on, capture background, sound on, no sensor.
    sheet.configureSheet_defaults();
    expectEnabled(false, false, true, false);
}

TEST_F(SheetTest, DefaultsThenCancelChangeNothing)
{
    s.LFISHSIZE = 170;
    s.WATERSHIFT = 5;
    s.PLAYSOUND = false;
    s.BGTYPE = 2;
    mmo = true;
    sheet.configureSheet();
    sheet.rowSelected[1] = false;
    ASSERT_TRUE(sheet.configureSheet_save());
    std::vector<uint8_t> before = testsupport::ReadFile(home.StorePath());
    ASSERT_FALSE(before.empty());
    SETTINGS copy = s;
    copy.fishSelection = nullptr;

    sheet.configureSheet();
    sheet.configureSheet_defaults();
    EXPECT_EQ(sheet.oFishSize.value, 100);
    sheet.configureSheet_cancel();
    EXPECT_FALSE(sheet.open);

    EXPECT_EQ(testsupport::ReadFile(home.StorePath()), before);
    EXPECT_TRUE(mmo);
    EXPECT_EQ(s.LFISHSIZE, 170);
    EXPECT_EQ(s.WATERSHIFT, 5);
    EXPECT_FALSE(s.PLAYSOUND);
    EXPECT_EQ(s.BGTYPE, 2);
    EXPECT_EQ(memcmp(s.BGPath, copy.BGPath, sizeof s.BGPath), 0);
    EXPECT_FALSE(aquarium.fishInfo[1].selected);  // the catalogue keeps the saved choice
    // Shown again, the sheet holds the saved values, not the defaults.
    sheet.configureSheet();
    EXPECT_EQ(sheet.oFishSize.value, 170);
    EXPECT_FALSE(sheet.rowSelected[1]);
}

TEST_F(SheetTest, SpeciesTableAndSelectionText)
{
    sheet.configureSheet();
    ASSERT_EQ(sheet.RowCount(), 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(sheet.fishList[i], aquarium.fishInfo[i].displayName);
        EXPECT_TRUE(sheet.rowSelected[i]);
    }

    // Every row selected: just "##".
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(home.Stored<std::string>("FishSelection"), "##");

    // Some off: their file names, in catalogue order, then "##".
    sheet.configureSheet();
    sheet.rowSelected[0] = false;
    sheet.rowSelected[2] = false;
    std::string expected = std::string(aquarium.fishInfo[0].fileName) + "#" + aquarium.fishInfo[2].fileName + "###";
    EXPECT_EQ(sheet.SelectionText(), expected);
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(home.Stored<std::string>("FishSelection"), expected);
    EXPECT_STREQ(s.fishSelection, expected.c_str());
    EXPECT_FALSE(aquarium.fishInfo[0].selected);
    EXPECT_TRUE(aquarium.fishInfo[1].selected);
    EXPECT_FALSE(aquarium.fishInfo[2].selected);
    // The tank reads the same selection back (-1: it could not).
    auto tankSelects = [&](const std::string& text) {
        AQUARIUM tank;
        tank.SetFishPaths(s.FishPath, s.FishPath2);
        bool ok = tank.BuildFishList() && tank.FindFishSelection(text.c_str(), static_cast<int>(text.size() + 1));
        return ok ? tank.selectionCount : -1;
    };
    EXPECT_EQ(tankSelects(expected), 2);

    // Shown again, the rows follow the catalogue's flags.
    sheet.configureSheet();
    EXPECT_FALSE(sheet.rowSelected[0]);
    EXPECT_TRUE(sheet.rowSelected[1]);

    // No row selected: the same text as all selected, and nothing is switched off.
    sheet.rowSelected.assign(4, false);
    EXPECT_EQ(sheet.SelectionText(), "##");
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(home.Stored<std::string>("FishSelection"), "##");
    EXPECT_FALSE(aquarium.fishInfo[0].selected);  // the walk is skipped entirely
    EXPECT_EQ(tankSelects("##"), 4);
}

TEST_F(SheetTest, SelectionButtons)
{
    sheet.configureSheet();
    sheet.configureSheet_selectSalt();
    for (int i = 0; i < 4; i++) EXPECT_EQ(sheet.rowSelected[i], aquarium.fishInfo[i].waterType == 0) << i;
    sheet.configureSheet_selectFresh();
    for (int i = 0; i < 4; i++) EXPECT_EQ(sheet.rowSelected[i], aquarium.fishInfo[i].waterType == 1) << i;
    ASSERT_TRUE(sheet.configureSheet_save());
    std::string text = home.Stored<std::string>("FishSelection");
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(text.find(aquarium.fishInfo[i].fileName) != std::string::npos, aquarium.fishInfo[i].waterType == 0);
    sheet.configureSheet();
    sheet.configureSheet_selectAll();
    EXPECT_EQ(sheet.SelectionText(), "##");
    sheet.rowSelected[3] = false;
    sheet.configureSheet_defaults();
    EXPECT_EQ(sheet.rowSelected, std::vector<bool>(4, true));
}

TEST_F(SheetTest, WithoutCatalogueTheTableStaysEmpty)
{
    AQUARIUM empty;
    CONFIGSHEET bare;
    bare.Bind(&s, &mmo, &empty, "http://127.0.0.1:1");
    ASSERT_TRUE(bare.configureSheet());
    EXPECT_EQ(bare.RowCount(), 0);
    bare.configureSheet_selectAll();
    bare.configureSheet_selectSalt();
    EXPECT_TRUE(bare.rowSelected.empty());
    ASSERT_TRUE(bare.configureSheet_save());
    EXPECT_FALSE(home.StoreHas("FishSelection"));  // the selection part does nothing
    EXPECT_TRUE(home.StoreHas("MaxFish"));

    CONFIGSHEET unbound;
    EXPECT_FALSE(unbound.configureSheet());
    EXPECT_FALSE(unbound.configureSheet_save());
}

TEST_F(SheetTest, CatalogueReloadKeepsUnsavedChoices)
{
    sheet.configureSheet();
    sheet.rowSelected[1] = false;
    std::string off = aquarium.fishInfo[1].fileName;
    // A species arrives in the second folder.
    std::string extra;
    std::vector<std::string> present = FolderEntries(FishDir1());
    for (const std::string& n : BundledArchives())
        if (std::find(present.begin(), present.end(), n) == present.end()) extra = n;
    ASSERT_FALSE(extra.empty());
    ASSERT_TRUE(CopyInto(Bundled(extra), s.FishPath2));
    ASSERT_TRUE(sheet.ReloadCatalogue());
    ASSERT_EQ(sheet.RowCount(), 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(sheet.rowSelected[i], off != aquarium.fishInfo[i].fileName) << aquarium.fishInfo[i].fileName;
}

TEST(SheetStore, StringWithNulByteLoadsAndSaves)
{
    // The dialog reads the store first; a NUL inside a stored string must not stop it.
    XdgHome home;
    MakeFolders(home.ConfigDir());
    std::string text = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                   "<key>version</key><string>1.7</string><key>BGPath</key><string>/pics") +
                       std::string(1, '\0') + "evil</string><key>FishSelection</key><string>a.fish#</string></dict></plist>\n";
    ASSERT_TRUE(testsupport::WriteFile(home.StorePath(), text));
    SETTINGS s;
    bool mmo = false;
    LoadSettings(&s, &mmo);
    EXPECT_STREQ(s.BGPath, "/pics");
    CONFIGSHEET sheet;
    sheet.Bind(&s, &mmo, nullptr, "http://127.0.0.1:1");
    ASSERT_TRUE(sheet.configureSheet());
    EXPECT_STREQ(sheet.oBGPath.title, "/pics");
    EXPECT_TRUE(sheet.configureSheet_save());
    FreeFishSelection(&s);
}

}  // namespace
