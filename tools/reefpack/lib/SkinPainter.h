// Painting fish skins: the skin layout (SkinLayout.h) walked texel by texel, with the
// body addressed by station s along the spine and angle around it, fins by their own
// (p, q) coordinates. Small helpers for bands, spots, noise and fin edges.
#pragma once
#include <functional>
#include <vector>

#include "Image.h"
#include "Prng.h"
#include "SkinLayout.h"
#include "Species.h"

namespace reefpack {

// A point on the body: s along the spine (0 snout, 1 tail base); around 0..1 from the
// top down the left side (0.25), belly (0.5), right side (0.75); up = cos of the angle
// (1 on the back, -1 on the belly); side = sin (+1 left flank, -1 right flank).
struct BodyPoint {
    float s, around, up, side;
};

// A point on a fin: p along its base, q from the base (0) to the edge (1); s is the
// body station the base sits at (median fins), or 1 and beyond for the tail.
struct FinPoint {
    FinKind kind;
    float p, q, s;
};

struct SkinStyle {
    std::function<Colour(const BodyPoint&)> body;
    std::function<Colour(const FinPoint&)> fin;
    Colour iris = Rgb(220, 170, 40);
    Colour pupil = Rgb(8, 8, 12);
};

Image PaintSkin(const SpeciesDesc& desc, const SkinStyle& style);
// Greyscale alpha mask (red channel read as alpha): body and eyes opaque, fins fading
// towards their edges with firmer rays.
Image PaintFinMask(const SpeciesDesc& desc, float finBase, float finEdge);

// Helpers.
float Band(float x, float centre, float halfWidth, float soft);  // 1 inside, soft edges
float ValueNoise(float x, float y, int periodY, uint32_t seed);  // 0..1, wraps in y
float Fbm(float x, float y, int periodY, uint32_t seed);         // three octaves
// Darkens towards a fin's edge and adds rays along q.
Colour FinRays(const FinPoint& f, const Colour& base, const Colour& edge, float rays);

struct Spot {
    float s, around, radius;  // radius in model units
};
// Spots scattered over the body within [s0, s1] and up range [upMin, upMax].
std::vector<Spot> ScatterSpots(Prng& rng, int count, float s0, float s1, float upMin, float upMax, float rMin,
                               float rMax);
// Coverage (0..1) of the spots at a body point, measured in model units.
float SpotCover(const std::vector<Spot>& spots, const SpeciesDesc& desc, const BodyPoint& b, float soft);

}  // namespace reefpack
