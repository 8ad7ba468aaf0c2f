// The configuration sheet's model without a toolkit: the controls as shown, taken by
// Save and set by Defaults; the enabling rules; the menus; the folder choosers' limits;
// the species table and the selection text it saves. Then its download page: the list
// parser and the saved file's name, checks and downloads through libcurl against a
// server on 127.0.0.1, honest and hostile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "ArchiveTools.h"
#include "ConfigFixture.h"
#include "TestServer.h"
#include "config/ConfigSheet.h"
#include "fish/Aquarium.h"
#include "platform/curl_fetch.h"

using namespace configtest;

namespace {

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Two saltwater and two freshwater species in the first fish folder.
        int count[2] = {0, 0};
        for (const std::string& n : BundledArchives()) {
            int w = -1;
            DisplayNameOf(Bundled(n), &w);
            if (w < 0 || w > 1 || count[w] == 2) continue;
            count[w]++;
            ASSERT_TRUE(CopyInto(Bundled(n), home / "fish1"));
        }
        Bind(home / "fish1", home / "fish2");
        ASSERT_EQ(aquarium.fishInfoCount, 4);
    }
    void TearDown() override { FreeFishSelection(&s); }
    // A default record reading species from these two folders, shown on the sheet.
    void Bind(const std::string& first, const std::string& second, const std::string& base = "http://127.0.0.1:1/") {
        DefaultSettings(&s, &mmo);
        CopyToField(s.FishPath, sizeof s.FishPath, first.c_str());
        CopyToField(s.FishPath2, sizeof s.FishPath2, second.c_str());
        SetFishSelection(&s, "");
        Rebind(base);
    }
    void Rebind(const std::string& base = "http://127.0.0.1:1/") {
        sheet.Bind(&s, &mmo, &aquarium, base);
        ASSERT_TRUE(sheet.ReloadCatalogue());
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
    const auto saved = [this] {
        EXPECT_TRUE(sheet.configureSheet_save());
        return std::vector<int64_t>{Stored<int64_t>(home, "WaterRes"), Stored<int64_t>(home, "BGType"),
                                    Stored<int64_t>(home, "BGRes")};
    };
    EXPECT_EQ(saved(), (std::vector<int64_t>{6, 1, 2}));
    // A value the menu has no item for shows no item; Save stores it limited to the range.
    s.BGTYPE = 7;
    s.BGRES = -3;
    sheet.configureSheet();
    EXPECT_EQ(sheet.oBGType.item, -1);
    EXPECT_EQ(sheet.oBGRes.item, -1);
    EXPECT_EQ(saved(), (std::vector<int64_t>{6, 2, 0}));
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
        EXPECT_EQ((std::vector<bool>{sheet.oWWaterLvl.enabled, sheet.oBGPath.enabled, sheet.oVolume.enabled,
                                     sheet.oSMSReverse.enabled}),
                  (std::vector<bool>{c.level, c.folder, c.volume, c.reverse}));
    }
    sheet.configureSheet_defaults();  // runs the rules too
    EXPECT_EQ(sheet.oVolume.enabled, sheet.oPlaySound.on());
    // Web Page: only a web source has a maker's page.
    for (const auto& [source, page] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"ftp://x", ""}, {" file:///p/ ", ""}, {"http://h/p/", "http://h/p/mac/fish/"}}) {
        sheet.oFishSource.text = source;
        sheet.configureSheet_update();
        EXPECT_EQ(sheet.configureSheet_openwebsite(), page) << source;
        EXPECT_EQ(sheet.oWebsite.enabled, !page.empty()) << source;
    }
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

// Drives a transfer to its end; the limit only guards against a hang.
bool Pump(CURLFETCH* f) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (f->Poll() && std::chrono::steady_clock::now() < until) f->Wait(100);
    EXPECT_FALSE(f->Running());
    return f->Succeeded();
}

std::string PlistArray(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n" + items +
           "</array>\n</plist>\n";
}

