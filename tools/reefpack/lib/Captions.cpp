// Text rendering for the overlay pictures.
#include "Captions.h"

#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace reefpack {
namespace {

const stbtt_fontinfo* Info(const std::vector<unsigned char>& storage) {
    return reinterpret_cast<const stbtt_fontinfo*>(storage.data());
}

// Next code point of a UTF-8 string; malformed bytes read as '?'.
uint32_t NextCodePoint(const std::string& s, size_t* i) {
    unsigned char c = static_cast<unsigned char>(s[(*i)++]);
    if (c < 0x80) return c;
    int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0) return '?';
    uint32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (*i >= s.size() || (static_cast<unsigned char>(s[*i]) & 0xC0) != 0x80) return '?';
        cp = (cp << 6) | (static_cast<unsigned char>(s[(*i)++]) & 0x3F);
    }
    return cp;
}

// Separable box blur, three passes, for the glow.
std::vector<float> Blur(const std::vector<float>& in, int w, int h, int radius) {
    std::vector<float> a = in, b(in.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) sum += a[y * w + std::clamp(x + k, 0, w - 1)];
                b[y * w + x] = sum / (2 * radius + 1);
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) sum += b[std::clamp(y + k, 0, h - 1) * w + x];
                a[y * w + x] = sum / (2 * radius + 1);
            }
    }
    return a;
}

// Light text with a soft glow on black.
Image Compose(const std::vector<float>& cover, int w, int h, const Colour& top, const Colour& bottom) {
    std::vector<float> glow = Blur(cover, w, h, 2);
    Image img(w, h, {0, 0, 0, 1});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float g = std::min(1.0f, glow[y * w + x] * 2.2f);
            Colour c{0.0f, 0.2f * g, 0.38f * g, 1};
            Colour text = Mix(top, bottom, static_cast<float>(y) / h);
            c = Mix(c, text, cover[y * w + x]);
            c.a = std::max(c.r, std::max(c.g, c.b));
            img.Set(x, y, c);
        }
    return img;
}

}  // namespace

const std::vector<std::string>& CaptionLines() {
    static const std::vector<std::string> lines = {
        "A quiet reef for a resting screen",   "Fish swim where the light falls",
        "Bubbles rise, the tank slowly fills", "Touch a key to come back up for air",
        "Make your own fish with reefpack",
    };
    return lines;
}

bool Font::Load(const std::string& fileName) {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("REEFPACK_FONT_DIR")) dirs.push_back(env);
    dirs.push_back("/usr/share/fonts/truetype/dejavu");
    dirs.push_back("/usr/share/fonts/TTF");
    dirs.push_back("/usr/share/fonts/dejavu");
    for (const std::string& dir : dirs) {
        std::ifstream in(dir + "/" + fileName, std::ios::binary);
        if (!in) continue;
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<unsigned char> info(sizeof(stbtt_fontinfo));
        auto* fi = reinterpret_cast<stbtt_fontinfo*>(info.data());
        int offset = stbtt_GetFontOffsetForIndex(bytes.data(), 0);
        if (bytes.empty() || offset < 0 || !stbtt_InitFont(fi, bytes.data(), offset)) continue;
        data_ = std::move(bytes);
        // stbtt_fontinfo keeps a pointer to the font bytes; the vector's buffer moved
        // with it, so initialise again on the buffer now owned here.
        stbtt_InitFont(fi, data_.data(), offset);
        info_ = std::move(info);
        return true;
    }
    std::fprintf(stderr, "reefpack: font %s not found (install fonts-dejavu-core or set REEFPACK_FONT_DIR)\n",
                 fileName.c_str());
    return false;
}

float Font::Ascent(float pixelHeight) const {
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(Info(info_), &ascent, &descent, &gap);
    return ascent * stbtt_ScaleForPixelHeight(Info(info_), pixelHeight);
}

