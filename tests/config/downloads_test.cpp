// The download page: list parsing and texts, then checks and downloads through libcurl
// against a server on 127.0.0.1 serving a list written by `reefpack list` and the
// bundled fish archives.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

TEST(DownloadList, ParsesAndSkipsMalformedEntries)
{
    std::string longName(60, 'N');
    std::string longUrl = "http://x/" + std::string(600, 'u') + ".fish";
    std::string text = PlistArray(
        "<string>Alpha;http://x/a.fish</string>\n"
        "<string>NoSemicolon</string>\n"
        "<integer>5</integer>\n"
        "<string>;http://x/nameless.fish</string>\n"
        "<string>Beta;</string>\n"
        "<string>Gamma;http://x/c.fish;more;fields</string>\n"
        "<dict><key>a</key><string>b</string></dict>\n"
        "<string>" + longName + ";http://x/long.fish</string>\n"
        "<string>TooLong;" + longUrl + "</string>\n");
    std::vector<DOWNLOADDATA> out;
    ASSERT_TRUE(ParseDownloadList(text.data(), text.size(), &out));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_STREQ(out[0].name, "Alpha");
    EXPECT_STREQ(out[0].url, "http://x/a.fish");
    EXPECT_STREQ(out[1].name, "Gamma");
    EXPECT_STREQ(out[1].url, "http://x/c.fish");
    EXPECT_EQ(std::string(out[2].name), std::string(39, 'N'));

    // A NUL byte inside a string (the XML reader lets it through) skips that entry.
    std::string nul = PlistArray(std::string("<string>Tang;ht") + std::string(1, '\0') + ".0.1/tang.fish</string>\n" +
                                 "<string>Beta;http://x/b.fish</string>\n");
    ASSERT_TRUE(ParseDownloadList(nul.data(), nul.size(), &out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_STREQ(out[0].name, "Beta");

    std::string empty = PlistArray("");
    EXPECT_TRUE(ParseDownloadList(empty.data(), empty.size(), &out));
    EXPECT_TRUE(out.empty());

    for (std::string bad : {std::string("<plist version=\"1.0\"><dict><key>a</key><string>x;y</string></dict></plist>"),
                            std::string("<plist version=\"1.0\"><string>a;b</string></plist>"),
                            std::string("Alpha;http://x/a.fish"), std::string("<plist><array><string>unterminated"),
                            std::string("bplist00\x01\x02", 10), std::string()}) {
        out.assign(1, DOWNLOADDATA{});
        EXPECT_FALSE(ParseDownloadList(bad.data(), bad.size(), &out)) << bad;
        EXPECT_TRUE(out.empty());
    }
}

TEST(DownloadList, AddressesTextsAndFileNames)
{
    EXPECT_EQ(ContentBaseUrl("http://h:1/base//"), "http://h:1/base");
    setenv("REEFMERE_CONTENT_URL", "http://env:2/", 1);
    EXPECT_EQ(ContentBaseUrl(nullptr), "http://env:2");
    EXPECT_EQ(ContentBaseUrl("http://opt:3"), "http://opt:3");
    unsetenv("REEFMERE_CONTENT_URL");
    EXPECT_EQ(ContentBaseUrl(""), DEFAULT_CONTENT_URL);
    EXPECT_EQ(DownloadListUrl("http://h:1/"), "http://h:1/mac/zips/fish/fishTypes14.plist");
    EXPECT_EQ(WebsiteUrl("http://h:1"), "http://h:1/mac/fish/");

    EXPECT_EQ(FailureText("Timeout was reached", "http://h/a.fish"),
              "Download failed! Error - Timeout was reached http://h/a.fish");

    EXPECT_FALSE(DownloadShouldDecode("application/macbinary"));
    EXPECT_FALSE(DownloadShouldDecode("application/binhex"));
    EXPECT_TRUE(DownloadShouldDecode("application/gzip"));
    EXPECT_FALSE(DownloadShouldDecode("text/plain"));
    EXPECT_FALSE(DownloadShouldDecode(nullptr));

    EXPECT_EQ(DownloadFileName("http://h/mac/zips/fish/tang.fish"), "tang.fish");
    EXPECT_EQ(DownloadFileName("http://h/a/b%20c.fish?x=1#frag"), "b c.fish");
    EXPECT_EQ(DownloadFileName("https://h/packs/reef"), "reef.fish");
    // Nothing that could leave or hide in the fish folder.
    for (const char* bad : {"http://h/dir/", "http://h", "http://h/..", "http://h/.hidden.fish", "http://h/x/..%2F..%2Fevil.fish",
                            "http://h/a%00b.fish", "http://h/%2e%2e"})
        EXPECT_EQ(DownloadFileName(bad), "") << bad;
    EXPECT_EQ(DownloadDestination("/f/fish", "http://h/tang.fish"), "/f/fish/tang.fish");
    EXPECT_EQ(DownloadDestination("/f/fish/", "http://h/tang.fish"), "/f/fish/tang.fish");
    EXPECT_EQ(DownloadDestination("", "http://h/tang.fish"), "");
}

TEST(DownloadPage, ProgressTexts)
{
    SETTINGS s;
    bool mmo = false;
    CONFIGSHEET sheet;
    sheet.Bind(&s, &mmo, nullptr, "http://127.0.0.1:1");
    sheet.download_didReceiveResponse(1000);
    sheet.download_didReceiveDataOfLength(250);
    EXPECT_EQ(sheet.downloads.statusText, "Downloading, Please Wait: 25.00% Complete\n");
    EXPECT_DOUBLE_EQ(sheet.downloads.progress, 25.0);
    sheet.download_didReceiveDataOfLength(750);
    EXPECT_EQ(sheet.downloads.statusText, "Downloading, Please Wait: 100.00% Complete\n");

    // No length from the server: bytes, and the bar stays where it was.
    sheet.download_didReceiveResponse(-1);
    sheet.download_didReceiveDataOfLength(300);
    sheet.download_didReceiveDataOfLength(12);
    EXPECT_EQ(sheet.downloads.statusText, "Downloading, Please Wait: 312 bytes received\n");
    EXPECT_DOUBLE_EQ(sheet.downloads.progress, 100.0);
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
        for (size_t i = 0; i < 2; i++) ASSERT_TRUE(CopyInto(Bundled(all[i]), home.dir.path() + "/bundled"));
        for (size_t i = 2; i < 5; i++) {
            ASSERT_TRUE(CopyInto(Bundled(all[i]), Served()));
            server.Set("/mac/zips/fish/" + all[i], Reply{200, testsupport::ReadText(Bundled(all[i]))});
        }
        testsupport::RunResult r = testsupport::Run(
            {testsupport::BinDir() + "/reefpack", "list", Served(), server.Base() + "/mac/zips/fish", ListPath()});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        listText = testsupport::ReadText(ListPath());
        ASSERT_TRUE(ParseDownloadList(listText.data(), listText.size(), &offered));
        ASSERT_EQ(offered.size(), 3u);
        // Install the first offer in the download folder.
        std::string first = offered[0].url;
        ASSERT_TRUE(CopyInto(Served() + first.substr(first.rfind('/')), home.FishDir()));
        server.Set(DOWNLOAD_LIST_PATH, Reply{200, listText});

        DefaultSettings(&s, &mmo);
        CopyToField(s.FishPath, sizeof s.FishPath, (home.dir.path() + "/bundled").c_str());
        CopyToField(s.FishPath2, sizeof s.FishPath2, home.FishDir().c_str());
        SetFishSelection(&s, "");
        sheet.Bind(&s, &mmo, &aquarium, server.Base());
        ASSERT_TRUE(sheet.ReloadCatalogue());
        ASSERT_EQ(sheet.RowCount(), 3);
        sheet.configureSheet();
    }
    void TearDown() override { FreeFishSelection(&s); }

    std::string Served() const { return home.dir.path() + "/served"; }
    std::string ListPath() const { return home.dir.path() + "/fishTypes14.plist"; }

    void Check()
    {
        std::string url = sheet.configureSheet_checkdownloads_begin();
        ASSERT_FALSE(url.empty());
        EXPECT_FALSE(sheet.downloads.checkEnabled);
        CURLFETCH f;
        if (!f.StartText(url, DOWNLOAD_LIST_MAX_BYTES)) {
            sheet.configureSheet_checkdownloads_end(nullptr);
            return;
        }
        Pump(&f);
        const std::string& text = f.Text();
        sheet.configureSheet_checkdownloads_end(f.Succeeded() ? &text : nullptr);
    }

    // Downloads the offer at menu item `item` the way the dialog does.
    bool Download(int item)
    {
        sheet.downloads.menuChosen = item;
        std::string url, destination;
        if (!sheet.configureSheet_download(&url, &destination)) return false;
        ExpectControlsEnabled(false);  // while it runs, the controls that must wait
        CURLFETCH f;
        f.onResponse = [this](int64_t n) { sheet.download_didReceiveResponse(n); };
        f.onData = [this](int64_t n) { sheet.download_didReceiveDataOfLength(n); };
        EXPECT_TRUE(f.StartDownload(url, destination));
        Pump(&f);
        if (f.Succeeded())
            sheet.downloadDidFinish();
        else
            sheet.download_didFailWithError(f.Error(), f.Url());
        return f.Succeeded();
    }

    void ExpectControlsEnabled(bool on = true)
    {
        EXPECT_EQ(sheet.downloads.menuEnabled, on);
        EXPECT_EQ(sheet.downloads.downloadEnabled, on);
        EXPECT_EQ(sheet.downloads.checkEnabled, on);
        EXPECT_EQ(sheet.oDirectory.enabled, on);
        EXPECT_EQ(sheet.oSave.enabled, on);
        if (on) {
            EXPECT_FALSE(sheet.downloads.theDownload);
        }
    }

    XdgHome home;
    TestServer server;
    std::string listText;
    std::vector<DOWNLOADDATA> offered;
    SETTINGS s;
    bool mmo = false;
    AQUARIUM aquarium;
    CONFIGSHEET sheet;
};

TEST_F(DownloadTest, InstalledOfferLeavesTheMenu)
{
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, (std::vector<std::string>{offered[1].name, offered[2].name}));
    EXPECT_TRUE(sheet.downloads.menuEnabled);
    EXPECT_TRUE(sheet.downloads.checkEnabled);
    EXPECT_EQ(sheet.downloads.numDownloads, 2u);
    EXPECT_STREQ(sheet.downloads.downloadData[0].url, offered[1].url);
    EXPECT_EQ(sheet.downloads.statusText, "");  // a good check leaves the text as it was

    // Without a catalogue nothing is filtered.
    AQUARIUM none;
    sheet.Bind(&s, &mmo, &none, server.Base());
    Check();
    EXPECT_EQ(sheet.downloads.menuItems.size(), 3u);
}

