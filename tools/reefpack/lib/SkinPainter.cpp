// Walks the skin layout texel by texel and asks a species' style for each colour.
#include "SkinPainter.h"

#include <algorithm>
#include <cmath>

#include "FishBuilder.h"

namespace reefpack {
namespace {

constexpr float kPi = 3.14159265358979f;

// Position of a texel centre inside a region, 0..1 across the mapped part.
void RectCoords(const SkinRect& r, int x, int y, float* p, float* q) {
    float w = static_cast<float>(r.x1 - r.x0 - 2 * kSkinInset);
    float h = static_cast<float>(r.y1 - r.y0 - 2 * kSkinInset);
    *p = Clamp01((x + 0.5f - r.x0 - kSkinInset) / w);
    *q = Clamp01((y + 0.5f - r.y0 - kSkinInset) / h);
}

bool Inside(const SkinRect& r, int x, int y) { return x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1; }

uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x27d4eb2du ^ static_cast<uint32_t>(x) * 0x85ebca6bu ^ static_cast<uint32_t>(y) * 0xc2b2ae35u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

float FinStation(const SpeciesDesc& d, FinKind k, float p, float q) {
    switch (k) {
        case FinKind::Dorsal:
            return d.dorsal.s0 + p * (d.dorsal.s1 - d.dorsal.s0);
        case FinKind::Anal:
            return d.anal.s0 + p * (d.anal.s1 - d.anal.s0);
        case FinKind::Tail:
            return 1 + q * d.tail.length / d.bodyLength;
        default:
            return d.pectoral.s;
    }
}

}  // namespace

float Band(float x, float centre, float halfWidth, float soft) {
    float d = std::fabs(x - centre) - halfWidth;
    if (soft <= 0) return d <= 0 ? 1.0f : 0.0f;
    return 1 - SmoothStep(-soft * 0.5f, soft * 0.5f, d);
}

float ValueNoise(float x, float y, int periodY, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int cx, int cy) {
        if (periodY > 0) cy = ((cy % periodY) + periodY) % periodY;
        return (Hash(cx, cy, seed) >> 8) * (1.0f / 16777216.0f);
    };
    float a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int periodY, uint32_t seed) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < 3; ++o) {
        sum += amp * ValueNoise(x, y, periodY, seed + o * 101);
        norm += amp;
        x *= 2;
        y *= 2;
        periodY *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

Colour FinRays(const FinPoint& f, const Colour& base, const Colour& edge, float rays) {
    float ray = 0.5f + 0.5f * std::cos(2 * kPi * f.p * rays);
    Colour c = Mix(base, Mix(base, edge, 0.5f), 0.35f * ray * f.q);
    return Mix(c, edge, SmoothStep(0.78f, 0.95f, f.q));
}

std::vector<Spot> ScatterSpots(Prng& rng, int count, float s0, float s1, float upMin, float upMax, float rMin,
                               float rMax) {
    std::vector<Spot> spots;
    for (int i = 0; i < count * 8 && static_cast<int>(spots.size()) < count; ++i) {
        Spot sp{rng.Range(s0, s1), rng.Unit(), rng.Range(rMin, rMax)};
        float up = std::cos(2 * kPi * sp.around);
        if (up < upMin || up > upMax) continue;
        spots.push_back(sp);
    }
    return spots;
}

float SpotCover(const std::vector<Spot>& spots, const SpeciesDesc& desc, const BodyPoint& b, float soft) {
    ProfilePoint pr = SampleProfile(desc.profile, b.s);
    float circ = kPi * (pr.halfHeight + pr.halfWidth);
    float cover = 0;
    for (const Spot& sp : spots) {
        float ds = (b.s - sp.s) * desc.bodyLength;
        if (std::fabs(ds) > sp.radius + soft) continue;
        float da = b.around - sp.around;
        da -= std::round(da);
        float d = std::sqrt(ds * ds + (da * circ) * (da * circ));
        cover = std::max(cover, 1 - SmoothStep(sp.radius - soft, sp.radius + soft, d));
    }
    return cover;
}

Image PaintSkin(const SpeciesDesc& desc, const SkinStyle& style) {
    Image img(kSkinSize, kSkinSize, {0, 0, 0, 1});
    const SkinRect fins[4] = {kTailRect, kDorsalRect, kAnalRect, kPairedRect};
    const FinKind kinds[4] = {FinKind::Tail, FinKind::Dorsal, FinKind::Anal, FinKind::Paired};
    for (int y = 0; y < kSkinSize; ++y) {
        for (int x = 0; x < kSkinSize; ++x) {
            float p, q;
            Colour c;
            if (Inside(kBodyRect, x, y)) {
                RectCoords(kBodyRect, x, y, &p, &q);
                float a = 2 * kPi * q;
                BodyPoint b{p, q, std::cos(a), std::sin(a)};
                c = style.body(b);
                // The gill cover's edge: a faint darker arc behind the eye, on the flanks.
                float gillS = desc.eyeS + 0.1f + 0.04f * b.up * b.up;
                float gill = Band(b.s, gillS, 0.004f, 0.01f) * SmoothStep(0.85f, 0.55f, std::fabs(b.up));
                c = Mix(c, Mix(c, Rgb(0, 0, 0), 0.45f), 0.6f * gill);
            } else if (Inside(kEyeRect, x, y)) {
                float cx = 0.5f * (kEyeRect.x0 + kEyeRect.x1), cy = 0.5f * (kEyeRect.y0 + kEyeRect.y1);
                float rad = 0.5f * (kEyeRect.x1 - kEyeRect.x0) - kSkinInset;
                float dx = (x + 0.5f - cx) / rad, dy = (y + 0.5f - cy) / rad;
                float r = std::sqrt(dx * dx + dy * dy);
                Colour rim = Mix(style.iris, Rgb(30, 25, 20), 0.6f);
                Colour iris = Mix(Mix(style.iris, Rgb(255, 250, 230), 0.25f), style.iris, SmoothStep(0.45f, 0.8f, r));
                c = Mix(iris, rim, SmoothStep(0.78f, 0.9f, r));
                c = Mix(style.pupil, c, SmoothStep(0.4f, 0.46f, r));
                float hx = dx + 0.22f, hy = dy + 0.22f;
                c = Mix(c, Rgb(255, 255, 255), 0.85f * (1 - SmoothStep(0.06f, 0.14f, std::sqrt(hx * hx + hy * hy))));
            } else {
                bool done = false;
                for (int k = 0; k < 4 && !done; ++k) {
                    if (!Inside(fins[k], x, y)) continue;
                    RectCoords(fins[k], x, y, &p, &q);
                    c = style.fin({kinds[k], p, q, FinStation(desc, kinds[k], p, q)});
                    done = true;
                }
                if (!done) c = style.fin({FinKind::Paired, 0.5f, 0.5f, desc.pectoral.s});
            }
            c.a = 1;
            img.Set(x, y, c);
        }
    }
    return img;
}

Image PaintFinMask(const SpeciesDesc& desc, float finBase, float finEdge) {
    (void)desc;
    Image img(kSkinSize, kSkinSize, {1, 1, 1, 1});
    const SkinRect fins[4] = {kTailRect, kDorsalRect, kAnalRect, kPairedRect};
    for (int y = 0; y < kSkinSize; ++y) {
        for (int x = 0; x < kSkinSize; ++x) {
            for (const SkinRect& r : fins) {
                if (!Inside(r, x, y)) continue;
                float p, q;
                RectCoords(r, x, y, &p, &q);
                float ray = std::pow(0.5f + 0.5f * std::cos(2 * kPi * p * 9), 4.0f);
                float a = finBase + (finEdge - finBase) * std::pow(q, 0.8f) + 0.12f * ray * (1 - q);
                a = Clamp01(a);
                img.Set(x, y, {a, a, a, 1});
            }
        }
    }
    return img;
}

}  // namespace reefpack
