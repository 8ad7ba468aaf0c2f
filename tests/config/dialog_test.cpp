// reefmere-config itself under a private Xvfb, driven by its --self-test script: its
// widgets take, save and show the store; Defaults then Close writes nothing; a download
// from a server on 127.0.0.1 lands in the fish folder; the live preview restarts on a
// changed Save and goes with the dialog.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

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

// What the last report printed: "outlet NAME value=V enabled=E", "row N selected=S ...",
// and NAME=VALUE lines.
struct REPORT {
    std::map<std::string, std::string> value;
    std::map<std::string, bool> enabled;
    std::vector<bool> rowSelected;
    std::map<std::string, std::string> misc;
};

REPORT Parse(const std::string& output)
{
    REPORT r;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        size_t v = line.find(" value="), e = line.rfind(" enabled=");
        if (line.rfind("outlet ", 0) == 0 && v != std::string::npos && e != std::string::npos) {
            std::string name = line.substr(7, line.find(' ', 7) - 7);
            r.value[name] = line.substr(v + 7, e - v - 7);
            r.enabled[name] = line.substr(e + 9) == "1";
        } else if (line.rfind("row ", 0) == 0) {
            if (atoi(line.c_str() + 4) == 0) r.rowSelected.clear();
            r.rowSelected.push_back(line.find("selected=1") != std::string::npos);
        } else if (line.find('=') != std::string::npos && line.find(' ') > line.find('=')) {
            r.misc[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    return r;
}

class DialogTest : public ::testing::Test {
protected:
    // No accessibility bus in a private X server; the font stack's process-long caches
    // are not ours to report under LeakSanitizer.
    std::map<std::string, std::string> Env() const
    {
        std::map<std::string, std::string> env = home.Env(x.display());
        const char* lsan = getenv("LSAN_OPTIONS");
        std::string supp = "suppressions=" + testsupport::SourceDir() + "/tests/config/lsan.supp";
        env["LSAN_OPTIONS"] = lsan && lsan[0] ? std::string(lsan) + ":" + supp : supp;
        env["NO_AT_BRIDGE"] = "1";
        return env;
    }
    testsupport::RunResult RunDialog(const std::string& script, bool preview = false, const std::string& url = "")
    {
        std::vector<std::string> argv = {testsupport::Program("reefmere-config"), "--self-test", script};
        if (!preview) argv.push_back("--no-preview");
        if (!url.empty()) argv.insert(argv.end(), {"--content-url", url});
        return testsupport::Run(argv, Env(), 120.0);
    }
    testsupport::PrivateHome home;
    testsupport::Xvfb x{1024, 768};
};

TEST_F(DialogTest, SavesWhatTheWidgetsHoldAndShowsItAgain)
{
    ASSERT_TRUE(x.ok());
    testsupport::RunResult r =
        RunDialog("toggle:oRWaterLvl,set:oWWaterLvl=40,menu:oWaterRes=1,toggle:oPlaySound,menu:oBGType=2,row:1,save");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    REPORT rep = Parse(r.output);
    ASSERT_EQ(rep.rowSelected.size(), BundledArchives().size()) << r.output;
    EXPECT_TRUE(rep.enabled["oWWaterLvl"]);
    EXPECT_FALSE(rep.enabled["oVolume"]);
    EXPECT_TRUE(rep.enabled["oBGPath"]);
    EXPECT_EQ(rep.value["oDirectory"], home.FishDir() + "/");

    EXPECT_EQ(Stored<std::string>(home, "version"), "1.7");
    EXPECT_FALSE(Stored<bool>(home, "RandomWaterLevel"));
    EXPECT_EQ(Stored<int64_t>(home, "WantedWaterLevel"), 40);
    EXPECT_EQ(Stored<int64_t>(home, "WaterRes"), 5);
    EXPECT_FALSE(Stored<bool>(home, "PlaySound"));
    EXPECT_EQ(Stored<int64_t>(home, "BGType"), 2);
    std::string text = Stored<std::string>(home, "FishSelection");  // one file off, then "##"
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), "###");
    EXPECT_TRUE(testsupport::FileExists(Bundled(text.substr(0, text.size() - 3)))) << text;

    rep = Parse(RunDialog("report").output);
    EXPECT_EQ(rep.value["oWaterRes"], "1");
    EXPECT_EQ(rep.value["oRWaterLvl"], "0");
    for (size_t i = 0; i < rep.rowSelected.size(); i++) EXPECT_EQ(rep.rowSelected[i], i != 1) << i;
}