std::string Entry(const std::string& text) { return "<string>" + text + "</string>\n"; }

TEST(DownloadList, KeepsWellFormedEntriesOnly) {
    const std::string url511 = "http://x/" + std::string(511 - 9 - 5, 'u') + ".fish";
    const std::string url512 = "http://x/" + std::string(512 - 9 - 5, 'v') + ".fish";
    std::string text =
        PlistArray(Entry("Alpha;http://x/a.fish") + Entry("NoSemicolon") + "<integer>5</integer>\n" +
                   Entry(";http://x/nameless.fish") + Entry("Beta;") + Entry("Gamma;http://x/c.fish;more") +
                   Entry(std::string(60, 'N') + ";http://x/long.fish") + Entry("Fits;" + url511) +
                   Entry("Over;" + url512) + Entry(std::string("Nul;ht") + '\0' + "tp://x/n.fish"));
    std::vector<DOWNLOADDATA> out;
    ASSERT_TRUE(ParseDownloadList(text.data(), text.size(), &out));
    std::vector<std::pair<std::string, std::string>> got;
    for (const DOWNLOADDATA& d : out) got.emplace_back(d.name, d.url);
    // A long name is cut to the field; a long address would fetch something else: refused.
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{{"Alpha", "http://x/a.fish"},
                                                                     {"Gamma", "http://x/c.fish"},
                                                                     {std::string(39, 'N'), "http://x/long.fish"},
                                                                     {"Fits", url511}}));
    for (std::string bad : {std::string("<plist version=\"1.0\"><dict><key>a</key><string>x;y</string></dict></plist>"),
                            std::string("Alpha;http://x/a.fish"), std::string("<plist><array><string>unterminated"),
                            std::string("bplist00\x01\x02", 10), std::string()}) {
        out.assign(1, DOWNLOADDATA{});
        EXPECT_FALSE(ParseDownloadList(bad.data(), bad.size(), &out)) << bad;
        EXPECT_TRUE(out.empty());
    }
}

TEST(DownloadList, SavedFileNameStaysInTheFishFolder) {
    const std::pair<const char*, const char*> cases[] = {{"http://h/a/b%20c.fish?x=1#frag", "b c.fish"},
                                                         {"https://h/packs/reef", "reef.fish"},
                                                         {"http://h/a%2Fb.fish", ""},
                                                         {"http://h/dir/", ""},
                                                         {"http://h", ""},
                                                         {"http://h/%2e%2e", ""},
                                                         {"http://h/a%0ab.fish", ""}};
    for (const auto& c : cases) EXPECT_EQ(DownloadFileName(c.first), c.second) << c.first;
    EXPECT_EQ(DownloadDestination("/f/fish/", "http://h/tang.fish"), "/f/fish/tang.fish");
    EXPECT_EQ(DownloadDestination("", "http://h/tang.fish"), "");
}

TEST(CurlFetch, ABodyWithoutALengthStopsAtTheLimit) {
    TestServer server;
    ASSERT_TRUE(server.ok());
    server.Set("/big", Reply{200, std::string(5000, 'x'), -2});
    server.Set("/small", Reply{200, std::string(1000, 'y'), -2});
    CURLFETCH f;
    ASSERT_TRUE(f.StartText(server.Base() + "/big", 4096));
    EXPECT_FALSE(Pump(&f));
    EXPECT_LE(f.Text().size(), 4096u);
    ASSERT_TRUE(f.StartText(server.Base() + "/small", 1000));
    EXPECT_TRUE(Pump(&f)) << f.Error();
    EXPECT_EQ(f.Text().size(), 1000u);
}

