// GLX pieces for the X11 hosts: a double-buffered RGBA visual with a depth buffer, a
// compatibility (legacy) context, and the swap interval where an extension offers it.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

// An RGBA, double-buffered visual with at least a 16-bit depth buffer on screen, or null
// (one line on stderr). Free with XFree.
XVisualInfo* GlxChooseVisual(Display* dpy, int screen);

// A direct context if possible; null (one line on stderr) when none can be made.
GLXContext GlxCreateContext(Display* dpy, XVisualInfo* visual);

// Ties swaps to the display refresh (interval 1) through GLX_EXT_swap_control,
// GLX_MESA_swap_control or GLX_SGI_swap_control, whichever exists. False when none does.
bool GlxSetSwapInterval(Display* dpy, GLXDrawable drawable, int interval);
