// reefmere-config itself under a private Xvfb: it opens with the catalogue, its widgets
// follow the enabling rules, Save writes the store, Defaults then Close writes nothing,
// a download from a server on 127.0.0.1 lands in the fish folder, and the live preview
// runs, restarts on a changed Save and goes when the dialog closes.
#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ConfigFixture.h"
#include "TestServer.h"
#include "config/Downloads.h"
#include "settings/Preferences.h"

using namespace configtest;

namespace {

struct REPORT {
    std::map<std::string, std::string> value;   // outlet -> value
    std::map<std::string, bool> enabled;        // outlet -> enabled
    std::vector<std::string> rows;              // display names
    std::vector<bool> rowSelected;
    std::map<std::string, std::string> misc;    // menu, status, selection, preview, ...
};

// The last report in the output (each self-test run ends with one).
REPORT Parse(const std::string& output)
{
    REPORT r;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("outlet ", 0) == 0) {
            std::string rest = line.substr(7);
            std::string name = rest.substr(0, rest.find(' '));
            size_t v = rest.find(" value="), e = rest.rfind(" enabled=");
            if (v == std::string::npos || e == std::string::npos) continue;
            r.value[name] = rest.substr(v + 7, e - v - 7);
            r.enabled[name] = rest.substr(e + 9) == "1";
        } else if (line.rfind("row ", 0) == 0) {
            size_t n = line.find(" name=");
            int row = atoi(line.c_str() + 4);
            if (row == 0) {
                r.rows.clear();
                r.rowSelected.clear();
            }
            r.rows.push_back(line.substr(n + 6));
            r.rowSelected.push_back(line.find("selected=1") != std::string::npos);
        } else {
            size_t eq = line.find('=');
            if (eq != std::string::npos && line.find(' ') > eq) r.misc[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return r;
}

// No accessibility bus in a private X server, and the font stack's process-long caches
// are not ours to report under LeakSanitizer.
std::map<std::string, std::string> DialogEnv()
{
    const char* lsan = getenv("LSAN_OPTIONS");
    std::string supp = "suppressions=" + testsupport::SourceDir() + "/tests/config/lsan.supp";
    return {{"NO_AT_BRIDGE", "1"}, {"LSAN_OPTIONS", lsan && lsan[0] ? std::string(lsan) + ":" + supp : supp}};
}

class DialogTest : public ::testing::Test {
protected:
    testsupport::RunResult RunDialog(const std::string& script, bool preview = false, const std::string& url = "")
    {
        std::vector<std::string> argv = {testsupport::BinDir() + "/reefmere-config", "--self-test", script};
        if (!preview) argv.push_back("--no-preview");
        if (!url.empty()) {
            argv.push_back("--content-url");
            argv.push_back(url);
        }
        return testsupport::Run(argv, DialogEnv(), 120.0);
    }
    XdgHome home;
    testsupport::Xvfb x{1024, 768};
};

TEST_F(DialogTest, OpensWithTheCatalogueAndSaves)
{
    ASSERT_TRUE(x.ok());
    testsupport::RunResult r =
        RunDialog("toggle:oRWaterLvl,set:oWWaterLvl=40,menu:oWaterRes=1,toggle:oPlaySound,menu:oBGType=2,row:1,save");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    REPORT rep = Parse(r.output);

    // Every bundled species, all but the one switched off selected.
    ASSERT_EQ(rep.rows.size(), BundledArchives().size()) << r.output;
    for (size_t i = 0; i < rep.rows.size(); i++) EXPECT_EQ(rep.rowSelected[i], i != 1) << i;
    EXPECT_EQ(rep.value["oWWaterLvl"], "40");
    EXPECT_TRUE(rep.enabled["oWWaterLvl"]);
    EXPECT_FALSE(rep.enabled["oVolume"]);
    EXPECT_TRUE(rep.enabled["oBGPath"]);
    EXPECT_FALSE(rep.enabled["oSMSReverse"]);
    EXPECT_EQ(rep.value["oBGPath"], "/library/Desktop Pictures/");
    EXPECT_EQ(rep.value["oDirectory"], home.FishDir() + "/");

    EXPECT_EQ(home.Stored<std::string>("version"), "1.7");
    EXPECT_FALSE(home.Stored<bool>("RandomWaterLevel"));
    EXPECT_EQ(home.Stored<int64_t>("WantedWaterLevel"), 40);
    EXPECT_EQ(home.Stored<int64_t>("WaterRes"), 5);
    EXPECT_FALSE(home.Stored<bool>("PlaySound"));
    EXPECT_EQ(home.Stored<int64_t>("BGType"), 2);
    std::string text = home.Stored<std::string>("FishSelection");
    // One file switched off: the archive whose display name is row 1's.
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), "###");
    EXPECT_EQ(DisplayNameOf(Bundled(text.substr(0, text.size() - 3))), rep.rows[1]) << text;

    // Opened again, the dialog shows what was saved.
    r = RunDialog("report");
    rep = Parse(r.output);
    EXPECT_EQ(rep.value["oWaterRes"], "1");
    EXPECT_EQ(rep.value["oRWaterLvl"], "0");
    EXPECT_FALSE(rep.rowSelected[1]);
    EXPECT_TRUE(rep.rowSelected[0]);

    // Saltwater, then Save: exactly the freshwater files are named.
    r = RunDialog("select-salt,save");
    text = home.Stored<std::string>("FishSelection");
    for (const std::string& f : BundledArchives())
        EXPECT_EQ(text.find(f + "#") != std::string::npos, WaterTypeOf(Bundled(f)) == 1) << f;
}

