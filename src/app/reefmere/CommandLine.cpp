// Table-driven parsing of reefmere's arguments.
#include "CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <X11/Xutil.h>

namespace {

bool ParseSize(const char* text, int* w, int* h) {
    if (!text) return false;
    int a = 0, b = 0;
    char x = 0, extra = 0;
    if (sscanf(text, "%d%c%d%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X')) return false;
    if (a < 1 || b < 1 || a > 16384 || b > 16384) return false;
    *w = a;
    *h = b;
    return true;
}

bool ParseSeconds(const char* text, double* out) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    double v = strtod(text, &end);
    if (errno || !end || *end || !(v > 0.0) || v > 1e7) return false;
    *out = v;
    return true;
}

// X11 geometry: "WxH", "+X+Y", "WxH+X+Y"; a "-" offset counts from the right or bottom.
bool ParseGeometry(const char* text, X11RUNOPTIONS* w) {
    if (!text || !*text) return false;
    int x = 0, y = 0;
    unsigned width = 0, height = 0;
    int got = XParseGeometry(text, &x, &y, &width, &height);
    if (!got) return false;
    if ((got & (WidthValue | HeightValue)) && (got & (WidthValue | HeightValue)) != (WidthValue | HeightValue))
        return false;
    if (got & WidthValue) {
        if (width < 1 || height < 1 || width > 16384 || height > 16384) return false;
        w->width = static_cast<int>(width);
        w->height = static_cast<int>(height);
    }
    if (((got & XValue) != 0) != ((got & YValue) != 0)) return false;
    if (got & XValue) {
        if (x < -16384 || x > 16384 || y < -16384 || y > 16384) return false;
        w->positioned = true;
        w->x = x;
        w->y = y;
        w->xFromRight = (got & XNegative) != 0;
        w->yFromBottom = (got & YNegative) != 0;
    }
    return true;
}

struct FLAG {
    const char* name;
    const char* arg;  // null: no argument; "[WxH]": optional
    const char* help;
    bool (*apply)(COMMANDLINE* cl, const char* arg);
    const char* range = nullptr;  // named in the message for a refused value
};

const FLAG kFlags[] = {
    {"--window", "[WxH]", "animate in a window (default 1024x768); Esc or q quits",
     [](COMMANDLINE* cl, const char* a) {
         cl->mode = RUNMODE::Window;
         return !a || ParseSize(a, &cl->window.width, &cl->window.height);
     }},
    {"--fullscreen", nullptr, "with --window: cover the screen",
     [](COMMANDLINE* cl, const char*) {
         cl->window.fullscreen = true;
         return true;
     }},
    {"--headless", nullptr, "render offscreen (EGL) with a fixed frame step and write PNG frames",
     [](COMMANDLINE* cl, const char*) {
         cl->mode = RUNMODE::Headless;
         return true;
     }},
    {"--size", "WxH", "headless frame size in pixels (default 1280x720)",
     [](COMMANDLINE* cl, const char* a) {
         cl->sizeGiven = true;
         return ParseSize(a, &cl->headless.width, &cl->headless.height);
     }},
    {"--seconds", "S", "headless: scene seconds to render (default 10); window: quit after S seconds",
     [](COMMANDLINE* cl, const char* a) {
         double s = 0;
         if (!ParseSeconds(a, &s)) return false;
         cl->headless.seconds = s;
         cl->window.seconds = s;
         cl->hack.seconds = s;
         return true;
     }},
    {"--out", "DIR", "headless: folder for frame-0001.png, frame-0002.png, ...",
     [](COMMANDLINE* cl, const char* a) {
         cl->headless.outDir = a;
         return a[0] != '\0';
     }},
    {"--every", "S", "headless: scene seconds between written frames (default 0.5)",
     [](COMMANDLINE* cl, const char* a) { return ParseSeconds(a, &cl->headless.every); }},
    {"--snapshot", "FILE", "headless: write the last frame to FILE",
     [](COMMANDLINE* cl, const char* a) {
         cl->headless.snapshot = a;
         return a[0] != '\0';
     }},
    {"--preview", nullptr, "act as the small preview: low detail, no overlay, no sound",
     [](COMMANDLINE* cl, const char*) {
         cl->headless.preview = true;
         cl->window.preview = true;
         cl->hack.preview = true;
         return true;
     }},
    {"--root", nullptr, "hack: draw on $XSCREENSAVER_WINDOW, else the (virtual) root window",
     [](COMMANDLINE* cl, const char*) {
         cl->mode = RUNMODE::Hack;
         cl->hack.root = true;
         return true;
     }},
    {"--window-id", "ID", "hack: draw on the window ID (decimal or 0x hex); one not covering a monitor is a preview",
     [](COMMANDLINE* cl, const char* a) {
         cl->mode = RUNMODE::Hack;
         cl->hack.windowId = a;
         return a[0] != '\0';
     }},
    {"--fps", nullptr, "show frames per second and load in a corner",
     [](COMMANDLINE* cl, const char*) {
         cl->hack.fps = true;
         cl->window.fps = true;
         return true;
     }},
    {"--no-fps", nullptr, "no frame-rate display (the default)",
     [](COMMANDLINE* cl, const char*) {
         cl->hack.fps = false;
         cl->window.fps = false;
         return true;
     }},
    // Standard hack options the screen saver's dialog may add; GL draws with the window's
    // own visual and needs no colormap, so they change nothing here.
    {"--visual", "V", "hack: accepted and ignored (the given window's visual is used)",
     [](COMMANDLINE*, const char*) { return true; }},
    {"--install", nullptr, "hack: accepted and ignored (no private colormap is needed)",
     [](COMMANDLINE*, const char*) { return true; }},
    {"--delay", "USEC", "at least USEC microseconds between frames, 0 to 1000000 (0: up to 60 a second)",
     [](COMMANDLINE* cl, const char* a) {
         char* end = nullptr;
         errno = 0;
         long v = strtol(a, &end, 10);
         if (errno || !end || *end || !*a || v < 0 || v > kMaxFrameDelayMicros) return false;
         double seconds = static_cast<double>(v) * 1e-6;
         cl->window.delay = seconds;
         cl->hack.delay = seconds;
         cl->headless.delay = seconds;
         return true;
     },
     "0 to 1000000 microseconds"},
    {"--defaults", nullptr, "ignore the stored preferences (and do not write them)",
     [](COMMANDLINE* cl, const char*) {
         cl->view.useStore = false;
         return true;
     }},
    {"--seed", "N", "seed the random numbers with N instead of the time",
     [](COMMANDLINE* cl, const char* a) {
         char* end = nullptr;
         errno = 0;
         unsigned long v = strtoul(a, &end, 10);
         if (errno || !end || *end || !*a) return false;
         cl->view.fixedSeed = true;
         cl->view.seed = static_cast<unsigned>(v);
         return true;
     }},
    {"--add-to-xscreensaver", nullptr, "add this program to the programs: list in ~/.xscreensaver, then exit",
     [](COMMANDLINE* cl, const char*) {
         cl->addToXScreenSaver = true;
         return true;
     }},
    {"--geometry", "WxH+X+Y", "window: its size and place (X11 geometry; either part may be left out)",
     [](COMMANDLINE* cl, const char* a) { return ParseGeometry(a, &cl->window); }},
    {"--xscreensaver-options", nullptr,
     "hack: the options are XScreenSaver's settings: what they leave out takes its default, not the stored value",
     [](COMMANDLINE* cl, const char*) {
         cl->view.optionsOnly = true;
         return true;
     }},
    {"--version", nullptr, "print the version",
     [](COMMANDLINE* cl, const char*) {
         cl->version = true;
         return true;
     }},
    {"--help", nullptr, "this text (also -h)",
     [](COMMANDLINE* cl, const char*) {
         cl->help = true;
         return true;
     }},
};

bool LooksLikeSize(const char* s) {
    int w, h;
    return s && ParseSize(s, &w, &h);
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, COMMANDLINE* cl) {
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!strcmp(a, "-h")) a = "--help";
        const FLAG* flag = nullptr;
        for (const FLAG& f : kFlags)
            if (!strcmp(a, f.name) || (a[0] == '-' && a[1] != '-' && !strcmp(a + 1, f.name + 2))) flag = &f;
        if (flag) {
            const char* arg = nullptr;
            if (flag->arg && flag->arg[0] == '[') {
                if (i + 1 < argc && LooksLikeSize(argv[i + 1])) arg = argv[++i];
            } else if (flag->arg) {
                if (i + 1 >= argc) {
                    fprintf(stderr, "reefmere: %s needs %s\n", flag->name, flag->arg);
                    return false;
                }
                arg = argv[++i];
            }
            if (!flag->apply(cl, arg)) {
                if (flag->range)
                    fprintf(stderr, "reefmere: bad value for %s: %s (allowed: %s)\n", flag->name, arg ? arg : "",
                            flag->range);
                else
                    fprintf(stderr, "reefmere: bad value for %s: %s\n", flag->name, arg ? arg : "");
                return false;
            }
            continue;
        }
        // A preference for this run only (--max-fish 2, --no-caustic, ...).
        int used = ParseSettingOverride(argc, argv, &i, &cl->view.overrides);
        if (used < 0) return false;
        if (used > 0) {
            i--;  // the loop steps past what the override consumed
            continue;
        }
        fprintf(stderr, "reefmere: unknown argument %s (try --help)\n", a);
        return false;
    }
    return true;
}

std::string UsageText() {
    std::string s =
        "usage: reefmere --window [WxH] [-geometry WxH+X+Y] [--fullscreen] [--seconds S]\n"
        "       reefmere -root | -window-id ID [-fps] [-delay USEC]   (an XScreenSaver hack; also "
        "$XSCREENSAVER_WINDOW)\n"
        "       reefmere --headless [--size WxH] [--seconds S] [--out DIR] [--every S] [--snapshot FILE]\n\n";
    for (const FLAG& f : kFlags) s += HelpLine(f.arg ? std::string(f.name) + " " + f.arg : f.name, f.help, 25);
    s += "\nPreferences for this run only (the stored ones otherwise):\n";
    s += SettingOverridesHelp();
    return s;
}
