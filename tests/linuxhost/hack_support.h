// Helpers for running reefmere as a hack under the tests' Xvfb: windows, pictures read
// back from X, and waiting for what the hack draws.
#pragma once
#include <gtest/gtest.h>
// X11 after gtest: its macros (None, Bool) clash with gtest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11_capture.h"
#include "test_support.h"

namespace hacktest {

// A private X server and a connection to it, closed when the object goes.
struct XServer {
    XServer(int w, int h) : x(w, h), dpy(x.ok() ? XOpenDisplay(x.display().c_str()) : nullptr) {}
    ~XServer() {
        if (dpy) XCloseDisplay(dpy);
    }
    bool ok() const { return dpy != nullptr; }
    const std::string& display() const { return x.display(); }
    testsupport::Xvfb x;
    Display* dpy;
};

inline std::string Hex(unsigned long id) {
    char b[32];
    std::snprintf(b, sizeof b, "0x%lx", id);
    return b;
}

// A mapped top-level window with a black background, as the daemon makes one.
inline Window MakeSaverWindow(Display* dpy, int x, int y, int w, int h) {
    XSetWindowAttributes a;
    a.background_pixel = 0;
    a.override_redirect = True;
    Window win = XCreateWindow(dpy, DefaultRootWindow(dpy), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                               CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    XMapRaised(dpy, win);
    XSync(dpy, False);
    return win;
}

// A width x height picture of one colour, RGBA.
inline std::vector<uint8_t> Solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> px;
    for (int i = 0; i < w * h; i++) px.insert(px.end(), {r, g, b, 255});
    return px;
}

struct Shot {
    std::vector<uint8_t> rgba;  // only counted, so rows in any order
    int width = 0, height = 0;
};

// The drawable's pixels now.
inline Shot Grab(Display* dpy, Window w, int x, int y, int width, int height) {
    Shot s;
    XWindowAttributes wa;
    uint8_t* p = XGetWindowAttributes(dpy, w, &wa) ? DrawableToRGBA(dpy, w, wa.visual, x, y, width, height) : nullptr;
    if (!p) return s;
    s.rgba.assign(p, p + static_cast<size_t>(width) * height * 4);
    s.width = width;
    s.height = height;
    std::free(p);
    return s;
}

// Fraction of pixels a predicate accepts.
template <typename F>
double Fraction(const Shot& s, F pred) {
    size_t n = 0;
    for (size_t i = 0; i < s.rgba.size(); i += 4) n += pred(&s.rgba[i]);
    return s.width ? static_cast<double>(n) / (s.rgba.size() / 4) : 0.0;
}
inline double LitFraction(const Shot& s) {
    return Fraction(s, [](const uint8_t* p) { return (p[0] | p[1] | p[2]) > 8; });
}

inline bool Lit(const Shot& s) { return LitFraction(s) > 0.3; }  // drawn
inline bool Orange(const uint8_t* p) { return p[0] > 200 && p[1] > 80 && p[1] < 190 && p[2] < 60; }
inline bool Magenta(const uint8_t* p) { return p[0] > 120 && p[2] > 120 && p[1] < p[0] / 2 && p[1] < p[2] / 2; }
// The tank drawn over an orange desktop copy: lit, partly orange, not only orange.
inline bool TankOverOrange(const Shot& s) {
    double orange = Fraction(s, Orange);
    return LitFraction(s) > 0.5 && orange > 0.05 && orange < 0.98;
}

// Paints the root window (the desktop the daemon or the program copies) one colour.
inline void PaintRoot(Display* dpy, unsigned long rgb) {
    Window root = DefaultRootWindow(dpy);
    XSetWindowBackground(dpy, root, rgb);
    XClearWindow(dpy, root);
    XSync(dpy, False);
}

// Polls the rectangle until `ok` holds for a grab (true) or the time runs out (false).
template <typename F>
bool WaitFor(Display* dpy, Window w, int x, int y, int width, int height, F ok, double seconds = 40.0,
             Shot* last = nullptr) {
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
        Shot s = Grab(dpy, w, x, y, width, height);
        if (last) *last = s;
        if (ok(s)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

inline std::string Reefmere() { return testsupport::Program("reefmere"); }

// Drops root, which the XScreenSaver daemon refuses to launch hacks as.
inline std::vector<std::string> Unprivileged() {
    if (geteuid() != 0) return {};
    return {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
}

inline std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A home for the daemon's user under dir (home/, with ~/.xscreensaver naming `programs`)
// and a copy of the program and its resources there that this user can read
// (inst/bin/reefmere). Returns the daemon's environment; empty on failure.
inline std::map<std::string, std::string> DaemonHome(const testsupport::TempDir& dir, const std::string& display,
                                                     const std::string& programs) {
    using testsupport::Run;
    if (chmod(dir.path().c_str(), 0755) != 0 ||
        Run({"mkdir", "-p", dir / "inst/bin", dir / "inst/share", dir / "home/.config"}).exitCode != 0 ||
        Run({"cp", Reefmere(), dir / "inst/bin/reefmere"}).exitCode != 0 ||
        Run({"cp", "-r", testsupport::ShareDir(), dir / "inst/share/reefmere"}).exitCode != 0 ||
        !testsupport::WriteFile(dir / "home/.xscreensaver",
                                "mode:\t\tone\nselected:\t0\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\n"
                                "splash:\t\tFalse\ntimeout:\t0:30:00\ncycle:\t\t0:30:00\ngrabDesktopImages:\tTrue\n"
                                "programs:\tGL: " +
                                    programs + "\t\\n\n") ||
        Run({"chmod", "-R", "a+rwX", dir / "home"}).exitCode != 0 ||
        Run({"chmod", "-R", "a+rX", dir / "inst"}).exitCode != 0)
        return {};
    return {{"HOME", dir / "home"},
            {"DISPLAY", display},
            {"XDG_CONFIG_HOME", dir / "home/.config"},
            {"XDG_DATA_HOME", dir / "home/.local/share"},
            {"XDG_RUNTIME_DIR", ""},
            {"SDL_AUDIODRIVER", "dummy"},
            {"REEFMERE_SHARE_DIR", ""},
            {"XSCREENSAVER_WINDOW", ""}};
}

// Sends the daemon a command, again while it is still starting; false if it never took it.
inline bool DaemonCommand(const std::map<std::string, std::string>& env, const std::vector<std::string>& command) {
    for (int i = 0; i < 50; ++i) {
        if (testsupport::Run(Join(Unprivileged(), Join({"xscreensaver-command"}, command)), env, 10).exitCode == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

inline void StopDaemon(testsupport::Process* daemon, const std::map<std::string, std::string>& env) {
    testsupport::Run(Join(Unprivileged(), {"xscreensaver-command", "-exit"}), env, 10);
    daemon->Stop(SIGTERM, 5.0);
}

// Two RandR monitors side by side on the Xvfb screen; the right one primary.
inline bool SplitIntoTwoMonitors(Display* dpy, int width, int height) {
    Window root = DefaultRootWindow(dpy);
    XRRScreenResources* res = XRRGetScreenResources(dpy, root);
    if (!res || res->noutput < 1) return false;
    RROutput output = res->outputs[0];
    XRRFreeScreenResources(res);
    const char* names[2] = {"LEFT", "RIGHT"};
    for (int i = 0; i < 2; ++i) {
        XRRMonitorInfo* m = XRRAllocateMonitor(dpy, i == 0 ? 1 : 0);
        if (!m) return false;
        if (i == 0) m->outputs[0] = output;  // retires the output's own monitor
        m->name = XInternAtom(dpy, names[i], False);
        m->primary = i == 1;
        m->automatic = False;
        m->x = i * width / 2;
        m->y = 0;
        m->width = width / 2;
        m->height = height;
        m->mwidth = m->mheight = 300;
        XRRSetMonitor(dpy, root, m);
        XRRFreeMonitors(m);
    }
    XSync(dpy, False);
    return true;
}

// Xfce's desktop channel naming a picture for each monitor.
inline std::string XfceChannel(const std::vector<std::pair<std::string, std::string>>& monitors) {
    std::string xml = "<channel name=\"xfce4-desktop\"><property name=\"backdrop\"><property name=\"screen0\">\n";
    for (const auto& [monitor, picture] : monitors)
        xml += "<property name=\"monitor" + monitor +
               "\"><property name=\"workspace0\"><property name=\"last-image\" "
               "type=\"string\" value=\"" +
               picture + "\"/></property></property>\n";
    return xml + "</property></property></channel>\n";
}

}  // namespace hacktest
