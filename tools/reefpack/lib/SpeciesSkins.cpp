// Skin patterns of the bundled species, painted in body space (station along the spine,
// angle around it) so that bands, stripes and spots sit where the eye expects them.
#include "SpeciesSkins.h"

#include <cmath>

#include "SkinPainter.h"

namespace reefpack {
namespace {

constexpr float kPi = 3.14159265358979f;

float Fract(float v) { return v - std::floor(v); }

// Back-to-belly countershading.
Colour Shade(const BodyPoint& b, const Colour& back, const Colour& flank, const Colour& belly) {
    if (b.up > 0) return Mix(flank, back, SmoothStep(0.1f, 0.95f, b.up));
    return Mix(flank, belly, SmoothStep(0.05f, 0.8f, -b.up));
}

// Fine scale shimmer: small crescents in a staggered grid.
Colour Scales(const BodyPoint& b, const SpeciesDesc& d, const Colour& c, float strength) {
    float u = b.s * d.bodyLength * 2.2f, v = b.around * 28;
    float row = std::floor(v);
    float cell = Fract(u + 0.5f * row) - 0.5f;
    float rim = SmoothStep(0.25f, 0.45f, std::fabs(cell)) * SmoothStep(0.2f, 0.5f, Fract(v));
    return Mix(c, Mix(c, Rgb(255, 255, 255), 0.5f), strength * (0.5f - rim));
}

// ---- clownfish -----------------------------------------------------------------------

SkinStyle ClownStyle(const SpeciesDesc& d, Colour body, Colour face, int bands, Colour band) {
    SkinStyle st;
    Colour black = Rgb(15, 12, 12);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(body, black, 0.15f), body, Mix(body, Rgb(255, 220, 170), 0.3f));
        if (b.s < 0.2f) c = Mix(c, face, SmoothStep(0.2f, 0.1f, b.s));
        float centres[3] = {0.2f + 0.03f * b.up, 0.5f - 0.05f * (1 - b.up * b.up), 0.9f};
        float widths[3] = {0.045f, 0.05f, 0.03f};
        for (int i = 0; i < bands; ++i) {
            float edge = Band(b.s, centres[i], widths[i] + 0.014f, 0.008f);
            float core = Band(b.s, centres[i], widths[i], 0.008f);
            c = Mix(c, black, edge);
            c = Mix(c, band, core);
        }
        return Scales(b, d, c, 0.08f);
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, body, body, 9);
        c = Mix(c, black, SmoothStep(0.72f, 0.8f, f.q));
        return Mix(c, Rgb(250, 250, 245), SmoothStep(0.9f, 0.97f, f.q) * 0.8f);
    };
    st.iris = Rgb(230, 120, 30);
    return st;
}

// ---- tang ----------------------------------------------------------------------------

SkinStyle RegalTangStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour blue = Rgb(25, 80, 215), black = Rgb(10, 12, 30), yellow = Rgb(255, 205, 30);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(blue, black, 0.2f), blue, Mix(blue, Rgb(120, 170, 255), 0.35f));
        float line = 0.5f - 0.55f * (b.s - 0.15f) / 0.8f;
        float stripe = Band(b.up, line, 0.2f, 0.05f) * Band(b.s, 0.55f, 0.42f, 0.04f);
        float t = (b.s - 0.35f) / 0.4f;
        float arc = Band(b.up, -0.15f + 0.65f * t * t, 0.09f, 0.04f) * Band(b.s, 0.55f, 0.2f, 0.04f);
        c = Mix(c, black, std::max(stripe, arc));
        c = Mix(c, yellow, SmoothStep(0.93f, 0.98f, b.s));
        return Scales(b, d, c, 0.05f);
    };
    st.fin = [=](const FinPoint& f) {
        if (f.kind == FinKind::Tail) {
            Colour c = FinRays(f, yellow, yellow, 7);
            return Mix(c, black, std::max(SmoothStep(0.14f, 0.06f, f.p), SmoothStep(0.86f, 0.94f, f.p)));
        }
        if (f.kind == FinKind::Paired) return Mix(Mix(blue, black, 0.3f), yellow, SmoothStep(0.5f, 0.8f, f.p));
        Colour c = FinRays(f, Mix(blue, black, 0.25f), black, 12);
        return Mix(c, Rgb(110, 190, 255), Band(f.q, 0.86f, 0.03f, 0.03f));
    };
    st.iris = Rgb(90, 110, 140);
    return st;
}

