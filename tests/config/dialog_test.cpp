// reefmere-config itself under a private Xvfb, driven by its --self-test script: saving,
// Close, the preview, the species table, the tilt controls, fish sources and installs.
#include <gtest/gtest.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "ConfigFixture.h"
#include "config/Downloads.h"

using namespace configtest;

namespace {

// One report: "outlet NAME value=V enabled=E" as NAME -> V and "NAME enabled" -> E;
// "table k=v ..." and "k=v" lines as k -> v; the rows, in table order, without "row N ".
struct REPORT {
    std::map<std::string, std::string> at;
    std::vector<std::string> rows;  // "index=I selected=S water=W name=X"
};

std::vector<REPORT> Reports(const std::string& output) {
    std::vector<REPORT> all;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (line == "report") all.emplace_back();
        if (all.empty()) continue;
        REPORT& r = all.back();
        size_t v = line.find(" value="), e = line.rfind(" enabled=");
        if (line.rfind("outlet ", 0) == 0 && v != std::string::npos && e != std::string::npos) {
            r.at[line.substr(7, v - 7)] = line.substr(v + 7, e - v - 7);
            r.at[line.substr(7, v - 7) + " enabled"] = line.substr(e + 9);
        } else if (line.rfind("row ", 0) == 0) {
            r.rows.push_back(line.substr(line.find(' ', 4) + 1));
        } else if (line.rfind("table ", 0) == 0) {
            std::istringstream words(line.substr(6));
            for (std::string w; words >> w;) r.at[w.substr(0, w.find('='))] = w.substr(w.find('=') + 1);
        } else if (line.find('=') != std::string::npos) {
            r.at[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    return all;
}

// What each report said for key, in order.
std::vector<std::string> Said(const std::string& output, const std::string& key) {
    std::vector<std::string> all;
    for (REPORT& r : Reports(output)) all.push_back(r.at[key]);
    return all;
}

class DialogTest : public ::testing::Test {
protected:
    // No accessibility bus in a private X server; the font stack's process-long caches
    // are not ours to report under LeakSanitizer.
    testsupport::RunResult RunDialog(const std::string& script, bool preview = false,
                                     std::map<std::string, std::string> extra = {}) {
        std::map<std::string, std::string> env = home.Env(x.display());
        const char* lsan = getenv("LSAN_OPTIONS");
        std::string supp = "suppressions=" + testsupport::SourceDir() + "/tests/config/lsan.supp";
        env["LSAN_OPTIONS"] = lsan && lsan[0] ? std::string(lsan) + ":" + supp : supp;
        env["NO_AT_BRIDGE"] = "1";
        env["REEFMERE_CONTENT_URL"] = "";
        for (auto& [k, v] : extra) env[k] = v;
        std::vector<std::string> argv = {testsupport::Program("reefmere-config"), "--self-test", script};
        if (!preview) argv.push_back("--no-preview");
        return testsupport::Run(argv, env, 120.0);
    }
    testsupport::PrivateHome home;
    testsupport::Xvfb x{1024, 768};
    testsupport::TempDir pack;
};

TEST_F(DialogTest, SavesShowsAndCloseAsksOnlyWhenSomethingIsUnsaved) {
    ASSERT_TRUE(x.ok());
    // Nothing unsaved after Save: Close closes at once (else the script's end would report again).
    testsupport::RunResult r = RunDialog("toggle:oRWaterLvl,set:oWWaterLvl=40,menu:oWaterRes=1,toggle:oPlaySound,menu:"
                                         "oBGType=2,row:1,save,report,close");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<REPORT> reps = Reports(r.output);
    ASSERT_EQ(reps.size(), 1u) << r.output;
    ASSERT_EQ(reps[0].rows.size(), BundledArchives().size()) << r.output;
    EXPECT_EQ(reps[0].at["oVolume enabled"], "0");
    EXPECT_EQ(reps[0].at["oDirectory"], home.FishDir() + "/");
    EXPECT_EQ(Stored<int64_t>(home, "WantedWaterLevel"), 40);
    EXPECT_EQ(Stored<int64_t>(home, "WaterRes"), 5);
    const std::vector<uint8_t> before = testsupport::ReadFile(home.StorePath());

    // Shown again; Cancel keeps the dialog open; Discard closes it and writes nothing.
    r = RunDialog("report,defaults,close,report,answer:cancel,report,close,answer:discard");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    reps = Reports(r.output);
    ASSERT_EQ(reps.size(), 3u) << r.output;
    EXPECT_EQ(reps[0].at["oWaterRes"], "1");
    EXPECT_EQ(reps[0].at["oRWaterLvl"], "0");
    for (const std::string& row : reps[0].rows)  // by catalogue index
        EXPECT_EQ(row.find("selected=1") != std::string::npos, atoi(row.c_str() + 6) != 1) << row;
    EXPECT_NE(reps[1].at["question"], "");
    EXPECT_EQ(reps[2].at["question"], "");
    EXPECT_EQ(testsupport::ReadFile(home.StorePath()), before);

    // The Save note goes at the next edit; Save in the question stores before closing.
    reps = Reports(RunDialog("toggle:oLowCPU,save,report,toggle:oWantBubbles,report,close,answer:save").output);
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].at["note"], "Settings saved.");
    EXPECT_EQ(reps[1].at["note"], "");
    EXPECT_TRUE(Stored<bool>(home, "LowCPU"));
    EXPECT_FALSE(Stored<bool>(home, "WantBubbles"));
}

TEST_F(DialogTest, PreviewRunsUnsavedEditsOnceTheyPauseAndGoesWithTheDialog) {
    ASSERT_TRUE(x.ok());
    testsupport::RunResult r = RunDialog("report,toggle:oLowCPU,report,drag:oFishSize=60..90,report", true);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<REPORT> reps = Reports(r.output);
    ASSERT_GE(reps.size(), 3u) << r.output;
    const char* shown[] = {"--no-low-cpu ", "--low-cpu ", "--fish-size=90 "};
    for (int i = 0; i < 3; i++)
        EXPECT_NE((reps[i].at["preview-args"] + " ").find(shown[i]), std::string::npos) << reps[i].at["preview-args"];
    // One process per pause in the edits, not one per value of the drag (one more only
    // should the test machine stall for the whole pause).
    EXPECT_GE(atoi(reps[2].at["preview-starts"].c_str()), 3);
    EXPECT_LE(atoi(reps[2].at["preview-starts"].c_str()), 4);
    EXPECT_FALSE(Stored<bool>(home, "LowCPU"));  // shown, not saved
    for (const REPORT& rep : reps)
        EXPECT_NE(kill(atoi(rep.at.at("preview").c_str()), 0), 0);  // none outlives the dialog
}

// Also the species table: sorted by name, scrolled to the last row on request.
TEST_F(DialogTest, TiltControlsNeedAMotionSensor) {
    ASSERT_TRUE(x.ok());
    testsupport::TempDir iio;
    testsupport::ScopedEnv env({{"REEFMERE_IIO_ROOT", iio.path()}});
    testsupport::SpeciesRecipe first;  // a user's species: after the bundled ones in the catalogue
    first.displayName = "Aardvark Fish";
    first.waterType = 1;
    ASSERT_TRUE(MakeFolders(home.FishDir()) && testsupport::WriteSpecies(home.FishDir() + "/zz.fish", first));
    testsupport::RunResult r = RunDialog("toggle:oWantSMS,report,scroll:end,report");
    std::vector<REPORT> reps = Reports(r.output);
    ASSERT_EQ(reps.size(), 3u) << r.output;
    EXPECT_EQ(reps[0].at["oWantSMS enabled"] + reps[0].at["oSMSReverse enabled"], "00");
    EXPECT_EQ(reps[0].at["sensor"], "No motion sensor found");
    std::vector<std::string> names;
    for (const std::string& row : reps[0].rows) names.push_back(row.substr(row.find(" name=") + 6));
    ASSERT_EQ(names.size(), BundledArchives().size() + 1);
    EXPECT_EQ(reps[0].rows[0],
              "index=" + std::to_string(names.size() - 1) + " selected=1 water=Freshwater name=Aardvark Fish");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }));
    EXPECT_EQ(reps[0].at["scrollbar"], "1");
    EXPECT_LT(atoi(reps[0].at["last"].c_str()), static_cast<int>(names.size()) - 1);
    EXPECT_EQ(atoi(reps[1].at["last"].c_str()), static_cast<int>(names.size()) - 1);

    const std::string dev = iio / "iio:device0";
    ASSERT_EQ(mkdir(dev.c_str(), 0755), 0);
    for (const char* f : {"in_accel_x_raw", "in_accel_y_raw", "in_accel_z_raw", "in_accel_scale"})
        ASSERT_TRUE(testsupport::WriteFile(dev + "/" + f, "1\n"));
    reps = Reports(RunDialog("toggle:oWantSMS,report").output);
    ASSERT_FALSE(reps.empty());
    EXPECT_EQ(reps[0].at["oWantSMS enabled"] + reps[0].at["oSMSReverse enabled"], "11");
    EXPECT_EQ(reps[0].at["sensor"], "");
}