float Font::Draw(std::vector<float>& cover, int w, int h, const std::string& utf8, float x, float baseline,
                 float pixelHeight, bool measureOnly) const {
    const stbtt_fontinfo* fi = Info(info_);
    float scale = stbtt_ScaleForPixelHeight(fi, pixelHeight);
    float pen = x;
    int prev = 0;
    for (size_t i = 0; i < utf8.size();) {
        int glyph = stbtt_FindGlyphIndex(fi, static_cast<int>(NextCodePoint(utf8, &i)));
        if (prev) pen += scale * stbtt_GetGlyphKernAdvance(fi, prev, glyph);
        int advance = 0, lsb = 0;
        stbtt_GetGlyphHMetrics(fi, glyph, &advance, &lsb);
        if (!measureOnly) {
            int gw = 0, gh = 0, ox = 0, oy = 0;
            float shift = pen - std::floor(pen);
            unsigned char* bmp = stbtt_GetGlyphBitmapSubpixel(fi, scale, scale, shift, 0, glyph, &gw, &gh, &ox, &oy);
            int bx = static_cast<int>(std::floor(pen)) + ox, by = static_cast<int>(std::lround(baseline)) + oy;
            for (int yy = 0; yy < gh; ++yy)
                for (int xx = 0; xx < gw; ++xx) {
                    int px = bx + xx, py = by + yy;
                    if (px < 0 || py < 0 || px >= w || py >= h) continue;
                    float v = bmp[yy * gw + xx] / 255.0f;
                    cover[py * w + px] = std::max(cover[py * w + px], v);
                }
            stbtt_FreeBitmap(bmp, nullptr);
        }
        pen += scale * advance;
        prev = glyph;
    }
    return pen - x;
}

Image RenderCaption(const Font& font, const std::string& text, int w, int h) {
    std::vector<float> cover(static_cast<size_t>(w) * h, 0.0f);
    float size = h * 0.72f;
    float width = font.Draw(cover, w, h, text, 0, 0, size, true);
    if (width > w - 16) {
        size *= (w - 16) / width;
        width = font.Draw(cover, w, h, text, 0, 0, size, true);
    }
    float baseline = h * 0.5f + font.Ascent(size) * 0.36f;
    font.Draw(cover, w, h, text, std::floor((w - width) / 2), baseline, size, false);
    return Compose(cover, w, h, Rgb(255, 255, 255), Rgb(185, 235, 250));
}

Image RenderBanner(const Font& bold, int w, int h) {
    std::vector<float> cover(static_cast<size_t>(w) * h, 0.0f);
    float size = h * 0.8f;
    float baseline = h * 0.5f + bold.Ascent(size) * 0.36f;
    bold.Draw(cover, w, h, "REEFMERE", h * 1.5f, baseline, size, false);
    Image img = Compose(cover, w, h, Rgb(230, 250, 255), Rgb(120, 210, 240));
    // A little orange fish in front of the name.
    float cx = h * 0.7f, cy = h * 0.5f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < static_cast<int>(h * 1.4f); ++x) {
            float dx = (x + 0.5f - cx) / (h * 0.42f), dy = (y + 0.5f - cy) / (h * 0.26f);
            float body = 1 - SmoothStep(0.85f, 1.05f, dx * dx + dy * dy);
            float tx = (x + 0.5f - (cx - h * 0.4f)) / (h * 0.3f);
            float tail = (tx < 0 && tx > -1 && std::fabs(y + 0.5f - cy) < -tx * h * 0.3f) ? 1.0f : 0.0f;
            float eye = 1 - SmoothStep(0.05f, 0.1f, std::hypot(dx - 0.45f, dy + 0.25f));
            float cover2 = std::max(body, tail);
            if (cover2 <= 0) continue;
            Colour c = Mix(Rgb(255, 140, 30), Rgb(255, 200, 90), 0.5f * (1 - dy));
            c = Mix(c, Rgb(20, 20, 20), eye * 0.9f);
            Colour old = img.Get(x, y);
            Colour out = Mix(old, c, cover2);
            out.a = std::max(out.r, std::max(out.g, out.b));
            img.Set(x, y, out);
        }
    return img;
}

}  // namespace reefpack