SkinStyle YellowTangStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour yellow = Rgb(255, 218, 20);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(yellow, Rgb(200, 150, 0), 0.4f), yellow, Mix(yellow, Rgb(255, 250, 190), 0.4f));
        // The white scalpel spine in front of the tail.
        c = Mix(c, Rgb(250, 250, 240), Band(b.s, 0.93f, 0.025f, 0.01f) * Band(std::fabs(b.side), 0.95f, 0.06f, 0.04f));
        return Scales(b, d, c, 0.05f);
    };
    st.fin = [=](const FinPoint& f) { return FinRays(f, yellow, Mix(yellow, Rgb(230, 160, 0), 0.7f), 10); };
    st.iris = Rgb(60, 60, 70);
    return st;
}

// ---- angelfish -----------------------------------------------------------------------

SkinStyle AngelBarsStyle(const SpeciesDesc& d, Colour silver, Colour black) {
    SkinStyle st;
    auto bars = [](float s) {
        float cover = Band(s, 0.13f, 0.035f, 0.02f);
        cover = std::max(cover, Band(s, 0.4f, 0.05f, 0.025f));
        cover = std::max(cover, Band(s, 0.72f, 0.045f, 0.025f));
        return std::max(cover, Band(s, 0.98f, 0.03f, 0.02f));
    };
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(silver, Rgb(150, 130, 90), 0.4f), silver, Rgb(240, 240, 235));
        c = Mix(c, black, 0.9f * bars(b.s + 0.02f * b.up));
        return Scales(b, d, c, 0.07f);
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, Mix(silver, Rgb(200, 190, 150), 0.3f), Rgb(80, 80, 85), 14);
        if (f.kind == FinKind::Dorsal || f.kind == FinKind::Anal) c = Mix(c, black, 0.85f * bars(f.s - 0.05f * f.q));
        if (f.kind == FinKind::Tail) c = Mix(c, black, 0.5f * Band(f.q, 0.5f, 0.08f, 0.06f));
        return c;
    };
    st.iris = Rgb(200, 40, 30);
    return st;
}

SkinStyle AngelMarbleStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour gold = Rgb(240, 190, 90), dark = Rgb(30, 25, 25);
    uint32_t seed = static_cast<uint32_t>(d.skinSeed) * 7 + 1;
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(gold, Rgb(200, 120, 40), 0.5f), gold, Rgb(250, 235, 200));
        float n = Fbm(b.s * 9, b.around * 8, 8, seed);
        float vein = Band(n, 0.5f, 0.05f, 0.04f);
        c = Mix(c, dark, 0.85f * vein);
        return Scales(b, d, c, 0.06f);
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, Mix(gold, Rgb(255, 255, 255), 0.3f), Rgb(120, 70, 30), 14);
        float n = Fbm(f.p * 6 + 3 * static_cast<int>(f.kind), f.q * 4, 0, seed + 9);
        return Mix(c, dark, 0.7f * Band(n, 0.5f, 0.05f, 0.04f));
    };
    st.iris = Rgb(210, 60, 30);
    return st;
}

// ---- tetra ---------------------------------------------------------------------------

