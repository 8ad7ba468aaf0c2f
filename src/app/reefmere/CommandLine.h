// reefmere's command line: one table of flags (mode, size, output, view options) plus a
// flag per preference key generated from the settings key table (--MaxFish 2 ...).
#pragma once

#include <string>

#include "platform/frame_loop.h"
#include "platform/headless_host.h"
#include "platform/x11_host.h"
#include "platform/x11_screensaver_host.h"

enum class RUNMODE { Unset, Window, Headless, Hack };

struct COMMANDLINE {
    RUNMODE mode = RUNMODE::Unset;
    X11RUNOPTIONS window;
    HEADLESSOPTIONS headless;
    HACKOPTIONS hack;  // -root, -window-id, $XSCREENSAVER_WINDOW
    VIEWOPTIONS view;
    bool help = false;
    bool addToXScreenSaver = false;
    bool version = false;
    bool sizeGiven = false;
};

// Parses argv into cl. False with one line on stderr for an unknown flag or a bad value.
bool ParseCommandLine(int argc, char** argv, COMMANDLINE* cl);

// The usage text, flags and preference keys included.
std::string UsageText();
