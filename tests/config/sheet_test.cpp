// The configuration sheet's model without a toolkit: the controls as shown, taken by
// Save and set by Defaults; the enabling rules; the menus; the folder choosers' limits;
// the species table and the selection text it saves.
#include <gtest/gtest.h>

#include <string>

#include "ConfigFixture.h"
#include "config/ConfigSheet.h"
#include "fish/Aquarium.h"
#include "fish/FishData.h"

using namespace configtest;

namespace {

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Two saltwater and two freshwater species in the first fish folder.
        int count[2] = {0, 0}, w;
        for (const std::string& n : BundledArchives()) {
            if (DisplayNameOf(Bundled(n), &w), w >= 0 && count[w] < 2) {
                ASSERT_TRUE(++count[w] && CopyInto(Bundled(n), home / "fish1"));
            }
        }
        DefaultSettings(&s, &mmo);
        CopyToField(s.FishPath, sizeof s.FishPath, (home / "fish1").c_str());
        CopyToField(s.FishPath2, sizeof s.FishPath2, (home / "fish2").c_str());
        SetFishSelection(&s, "");
        Rebind();
    }
    void TearDown() override { FreeFishSelection(&s); }
    void Rebind() {
        sheet.Bind(&s, &mmo, &aquarium, "http://127.0.0.1:1/");
        ASSERT_TRUE(sheet.ReloadCatalogue());
        ASSERT_EQ(aquarium.fishInfoCount, 4);
        ASSERT_TRUE(sheet.configureSheet());
    }
    std::string FileOf(int row) const { return aquarium.fishInfo[row].fileName; }
    std::vector<bool> CatalogueSelection() const {
        std::vector<bool> on;
        for (int i = 0; i < aquarium.fishInfoCount; i++) on.push_back(aquarium.fishInfo[i].selected);
        return on;
    }

    testsupport::PrivateHome home;
    SETTINGS s;
    bool mmo = false;
    AQUARIUM aquarium;
    CONFIGSHEET sheet;
};

// The controls come from one table: a check box, the one kept outside the record and a
// number stand for the rest.
TEST_F(SheetTest, ControlsAreShownTakenAndDefaulted) {
    const struct {
        const char* key;
        CHECKOUTLET CONFIGSHEET::*check;
        INTOUTLET CONFIGSHEET::*number;
        int64_t a, b;  // two values the control can hold
    } rows[] = {{"StayOnScreen", &CONFIGSHEET::oDontLeave, nullptr, 1, 0},
                {"MainMonitorOnly", &CONFIGSHEET::oMainMonitorOnly, nullptr, 1, 0},
                {"FishSize", nullptr, &CONFIGSHEET::oFishSize, 150, 60}};
    for (int pass = 0; pass < 2; pass++) {
        SETTINGVALUE v;
        for (const auto& r : rows) {
            v.integer = pass ? r.b : r.a;
            FindSettingKey(r.key)->set(&s, &mmo, v);
        }
        sheet.configureSheet();
        for (const auto& r : rows) {
            const int64_t shown = pass ? r.b : r.a, taken = pass ? r.a : r.b;
            if (r.check) {
                EXPECT_EQ((sheet.*r.check).state, shown) << r.key;
                (sheet.*r.check).state = taken ? 1 : -1;  // only the on state counts: mixed is off
            } else {
                EXPECT_EQ((sheet.*r.number).value, shown) << r.key;
                (sheet.*r.number).value = taken;
            }
        }
        ASSERT_TRUE(sheet.configureSheet_save());
        for (const auto& r : rows) {
            const int64_t taken = pass ? r.a : r.b;
            FindSettingKey(r.key)->get(s, mmo, &v);
            EXPECT_EQ(v.integer, taken) << r.key;
            EXPECT_EQ(r.check ? Stored<bool>(home, r.key) : Stored<int64_t>(home, r.key), taken) << r.key;
        }
    }
    EXPECT_FALSE(StoreHas(home, "version"));  // Save never writes the version

    SETTINGS d;
    bool dm = true;
    DefaultSettings(&d, &dm);
    CONFIGSHEET fresh;
    fresh.Bind(&d, &dm, nullptr, "");
    fresh.configureSheet();
    sheet.configureSheet_defaults();
    for (const auto& r : rows)
        EXPECT_EQ(r.check ? (sheet.*r.check).state : (sheet.*r.number).value,
                  r.check ? (fresh.*r.check).state : (fresh.*r.number).value)
            << r.key;
    for (MENUOUTLET CONFIGSHEET::*m : {&CONFIGSHEET::oWaterRes, &CONFIGSHEET::oBGType, &CONFIGSHEET::oBGRes})
        EXPECT_EQ((sheet.*m).item, (fresh.*m).item);
    FreeFishSelection(&d);
}

TEST_F(SheetTest, MenusKeepWhatTheyCannotShow) {
    // The water menu: item 0 is shift 6, item 1 shift 5; any other stored shift shows 1.
    for (int64_t shift : {6, 5, 4}) {
        s.WATERSHIFT = shift;
        sheet.configureSheet();
        EXPECT_EQ(sheet.oWaterRes.item, shift == 6 ? 0 : 1) << shift;
    }
    sheet.oWaterRes.item = 0;
    sheet.oBGType.item = 1;
    sheet.oBGRes.item = 2;
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored<int64_t>(home, "WaterRes"), 6);
    EXPECT_EQ(Stored<int64_t>(home, "BGType"), 1);
    EXPECT_EQ(Stored<int64_t>(home, "BGRes"), 2);
    // A value the menu has no item for shows no item; Save stores it limited to the range.
    s.BGTYPE = 7;
    s.BGRES = -3;
    sheet.configureSheet();
    EXPECT_EQ(sheet.oBGType.item, -1);
    EXPECT_EQ(sheet.oBGRes.item, -1);
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored<int64_t>(home, "BGType"), 2);
    EXPECT_EQ(Stored<int64_t>(home, "BGRes"), 0);
}

