// Adding reefmere to a ~/.xscreensaver that XScreenSaver's own settings program wrote:
// the entry appears once, every other byte stays, a second run adds nothing, and the
// daemon then runs the hack from that entry. The daemon and its settings program refuse
// to run as root, so as root they and reefmere run as nobody with a temporary home.
#include "hack_support.h"

#include <pwd.h>
#include <unistd.h>

using namespace testsupport;
using namespace hacktest;

namespace {

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) n++;
    return n;
}

}  // namespace

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

    // No file yet: nothing is written, and the message says what to do.
    RunResult none = testsupport::Run(asUser({dir / "inst/bin/reefmere", "--add-to-xscreensaver"}), env, 30);
    EXPECT_EQ(none.exitCode, 1) << none.output;
    EXPECT_NE(none.output.find("xscreensaver-settings"), std::string::npos) << none.output;
    EXPECT_FALSE(FileExists(file));

    Process daemon;
    ASSERT_TRUE(daemon.Start(asUser({"xscreensaver", "--no-splash", "--verbose"}), env));
    // xscreensaver-settings writes the file on the first change: one more minute on
    // "Blank After" (its + button, where this window lays it out).
    Process settings;
    ASSERT_TRUE(settings.Start(asUser({"xscreensaver-settings"}), env));
    ASSERT_EQ(testsupport::Run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "XScreenSaver Settings"}, env, 30).exitCode,
              0) << settings.Output();
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
    EXPECT_EQ(Count(after, "reefmere"), 1u) << after;
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
    const std::string index = std::to_string(Count(after.substr(programs, lineEnd - programs), "\\n\\\n"));
    bool selected = false;
    for (int i = 0; i < 50 && !selected; ++i) {
        selected = testsupport::Run(asUser({"xscreensaver-command", "-select", index}), env, 10).exitCode == 0;
        if (!selected) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(selected) << daemon.Output();
    Shot shot;
    EXPECT_TRUE(WaitFor(xs.dpy, DefaultRootWindow(xs.dpy), 0, 0, 640, 480, Lit, 60.0, &shot))
        << "lit " << LitFraction(shot) << "\n" << daemon.Output();
    std::string log = daemon.Output();
    // The daemon writes the option it passes as --root.
    EXPECT_NE(log.find("forked \"reefmere --root\""), std::string::npos) << log;
    testsupport::Run(asUser({"xscreensaver-command", "-exit"}), env, 10);
    daemon.Stop(SIGTERM, 5.0);
}
