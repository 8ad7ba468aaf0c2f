// The real XScreenSaver daemon on two RandR monitors. A programs: line that
// xscreensaver-settings wrote carries --xscreensaver-options and only what differs from
// its defaults: then its values rule, whatever kpFishSS.plist holds; a line without it
// (MATE, by hand) takes kpFishSS.plist. The background shows which: the orange desktop
// copy (type 0) or a magenta picture from the folder (type 2). And --add-to-xscreensaver
// on a file xscreensaver-settings wrote: one entry, every other byte kept, run by the daemon.
#include "hack_support.h"

#include <pwd.h>

using namespace testsupport;
using namespace hacktest;

TEST(XScreenSaver, TheDialogsOptionsOrTheStoredPreferencesAsDocumented) {
    ASSERT_TRUE(geteuid() != 0 || getpwnam("nobody"));
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok() && SplitIntoTwoMonitors(xs.dpy, 1280, 480));
    PaintRoot(xs.dpy, 0xff8c00);
    auto magenta = [](const Shot& s) { return LitFraction(s) > 0.5 && Fraction(s, Magenta) > 0.2; };
    auto orange = [](const Shot& s) { return TankOverOrange(s) && Fraction(s, Magenta) < 0.01; };
    const struct {
        const char* how;
        const char* storedType;  // what reefmere-config saved
        const char* options;     // what xscreensaver-settings (or a person) wrote
        bool pictureShows;
    } cases[] = {
        {"stored picture folder, XScreenSaver's dialog left at its default", "2", " --xscreensaver-options", false},
        {"stored desktop copy, XScreenSaver's dialog chose the folder", "0",
         " --xscreensaver-options --bg-type 2 --bg-path PICS", true},
        {"stored picture folder, a line without the dialog's options", "2", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir;
        std::string pics = dir / "pics";
        std::string options = c.options;
        size_t at = options.find("PICS");
        if (at != std::string::npos) options.replace(at, 4, pics);
        auto env = DaemonHome(dir, xs.display(), dir.path() + "/inst/bin/reefmere -root" + options);
        ASSERT_FALSE(env.empty());
        ASSERT_EQ(testsupport::Run({"mkdir", "-p", pics}).exitCode, 0);
        ASSERT_TRUE(WritePNG(pics + "/m.png", Solid(64, 64, 224, 16, 224), 64, 64));
        ASSERT_TRUE(WriteFile(
            dir / "home/.config/kpFishSS.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><string>1.7</string>"
            "<key>BGType</key><integer>" +
                std::string(c.storedType) + "</integer><key>BGPath</key><string>" + pics + "</string></dict></plist>"));
        ASSERT_EQ(testsupport::Run({"chmod", "-R", "a+rwX", dir / "home", pics}).exitCode, 0);

        Process daemon;
        ASSERT_TRUE(daemon.Start(Join(Unprivileged(), {"xscreensaver", "--no-splash", "--verbose"}), env));
        ASSERT_TRUE(DaemonCommand(env, {"-activate"})) << daemon.Output();
        for (int half = 0; half < 2; ++half)  // a hack on each monitor
            EXPECT_TRUE(WaitFor(xs.dpy, DefaultRootWindow(xs.dpy), half * 640, 0, 640, 480,
                                c.pictureShows ? +magenta : +orange, 60.0))
                << half << "\n"
                << daemon.Output();
        StopDaemon(&daemon, env);
    }
}

TEST(XScreenSaver, AddsTheHackToTheListTheSettingsWrote) {
    ASSERT_TRUE(geteuid() != 0 || getpwnam("nobody"));
    XServer xs(640, 480);
    ASSERT_TRUE(xs.ok());
    TempDir dir;
    auto env = DaemonHome(dir, xs.display(), "unused");
    ASSERT_FALSE(env.empty());
    const std::string file = dir / "home/.xscreensaver";
    ASSERT_EQ(unlink(file.c_str()), 0);
    env["PATH"] = dir / "inst/bin:/usr/bin:/bin";
    auto asUser = [](const std::vector<std::string>& argv) { return Join(Unprivileged(), argv); };
    auto count = [](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) n++;
        return n;
    };
    // No file yet: nothing is written, and the message says what to do.
    RunResult none = testsupport::Run(asUser({dir / "inst/bin/reefmere", "--add-to-xscreensaver"}), env, 30);
    EXPECT_EQ(none.exitCode, 1) << none.output;
    EXPECT_NE(none.output.find("xscreensaver-settings"), std::string::npos) << none.output;
    EXPECT_FALSE(FileExists(file));

    Process daemon;
    ASSERT_TRUE(daemon.Start(asUser({"xscreensaver", "--no-splash", "--verbose"}), env));
    // xscreensaver-settings writes the file on the first change: "Blank After"'s + button.
    Process settings;
    ASSERT_TRUE(settings.Start(asUser({"xscreensaver-settings"}), env));
    ASSERT_EQ(
        testsupport::Run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "XScreenSaver Settings"}, env, 30)
            .exitCode,
        0)
        << settings.Output();
    for (int i = 0; i < 40 && !FileExists(file); ++i) {
        testsupport::Run({"xdotool", "mousemove", "269", "424", "click", "1"}, env, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    settings.Stop(SIGTERM, 5.0);
    const std::string before = ReadText(file);
    ASSERT_NE(before.find("Written by xscreensaver-settings"), std::string::npos) << before;
    ASSERT_EQ(before.find("reefmere"), std::string::npos);

    RunResult add = testsupport::Run(asUser({dir / "inst/bin/reefmere", "--add-to-xscreensaver"}), env, 30);
    EXPECT_EQ(add.exitCode, 0) << add.output;
    const std::string after = ReadText(file);
    // One new line, the entry; the rest byte for byte.
    EXPECT_EQ(count(after, "reefmere"), 1u) << after;
    size_t at = after.find("reefmere -root");
    ASSERT_NE(at, std::string::npos) << after;
    size_t lineStart = after.rfind('\n', at) + 1, lineEnd = after.find('\n', at) + 1;
    EXPECT_EQ(after.substr(0, lineStart) + after.substr(lineEnd), before);
    EXPECT_EQ(after.substr(lineStart, lineEnd - lineStart), "  GL: \t\t\t\treefmere -root\t\t\t\t    \\n\\\n");
    EXPECT_EQ(ReadText(file + ".reefmere-backup"), before);

    RunResult again = testsupport::Run(asUser({dir / "inst/bin/reefmere", "--add-to-xscreensaver"}), env, 30);
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(ReadText(file), after);

    // The daemon re-reads the file and runs the entry: -select counts entries from 1.
    size_t programs = after.find("\nprograms:");
    ASSERT_NE(programs, std::string::npos);
    const std::string index = std::to_string(count(after.substr(programs, lineEnd - programs), "\\n\\\n"));
    ASSERT_TRUE(DaemonCommand(env, {"-select", index})) << daemon.Output();
    EXPECT_TRUE(WaitFor(xs.dpy, DefaultRootWindow(xs.dpy), 0, 0, 640, 480, Lit, 60.0)) << daemon.Output();
    // The daemon writes the option it passes as --root.
    EXPECT_NE(daemon.Output().find("forked \"reefmere --root\""), std::string::npos) << daemon.Output();
    StopDaemon(&daemon, env);
}
