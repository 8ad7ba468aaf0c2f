// reefmere: the screen saver as a standalone window or a headless frame renderer.
#include <cstdio>
#include <cstdlib>

#include "CommandLine.h"
#include "settings/Paths.h"
#include "settings/XScreenSaverPrograms.h"

int main(int argc, char** argv) {
    COMMANDLINE cl;
    if (!ParseCommandLine(argc, argv, &cl)) return 2;
    if (cl.version) {
        printf("reefmere %s\n", REEFMERE_VERSION);
        return 0;
    }
    if (cl.help) {
        fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (cl.addToXScreenSaver) {
        std::string message;
        PROGRAMSRESULT r = AddToProgramsFile(XScreenSaverFile(), HackEntry(ExecutableFolder() + "/reefmere"), &message);
        bool ok = r == PROGRAMSRESULT::Added || r == PROGRAMSRESULT::AlreadyListed;
        fprintf(ok ? stdout : stderr, "reefmere: %s\n", message.c_str());
        return ok ? 0 : 1;
    }
    // From here on a SIGTERM, SIGINT or SIGHUP ends the X11 modes cleanly, even one that
    // arrives while the window is still being prepared.
    if (cl.mode != RUNMODE::Headless) X11InstallQuitSignals();
    // Started by XScreenSaver without -root or -window-id: its window is in the variable.
    const char* saverWindow = getenv("XSCREENSAVER_WINDOW");
    if (cl.mode == RUNMODE::Unset && saverWindow && *saverWindow) cl.mode = RUNMODE::Hack;
    if (cl.mode == RUNMODE::Hack) return RunHack(cl.hack, cl.view);
    if (cl.mode == RUNMODE::Unset) {
        const char* display = getenv("DISPLAY");
        if (display && *display) {
            cl.mode = RUNMODE::Window;
        } else {
            fprintf(stderr, "reefmere: no display; use --headless --out DIR to render frames\n");
            fputs(UsageText().c_str(), stderr);
            return 2;
        }
    }
    if (cl.mode == RUNMODE::Headless) {
        if (cl.headless.outDir.empty() && cl.headless.snapshot.empty()) {
            fprintf(stderr, "reefmere: --headless needs --out DIR or --snapshot FILE\n");
            return 2;
        }
        return RunHeadless(cl.headless, cl.view);
    }
    if (cl.window.fullscreen) return RunAllMonitors(cl.window, cl.view);  // a view per monitor
    return RunWindow(cl.window, cl.view);
}
