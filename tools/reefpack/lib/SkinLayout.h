// Where each part of a fish lives in its skin texture (256 x 256 texels, rows from the
// top): the body mapped around and along the spine, every fin kind in its own rectangle,
// the eye as a disc. The model builder writes texture coordinates from these rectangles
// and the skin painters paint into them.
#pragma once

namespace reefpack {

constexpr int kSkinSize = 256;

struct SkinRect {
    int x0, y0, x1, y1;  // texels; x1 and y1 exclusive
};

// Body: x along the spine (snout at x0), y around it: top, left side, belly, right
// side, top again.
constexpr SkinRect kBodyRect{0, 0, 256, 128};
// Fins: p (x) runs along the fin's base, q (y) from the base out to the edge.
constexpr SkinRect kTailRect{0, 128, 96, 192};
constexpr SkinRect kDorsalRect{96, 128, 192, 192};
constexpr SkinRect kAnalRect{0, 192, 96, 256};
constexpr SkinRect kPairedRect{96, 192, 192, 256};
// Eye: a disc centred in this square; the pupil sits at the centre.
constexpr SkinRect kEyeRect{192, 128, 256, 192};
// Kept free of geometry (a swatch of the fin colour helps mipmap-free filtering).
constexpr SkinRect kSpareRect{192, 192, 256, 256};

// Texels left between a region's edge and the coordinates mapped into it, so that linear
// filtering never pulls colour from a neighbouring region.
constexpr int kSkinInset = 3;

enum class FinKind { Tail, Dorsal, Anal, Paired };

inline const SkinRect& FinRect(FinKind k) {
    switch (k) {
        case FinKind::Tail:
            return kTailRect;
        case FinKind::Dorsal:
            return kDorsalRect;
        case FinKind::Anal:
            return kAnalRect;
        default:
            return kPairedRect;
    }
}

}  // namespace reefpack