// A fish folder with one species, a download folder with the first bundled one, and a
// server offering that one and the next two.
class DownloadTest : public SheetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_GE(all.size(), 4u);
        ASSERT_TRUE(CopyInto(Bundled(all[0]), home.FishDir()) && CopyInto(Bundled(all[3]), home / "bundled"));
        std::string items;
        for (size_t i = 0; i < 3; i++) {
            server.Set("/f/" + all[i], Reply{200, testsupport::ReadText(Bundled(all[i]))});
            items += Entry(DisplayNameOf(Bundled(all[i])) + ";" + server.Base() + "/f/" + all[i]);
        }
        server.Set(DOWNLOAD_LIST_PATH, Reply{200, PlistArray(items)});
        Bind(home / "bundled", home.FishDir(), server.Base());
        ASSERT_EQ(sheet.RowCount(), 2);
    }

    void Check() {
        std::string url = sheet.configureSheet_checkdownloads_begin();
        ASSERT_FALSE(url.empty());
        CURLFETCH f;
        ASSERT_TRUE(f.StartText(url, DOWNLOAD_LIST_MAX_BYTES));
        sheet.configureSheet_checkdownloads_end(Pump(&f) ? &f.Text() : nullptr);
    }

    // Downloads the offer at menu item `item` the way the dialog does.
    bool Download(int item) {
        sheet.downloads.menuChosen = item;
        std::string url, destination;
        if (!sheet.configureSheet_download(&url, &destination)) return false;
        ExpectControlsEnabled(false);  // while it runs
        CURLFETCH f;
        f.onResponse = [this](int64_t n) { sheet.download_didReceiveResponse(n); };
        f.onData = [this](int64_t n) { sheet.download_didReceiveDataOfLength(n); };
        EXPECT_TRUE(f.StartDownload(url, destination));
        if (Pump(&f))
            sheet.downloadDidFinish();
        else
            sheet.download_didFailWithError(f.Error(), f.Url());
        ExpectControlsEnabled(true);
        return f.Succeeded();
    }

    void ExpectControlsEnabled(bool on) {
        const DOWNLOADPAGE& d = sheet.downloads;
        // Download goes with the menu: greyed while the menu says "None".
        EXPECT_EQ((std::vector<bool>{d.downloadEnabled, d.checkEnabled, sheet.oDirectory.enabled, d.theDownload,
                                     d.cancelEnabled}),
                  (std::vector<bool>{on && d.menuItems != std::vector<std::string>{"None"}, on, on, !on, !on}));
        EXPECT_TRUE(sheet.oSave.enabled);  // never locked by a transfer
    }

    const std::vector<std::string> all = BundledArchives();
    TestServer server;
};

TEST_F(DownloadTest, CheckOffersWhatIsNotInstalled) {
    Check();
    EXPECT_EQ(sheet.downloads.menuItems,
              (std::vector<std::string>{DisplayNameOf(Bundled(all[1])), DisplayNameOf(Bundled(all[2]))}));
    EXPECT_TRUE(sheet.downloads.menuEnabled);
    EXPECT_EQ(sheet.downloads.statusText, "");  // a good check leaves the text as it was
    sheet.downloads.menuChosen = 2;             // one past the last offer
    EXPECT_FALSE(sheet.configureSheet_download(nullptr, nullptr));
    EXPECT_FALSE(sheet.downloads.theDownload);

    server.Set(DOWNLOAD_LIST_PATH, Reply{200, PlistArray("")});
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{"None"});
    EXPECT_FALSE(sheet.downloads.menuEnabled || sheet.downloads.downloadEnabled);
    sheet.downloads.menuChosen = 0;
    EXPECT_FALSE(sheet.configureSheet_download(nullptr, nullptr));  // "None" is no offer

    // The server gone, or without the list: said so.
    server.Set(DOWNLOAD_LIST_PATH, Reply{404, "missing"});
    for (const std::string& base : {"http://127.0.0.1:" + std::to_string(TestServer::DeadPort()), server.Base()}) {
        sheet.Bind(&s, &mmo, &aquarium, base);
        sheet.downloads.statusText.clear();
        Check();
        EXPECT_EQ(sheet.downloads.statusText, "Error! Could not connect to the server!") << base;
        EXPECT_TRUE(sheet.downloads.checkEnabled);
    }
}

