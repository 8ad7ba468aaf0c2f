// reefmere-config itself under a private Xvfb, driven by its --self-test script: its
// widgets take, save and show the store; Close asks only when something is unsaved; a
// download from a server on 127.0.0.1 lands in the fish folder; the live preview runs
// the unsaved values and goes with the dialog; the species table sorts and scrolls.
#include <gtest/gtest.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
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

// What one report printed: "outlet NAME value=V enabled=E", "row N index=I selected=S
// water=W name=X" in table order, "table rows=R first=F last=L scrollbar=B", NAME=VALUE.
struct REPORT {
    std::map<std::string, std::string> value;
    std::map<std::string, bool> enabled;
    std::map<int, bool> rowSelected;  // by catalogue row
    std::vector<std::string> names;   // in table order
    std::map<std::string, std::string> misc;
};

std::vector<REPORT> Reports(const std::string& output)
{
    std::vector<REPORT> all;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "report") all.emplace_back();
        if (all.empty()) continue;
        REPORT& r = all.back();
        size_t v = line.find(" value="), e = line.rfind(" enabled="), n = line.find(" name=");
        if (line.rfind("outlet ", 0) == 0 && v != std::string::npos && e != std::string::npos) {
            std::string name = line.substr(7, line.find(' ', 7) - 7);
            r.value[name] = line.substr(v + 7, e - v - 7);
            r.enabled[name] = line.substr(e + 9) == "1";
        } else if (line.rfind("row ", 0) == 0 && n != std::string::npos) {
            r.rowSelected[atoi(line.c_str() + line.find("index=") + 6)] = line.find("selected=1") != std::string::npos;
            r.names.push_back(line.substr(n + 6));
            r.misc["water:" + r.names.back()] = line.substr(line.find("water=") + 6, n - line.find("water=") - 6);
        } else if (line.rfind("table ", 0) == 0) {
            std::istringstream words(line.substr(6));
            for (std::string w; words >> w;) r.misc[w.substr(0, w.find('='))] = w.substr(w.find('=') + 1);
        } else if (line.find('=') != std::string::npos && line.find(' ') > line.find('=')) {
            r.misc[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    return all;
}

REPORT Parse(const std::string& output)
{
    std::vector<REPORT> all = Reports(output);
    return all.empty() ? REPORT{} : all.back();
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
    EXPECT_FALSE(rep.enabled["oVolume"]);
    EXPECT_EQ(rep.value["oDirectory"], home.FishDir() + "/");

    EXPECT_EQ(Stored<int64_t>(home, "WantedWaterLevel"), 40);
    EXPECT_EQ(Stored<int64_t>(home, "WaterRes"), 5);

    rep = Parse(RunDialog("report").output);
    EXPECT_EQ(rep.value["oWaterRes"], "1");
    EXPECT_EQ(rep.value["oRWaterLvl"], "0");
    for (size_t i = 0; i < rep.rowSelected.size(); i++) EXPECT_EQ(rep.rowSelected[i], i != 1) << i;  // stored, then shown
}

TEST_F(DialogTest, CloseAsksOnlyWhenSomethingIsUnsaved)
{
    ASSERT_TRUE(x.ok());
    ASSERT_EQ(RunDialog("set:oFishSize=150,toggle:oLowCPU,row:0,save").exitCode, 0);
    const std::vector<uint8_t> before = testsupport::ReadFile(home.StorePath());
    ASSERT_FALSE(before.empty());
    // Cancel keeps the dialog open; Discard closes it and writes nothing.
    testsupport::RunResult r = RunDialog("defaults,close,report,answer:cancel,report,close,answer:discard");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<REPORT> reps = Reports(r.output);
    ASSERT_EQ(reps.size(), 2u) << r.output;
    EXPECT_NE(reps[0].misc["question"], "");
    EXPECT_EQ(reps[1].misc["question"], "");
    EXPECT_EQ(testsupport::ReadFile(home.StorePath()), before);

    // The Save note goes at the next edit; Save in the question stores before closing.
    r = RunDialog("toggle:oLowCPU,save,report,toggle:oWantBubbles,report,close,answer:save");
    reps = Reports(r.output);
    ASSERT_EQ(reps.size(), 2u) << r.output;
    EXPECT_EQ(reps[0].misc["note"], "Settings saved.");
    EXPECT_EQ(reps[1].misc["note"], "");
    EXPECT_FALSE(Stored<bool>(home, "LowCPU"));
    EXPECT_FALSE(Stored<bool>(home, "WantBubbles"));

    // Nothing unsaved: Close closes at once (else the script's end would report again).
    EXPECT_EQ(Reports(RunDialog("report,close").output).size(), 1u);
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

TEST_F(DialogTest, PreviewRunsUnsavedEditsOnceTheyPauseAndGoesWithTheDialog)
{
    ASSERT_TRUE(x.ok());
    testsupport::RunResult r = RunDialog("report,toggle:oLowCPU,report,drag:oFishSize=60..90,report", true);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<REPORT> reps = Reports(r.output);
    ASSERT_GE(reps.size(), 3u) << r.output;
    const std::string args[] = {reps[0].misc["preview-args"] + " ", reps[1].misc["preview-args"] + " ",
                                reps[2].misc["preview-args"] + " "};
    EXPECT_NE(args[0].find("--no-low-cpu "), std::string::npos) << args[0];
    EXPECT_NE(args[1].find("--low-cpu "), std::string::npos) << args[1];
    EXPECT_NE(args[2].find("--fish-size=90 "), std::string::npos) << args[2];
    // One process per pause in the edits, not one per value of the drag (one more only
    // should the test machine stall for the whole pause).
    EXPECT_GE(atoi(reps[2].misc["preview-starts"].c_str()), 3);
    EXPECT_LE(atoi(reps[2].misc["preview-starts"].c_str()), 4);
    EXPECT_FALSE(Stored<bool>(home, "LowCPU"));  // shown, not saved
    for (const REPORT& rep : reps) EXPECT_NE(kill(atoi(rep.misc.at("preview").c_str()), 0), 0);  // none outlives the dialog
}

TEST_F(DialogTest, SpeciesTableSortsByNameAndScrollsToTheLastRow)
{
    ASSERT_TRUE(x.ok());
    testsupport::SpeciesRecipe first;  // a user's species: after the bundled ones in the catalogue
    first.displayName = "Aardvark Fish";
    first.waterType = 1;
    ASSERT_TRUE(MakeFolders(home.FishDir()) && testsupport::WriteSpecies(home.FishDir() + "/zz.fish", first));
    testsupport::RunResult r = RunDialog("report,scroll:end,report");
    std::vector<REPORT> reps = Reports(r.output);
    ASSERT_EQ(reps.size(), 3u) << r.output;
    const std::vector<std::string>& names = reps[0].names;
    ASSERT_EQ(names.size(), BundledArchives().size() + 1);
    EXPECT_EQ(names[0], "Aardvark Fish");
    EXPECT_EQ(reps[0].misc["water:Aardvark Fish"], "Freshwater");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; }));
    EXPECT_EQ(reps[0].misc["scrollbar"], "1");
    const int last = static_cast<int>(names.size()) - 1;
    EXPECT_LT(atoi(reps[0].misc["last"].c_str()), last);
    EXPECT_EQ(atoi(reps[1].misc["last"].c_str()), last);
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
