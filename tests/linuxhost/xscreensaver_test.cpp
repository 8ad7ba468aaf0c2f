// End to end with the real XScreenSaver daemon under a private Xvfb split into two RandR
// monitors: its programs list names reefmere on a GL: line, xscreensaver-command
// activates it, and the screen shows the tank on both monitors over the desktop the
// daemon copied. The daemon refuses to launch hacks as root, so as root it runs as
// nobody with a temporary home.
#include "hack_support.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using namespace hacktest;


TEST(XScreenSaver, TheDaemonRunsTheHackOnEveryMonitor) {
    ASSERT_TRUE(geteuid() != 0 || getpwnam("nobody"));
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    ASSERT_TRUE(SplitIntoTwoMonitors(xs.dpy, 1280, 480));
    // The user's desktop: orange, so the daemon's copy of it is recognisable.
    PaintRoot(xs.dpy, 0xff8c00);

    // A home and a copy of the program and its resources the unprivileged user can use.
    PrivateHome home;
    ASSERT_EQ(chmod(home.path().c_str(), 0777), 0);
    ASSERT_EQ(testsupport::Run({"mkdir", "-p", home / "inst/bin", home / "inst/share"}).exitCode, 0);
    ASSERT_EQ(testsupport::Run({"cp", Reefmere(), home / "inst/bin/reefmere"}).exitCode, 0);
    ASSERT_EQ(testsupport::Run({"cp", "-r", ShareDir(), home / "inst/share/reefmere"}).exitCode, 0);
    ASSERT_EQ(testsupport::Run({"chmod", "-R", "a+rX", home / "inst"}).exitCode, 0);
    ASSERT_TRUE(WriteFile(home / ".xscreensaver",
                          "mode:\t\tone\nselected:\t0\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\n"
                          "splash:\t\tFalse\ntimeout:\t0:30:00\ncycle:\t\t0:30:00\ngrabDesktopImages:\tTrue\n"
                          "programs:\tGL: " + home.path() + "/inst/bin/reefmere -root --defaults\t\\n\n"));
    ASSERT_EQ(chmod((home / ".xscreensaver").c_str(), 0666), 0);
    std::map<std::string, std::string> env = home.Env(xs.display());
    env["XDG_RUNTIME_DIR"] = "";
    env["REEFMERE_SHARE_DIR"] = "";
    Process daemon;
    ASSERT_TRUE(daemon.Start(Join(Unprivileged(), {"xscreensaver", "--no-splash", "--verbose"}), env));
    // The daemon answers commands once it is up; -activate until it says it blanks.
    bool activated = false;
    for (int i = 0; i < 50 && !activated; ++i) {
        RunResult r = testsupport::Run(Join(Unprivileged(), {"xscreensaver-command", "-activate"}), env, 10);
        activated = r.exitCode == 0;
        if (!activated) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(activated) << daemon.Output();

    // Both monitors: the tank drawn over the orange desktop copy.
    for (int half = 0; half < 2; ++half) {
        Shot shot;
        EXPECT_TRUE(WaitFor(xs.dpy, DefaultRootWindow(xs.dpy), half * 640, 0, 640, 480, TankOverOrange, 60.0, &shot))
            << "monitor " << half << ": orange " << Fraction(shot, Orange) << " lit " << LitFraction(shot) << "\n"
            << daemon.Output();
    }
    std::string log = daemon.Output();
    // One hack process per monitor, each forked on its own window.
    const std::string forked = "forked \"" + home.path() + "/inst/bin/reefmere -root";
    size_t forks = 0;
    for (size_t at = log.find(forked); at != std::string::npos; at = log.find(forked, at + 1)) forks++;
    EXPECT_GE(forks, 2u) << log;
    EXPECT_EQ(log.find("not launching hacks"), std::string::npos) << log;
    testsupport::Run(Join(Unprivileged(), {"xscreensaver-command", "-exit"}), env, 10);
    daemon.Stop(SIGTERM, 5.0);
}
