// Picture decoding for the desktop picture: SVG (librsvg + cairo), WebP (libwebp),
// GNOME slideshow XML, and stb_image for the rest. See desktop_picture.h.
#include "platform/desktop_picture.h"

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <stb_image.h>
#include <webp/decode.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include <cerrno>

#include "image/Pics.h"
#include "math/RegularFile.h"

namespace {

const size_t kMaxFileBytes = 256u << 20;  // no wallpaper is larger; protects memory
const int kMaxSide = 16384;               // pixels a side accepted from any decoder
const int kMaxSlideshowDepth = 4;         // a slideshow naming another slideshow

bool ReadWhole(const std::string& path, std::string* data) {
    // Non-blocking open and a regular-file check on the descriptor: a FIFO named like a
    // picture (or in a slideshow) must not hang the saver.
    if (!ReadRegularFile(path.c_str(), kMaxFileBytes, data)) {
        std::fprintf(stderr, "reefmere: %s: %s\n", path.c_str(),
                     errno == EFBIG    ? "picture file too large"
                     : errno == EINVAL ? "not a regular file"
                                       : "cannot read picture file");
        return false;
    }
    return true;
}

// Whether a picture of w x h may be decoded (the background's own limit).
bool SizeAccepted(int w, int h) { return w <= kMaxSide && h <= kMaxSide && PicturePixelsAccepted(w, h); }

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
    return true;
}

bool LooksLikeSvg(const std::string& path, const std::string& data) {
    if (EndsWithNoCase(path, ".svg") || EndsWithNoCase(path, ".svgz")) return true;
    if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1f && static_cast<unsigned char>(data[1]) == 0x8b)
        return false;  // gzip without the svgz suffix: not ours to guess
    return data.substr(0, 4096).find("<svg") != std::string::npos;
}

bool LooksLikeSlideshow(const std::string& data) {
    std::string head = data.substr(0, 4096);
    return head.find("<background") != std::string::npos;
}

// librsvg's messages can span lines; a diagnostic is one line.
std::string OneLine(const GError* err) {
    std::string m = err ? err->message : "unknown error";
    for (char& c : m)
        if (c == '\n' || c == '\r') c = ' ';
    while (!m.empty() && m.back() == ' ') m.pop_back();
    return m;
}

bool DecodeSvg(const std::string& path, const std::string& data, int maxSide, PICTURERGBA* out) {
    GError* err = nullptr;
    RsvgHandle* h = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(data.data()), data.size(), &err);
    if (!h) {
        std::fprintf(stderr, "reefmere: %s: not a readable SVG picture (%s)\n", path.c_str(), OneLine(err).c_str());
        if (err) g_error_free(err);
        return false;
    }
    double w = 0, h2 = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(h, &w, &h2) || w <= 0 || h2 <= 0) {
        w = 1920;  // no intrinsic size: a common screen shape
        h2 = 1080;
    }
    int limit = std::max(16, std::min(maxSide, kMaxSide));
    double scale = std::min(1.0, limit / std::max(w, h2));
    int pw = std::max(1, static_cast<int>(std::lround(w * scale)));
    int ph = std::max(1, static_cast<int>(std::lround(h2 * scale)));
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    cairo_t* cr = cairo_create(surf);
    RsvgRectangle viewport = {0, 0, static_cast<double>(pw), static_cast<double>(ph)};
    bool ok = rsvg_handle_render_document(h, cr, &viewport, &err) != FALSE;
    cairo_destroy(cr);
    g_object_unref(h);
    if (!ok) {
        std::fprintf(stderr, "reefmere: %s: SVG picture does not render (%s)\n", path.c_str(), OneLine(err).c_str());
        if (err) g_error_free(err);
        cairo_surface_destroy(surf);
        return false;
    }
    cairo_surface_flush(surf);
    const uint8_t* src = cairo_image_surface_get_data(surf);
    int stride = cairo_image_surface_get_stride(surf);
    out->width = pw;
    out->height = ph;
    out->pixels.assign(static_cast<size_t>(pw) * ph * 4, 0);
    for (int y = 0; y < ph; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(src + static_cast<size_t>(y) * stride);
        uint8_t* dst = &out->pixels[static_cast<size_t>(y) * pw * 4];
        for (int x = 0; x < pw; ++x) {
            // Cairo stores premultiplied ARGB in native words.
            uint32_t p = row[x];
            uint32_t a = p >> 24;
            uint32_t r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            if (a != 0 && a != 255) {
                r = std::min<uint32_t>(255, r * 255 / a);
                g = std::min<uint32_t>(255, g * 255 / a);
                b = std::min<uint32_t>(255, b * 255 / a);
            }
            dst[4 * x + 0] = static_cast<uint8_t>(r);
            dst[4 * x + 1] = static_cast<uint8_t>(g);
            dst[4 * x + 2] = static_cast<uint8_t>(b);
            dst[4 * x + 3] = static_cast<uint8_t>(a);
        }
    }
    cairo_surface_destroy(surf);
    return true;
}

