// The platform side of the host boundary. The contract itself (what a host gives the view,
// and in what order it calls it) is documented in view/HostInterface.h, which the portable
// core includes; this header only points at the hosts that fill that table in:
//   headless_host.*  EGL pbuffer (egl_context.*), fixed clock, PNG frames (--headless)
//   x11_host.*       the frame loop over a GLX window (--window, and the hack's window);
//                    x11_window.* (standalone window, events), x11_glx.* (visual, context,
//                    swap interval), x11_services.* (screens, capture, desktop picture,
//                    sound) underneath
#pragma once

#include "view/HostInterface.h"