TEST_F(DialogTest, DefaultsThenCloseWritesNothing)
{
    ASSERT_TRUE(x.ok());
    ASSERT_EQ(RunDialog("set:oFishSize=150,toggle:oLowCPU,row:0,save").exitCode, 0);
    const std::vector<uint8_t> before = testsupport::ReadFile(home.StorePath());
    ASSERT_FALSE(before.empty());
    testsupport::RunResult r = RunDialog("defaults,report,close");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    REPORT rep = Parse(r.output);
    EXPECT_EQ(rep.value["oFishSize"], "100");  // the controls took the defaults
    EXPECT_TRUE(rep.rowSelected.at(0));
    EXPECT_EQ(testsupport::ReadFile(home.StorePath()), before);
}

TEST_F(DialogTest, DownloadsFromALocalServer)
{
    ASSERT_TRUE(x.ok());
    TestServer server;
    ASSERT_TRUE(server.ok());
    const std::vector<std::string> all = BundledArchives();
    for (size_t i = 0; i < 2; i++) {
        ASSERT_TRUE(CopyInto(Bundled(all[i]), home / "served"));
        server.Set("/mac/zips/fish/" + all[i], Reply{200, testsupport::ReadText(Bundled(all[i]))});
    }
    testsupport::RunResult r = testsupport::Run({testsupport::Program("reefpack"), "list", home / "served",
                                                 server.Base() + "/mac/zips/fish", home / "list.plist"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    server.Set(DOWNLOAD_LIST_PATH, Reply{200, testsupport::ReadText(home / "list.plist")});

    r = RunDialog("check,download:0", false, server.Base());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    REPORT rep = Parse(r.output);
    EXPECT_EQ(rep.misc["status"], "Download Complete!");
    EXPECT_EQ(rep.misc["menu"], DisplayNameOf(Bundled(all[1])));  // the downloaded one left
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{all[0]});
    EXPECT_EQ(rep.rowSelected.size(), all.size() + 1);  // the new file joined the table
    EXPECT_TRUE(rep.enabled["oSave"]);

    r = RunDialog("check", false, "http://127.0.0.1:" + std::to_string(TestServer::DeadPort()));
    EXPECT_EQ(Parse(r.output).misc["status"], "Error! Could not connect to the server!");
}

TEST_F(DialogTest, PreviewRestartsOnAChangedSaveAndGoesWithTheDialog)
{
    ASSERT_TRUE(x.ok());
    testsupport::RunResult r = RunDialog("report,toggle:oLowCPU,save,report", true);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<int> pids;
    for (size_t at = r.output.find("preview="); at != std::string::npos; at = r.output.find("preview=", at + 1))
        pids.push_back(atoi(r.output.c_str() + at + 8));
    ASSERT_GE(pids.size(), 2u) << r.output;
    EXPECT_GT(pids[0], 0) << r.output;
    EXPECT_GT(pids[1], 0);
    EXPECT_NE(pids[0], pids[1]);
    for (int pid : pids) EXPECT_NE(kill(pid, 0), 0) << pid;  // none outlives the dialog
}

}  // namespace

TEST_F(DialogTest, TiltControlsNeedAMotionSensor)
{
    ASSERT_TRUE(x.ok());
    testsupport::TempDir iio;
    testsupport::ScopedEnv env({{"REEFMERE_IIO_ROOT", iio.path()}});
    REPORT rep = Parse(RunDialog("toggle:oWantSMS,report").output);
    EXPECT_FALSE(rep.enabled["oWantSMS"] || rep.enabled["oSMSReverse"]);
    EXPECT_EQ(rep.misc["sensor"], "No motion sensor found");
    const std::string dev = iio / "iio:device0";
    ASSERT_EQ(mkdir(dev.c_str(), 0755), 0);
    for (const char* f : {"in_accel_x_raw", "in_accel_y_raw", "in_accel_z_raw", "in_accel_scale"})
        ASSERT_TRUE(testsupport::WriteFile(dev + "/" + f, "1\n"));
    rep = Parse(RunDialog("toggle:oWantSMS,report").output);
    EXPECT_TRUE(rep.enabled["oWantSMS"] && rep.enabled["oSMSReverse"]);
    EXPECT_EQ(rep.misc["sensor"], "");
}