TEST_F(DownloadTest, EmptyAndMalformedLists)
{
    server.Set(DOWNLOAD_LIST_PATH, Reply{200, PlistArray("")});
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{"None"});
    EXPECT_FALSE(sheet.downloads.menuEnabled);
    EXPECT_EQ(sheet.downloads.numDownloads, 0u);
    EXPECT_FALSE(sheet.configureSheet_download(nullptr, nullptr));

    // Only the well-formed entry survives.
    std::string good = "<string>" + std::string(offered[2].name) + ";" + offered[2].url + "</string>\n";
    server.Set(DOWNLOAD_LIST_PATH,
               Reply{200, PlistArray("<string>broken</string>\n<integer>3</integer>\n<string>;x</string>\n" + good)});
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{offered[2].name});
    EXPECT_TRUE(sheet.downloads.menuEnabled);

    // A top level that is not an array offers nothing.
    server.Set(DOWNLOAD_LIST_PATH, Reply{200, "<plist version=\"1.0\"><dict><key>a</key><string>b;c</string></dict></plist>"});
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{"None"});
    EXPECT_FALSE(sheet.downloads.menuEnabled);
}

TEST_F(DownloadTest, ServerDownKeepsTheList)
{
    Check();
    std::vector<std::string> before = sheet.downloads.menuItems;
    ASSERT_EQ(before.size(), 2u);
    sheet.Bind(&s, &mmo, &aquarium, "http://127.0.0.1:" + std::to_string(TestServer::DeadPort()));
    Check();
    EXPECT_EQ(sheet.downloads.statusText, "Error! Could not connect to the server!");
    EXPECT_EQ(sheet.downloads.menuItems, before);
    EXPECT_TRUE(sheet.downloads.checkEnabled);

    // A server without the list answers 404: nothing came back either.
    server.Set(DOWNLOAD_LIST_PATH, Reply{404, "missing"});
    sheet.Bind(&s, &mmo, &aquarium, server.Base());
    sheet.downloads.statusText.clear();
    Check();
    EXPECT_EQ(sheet.downloads.statusText, "Error! Could not connect to the server!");
}

