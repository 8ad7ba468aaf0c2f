// The -fps overlay of a hack: frames per second and processor load in the lower left
// corner, drawn with DejaVu Sans Mono Bold (the face the content kit's captions use)
// through stb_truetype; a core X font through glXUseXFont when no DejaVu file is found.
#pragma once
#include <X11/Xlib.h>

struct X11FPS;

// Needs the context it will draw with current. Null (one line on stderr) when no font
// can be loaded; the caller draws no overlay then. dpy may be null: DejaVu only.
X11FPS* X11FpsCreate(Display* dpy);
// Counts one frame and draws the overlay over the current frame (before the swap). GL
// state is saved and restored around it.
void X11FpsDraw(X11FPS* fps, int width, int height);
// Needs the context the overlay drew with current. Null is fine.
void X11FpsDestroy(X11FPS* fps);