TEST_F(DownloadTest, DownloadsAreValidatedAndListedOrLeaveNoFile) {
    Check();
    const std::string path = "/f/" + all[1], body = testsupport::ReadText(Bundled(all[1]));
    const struct {
        Reply reply;
        const char* says;
    } cases[] = {
        {Reply{200, body.substr(0, body.size() / 2), static_cast<int64_t>(body.size())}, ""},  // cut short
        {Reply{200, body.substr(0, body.size() - 1)}, "not a valid fish archive"},             // last byte lost
        {Reply{500, "oops"}, "500"},
    };
    for (const auto& c : cases) {
        server.Set(path, c.reply);
        EXPECT_FALSE(Download(0)) << c.says;
        EXPECT_EQ(sheet.downloads.statusText.rfind("Download failed! Error - ", 0), 0u) << sheet.downloads.statusText;
        EXPECT_NE(sheet.downloads.statusText.find(c.says), std::string::npos) << sheet.downloads.statusText;
        EXPECT_NE(sheet.downloads.statusText.find(server.Base() + path), std::string::npos);
        EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{all[0]});
    }
    EXPECT_EQ(sheet.downloads.menuItems.size(), 2u);

    server.Set(path, Reply{200, body});
    ASSERT_TRUE(Download(0));
    EXPECT_EQ(sheet.downloads.statusText, "Download Complete!");
    EXPECT_FALSE(sheet.downloads.progressAnimating);
    EXPECT_EQ(testsupport::ReadText(home.FishDir() + "/" + all[1]), body);
    EXPECT_EQ(sheet.RowCount(), 3);  // joined the table, left the offers
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{DisplayNameOf(Bundled(all[2]))});
    ASSERT_TRUE(sheet.configureSheet_directory((home / "new/deeper/fish").c_str()));  // not made yet
    ASSERT_TRUE(Download(0));
    EXPECT_TRUE(testsupport::FileExists(home / "new/deeper/fish/" + all[2]));
}

TEST_F(DownloadTest, ThousandsOfOffersAreCapped) {
    std::string list;
    for (int i = 0; i < 10000; i++)
        list += Entry("Fish " + std::to_string(i) + ";http://127.0.0.1:1/f" + std::to_string(i) + ".fish");
    list = PlistArray(list);
    ASSERT_FALSE(sheet.configureSheet_checkdownloads_begin().empty());
    sheet.configureSheet_checkdownloads_end(&list);
    EXPECT_EQ(sheet.downloads.numDownloads, static_cast<uint32_t>(DOWNLOAD_OFFERS_SHOWN));
    EXPECT_EQ(sheet.downloads.menuItems.size(), static_cast<size_t>(DOWNLOAD_OFFERS_SHOWN));
    EXPECT_EQ(sheet.downloads.offersLeftOut, 10000u - DOWNLOAD_OFFERS_SHOWN);
    EXPECT_NE(sheet.downloads.statusText.find("9800 left out"), std::string::npos) << sheet.downloads.statusText;
}