bool DecodeWebp(const std::string& path, const std::string& data, PICTURERGBA* out) {
    int w = 0, h = 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data.data());
    if (!WebPGetInfo(bytes, data.size(), &w, &h) || !SizeAccepted(w, h)) {
        std::fprintf(stderr, "reefmere: %s: not a readable WebP picture, or larger than the background takes\n",
                     path.c_str());
        return false;
    }
    out->pixels.assign(static_cast<size_t>(w) * h * 4, 0);
    if (!WebPDecodeRGBAInto(bytes, data.size(), out->pixels.data(), out->pixels.size(), w * 4)) {
        std::fprintf(stderr, "reefmere: %s: WebP picture does not decode\n", path.c_str());
        out->pixels.clear();
        return false;
    }
    out->width = w;
    out->height = h;
    return true;
}

bool DecodeStb(const std::string& path, const std::string& data, PICTURERGBA* out) {
    const auto* bytes = reinterpret_cast<const stbi_uc*>(data.data());
    int w = 0, h = 0, n = 0;
    if (data.size() > static_cast<size_t>(INT32_MAX) ||
        !stbi_info_from_memory(bytes, static_cast<int>(data.size()), &w, &h, &n) || !SizeAccepted(w, h)) {
        std::fprintf(stderr, "reefmere: %s: not a readable picture, or larger than the background takes\n",
                     path.c_str());
        return false;
    }
    stbi_uc* p = stbi_load_from_memory(bytes, static_cast<int>(data.size()), &w, &h, &n, 4);
    if (!p) {
        std::fprintf(stderr, "reefmere: %s: picture does not decode (%s)\n", path.c_str(), stbi_failure_reason());
        return false;
    }
    out->pixels.assign(p, p + static_cast<size_t>(w) * h * 4);
    out->width = w;
    out->height = h;
    stbi_image_free(p);
    return true;
}

bool LoadPictureDepth(const std::string& path, int maxSide, PICTURERGBA* out, int depth);

