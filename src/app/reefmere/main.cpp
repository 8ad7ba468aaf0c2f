// reefmere: the screen saver as a standalone window or a headless frame renderer.
#include <cstdio>
#include <cstdlib>

#include "CommandLine.h"

int main(int argc, char** argv) {
    COMMANDLINE cl;
    if (!ParseCommandLine(argc, argv, &cl)) return 2;
    if (cl.help) {
        fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (cl.mode == RunMode::Unset) {
        const char* display = getenv("DISPLAY");
        if (display && *display) {
            cl.mode = RunMode::Window;
        } else {
            fprintf(stderr, "reefmere: no display; use --headless --out DIR to render frames\n");
            fputs(UsageText().c_str(), stderr);
            return 2;
        }
    }
    if (cl.mode == RunMode::Headless) {
        if (cl.headless.outDir.empty() && cl.headless.snapshot.empty()) {
            fprintf(stderr, "reefmere: --headless needs --out DIR or --snapshot FILE\n");
            return 2;
        }
        return RunHeadless(cl.headless, cl.view);
    }
    return RunWindow(cl.window, cl.view);
}