// Also Add to XScreenSaver: the entry names the reefmere beside the dialog.
TEST_F(DialogTest, AnIndexedPackDownloadsFromItsFileAddressAndTheHackJoinsXScreenSaver) {
    ASSERT_TRUE(x.ok());
    const std::vector<std::string> all = BundledArchives();
    for (size_t i = 0; i < 3; i++) ASSERT_TRUE(CopyInto(Bundled(all.at(i)), pack.path()));
    testsupport::SpeciesRecipe odd;
    odd.skinSize = 6;  // opens, but would not load: left out of the index
    ASSERT_TRUE(testsupport::WriteSpecies(pack / "odd.fish", odd));
    ASSERT_EQ(testsupport::Run({testsupport::Program("reefpack"), "index", pack.path()}).exitCode, 0);
    const std::string file = home / ".xscreensaver", entry = testsupport::BinDir() + "/reefmere -root";
    ASSERT_TRUE(testsupport::WriteFile(file, "programs:\t\\\n\t\t\t\tmaze --root\t\t\t\t    \\n\\\n\n"));

    testsupport::RunResult r =
        RunDialog("add-to-xscreensaver,source:file://" + pack.path() + "/,check,download:0,save");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Said(r.output, "status").back(), STATUS_COMPLETE) << r.output;
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{all[0]});
    EXPECT_EQ(Said(r.output, "menu").back(), DisplayNameOf(Bundled(all[1])) + "|" + DisplayNameOf(Bundled(all[2])));
    EXPECT_EQ(Stored<std::string>(home, "FishSource"), "file://" + pack.path());
    EXPECT_EQ(Said(r.output, "xscreensaver").back().rfind("Added \"GL: " + entry, 0), 0u) << r.output;
    EXPECT_NE(testsupport::ReadText(file).find("  GL: \t\t\t\t" + entry), std::string::npos);
}

