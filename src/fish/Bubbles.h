// One rising bubble of the tank's pool. The pool itself, its emitter and its drawing are
// members of AQUARIUM (Aquarium.h, Bubbles.cpp).
#pragma once

#include "math/NiftyMaths.h"

// Slots in the aquarium's bubble pool; the pool never grows.
#define MAX_BUBBLES 250

struct ONEPARTICLE {
    VECTOR3D position;        // centre, world units
    VECTOR3D velocity;        // base velocity, units per second
    float speedScale = 1.0f;  // multiplier of the motion
    float halfSize = 0.3f;    // half the edge of the drawn square
    bool active = false;

    // (Re)starts the bubble at `at` with a little jitter: rising at 5 units a second.
    void Reset(VECTOR3D at);
};