TEST_F(DownloadTest, CompletedDownloadIsValidatedAndListed)
{
    Check();
    std::string name = offered[1].name;
    std::string file = DownloadFileName(offered[1].url);
    ASSERT_TRUE(Download(0));
    EXPECT_EQ(sheet.downloads.statusText, "Download Complete!");
    EXPECT_DOUBLE_EQ(sheet.downloads.progress, 100.0);
    EXPECT_FALSE(sheet.downloads.progressAnimating);
    ExpectControlsEnabled();

    // In place, byte for byte, and nothing else left in the folder.
    std::string path = home.FishDir() + "/" + file;
    EXPECT_EQ(testsupport::ReadFile(path), testsupport::ReadFile(Served() + "/" + file));
    FISHFILE check;
    EXPECT_TRUE(check.Open(path.c_str()));
    check.Close();
    EXPECT_EQ(FolderEntries(home.FishDir()).size(), 2u);

    // The species joined the table and left the offers; a fresh check agrees.
    EXPECT_EQ(sheet.RowCount(), 4);
    EXPECT_NE(std::find(sheet.fishList.begin(), sheet.fishList.end(), name), sheet.fishList.end());
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{offered[2].name});
    Check();
    EXPECT_EQ(sheet.downloads.menuItems, std::vector<std::string>{offered[2].name});
    EXPECT_EQ(sheet.downloads.statusText, "Download Complete!");
}