TEST_F(SheetTest, FolderChoosersAndEnablingRules) {
    ASSERT_TRUE(sheet.configureSheet_directory("/mnt/fish"));
    EXPECT_STREQ(s.FishPath2, "/mnt/fish");
    // 1023 bytes fit the fields; 1024 are refused and change nothing.
    const std::string fits = "/" + std::string(1022, 'a'), over = "/" + std::string(1023, 'b');
    EXPECT_TRUE(sheet.configureSheet_bgpath(fits.c_str()));
    EXPECT_FALSE(sheet.configureSheet_bgpath(over.c_str()));
    EXPECT_EQ(std::string(s.BGPath), fits);
    EXPECT_EQ(std::string(sheet.oBGPath.title), fits);
    EXPECT_FALSE(sheet.configureSheet_directory(over.c_str()));
    EXPECT_FALSE(sheet.configureSheet_bgpath(nullptr));
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored<std::string>(home, "BGPath"), fits);
    EXPECT_FALSE(StoreHas(home, "FishPath2"));  // never stored
    sheet.configureSheet_defaults();            // keeps the folder
    EXPECT_EQ(std::string(sheet.oBGPath.title), fits);

    // Enabled: water level (random level off), picture folder (type 2), volume (sound
    // on), sensor reversal (sensor on); a mixed box counts as off.
    const struct {
        int randomLevel, bgType, sound, sensor;
        bool level, folder, volume, reverse;
    } cases[] = {{1, 0, 0, 0, false, false, false, false},
                 {0, 2, 1, 1, true, true, true, true},
                 {1, 1, -1, 1, false, false, false, true}};
    for (const auto& c : cases) {
        sheet.oRWaterLvl.state = c.randomLevel;
        sheet.oBGType.item = c.bgType;
        sheet.oPlaySound.state = c.sound;
        sheet.oWantSMS.state = c.sensor;
        sheet.configureSheet_update();
        EXPECT_EQ(sheet.oWWaterLvl.enabled, c.level);
        EXPECT_EQ(sheet.oBGPath.enabled, c.folder);
        EXPECT_EQ(sheet.oVolume.enabled, c.volume);
        EXPECT_EQ(sheet.oSMSReverse.enabled, c.reverse);
    }
    sheet.configureSheet_defaults();  // runs the rules too
    EXPECT_EQ(sheet.oVolume.enabled, sheet.oPlaySound.on());
}

TEST_F(SheetTest, SpeciesSelectionIsSavedAndReadBack) {
    EXPECT_EQ(sheet.rowSelected, std::vector<bool>(4, true));
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored<std::string>(home, "FishSelection"), "##");

    // Some off: their file names, in catalogue order, then "##".
    sheet.rowSelected[0] = sheet.rowSelected[2] = false;
    const std::string expected = FileOf(0) + "#" + FileOf(2) + "###";
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored<std::string>(home, "FishSelection"), expected);
    EXPECT_STREQ(s.fishSelection, expected.c_str());
    EXPECT_EQ(CatalogueSelection(), (std::vector<bool>{false, true, false, true}));
    Rebind();  // a fresh catalogue reads the same choice
    EXPECT_EQ(sheet.rowSelected, (std::vector<bool>{false, true, false, true}));

    // No row ticked: every species stays on, in the store and in the catalogue.
    sheet.rowSelected.assign(4, false);
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored<std::string>(home, "FishSelection"), "##");
    EXPECT_EQ(CatalogueSelection(), std::vector<bool>(4, true));

    sheet.configureSheet_selectSalt();
    for (int i = 0; i < 4; i++) EXPECT_EQ(sheet.rowSelected[i], aquarium.fishInfo[i].waterType == 0) << i;
    sheet.configureSheet_selectFresh();
    for (int i = 0; i < 4; i++) EXPECT_EQ(sheet.rowSelected[i], aquarium.fishInfo[i].waterType == 1) << i;
    sheet.configureSheet_defaults();
    EXPECT_EQ(sheet.rowSelected, std::vector<bool>(4, true));

    // Reloading keeps unsaved choices; a new species starts on.
    sheet.rowSelected[1] = false;
    const std::string off = FileOf(1);
    std::string extra;
    for (const std::string& n : BundledArchives())
        if (!testsupport::FileExists(home / "fish1/" + n)) extra = n;
    ASSERT_TRUE(CopyInto(Bundled(extra), s.FishPath2));
    ASSERT_TRUE(sheet.ReloadCatalogue());
    ASSERT_EQ(sheet.RowCount(), 5);
    for (int i = 0; i < 5; i++) EXPECT_EQ(sheet.rowSelected[i], off != FileOf(i)) << FileOf(i);
}

TEST_F(SheetTest, WithoutACatalogueTheTableStaysEmpty) {
    AQUARIUM empty;
    CONFIGSHEET bare, unbound;
    bare.Bind(&s, &mmo, &empty, "http://127.0.0.1:1");
    ASSERT_TRUE(bare.configureSheet());
    bare.configureSheet_selectSalt();
    EXPECT_TRUE(bare.rowSelected.empty());
    ASSERT_TRUE(bare.configureSheet_save());
    EXPECT_FALSE(StoreHas(home, "FishSelection"));
    EXPECT_FALSE(unbound.configureSheet() || unbound.configureSheet_save());
}

}  // namespace