// redStart: where the red lower flank begins along the body (beyond 1: none).
SkinStyle TetraStyle(const SpeciesDesc& d, float redStart, Colour stripeColour) {
    SkinStyle st;
    Colour back = Rgb(95, 85, 60), silver = Rgb(225, 225, 230), red = Rgb(225, 25, 40);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, back, Mix(back, silver, 0.5f), silver);
        float red1 = SmoothStep(redStart, redStart + 0.05f, b.s) * SmoothStep(0.12f, -0.1f, b.up) *
                     SmoothStep(1.02f, 0.93f, b.s);
        c = Mix(c, red, 0.95f * red1);
        float stripe = Band(b.up, 0.2f, 0.12f, 0.06f) * Band(b.s, 0.42f, 0.32f, 0.06f);
        c = Mix(c, stripeColour, stripe);
        return Scales(b, d, c, 0.05f);
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, Rgb(235, 235, 240), Rgb(200, 200, 210), 8);
        if (f.kind == FinKind::Anal) c = Mix(c, Rgb(250, 250, 255), 0.5f * SmoothStep(0.6f, 0.9f, f.q));
        return c;
    };
    st.iris = Rgb(170, 180, 190);
    return st;
}

// ---- goldfish ------------------------------------------------------------------------

SkinStyle GoldStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour orange = Rgb(250, 130, 20);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Rgb(215, 85, 10), orange, Rgb(255, 215, 120));
        return Scales(b, d, c, 0.18f);
    };
    st.fin = [=](const FinPoint& f) { return FinRays(f, Rgb(255, 150, 40), Rgb(255, 200, 120), 16); };
    st.iris = Rgb(40, 30, 20);
    return st;
}

SkinStyle SarasaStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour white = Rgb(248, 244, 238), red = Rgb(225, 45, 20);
    uint32_t seed = static_cast<uint32_t>(d.skinSeed) * 13 + 5;
    st.body = [=, &d](const BodyPoint& b) {
        float n = Fbm(b.s * 5, b.around * 6, 6, seed) + 0.18f * b.up - 0.25f * SmoothStep(0.3f, 0.0f, b.s) * 0;
        float patch = SmoothStep(0.5f, 0.54f, n);
        float cap = Band(b.s, 0.06f, 0.09f, 0.04f) * SmoothStep(-0.2f, 0.3f, b.up);
        Colour c = Mix(white, red, std::max(patch, cap));
        c = Mix(c, Rgb(255, 250, 245), 0.3f * SmoothStep(0.0f, -0.8f, b.up));
        return Scales(b, d, c, 0.15f);
    };
    st.fin = [=](const FinPoint& f) {
        Colour base = f.kind == FinKind::Dorsal ? Mix(white, red, 0.6f) : white;
        return FinRays(f, base, Rgb(255, 230, 220), 16);
    };
    st.iris = Rgb(40, 30, 20);
    return st;
}

SkinStyle CalicoStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour base = Rgb(215, 222, 235), orange = Rgb(240, 120, 30), black = Rgb(25, 25, 30);
    Prng rng(static_cast<uint64_t>(d.skinSeed) * 19 + 4);
    std::vector<Spot> orangeSpots = ScatterSpots(rng, 26, 0.05f, 1.0f, -0.3f, 1.0f, 0.25f, 0.5f);
    std::vector<Spot> blackSpots = ScatterSpots(rng, 30, 0.05f, 1.0f, -0.6f, 1.0f, 0.1f, 0.22f);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(base, Rgb(120, 140, 190), 0.4f), base, Rgb(245, 245, 245));
        c = Mix(c, orange, SpotCover(orangeSpots, d, b, 0.1f));
        c = Mix(c, black, 0.9f * SpotCover(blackSpots, d, b, 0.05f));
        return Scales(b, d, c, 0.12f);
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, Rgb(235, 235, 245), Rgb(200, 200, 215), 16);
        float dots = ValueNoise(f.p * 14 + 5 * static_cast<int>(f.kind), f.q * 8, 0, 77);
        return Mix(c, black, 0.8f * SmoothStep(0.78f, 0.84f, dots));
    };
    st.iris = Rgb(40, 30, 20);
    return st;
}