TEST_F(DownloadTest, CutShortOrCorruptDownloadsLeaveNoFile)
{
    Check();
    std::vector<std::string> folderBefore = FolderEntries(home.FishDir());
    std::string path1 = offered[1].url;
    path1 = path1.substr(path1.find("/mac/"));
    std::string body = testsupport::ReadText(Served() + "/" + DownloadFileName(offered[1].url));

    // The server announces the whole archive and sends half of it.
    server.Set(path1, Reply{200, body.substr(0, body.size() / 2), static_cast<int64_t>(body.size())});
    EXPECT_FALSE(Download(0));
    EXPECT_EQ(sheet.downloads.statusText.rfind("Download failed! Error - ", 0), 0u) << sheet.downloads.statusText;
    EXPECT_NE(sheet.downloads.statusText.find(offered[1].url), std::string::npos);
    EXPECT_EQ(FolderEntries(home.FishDir()), folderBefore);
    ExpectControlsEnabled();
    EXPECT_EQ(sheet.downloads.menuItems.size(), 2u);  // not refreshed

    // Whole, but not an archive.
    std::string junk(body.size(), '\0');
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<char>((i * 7919u) >> 3);
    server.Set(path1, Reply{200, junk});
    EXPECT_FALSE(Download(0));
    EXPECT_NE(sheet.downloads.statusText.find("not a valid fish archive"), std::string::npos) << sheet.downloads.statusText;
    EXPECT_EQ(FolderEntries(home.FishDir()), folderBefore);

    // An archive whose last byte was lost is refused by the archive check too.
    server.Set(path1, Reply{200, body.substr(0, body.size() - 1)});
    EXPECT_FALSE(Download(0));
    EXPECT_EQ(FolderEntries(home.FishDir()), folderBefore);

    // The server refuses.
    server.Set(path1, Reply{500, "oops"});
    EXPECT_FALSE(Download(0));
    EXPECT_NE(sheet.downloads.statusText.find("500"), std::string::npos) << sheet.downloads.statusText;
    EXPECT_EQ(FolderEntries(home.FishDir()), folderBefore);
    EXPECT_EQ(sheet.RowCount(), 3);
}

TEST_F(DownloadTest, DownloadFolderIsCreatedWhenMissing)
{
    Check();
    std::string fresh = home.dir.path() + "/new/deeper/fish";
    ASSERT_TRUE(sheet.configureSheet_directory(fresh.c_str()));
    ASSERT_TRUE(Download(0));
    EXPECT_TRUE(testsupport::FileExists(fresh + "/" + DownloadFileName(offered[1].url)));
}

}  // namespace
