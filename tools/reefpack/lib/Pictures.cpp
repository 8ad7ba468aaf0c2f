// Procedural pictures: light from above, depth gradient, a sandy floor.
#include "Pictures.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

#include "Prng.h"

namespace reefpack {
namespace {

constexpr float kPi = 3.14159265358979f;

// Caustic-like network: brightest where two sets of waves both crest. Periodic in x and
// y over `period` units when the frequencies are whole multiples.
float Caustic(float x, float y, float period) {
    float k = 2 * kPi / period;
    float a = std::sin(k * (3 * x + 2 * y) + 1.7f * std::sin(k * 2 * y));
    float b = std::sin(k * (-2 * x + 3 * y) + 1.3f * std::sin(k * 3 * x));
    float c = std::sin(k * (4 * x - y) + 1.1f * std::sin(k * (x + 2 * y)));
    float v = (1 - std::fabs(a)) * (1 - std::fabs(b)) + 0.5f * (1 - std::fabs(c)) * (1 - std::fabs(a));
    return std::pow(std::clamp(v, 0.0f, 1.5f) / 1.5f, 2.2f);
}

float Hash01(int x, int y, uint32_t seed) {
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x8da6b343u) ^ (static_cast<uint32_t>(y) * 0xd8163841u);
    h ^= h >> 13;
    h *= 0x85ebca6bu;
    h ^= h >> 16;
    return (h & 0xffffff) / 16777216.0f;
}

}  // namespace

Image PaintFallbackPicture(int w, int h) {
    Image img(w, h);
    Colour top = Rgb(95, 190, 220), mid = Rgb(22, 100, 155), deep = Rgb(8, 38, 80);
    Colour sandFar = Rgb(70, 110, 130), sandNear = Rgb(205, 185, 140);
    const float lightX = 0.38f * w, lightY = -0.45f * h;
    const float rays[7][3] = {{-0.34f, 0.030f, 0.45f}, {-0.2f, 0.018f, 0.6f}, {-0.08f, 0.04f, 0.5f},
                              {0.02f, 0.015f, 0.7f},   {0.13f, 0.035f, 0.5f}, {0.27f, 0.022f, 0.55f},
                              {0.4f, 0.03f, 0.35f}};
    Prng rng(4242);
    for (int y = 0; y < h; ++y) {
        float v = static_cast<float>(y) / h;
        for (int x = 0; x < w; ++x) {
            float u = static_cast<float>(x) / w;
            float floorLine = 0.76f + 0.025f * std::sin(u * 5.1f + 0.6f) + 0.012f * std::sin(u * 13.0f);
            Colour c;
            if (v < floorLine) {
                float d = v / floorLine;
                c = d < 0.45f ? Mix(top, mid, SmoothStep(0, 0.45f, d)) : Mix(mid, deep, SmoothStep(0.45f, 1.0f, d));
                // Shimmer just under the surface.
                if (v < 0.12f) {
                    float sh = Caustic(x * 0.6f, y * 2.4f, 260);
                    c = Mix(c, Rgb(200, 240, 250), 0.35f * sh * (1 - v / 0.12f));
                }
            } else {
                // Sand: perspective ripples, bluer and dimmer towards the horizon.
                float t = (v - floorLine) / (1 - floorLine);
                float depthZ = 1 / (0.15f + t);
                float rip = 0.5f + 0.5f * std::sin(x * 0.045f * (0.3f + t) + depthZ * 9 + 2 * std::sin(x * 0.004f));
                c = Mix(sandFar, sandNear, SmoothStep(0, 1, t));
                c = Mix(c, Mix(c, Rgb(0, 0, 0), 0.5f), 0.18f * rip);
                float ca = Caustic(x * 0.5f, depthZ * 120, 300);
                c = Mix(c, Rgb(250, 245, 220), 0.3f * ca * t);
                float grain = Hash01(x, y, 77) - 0.5f;
                c = Mix(c, grain > 0 ? Rgb(255, 255, 255) : Rgb(0, 0, 0), std::fabs(grain) * 0.12f);
                // Soft haze at the horizon.
                c = Mix(c, deep, 0.6f * (1 - SmoothStep(0, 0.35f, t)));
            }
            // Shafts of light fanning down from above the surface.
            float ang = std::atan2(x - lightX, y - lightY);
            float shaft = 0;
            for (const auto& r : rays) {
                float dd = (ang - r[0]) / r[1];
                shaft += r[2] * std::exp(-dd * dd);
            }
            shaft *= std::pow(1 - std::min(v, 1.0f), 1.6f) * 0.4f;
            c = Mix(c, Rgb(210, 245, 255), std::min(shaft, 0.6f));
            // Vignette.
            float dx = u - 0.5f, dy = v - 0.45f;
            c = Mix(c, Rgb(0, 10, 25), 0.45f * SmoothStep(0.25f, 0.75f, dx * dx + dy * dy));
            img.Set(x, y, c);
        }
    }
    // Kelp strands rising from the floor at the sides, faded by the water.
    const float kelpX[5] = {0.05f, 0.11f, 0.86f, 0.92f, 0.97f};
    for (int k = 0; k < 5; ++k) {
        float baseX = kelpX[k] * w, height = (0.45f + 0.2f * rng.Unit()) * h, phase = rng.Range(0, 6);
        float fog = 0.35f + 0.3f * rng.Unit();
        for (int y = static_cast<int>(0.9f * h - height); y < static_cast<int>(0.9f * h); ++y) {
            float t = (0.9f * h - y) / height;
            float cx = baseX + std::sin(t * 5 + phase) * 0.02f * w * t;
            float half = 0.008f * w * (1 - 0.6f * t);
            for (int x = static_cast<int>(cx - half - 2); x <= static_cast<int>(cx + half + 2); ++x) {
                float cover = 1 - SmoothStep(half - 1.5f, half + 1.5f, std::fabs(x - cx));
                img.Blend(x, y, Mix(Rgb(30, 70, 40), Rgb(15, 55, 90), fog), cover * 0.85f);
            }
        }
        // Blades along the stem, alternating sides, leaning up and out.
        for (int b = 1; b < 9; ++b) {
            float t = b / 9.0f;
            float y0 = 0.9f * h - t * height;
            float cx = baseX + std::sin(t * 5 + phase) * 0.02f * w * t;
            float side = (b % 2) ? 1.0f : -1.0f;
            float len = 0.05f * w * (1 - 0.5f * t), wid = 0.007f * w;
            float ang = side * (0.9f + 0.2f * rng.Unit());  // radians from vertical
            float ux = std::sin(ang), uy = -std::cos(ang);
            for (int y = static_cast<int>(y0 - len - 2); y <= static_cast<int>(y0 + len + 2); ++y)
                for (int x = static_cast<int>(cx - len - 2); x <= static_cast<int>(cx + len + 2); ++x) {
                    float dx = x - cx, dy = y - y0;
                    float along = dx * ux + dy * uy, across = -dx * uy + dy * ux;
                    if (along < 0 || along > len) continue;
                    float half = wid * std::sin(3.14159f * along / len);
                    float cover = 1 - SmoothStep(half - 1.2f, half + 1.2f, std::fabs(across));
                    img.Blend(x, y, Mix(Rgb(40, 85, 45), Rgb(15, 55, 90), fog), cover * 0.8f);
                }
        }
    }
    // Drifting specks.
    for (int i = 0; i < 900; ++i) {
        float px = rng.Unit() * w, py = rng.Unit() * h * 0.85f, r = rng.Range(0.6f, 2.0f);
        float a = rng.Range(0.1f, 0.35f);
        for (int y = static_cast<int>(py - r - 1); y <= static_cast<int>(py + r + 1); ++y)
            for (int x = static_cast<int>(px - r - 1); x <= static_cast<int>(px + r + 1); ++x) {
                float d = std::hypot(x - px, y - py);
                img.Blend(x, y, Rgb(220, 240, 250), a * (1 - SmoothStep(r - 0.7f, r + 0.7f, d)));
            }
    }
    return img;
}