// ---- pufferfish ----------------------------------------------------------------------

SkinStyle PufferStyle(const SpeciesDesc& d, Colour back, Colour spot, float spotUpMin, int count, float rMin,
                      float rMax, int seedOffset) {
    SkinStyle st;
    Prng rng(static_cast<uint64_t>(d.skinSeed) * 31 + seedOffset);
    std::vector<Spot> spots = ScatterSpots(rng, count, 0.03f, 1.0f, spotUpMin, 1.0f, rMin, rMax);
    Colour belly = Rgb(245, 243, 235);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(back, Rgb(0, 0, 0), 0.2f), back, back);
        c = Mix(c, belly, SmoothStep(-0.15f, -0.35f, b.up));
        c = Mix(c, spot, SpotCover(spots, d, b, 0.05f));
        return c;
    };
    st.fin = [=](const FinPoint& f) { return FinRays(f, Mix(back, belly, 0.4f), Mix(back, spot, 0.5f), 7); };
    st.iris = Rgb(60, 190, 120);
    return st;
}

// ---- barracuda -----------------------------------------------------------------------

SkinStyle BarracudaStyle(const SpeciesDesc& d, bool yellowtail) {
    SkinStyle st;
    Colour back = Rgb(60, 80, 100), silver = Rgb(205, 212, 218), white = Rgb(245, 247, 250);
    Colour dark = Rgb(25, 30, 40), yellow = Rgb(240, 200, 40);
    Prng rng(static_cast<uint64_t>(d.skinSeed) * 17 + (yellowtail ? 3 : 1));
    std::vector<Spot> spots = ScatterSpots(rng, yellowtail ? 0 : 14, 0.55f, 0.95f, -0.6f, 0.2f, 0.12f, 0.2f);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, back, silver, white);
        if (!yellowtail) {
            float bar = Band(Fract(b.s * 16 + b.up * 0.5f), 0.5f, 0.16f, 0.08f) * SmoothStep(-0.05f, 0.25f, b.up) *
                        Band(b.s, 0.55f, 0.4f, 0.05f);
            c = Mix(c, Mix(back, dark, 0.5f), 0.8f * bar);
            c = Mix(c, dark, SpotCover(spots, d, b, 0.04f));
        } else {
            c = Mix(c, yellow, Band(b.up, 0.0f, 0.08f, 0.05f) * Band(b.s, 0.55f, 0.45f, 0.05f));
        }
        return c;
    };
    st.fin = [=](const FinPoint& f) {
        if (f.kind == FinKind::Tail) {
            Colour base = yellowtail ? yellow : Mix(back, dark, 0.4f);
            Colour c = FinRays(f, base, dark, 8);
            return Mix(
                c, white,
                yellowtail ? 0.0f : SmoothStep(0.85f, 0.95f, f.q) * Band(std::fabs(f.p - 0.5f), 0.5f, 0.12f, 0.05f));
        }
        return FinRays(f, Mix(back, silver, 0.3f), dark, 6);
    };
    st.iris = Rgb(200, 200, 180);
    return st;
}

// ---- discus --------------------------------------------------------------------------

SkinStyle TurquoiseDiscusStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour brown = Rgb(165, 65, 35), turq = Rgb(45, 185, 200);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(brown, Rgb(60, 20, 10), 0.3f), brown, Mix(brown, Rgb(230, 140, 80), 0.3f));
        float wave = Fract(b.up * 4.5f + 0.18f * std::sin(b.s * 22));
        c = Mix(c, turq, 0.9f * Band(wave, 0.5f, 0.2f, 0.12f) * SmoothStep(0.04f, 0.12f, b.s));
        for (int k = 1; k <= 8; ++k) c = Mix(c, Rgb(60, 25, 15), 0.3f * Band(b.s, k / 9.0f, 0.012f, 0.01f));
        (void)d;
        return c;
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, brown, Rgb(250, 120, 60), 18);
        float wave = Fract(f.q * 3 + 0.15f * std::sin(f.p * 20));
        return Mix(c, turq, 0.7f * Band(wave, 0.5f, 0.18f, 0.1f));
    };
    st.iris = Rgb(220, 30, 20);
    return st;
}

