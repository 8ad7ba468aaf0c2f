// Fish sources as a user meets them: none set (the page says what to do, nothing is
// fetched), a pack made by `reefpack index` served by python3's http.server and read from
// its file:// address, local files under the web's limits, and installing from a file in
// the dialog.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ConfigFixture.h"
#include "TestServer.h"
#include "config/Downloads.h"
#include "platform/curl_fetch.h"
#include "settings/Settings.h"

using namespace configtest;
using testsupport::RunResult;

namespace {

// What each report said after "KEY=" (or "outlet KEY value="), in order.
std::vector<std::string> Said(const std::string& output, const std::string& key)
{
    std::vector<std::string> all;
    for (size_t at = output.find("\n" + key); at != std::string::npos; at = output.find("\n" + key, at + 1))
        all.push_back(output.substr(at + key.size() + 1, output.find('\n', at + 1) - at - key.size() - 1));
    return all;
}

bool Accepts(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

class Sources : public ::testing::Test {
protected:
    RunResult Dialog(const std::string& script, std::map<std::string, std::string> extra = {})
    {
        std::map<std::string, std::string> env = home.Env(x.display());
        env["NO_AT_BRIDGE"] = "1";
        env["REEFMERE_CONTENT_URL"] = "";
        for (auto& [k, v] : extra) env[k] = v;
        return testsupport::Run({testsupport::Program("reefmere-config"), "--no-preview", "--self-test", script},
                                env, 120.0);
    }
    testsupport::PrivateHome home;
    testsupport::Xvfb x{1024, 768};
    testsupport::TempDir pack;
};

}  // namespace

TEST(FishSourceAddresses, RelativeOffersResolveAndWebListsNeverNameLocalFiles)
{
    const std::string web = "http://h:8/p/mac/zips/fish/fishTypes14.plist", local = "file:///srv/p/mac/zips/fish/x.plist";
    const struct { std::string list, offer, want; } cases[] = {
        {web, "../../../a%20b.fish", "http://h:8/p/a%20b.fish"},
        {web, "../../../../../../up.fish", "http://h:8/up.fish"},
        {web, "/top.fish?x=1", "http://h:8/top.fish?x=1"},
        {web, "https://o/x.fish", "https://o/x.fish"},
        {web, "file:///etc/passwd", ""},
        {web, "//other/x.fish", ""},
        {local, "../../../a.fish", "file:///srv/p/a.fish"},
        {local, "http://o/x.fish", "http://o/x.fish"},
        {local, "ftp://o/x.fish", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveOfferUrl(c.list, c.offer), c.want) << c.list << " " << c.offer;
}

TEST_F(Sources, NoSourceSaysHowAndFetchesNothing)
{
    ASSERT_TRUE(x.ok());
    RunResult r = Dialog("check,report,open-folder,report,source:ftp://x,check", {{"PATH", "/nonexistent"}});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Said(r.output, "status="), (std::vector<std::string>{STATUS_NO_SOURCE, "Cannot open " + home.FishDir() +
                                          "/: xdg-open is not installed (package xdg-utils).", STATUS_BAD_SOURCE}));
    EXPECT_EQ(Said(r.output, "outlet oWebsite value=").front(), "_Web Page enabled=0");
    EXPECT_EQ(Said(r.output, "menu=").back(), "None");
}

TEST_F(Sources, AnIndexedPackDownloadsOverHttpAndFromItsFileAddress)
{
    ASSERT_TRUE(x.ok());
    const std::vector<std::string> all = BundledArchives();
    ASSERT_GE(all.size(), 3u);
    for (size_t i = 0; i < 3; i++) ASSERT_TRUE(CopyInto(Bundled(all[i]), pack.path()));
    testsupport::SpeciesRecipe odd;
    odd.skinSize = 6;  // opens, but would not load: left out of the index
    ASSERT_TRUE(testsupport::WriteSpecies(pack / "odd.fish", odd));
    ASSERT_EQ(testsupport::Run({testsupport::Program("reefpack"), "index", pack.path()}).exitCode, 0);

    const int port = TestServer::DeadPort();
    testsupport::Process server;
    ASSERT_TRUE(server.Start({"python3", "-m", "http.server", std::to_string(port), "--bind", "127.0.0.1", "--directory",
                              pack.path()}));
    for (int i = 0; i < 500 && !Accepts(port); i++) usleep(20000);
    const std::string http = "http://127.0.0.1:" + std::to_string(port);
    RunResult r = Dialog("source:" + http + ",check,download:0,save");
    ASSERT_EQ(r.exitCode, 0) << r.output << server.Output();
    EXPECT_EQ(Said(r.output, "status=").back(), STATUS_COMPLETE) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{all[0]});
    EXPECT_EQ(Stored<std::string>(home, "FishSource"), http);
    server.Stop(SIGTERM, 10);

