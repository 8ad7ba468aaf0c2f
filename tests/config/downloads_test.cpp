// The download page: the list parser and the saved file's name, then checks and
// downloads through libcurl against a server on 127.0.0.1 serving a list written by
// `reefpack list` and the bundled fish archives.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ConfigFixture.h"
#include "TestServer.h"
#include "fish/Aquarium.h"
#include "platform/curl_fetch.h"
#include "config/ConfigSheet.h"
#include "config/Downloads.h"
#include "settings/Paths.h"

using namespace configtest;

namespace {

// Drives a transfer to its end; the limit only guards against a hang.
void Pump(CURLFETCH* f)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (f->Poll() && std::chrono::steady_clock::now() < until) f->Wait(100);
    ASSERT_FALSE(f->Running());
}

std::string PlistArray(const std::string& items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n" + items + "</array>\n</plist>\n";
}

std::string Entry(const std::string& text) { return "<string>" + text + "</string>\n"; }

TEST(DownloadList, KeepsWellFormedEntriesOnly)
{
    const std::string url511 = "http://x/" + std::string(511 - 9 - 5, 'u') + ".fish";
    const std::string url512 = "http://x/" + std::string(512 - 9 - 5, 'v') + ".fish";
    std::string text = PlistArray(Entry("Alpha;http://x/a.fish") + Entry("NoSemicolon") + "<integer>5</integer>\n" +
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

TEST(DownloadList, SavedFileNameStaysInTheFishFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/mac/zips/fish/tang.fish", "tang.fish"}, {"http://h/a/b%20c.fish?x=1#frag", "b c.fish"},
        {"https://h/packs/reef", "reef.fish"},             {"http://h/a%2Fb.fish", ""},
        {"http://h/a%2fb.fish", ""},                       {"http://h/dir/", ""},
        {"http://h", ""},                                  {"http://h/..", ""},
        {"http://h/.hidden.fish", ""},                     {"http://h/%2e%2e", ""},
        {"http://h/a%00b.fish", ""},                       {"http://h/a%0ab.fish", ""}};
    for (const auto& c : cases) EXPECT_EQ(DownloadFileName(c.first), c.second) << c.first;
    EXPECT_EQ(DownloadDestination("/f/fish/", "http://h/tang.fish"), "/f/fish/tang.fish");
    EXPECT_EQ(DownloadDestination("", "http://h/tang.fish"), "");
}

TEST(DownloadList, ContentAddressChoice)
{
    EXPECT_EQ(ContentBaseUrl("http://h:1/base//"), "http://h:1/base");
    testsupport::ScopedEnv env({{"REEFMERE_CONTENT_URL", std::string("http://env:2/")}});
    EXPECT_EQ(ContentBaseUrl(nullptr), "http://env:2");
    EXPECT_EQ(ContentBaseUrl("http://opt:3"), "http://opt:3");
}

TEST(DownloadPage, ProgressWithAndWithoutALength)
{
    SETTINGS s;
    bool mmo = false;
    CONFIGSHEET sheet;
    sheet.Bind(&s, &mmo, nullptr, "http://127.0.0.1:1");
    sheet.download_didReceiveResponse(1000);
    sheet.download_didReceiveDataOfLength(250);
    EXPECT_EQ(sheet.downloads.statusText, "Downloading, Please Wait: 25.00% Complete\n");
    sheet.download_didReceiveDataOfLength(750);
    EXPECT_DOUBLE_EQ(sheet.downloads.progress, 100.0);
    // No length from the server: bytes, and the bar stays where it was.
    sheet.download_didReceiveResponse(-1);
    sheet.download_didReceiveDataOfLength(300);
    sheet.download_didReceiveDataOfLength(12);
    EXPECT_EQ(sheet.downloads.statusText, "Downloading, Please Wait: 312 bytes received\n");
    EXPECT_DOUBLE_EQ(sheet.downloads.progress, 100.0);
}

TEST(CurlFetch, ABodyWithoutALengthStopsAtTheLimit)
{
    TestServer server;
    ASSERT_TRUE(server.ok());
    server.Set("/big", Reply{200, std::string(5000, 'x'), -2});
    server.Set("/small", Reply{200, std::string(1000, 'y'), -2});
    CURLFETCH f;
    ASSERT_TRUE(f.StartText(server.Base() + "/big", 4096));
    Pump(&f);
    EXPECT_FALSE(f.Succeeded());
    EXPECT_LE(f.Text().size(), 4096u);
    ASSERT_TRUE(f.StartText(server.Base() + "/small", 1000));
    Pump(&f);
    EXPECT_TRUE(f.Succeeded()) << f.Error();
    EXPECT_EQ(f.Text().size(), 1000u);
}

// A fish folder with two species, a download folder with one installed, and a server
// offering three species of which the first in list order is the installed one.
class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok());
        std::vector<std::string> all = BundledArchives();
        ASSERT_GE(all.size(), 5u);
        for (size_t i = 0; i < 2; i++) ASSERT_TRUE(CopyInto(Bundled(all[i]), home / "bundled"));
        for (size_t i = 2; i < 5; i++) {
            ASSERT_TRUE(CopyInto(Bundled(all[i]), home / "served"));
            server.Set("/mac/zips/fish/" + all[i], Reply{200, testsupport::ReadText(Bundled(all[i]))});
        }
        testsupport::RunResult r = testsupport::Run({testsupport::Program("reefpack"), "list", home / "served",
                                                     server.Base() + "/mac/zips/fish", home / "list.plist"});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        std::string list = testsupport::ReadText(home / "list.plist");
        ASSERT_TRUE(ParseDownloadList(list.data(), list.size(), &offered));
        ASSERT_EQ(offered.size(), 3u);
        ASSERT_TRUE(CopyInto(home / "served" + "/" + DownloadFileName(offered[0].url), home.FishDir()));
        server.Set(DOWNLOAD_LIST_PATH, Reply{200, list});

        DefaultSettings(&s, &mmo);
        CopyToField(s.FishPath, sizeof s.FishPath, (home / "bundled").c_str());
        CopyToField(s.FishPath2, sizeof s.FishPath2, home.FishDir().c_str());
        SetFishSelection(&s, "");
        sheet.Bind(&s, &mmo, &aquarium, server.Base());
        ASSERT_TRUE(sheet.ReloadCatalogue());
        ASSERT_EQ(sheet.RowCount(), 3);
        sheet.configureSheet();
    }
    void TearDown() override { FreeFishSelection(&s); }

    void Check()
    {
        std::string url = sheet.configureSheet_checkdownloads_begin();
        ASSERT_FALSE(url.empty());
        CURLFETCH f;
        ASSERT_TRUE(f.StartText(url, DOWNLOAD_LIST_MAX_BYTES));
        Pump(&f);
        sheet.configureSheet_checkdownloads_end(f.Succeeded() ? &f.Text() : nullptr);
    }

    // Downloads the offer at menu item `item` the way the dialog does.
    bool Download(int item)
    {
        sheet.downloads.menuChosen = item;
        std::string url, destination;
        if (!sheet.configureSheet_download(&url, &destination)) return false;
        ExpectControlsEnabled(false);  // while it runs
        CURLFETCH f;
        f.onResponse = [this](int64_t n) { sheet.download_didReceiveResponse(n); };
        f.onData = [this](int64_t n) { sheet.download_didReceiveDataOfLength(n); };
        EXPECT_TRUE(f.StartDownload(url, destination));
        Pump(&f);
        if (f.Succeeded())
            sheet.downloadDidFinish();
        else
            sheet.download_didFailWithError(f.Error(), f.Url());
        ExpectControlsEnabled(true);
        return f.Succeeded();
    }

    void ExpectControlsEnabled(bool on)
    {
        EXPECT_EQ(sheet.downloads.downloadEnabled, on);
        EXPECT_EQ(sheet.downloads.checkEnabled, on);
        EXPECT_EQ(sheet.oDirectory.enabled, on);
        EXPECT_TRUE(sheet.oSave.enabled);  // never locked by a transfer
        EXPECT_EQ(sheet.downloads.theDownload, !on);
    }

    std::string ServedPath(int offer) const { return std::string(offered[offer].url).substr(server.Base().size()); }

    testsupport::PrivateHome home;
    TestServer server;
    std::vector<DOWNLOADDATA> offered;
    SETTINGS s;
    bool mmo = false;
    AQUARIUM aquarium;
    CONFIGSHEET sheet;
};