SkinStyle PigeonDiscusStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour orange = Rgb(245, 135, 45), cream = Rgb(250, 225, 180);
    uint32_t seed = static_cast<uint32_t>(d.skinSeed) * 5 + 2;
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(orange, Rgb(200, 60, 20), 0.4f), orange, cream);
        float pepper = ValueNoise(b.s * 60, b.around * 90, 90, seed);
        c = Mix(c, Rgb(50, 20, 10), 0.8f * SmoothStep(0.82f, 0.9f, pepper));
        for (int k = 1; k <= 8; ++k) c = Mix(c, Rgb(120, 40, 15), 0.35f * Band(b.s, k / 9.0f, 0.015f, 0.012f));
        (void)d;
        return c;
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, orange, Rgb(200, 30, 20), 18);
        return Mix(c, Rgb(40, 10, 5), SmoothStep(0.9f, 0.97f, f.q));
    };
    st.iris = Rgb(230, 40, 20);
    return st;
}

SkinStyle BlueDiscusStyle(const SpeciesDesc& d) {
    SkinStyle st;
    Colour blue = Rgb(40, 110, 200), pale = Rgb(150, 200, 240);
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Shade(b, Mix(blue, Rgb(10, 30, 90), 0.4f), blue, pale);
        float shimmer = Fract(b.up * 6 + 0.1f * std::sin(b.s * 30));
        c = Mix(c, pale, 0.35f * Band(shimmer, 0.5f, 0.08f, 0.1f));
        (void)d;
        return c;
    };
    st.fin = [=](const FinPoint& f) {
        Colour c = FinRays(f, blue, Rgb(250, 140, 60), 18);
        return Mix(c, Rgb(20, 20, 60), SmoothStep(0.92f, 0.98f, f.q));
    };
    st.iris = Rgb(230, 50, 30);
    return st;
}

// ---- moorish idol --------------------------------------------------------------------

SkinStyle IdolStyle(const SpeciesDesc& d, Colour light, Colour yellow) {
    SkinStyle st;
    Colour black = Rgb(15, 15, 18), white = Rgb(250, 250, 245);
    // Two broad black bands, the first through the eye, each edged with a white line.
    auto bands = [](float s) {
        float a = Band(s, 0.25f, 0.065f, 0.015f), b = Band(s, 0.64f, 0.08f, 0.015f);
        float edge = std::max(Band(s, 0.25f, 0.075f, 0.01f), Band(s, 0.64f, 0.09f, 0.01f));
        return std::pair<float, float>(std::max(a, b), edge);
    };
    st.body = [=, &d](const BodyPoint& b) {
        Colour c = Mix(light, yellow, SmoothStep(0.35f, 0.52f, b.s + 0.05f * b.up));
        c = Mix(c, yellow, SmoothStep(0.72f, 0.78f, b.s) * SmoothStep(-0.2f, 0.3f, b.up));
        c = Mix(c, Rgb(245, 150, 40), Band(b.s, 0.06f, 0.06f, 0.03f) * SmoothStep(0.2f, 0.6f, b.up));
        auto [band, edge] = bands(b.s + 0.02f * b.up);
        c = Mix(c, white, edge);
        c = Mix(c, black, band);
        c = Mix(c, black, SmoothStep(0.93f, 0.97f, b.s));
        return Scales(b, d, c, 0.04f);
    };
    st.fin = [=](const FinPoint& f) {
        if (f.kind == FinKind::Tail) return Mix(FinRays(f, black, black, 8), white, SmoothStep(0.82f, 0.9f, f.q));
        if (f.kind == FinKind::Dorsal) {
            auto [band, edge] = bands(f.s - 0.04f * f.q);
            Colour c = Mix(Mix(light, yellow, SmoothStep(0.45f, 0.6f, f.s)), white, SmoothStep(0.35f, 0.6f, f.q));
            c = Mix(c, black, band * (1 - SmoothStep(0.5f, 0.7f, f.q)));
            return Mix(c, white, edge * 0.5f);
        }
        if (f.kind == FinKind::Anal) return Mix(FinRays(f, black, black, 10), yellow, Band(f.q, 0.55f, 0.05f, 0.04f));
        return FinRays(f, Mix(light, yellow, 0.5f), Rgb(200, 200, 190), 8);
    };
    st.iris = Rgb(200, 190, 150);
    return st;
}

}  // namespace