    // The stored source is the page's next time; now the pack's file:// address.
    r = Dialog("source:file://" + pack.path() + "/,check,download:0");
    EXPECT_EQ(Said(r.output, "status=").back(), STATUS_COMPLETE) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), (std::vector<std::string>{all[0], all[1]}));
    EXPECT_EQ(Said(r.output, "menu=").back(), DisplayNameOf(Bundled(all[2])));
}

TEST_F(Sources, InstallFromFileAsksBeforeReplacing)
{
    ASSERT_TRUE(x.ok());
    const std::vector<std::string> all = BundledArchives();
    const std::string name = DisplayNameOf(Bundled(all[0]));
    ASSERT_TRUE(CopyInto(Bundled(all[0]), pack.path(), "mine.fish") && CopyInto(Bundled(all[0]), pack.path(), "again.fish"));
    ASSERT_TRUE(testsupport::WriteFile(pack / "junk.fish", "junk"));
    RunResult r = Dialog("install:" + pack / "mine.fish" + ",report,install:" + pack / "junk.fish" +
                         ",report,replace:no,install:" + pack / "again.fish" + ",report,replace:yes,install:" +
                         pack / "again.fish");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> statuses = Said(r.output, "status=");
    ASSERT_EQ(statuses.size(), 4u) << r.output;
    EXPECT_EQ(statuses[0], "Installed \"" + name + "\" from mine.fish.");
    EXPECT_EQ(statuses[1].rfind("junk.fish: not installed: ", 0), 0u) << statuses[1];
    EXPECT_EQ(statuses[2], "again.fish: kept the installed \"" + name + "\".");
    EXPECT_EQ(statuses[3], "Installed \"" + name + "\" from again.fish.");
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{"again.fish"});  // one row per species
    size_t lastRow = r.output.rfind("\nrow ");  // in the table at once
    ASSERT_NE(lastRow, std::string::npos);
    EXPECT_EQ(static_cast<size_t>(atoi(r.output.c_str() + lastRow + 5)) + 1, all.size() + 1);
    EXPECT_EQ(Said(r.output, "outlet oDirectory value=").back(), home.FishDir() + "/ enabled=1");
}

TEST(FishSourceAddresses, AnOverLongSourceIsDroppedNeverCut)
{
    SettingValue v;
    EXPECT_FALSE(ParseSettingValue(*FindSettingKey("FishSource"), std::string(512, 'a').c_str(), &v));
    SETTINGS s;
    s.FishSource = "http://x/" + std::string(600, 'a');
    EXPECT_EQ(LimitSettings(&s, nullptr), 1);
    EXPECT_EQ(s.FishSource, "");
}

TEST(FishSourceAddresses, LocalFilesKeepTheLimitsOfTheWeb)
{
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "big", std::string(DOWNLOAD_LIST_MAX_BYTES + 1, 'x')) &&
                testsupport::WriteFile(dir / "ok", "<plist/>") && mkfifo((dir / "fifo").c_str(), 0600) == 0);
    CURLFETCH f;
    EXPECT_FALSE(f.StartText("file://" + dir / "ok", DOWNLOAD_LIST_MAX_BYTES));  // only for a local source
    f.allowFiles = true;
    for (const char* bad : {"big", "fifo", "absent", "."}) EXPECT_FALSE(f.StartText("file://" + dir / bad, 1u << 20)) << bad;
    EXPECT_FALSE(f.StartText("file://elsewhere" + dir / "ok", 100));
    ASSERT_TRUE(f.StartText("file://localhost" + dir / "%6Fk", 100));
    while (f.Poll()) {
    }
    EXPECT_TRUE(f.Succeeded());
    EXPECT_EQ(f.Text(), "<plist/>");
}