// Without a source: says how, fetches nothing. Then installs from files, asking before replacing.
TEST_F(DialogTest, NoSourceSaysHowAndInstallFromFileAsksBeforeReplacing) {
    ASSERT_TRUE(x.ok());
    const std::vector<std::string> all = BundledArchives();
    const std::string name = DisplayNameOf(Bundled(all[0]));
    ASSERT_TRUE(CopyInto(Bundled(all[0]), pack.path(), "mine.fish") &&
                CopyInto(Bundled(all[0]), pack.path(), "again.fish"));
    ASSERT_TRUE(testsupport::WriteFile(pack / "junk.fish", "junk"));
    testsupport::RunResult r =
        RunDialog("check,report,open-folder,report,source:ftp://x,check,report,install:" + pack / "mine.fish" +
                      ",report,install:" + pack / "junk.fish" + ",report,replace:no,install:" + pack / "again.fish" +
                      ",report,replace:yes,install:" + pack / "again.fish",
                  false, {{"PATH", "/nonexistent"}});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> statuses = Said(r.output, "status");
    ASSERT_EQ(statuses.size(), 7u) << r.output;
    EXPECT_EQ(statuses[0], STATUS_NO_SOURCE);
    EXPECT_EQ(statuses[1], "Cannot open " + home.FishDir() + "/: xdg-open is not installed (package xdg-utils).");
    EXPECT_EQ(statuses[2], STATUS_BAD_SOURCE);
    EXPECT_EQ(Said(r.output, "oWebsite enabled").front(), "0");
    EXPECT_EQ(Said(r.output, "menu")[2], "None");
    EXPECT_EQ(statuses[3], "Installed \"" + name + "\" from mine.fish.");
    EXPECT_EQ(statuses[4].rfind("junk.fish: not installed: ", 0), 0u) << statuses[4];
    EXPECT_EQ(statuses[5], "again.fish: kept the installed \"" + name + "\".");
    EXPECT_EQ(statuses[6], "Installed \"" + name + "\" from again.fish.");
    EXPECT_EQ(ListFolder(home.FishDir()), std::vector<std::string>{"again.fish"});  // one row per species
    size_t lastRow = r.output.rfind("\nrow ");                                      // in the table at once
    EXPECT_EQ(static_cast<size_t>(atoi(r.output.c_str() + lastRow + 5)), all.size());
}

}  // namespace