TEST_F(DialogTest, DefaultsThenCloseWritesNothing)
{
    ASSERT_TRUE(x.ok());
    ASSERT_EQ(RunDialog("set:oFishSize=150,toggle:oLowCPU,row:0,save").exitCode, 0);
    std::vector<uint8_t> before = testsupport::ReadFile(home.StorePath());
    ASSERT_FALSE(before.empty());
    testsupport::RunResult r = RunDialog("defaults,report,close");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    REPORT rep = Parse(r.output);
    EXPECT_EQ(rep.value["oFishSize"], "100");  // the controls took the defaults
    EXPECT_EQ(rep.value["oLowCPU"], "0");
    EXPECT_TRUE(rep.rowSelected[0]);
    EXPECT_EQ(testsupport::ReadFile(home.StorePath()), before);
}

TEST_F(DialogTest, DownloadsFromALocalServer)
{
    ASSERT_TRUE(x.ok());
    TestServer server;
    ASSERT_TRUE(server.ok());
    std::vector<std::string> all = BundledArchives();
    std::string served = home.dir.path() + "/served";
    for (size_t i = 0; i < 2; i++) {
        ASSERT_TRUE(CopyInto(Bundled(all[i]), served));
        std::vector<uint8_t> b = testsupport::ReadFile(Bundled(all[i]));
        server.Set("/mac/zips/fish/" + all[i], Reply{200, std::string(b.begin(), b.end())});
    }
    std::string list = home.dir.path() + "/list.plist";
    testsupport::RunResult r = testsupport::Run(
        {testsupport::BinDir() + "/reefpack", "list", served, server.Base() + "/mac/zips/fish", list});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<uint8_t> lb = testsupport::ReadFile(list);
    server.Set(DOWNLOAD_LIST_PATH, Reply{200, std::string(lb.begin(), lb.end())});

    r = RunDialog("check,report,download:0", false, server.Base());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // The first report: both offers listed.
    size_t first = r.output.find("menu=");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(r.output.substr(first, r.output.find('\n', first) - first),
              "menu=" + DisplayNameOf(Bundled(all[0])) + "|" + DisplayNameOf(Bundled(all[1])));
    REPORT rep = Parse(r.output);
    EXPECT_EQ(rep.misc["status"], "Download Complete!");
    EXPECT_EQ(rep.misc["menu"], DisplayNameOf(Bundled(all[1])));  // the downloaded one left
    EXPECT_EQ(testsupport::ReadFile(home.FishDir() + "/" + all[0]), testsupport::ReadFile(Bundled(all[0])));
    EXPECT_EQ(FolderEntries(home.FishDir()), std::vector<std::string>{all[0]});
    EXPECT_EQ(rep.rows.size(), all.size() + 1);  // the new file joined the table
    EXPECT_TRUE(rep.enabled["oSave"]);
    EXPECT_TRUE(rep.enabled["oDirectory"]);

    // The server gone: the dialog says so.
    r = RunDialog("check", false, "http://127.0.0.1:" + std::to_string(TestServer::DeadPort()));
    EXPECT_EQ(Parse(r.output).misc["status"], "Error! Could not connect to the server!");
}

TEST_F(DialogTest, PreviewRunsRestartsAndStops)
{
    ASSERT_TRUE(x.ok());
    testsupport::RunResult r = RunDialog("report,toggle:oLowCPU,save,report", true);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<int> pids;
    for (size_t at = r.output.find("preview="); at != std::string::npos; at = r.output.find("preview=", at + 1))
        pids.push_back(atoi(r.output.c_str() + at + 8));
    ASSERT_EQ(pids.size(), 3u) << r.output;
    EXPECT_GT(pids[0], 0) << r.output;
    EXPECT_GT(pids[1], 0);
    EXPECT_NE(pids[0], pids[1]);  // a changed Save restarted it
    for (int pid : pids) EXPECT_NE(kill(pid, 0), 0) << pid;  // none outlives the dialog
}

TEST_F(DialogTest, ScreenshotShowsTheDialog)
{
    ASSERT_TRUE(x.ok());
    testsupport::Process dialog;
    ASSERT_TRUE(dialog.Start({testsupport::BinDir() + "/reefmere-config", "--no-preview"}, DialogEnv()));
    testsupport::RunResult found =
        testsupport::Run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "Reefmere Settings"}, {}, 60.0);
    ASSERT_EQ(found.exitCode, 0) << found.output;
    std::string shot = home.dir.path() + "/shot.png";
    testsupport::RunResult im = testsupport::Run({"import", "-window", "root", shot}, {}, 60.0);
    ASSERT_EQ(im.exitCode, 0) << im.output;
    // A polite end: SIGTERM closes it as Close would.
    EXPECT_EQ(dialog.Stop(SIGTERM, 10.0), 0);
    int w = 0, h = 0;
    std::vector<uint8_t> px = testsupport::LoadImageRGBA(shot, &w, &h);
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 768);
    // The window's light background and dark text in its top left corner.
    int light = 0, dark = 0;
    for (int y = 0; y < 300; y++)
        for (int x0 = 0; x0 < 600; x0++) {
            const uint8_t* p = &px[(static_cast<size_t>(y) * w + x0) * 4];
            int l = p[0] + p[1] + p[2];
            light += l > 600;
            dark += l < 150;
        }
    EXPECT_GT(light, 20000);
    EXPECT_GT(dark, 200);
}

}  // namespace