std::vector<Image> PaintSpeciesSkins(const SpeciesDesc& d) {
    std::vector<SkinStyle> styles;
    if (d.key == "clownfish") {
        styles.push_back(ClownStyle(d, Rgb(255, 115, 15), Rgb(255, 125, 25), 3, Rgb(250, 250, 245)));
        styles.push_back(ClownStyle(d, Rgb(45, 28, 22), Rgb(235, 110, 25), 3, Rgb(250, 250, 245)));
        styles.push_back(ClownStyle(d, Rgb(215, 50, 25), Rgb(235, 80, 30), 1, Rgb(250, 250, 245)));
    } else if (d.key == "tang") {
        styles.push_back(RegalTangStyle(d));
        styles.push_back(YellowTangStyle(d));
    } else if (d.key == "angelfish") {
        styles.push_back(AngelBarsStyle(d, Rgb(215, 218, 222), Rgb(20, 20, 25)));
        styles.push_back(AngelMarbleStyle(d));
        styles.push_back(AngelBarsStyle(d, Rgb(60, 60, 66), Rgb(10, 10, 12)));
    } else if (d.key == "tetra") {
        styles.push_back(TetraStyle(d, 0.5f, Rgb(40, 210, 255)));   // neon
        styles.push_back(TetraStyle(d, 0.08f, Rgb(60, 170, 255)));  // cardinal
        styles.push_back(TetraStyle(d, 2.0f, Rgb(255, 110, 40)));   // glowlight
    } else if (d.key == "goldfish") {
        styles.push_back(GoldStyle(d));
        styles.push_back(SarasaStyle(d));
        styles.push_back(CalicoStyle(d));
    } else if (d.key == "pufferfish") {
        styles.push_back(PufferStyle(d, Rgb(150, 140, 75), Rgb(50, 40, 25), 0.0f, 70, 0.14f, 0.26f, 1));
        styles.push_back(PufferStyle(d, Rgb(250, 215, 40), Rgb(20, 20, 25), -0.4f, 90, 0.1f, 0.18f, 2));
    } else if (d.key == "barracuda") {
        styles.push_back(BarracudaStyle(d, false));
        styles.push_back(BarracudaStyle(d, true));
    } else if (d.key == "discus") {
        styles.push_back(TurquoiseDiscusStyle(d));
        styles.push_back(PigeonDiscusStyle(d));
        styles.push_back(BlueDiscusStyle(d));
    } else if (d.key == "moorishidol") {
        styles.push_back(IdolStyle(d, Rgb(245, 245, 238), Rgb(250, 212, 40)));
        styles.push_back(IdolStyle(d, Rgb(250, 232, 150), Rgb(245, 190, 30)));
    }
    std::vector<Image> skins;
    for (const SkinStyle& st : styles) skins.push_back(PaintSkin(d, st));
    return skins;
}

Image PaintSpeciesMask(const SpeciesDesc& d) {
    if (d.key == "tetra") return PaintFinMask(d, 0.55f, 0.2f);
    if (d.key == "goldfish") return PaintFinMask(d, 0.85f, 0.45f);
    return PaintFinMask(d, 0.8f, 0.35f);
}

}  // namespace reefpack
