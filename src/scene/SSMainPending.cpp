// Temporary: the underlay and overlay passes until SSMainOverlay.cpp lands; then this
// file goes. Only the projection the view expects after the underlay is set.
#include <GL/gl.h>

#include "scene/SSMain.h"

void SSMAIN::DoUnderlay() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, viewWidth, 0, viewHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void SSMAIN::DoOverlay() {}