bool DecodeDepth(const std::string& path, const std::string& data, int maxSide, PICTURERGBA* out, int depth) {
    bool webp = data.size() >= 12 && data.compare(0, 4, "RIFF") == 0 && data.compare(8, 4, "WEBP") == 0;
    if (webp) return DecodeWebp(path, data, out);
    if (LooksLikeSlideshow(data)) {
        if (depth >= kMaxSlideshowDepth) {
            std::fprintf(stderr, "reefmere: %s: slideshows nested too deeply\n", path.c_str());
            return false;
        }
        std::string dir = path.substr(0, path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
        std::string pic = SlideshowLargestPicture(data, dir);
        if (pic.empty()) {
            std::fprintf(stderr, "reefmere: %s: slideshow names no picture\n", path.c_str());
            return false;
        }
        return LoadPictureDepth(pic, maxSide, out, depth + 1);
    }
    if (LooksLikeSvg(path, data)) return DecodeSvg(path, data, maxSide, out);
    return DecodeStb(path, data, out);
}

bool LoadPictureDepth(const std::string& path, int maxSide, PICTURERGBA* out, int depth) {
    std::string data;
    if (!ReadWhole(path, &data)) return false;
    return DecodeDepth(path, data, maxSide, out, depth);
}

// The text between <tag ...> and </tag> starting at pos; advances pos past it.
bool NextElement(const std::string& xml, const std::string& tag, size_t* pos, std::string* attrs, std::string* body) {
    std::string open = "<" + tag;
    size_t at = *pos;
    while (true) {
        at = xml.find(open, at);
        if (at == std::string::npos) return false;
        char c = at + open.size() < xml.size() ? xml[at + open.size()] : '\0';
        if (c == '>' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '/') break;
        at += open.size();
    }
    size_t gt = xml.find('>', at);
    if (gt == std::string::npos) return false;
    *attrs = xml.substr(at + open.size(), gt - at - open.size());
    if (gt > 0 && xml[gt - 1] == '/') {
        body->clear();
        *pos = gt + 1;
        return true;
    }
    std::string close = "</" + tag + ">";
    size_t end = xml.find(close, gt + 1);
    if (end == std::string::npos) return false;
    *body = xml.substr(gt + 1, end - gt - 1);
    *pos = end + close.size();
    return true;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

long AttrNumber(const std::string& attrs, const char* name) {
    std::string key = std::string(name) + "=\"";
    size_t at = attrs.find(key);
    if (at == std::string::npos) return 0;
    // Any number of digits may stand here; a side beyond 1 << 20 is no screen.
    long v = std::strtol(attrs.c_str() + at + key.size(), nullptr, 10);
    return std::clamp(v, 0L, 1L << 20);
}

// Pixel count of a picture file from its header alone (0 when unknown).
long long PixelCount(const std::string& path) {
    FILE* f = FopenRegular(path.c_str());
    if (!f) return 0;
    std::string data(65536, '\0');
    data.resize(fread(&data[0], 1, data.size(), f));
    fclose(f);
    int w = 0, h = 0, n = 0;
    if (WebPGetInfo(reinterpret_cast<const uint8_t*>(data.data()), data.size(), &w, &h)) return 1LL * w * h;
    if (stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(data.data()), static_cast<int>(data.size()), &w, &h, &n))
        return 1LL * w * h;
    return 0;
}

}  // namespace

std::string SlideshowLargestPicture(const std::string& xml, const std::string& baseDir) {
    // <file>path</file> or <file><size width= height=>path</size>...</file>, inside
    // <static> (shown) and <transition> (from/to) elements; the largest wins.
    std::string best;
    long long bestPixels = -1;
    auto consider = [&](std::string p, long long pixels) {
        p = Trim(p);
        if (p.empty()) return;
        if (p[0] != '/') p = baseDir + "/" + p;
        if (pixels <= 0) pixels = PixelCount(p);
        if (pixels > bestPixels) {
            bestPixels = pixels;
            best = p;
        }
    };
    size_t pos = 0;
    std::string attrs, body;
    while (NextElement(xml, "file", &pos, &attrs, &body)) {
        if (body.find("<size") == std::string::npos) {
            consider(body, 0);
            continue;
        }
        size_t spos = 0;
        std::string sattrs, sbody;
        while (NextElement(body, "size", &spos, &sattrs, &sbody))
            consider(sbody, 1LL * AttrNumber(sattrs, "width") * AttrNumber(sattrs, "height"));
    }
    if (best.empty()) {
        pos = 0;
        while (NextElement(xml, "from", &pos, &attrs, &body)) consider(body, 0);
    }
    return best;
}

bool DecodePictureData(const std::string& name, const std::string& data, int maxSide, PICTURERGBA* out) {
    if (!out) return false;
    *out = PICTURERGBA();
    return DecodeDepth(name, data, maxSide, out, 0);
}

bool LoadPictureRGBA(const std::string& path, int maxSide, PICTURERGBA* out) {
    if (!out) return false;
    *out = PICTURERGBA();
    return LoadPictureDepth(path, maxSide, out, 0);
}