std::vector<uint8_t> EncodeJpeg(const Image& img, int quality) {
    std::vector<uint8_t> rgb = img.Bytes(3, false);
    std::vector<uint8_t> out;
    auto sink = [](void* ctx, void* data, int size) {
        auto* v = static_cast<std::vector<uint8_t>*>(ctx);
        v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    if (!stbi_write_jpg_to_func(sink, &out, img.width, img.height, 3, rgb.data(), quality)) return {};
    return out;
}

Image PaintBubble(int size) {
    Image img(size, size, {0, 0, 0, 1});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            float r = std::sqrt(dx * dx + dy * dy);
            float ring = std::exp(-std::pow((r - 0.82f) / 0.09f, 2.0f));
            float inside = r < 0.9f ? 0.12f + 0.1f * r : 0;
            float hx = dx + 0.35f, hy = dy + 0.38f;
            float high = std::exp(-(hx * hx + hy * hy) / 0.02f);
            float glint = std::exp(-((dx - 0.3f) * (dx - 0.3f) + (dy - 0.45f) * (dy - 0.45f)) / 0.006f) * 0.5f;
            float v = std::clamp(ring * 0.85f + inside + high + glint, 0.0f, 1.0f) * (r < 1 ? 1.0f : 0.0f);
            img.Set(x, y, {0.85f * v, 0.95f * v, v, v});
        }
    return img;
}

Image PaintSandTile(int size) {
    Image img(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float rip = 0.5f + 0.5f * std::sin(2 * kPi * (2 * x + y) / size + std::sin(2 * kPi * y / size));
            Colour c = Mix(Rgb(200, 180, 135), Rgb(165, 145, 105), 0.5f * rip);
            float g = Hash01(x, y, 9) - 0.5f;
            img.Set(x, y, Mix(c, g > 0 ? Rgb(240, 230, 200) : Rgb(110, 95, 70), std::fabs(g) * 0.5f));
        }
    return img;
}

Image PaintCausticTile(int size) {
    Image img(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float v = Caustic(static_cast<float>(x), static_cast<float>(y), static_cast<float>(size));
            img.Set(x, y, {0.8f * v, 0.95f * v, v, v});
        }
    return img;
}

Image PaintKelpSprite(int w, int h) {
    Image img(w, h, {0, 0, 0, 1});
    for (int y = 0; y < h; ++y) {
        float t = 1 - static_cast<float>(y) / h;  // 0 at the bottom row, 1 at the top
        float cx = w * (0.5f + 0.18f * std::sin(t * 7.0f));
        float half = w * (0.06f + 0.22f * std::sin(kPi * std::min(1.0f, t * 1.1f)));
        for (int x = 0; x < w; ++x) {
            float d = std::fabs(x + 0.5f - cx);
            if (d > half) continue;
            float vein = 1 - SmoothStep(0, w * 0.03f, d);
            Colour c = Mix(Rgb(60, 120, 40), Rgb(140, 170, 60), 0.5f * (1 - d / half));
            img.Set(x, y, Mix(c, Rgb(170, 190, 90), vein));
        }
    }
    return img;
}

}  // namespace reefpack