TEST_F(DownloadTest, CheckOffersWhatIsNotInstalled)
{
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, (std::vector<std::string>{offered[1].name, offered[2].name}));
    EXPECT_TRUE(sheet.downloads.menuEnabled);
    EXPECT_EQ(sheet.downloads.statusText, "");  // a good check leaves the text as it was
    // The menu index must name an offer: one past the last is refused.
    sheet.downloads.menuChosen = 2;
    EXPECT_FALSE(sheet.configureSheet_download(nullptr, nullptr));
    EXPECT_FALSE(sheet.downloads.theDownload);

    // An empty list, then one whose only good entry is the last, then no array at all.
    const std::string lists[] = {PlistArray(""),
                                 PlistArray(Entry("broken") + Entry(";x") + Entry(std::string(offered[2].name) + ";" +
                                                                                  offered[2].url)),
                                 "<plist version=\"1.0\"><dict><key>a</key><string>b;c</string></dict></plist>"};
    const std::vector<std::string> menus[] = {{"None"}, {offered[2].name}, {"None"}};
    for (int i = 0; i < 3; i++) {
        server.Set(DOWNLOAD_LIST_PATH, Reply{200, lists[i]});
        Check();
        EXPECT_EQ(sheet.downloads.menuItems, menus[i]) << i;
        EXPECT_EQ(sheet.downloads.menuEnabled, i == 1);
    }
    sheet.downloads.menuChosen = 0;
    EXPECT_FALSE(sheet.configureSheet_download(nullptr, nullptr));  // "None" is no offer

    // The server gone or without the list: said so, and the last menu stays.
    sheet.Bind(&s, &mmo, &aquarium, "http://127.0.0.1:" + std::to_string(TestServer::DeadPort()));
    Check();
    EXPECT_EQ(sheet.downloads.statusText, "Error! Could not connect to the server!");
    EXPECT_EQ(sheet.downloads.menuItems, menus[2]);
    EXPECT_TRUE(sheet.downloads.checkEnabled);
    server.Set(DOWNLOAD_LIST_PATH, Reply{404, "missing"});
    sheet.Bind(&s, &mmo, &aquarium, server.Base());
    sheet.downloads.statusText.clear();
    Check();
    EXPECT_EQ(sheet.downloads.statusText, "Error! Could not connect to the server!");
}

