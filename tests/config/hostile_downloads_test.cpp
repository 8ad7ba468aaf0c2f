// Content servers that try to hurt: an offer whose address names an installed species
// but serves a broken one, a list of thousands of offers, a transfer that never ends.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ArchiveTools.h"
#include "ConfigFixture.h"
#include "TestServer.h"
#include "data/LumpFormat.h"
#include "fish/Aquarium.h"
#include "platform/curl_fetch.h"
#include "config/ConfigSheet.h"
#include "config/Downloads.h"

using namespace configtest;

namespace {

bool Fetch(CURLFETCH* f)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (f->Poll() && std::chrono::steady_clock::now() < until) f->Wait(100);
    return f->Succeeded();
}

// A bundled archive whose header and directory are sound but whose model is garbage.
std::string BrokenModel(const std::string& good)
{
    std::vector<uint8_t> b = testsupport::ReadFile(good);
    FISHFILE f;
    EXPECT_TRUE(f.Open(good.c_str()));
    for (uint32_t i = 0; i < f.lumps[0].length; i++) b[f.lumps[0].offset + i] = 0xA5;
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(HostileDownloads, ABrokenSpeciesNeverReplacesAWorkingOne)
{
    testsupport::PrivateHome home;
    TestServer server;
    ASSERT_TRUE(server.ok());
    const std::vector<std::string> all = BundledArchives();
    ASSERT_GE(all.size(), 2u);
    const std::string installed = home.FishDir() + "/tang.fish";
    ASSERT_TRUE(CopyInto(Bundled(all[0]), home.FishDir(), "tang.fish"));
    const std::vector<uint8_t> before = testsupport::ReadFile(installed);
    auto validate = [](const std::string& path, std::string* why) {
        std::string summary;
        return reefpack::ValidateArchive(path, &summary, why);
    };

    // "Brand New Fish" at .../tang.fish: header fine, model garbage.
    server.Set("/tang.fish", Reply{200, BrokenModel(Bundled(all[1]))});
    CURLFETCH f;
    f.validate = validate;
    ASSERT_TRUE(f.StartDownload(server.Base() + "/tang.fish", installed));
    EXPECT_FALSE(Fetch(&f));
    EXPECT_NE(f.Error().find("not a valid fish archive"), std::string::npos) << f.Error();
    EXPECT_EQ(testsupport::ReadFile(installed), before);
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{"tang.fish"});

    // A sound archive of the same file name is kept beside it, not over it.
    const std::vector<uint8_t> other = testsupport::ReadFile(Bundled(all[1]));
    server.Set("/tang.fish", Reply{200, std::string(other.begin(), other.end())});
    ASSERT_TRUE(f.StartDownload(server.Base() + "/tang.fish", installed));
    EXPECT_TRUE(Fetch(&f)) << f.Error();
    EXPECT_EQ(f.SavedPath(), home.FishDir() + "/tang-2.fish");
    EXPECT_EQ(testsupport::ReadFile(installed), before);
    EXPECT_EQ(testsupport::ReadFile(home.FishDir() + "/tang-2.fish"), other);
}

TEST(HostileDownloads, AStalledTransferEndsAtItsTimeLimit)
{
    testsupport::PrivateHome home;
    TestServer server;
    ASSERT_TRUE(server.ok());
    // Announces 1000 bytes, sends 10, then keeps the connection open.
    server.Set("/slow.fish", Reply{200, std::string(10, 'x'), 1000, 4000});
    CURLFETCH f;
    f.timeoutSeconds = 1;
    ASSERT_TRUE(f.StartDownload(server.Base() + "/slow.fish", home.FishDir() + "/slow.fish"));
    EXPECT_FALSE(Fetch(&f));
    EXPECT_NE(f.Error().find("took too long"), std::string::npos) << f.Error();
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{});
}

TEST(HostileDownloads, ThousandsOfOffersAreCappedAndSaveStaysEnabled)
{
    testsupport::PrivateHome home;
    SETTINGS s;
    bool mmo = false;
    DefaultSettings(&s, &mmo);
    CopyToField(s.FishPath2, sizeof s.FishPath2, home.FishDir().c_str());
    CONFIGSHEET sheet;
    sheet.Bind(&s, &mmo, nullptr, "http://127.0.0.1:1");
    sheet.configureSheet();
    std::string list = "<plist><array>";
    for (int i = 0; i < 10000; i++)
        list += "<string>Fish " + std::to_string(i) + ";http://127.0.0.1:1/f" + std::to_string(i) + ".fish</string>";
    list += "</array></plist>";
    ASSERT_FALSE(sheet.configureSheet_checkdownloads_begin().empty());
    sheet.configureSheet_checkdownloads_end(&list);
    EXPECT_EQ(sheet.downloads.numDownloads, static_cast<uint32_t>(DOWNLOAD_OFFERS_SHOWN));
    EXPECT_EQ(sheet.downloads.menuItems.size(), static_cast<size_t>(DOWNLOAD_OFFERS_SHOWN));
    EXPECT_EQ(sheet.downloads.offersLeftOut, 10000u - DOWNLOAD_OFFERS_SHOWN);
    EXPECT_NE(sheet.downloads.statusText.find("9800 left out"), std::string::npos) << sheet.downloads.statusText;

    std::string url, destination;
    ASSERT_TRUE(sheet.configureSheet_download(&url, &destination));
    EXPECT_TRUE(sheet.oSave.enabled);
    EXPECT_TRUE(sheet.downloads.cancelEnabled);
    sheet.download_didFailWithError("The transfer was cancelled.", url);
    EXPECT_FALSE(sheet.downloads.cancelEnabled);
    FreeFishSelection(&s);
}
