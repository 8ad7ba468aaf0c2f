// The platform side of the host boundary. The contract itself (what a host gives the view,
// and in what order it calls it) is documented in view/HostInterface.h, which the portable
// core includes; this header lists the hosts that fill that table in.
//   headless_host.*  EGL pbuffer, fixed clock, PNG frames (reefmere --headless)
//   x11_host.*       a GLX window (reefmere --window); x11_window.* / x11_glx.* underneath
//   host_common.*    pieces every host shares (silent sound, no desktop picture)
#pragma once

#include "view/HostInterface.h"
