// Overlay pictures drawn with a real font (DejaVu through stb_truetype): the banner and
// the captions. Light text with a soft blue glow on black, so that the texture mode that
// takes alpha from the brightest channel lays them over the scene.
#pragma once
#include <string>
#include <vector>

#include "Image.h"

namespace reefpack {

// The captions of the overlay (resource slots 4 to 8).
const std::vector<std::string>& CaptionLines();

// A TrueType font loaded from one of the usual DejaVu paths (or the REEFPACK_FONT_DIR
// folder); false with one line on stderr when none is found.
class Font {
public:
    bool Load(const std::string& fileName);
    bool Loaded() const { return !data_.empty(); }
    // Coverage (0..1) of the text, laid out from pen x at the baseline y, with the em
    // scaled to pixelHeight; returns the advance in pixels. measureOnly: nothing drawn.
    float Draw(std::vector<float>& cover, int w, int h, const std::string& utf8, float x, float baseline,
               float pixelHeight, bool measureOnly) const;
    float Ascent(float pixelHeight) const;

private:
    std::vector<unsigned char> data_;
    std::vector<unsigned char> info_;  // stbtt_fontinfo storage
};

// 512 x 32 caption, text centred.
Image RenderCaption(const Font& font, const std::string& text, int width, int height);
// 256 x 32 banner: a small fish and the product's name.
Image RenderBanner(const Font& bold, int width, int height);

}  // namespace reefpack