TEST_F(DownloadTest, CompletedDownloadIsValidatedAndListed)
{
    Check();
    std::string file = DownloadFileName(offered[1].url);
    ASSERT_TRUE(Download(0));
    EXPECT_EQ(sheet.downloads.statusText, "Download Complete!");
    EXPECT_FALSE(sheet.downloads.progressAnimating);
    // In place, byte for byte, and nothing else left in the folder.
    EXPECT_EQ(testsupport::ReadFile(home.FishDir() + "/" + file), testsupport::ReadFile(home / "served/" + file));
    EXPECT_EQ(ListFolder(home.FishDir()).size(), 2u);
    // The species joined the table and left the offers; a fresh check agrees.
    EXPECT_EQ(sheet.RowCount(), 4);
    EXPECT_NE(std::find(sheet.fishList.begin(), sheet.fishList.end(), offered[1].name), sheet.fishList.end());
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{offered[2].name});
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{offered[2].name});

    // Into a download folder that does not exist yet.
    ASSERT_TRUE(sheet.configureSheet_directory((home / "new/deeper/fish").c_str()));
    ASSERT_TRUE(Download(0));
    EXPECT_TRUE(testsupport::FileExists(home / "new/deeper/fish/" + DownloadFileName(offered[2].url)));
}

TEST_F(DownloadTest, CutShortCorruptOrRefusedDownloadsLeaveNoFile)
{
    Check();
    const std::vector<std::string> before = ListFolder(home.FishDir());
    const std::string path = ServedPath(1);
    const std::string body = testsupport::ReadText(home / "served/" + DownloadFileName(offered[1].url));
    std::string junk(body.size(), '\0');
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<char>((i * 7919u) >> 3);
    const struct {
        Reply reply;
        const char* says;
    } cases[] = {
        {Reply{200, body.substr(0, body.size() / 2), static_cast<int64_t>(body.size())}, ""},  // cut short
        {Reply{200, junk}, "not a valid fish archive"},
        {Reply{200, body.substr(0, body.size() - 1)}, "not a valid fish archive"},  // last byte lost
        {Reply{500, "oops"}, "500"},
    };
    for (const auto& c : cases) {
        server.Set(path, c.reply);
        EXPECT_FALSE(Download(0)) << c.says;
        EXPECT_EQ(sheet.downloads.statusText.rfind("Download failed! Error - ", 0), 0u) << sheet.downloads.statusText;
        EXPECT_NE(sheet.downloads.statusText.find(c.says), std::string::npos) << sheet.downloads.statusText;
        EXPECT_NE(sheet.downloads.statusText.find(offered[1].url), std::string::npos);
        EXPECT_EQ(ListFolder(home.FishDir()), before);
    }
    EXPECT_EQ(sheet.RowCount(), 3);
    EXPECT_EQ(sheet.downloads.menuItems.size(), 2u);
}

}  // namespace