TEST_F(DownloadTest, ABrokenSpeciesNeverReplacesAWorkingOneNorAStallHangs) {
    const std::string installed = home.FishDir() + "/" + all[0],
                      again = all[0].substr(0, all[0].size() - 5) + "-2.fish";
    const std::vector<uint8_t> before = testsupport::ReadFile(installed),
                               other = testsupport::ReadFile(Bundled(all.at(1)));
    CURLFETCH f;
    f.validate = [](const std::string& path, std::string* why) {
        std::string summary;
        return reefpack::ValidateArchive(path, &summary, why);
    };
    // Under the installed one's name: header and directory sound, model garbage.
    std::string broken(other.begin(), other.end());
    FISHFILE g;
    ASSERT_TRUE(g.Open(Bundled(all[1]).c_str()));
    broken.replace(g.lumps[0].offset, g.lumps[0].length, g.lumps[0].length, '\xA5');
    server.Set("/again.fish", Reply{200, broken});
    ASSERT_TRUE(f.StartDownload(server.Base() + "/again.fish", installed));
    EXPECT_FALSE(Pump(&f));
    EXPECT_NE(f.Error().find("not a valid fish archive"), std::string::npos) << f.Error();
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{all[0]});

    // A sound archive of the same file name is kept beside it, not over it.
    server.Set("/again.fish", Reply{200, std::string(other.begin(), other.end())});
    ASSERT_TRUE(f.StartDownload(server.Base() + "/again.fish", installed));
    EXPECT_TRUE(Pump(&f)) << f.Error();
    EXPECT_EQ(f.SavedPath(), home.FishDir() + "/" + again);
    EXPECT_EQ(testsupport::ReadFile(installed), before);
    EXPECT_EQ(testsupport::ReadFile(home.FishDir() + "/" + again), other);

    // Announces 1000 bytes, sends 10, then keeps the connection open.
    server.Set("/slow.fish", Reply{200, std::string(10, 'x'), 1000, 4000});
    f.timeoutSeconds = 1;
    ASSERT_TRUE(f.StartDownload(server.Base() + "/slow.fish", home.FishDir() + "/slow.fish"));
    EXPECT_FALSE(Pump(&f));
    EXPECT_NE(f.Error().find("took too long"), std::string::npos) << f.Error();
    EXPECT_FALSE(testsupport::FileExists(home.FishDir() + "/slow.fish"));
}

}  // namespace

TEST(FishSourceAddresses, RelativeOffersResolveAndWebListsNeverNameLocalFiles) {
    const std::string web = "http://h:8/p/mac/zips/fish/fishTypes14.plist",
                      local = "file:///srv/p/mac/zips/fish/x.plist";
    const struct {
        std::string list, offer, want;
    } cases[] = {
        {web, "../../../a%20b.fish", "http://h:8/p/a%20b.fish"},
        {web, "../../../../../../up.fish", "http://h:8/up.fish"},
        {web, "/top.fish?x=1", "http://h:8/top.fish?x=1"},
        {web, "file:///etc/passwd", ""},
        {web, "//other/x.fish", ""},
        {local, "../../../a.fish", "file:///srv/p/a.fish"},
        {local, "http://o/x.fish", "http://o/x.fish"},
        {local, "ftp://o/x.fish", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveOfferUrl(c.list, c.offer), c.want) << c.list << " " << c.offer;
    SETTINGVALUE v;  // an over-long source is dropped, never cut
    EXPECT_FALSE(ParseSettingValue(*FindSettingKey("FishSource"), std::string(512, 'a').c_str(), &v));
    SETTINGS s;
    s.FishSource = "http://x/" + std::string(600, 'a');
    EXPECT_EQ(LimitSettings(&s, nullptr), 1);
    EXPECT_EQ(s.FishSource, "");
}

TEST(FishSourceAddresses, LocalFilesKeepTheLimitsOfTheWeb) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "big", std::string(DOWNLOAD_LIST_MAX_BYTES + 1, 'x')) &&
                testsupport::WriteFile(dir / "ok", "<plist/>") && mkfifo((dir / "fifo").c_str(), 0600) == 0);
    CURLFETCH f;
    EXPECT_FALSE(f.StartText("file://" + dir / "ok", DOWNLOAD_LIST_MAX_BYTES));  // only for a local source
    f.allowFiles = true;
    for (const char* bad : {"big", "fifo", "absent", "."})
        EXPECT_FALSE(f.StartText("file://" + dir / bad, 1u << 20)) << bad;
    EXPECT_FALSE(f.StartText("file://elsewhere" + dir / "ok", 100));
    ASSERT_TRUE(f.StartText("file://localhost" + dir / "%6Fk", 100));
    while (f.Poll()) {}
    EXPECT_EQ(f.Text(), "<plist/>");
}
