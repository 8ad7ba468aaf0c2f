// Background pictures: a random ".jpg", ".gif" or ".png" from a folder (each picture
// equally likely whatever its type), decoded with stb_image, resampled to a power-of-two
// texture chosen by the background-resolution mode, flipped for OpenGL and uploaded.
#pragma once

#include "image/Texture.h"

// Largest picture decoded: 8K UHD (7680 x 4320), about 33 megapixels, the largest screen
// a background is shown on; decoding one costs about 200 MB for a moment. Larger
// pictures (or headers claiming them) are refused before anything is decoded.
constexpr long long kPicMaxPixels = 7680LL * 4320LL;
// Largest picture file read (bytes): an 8K photograph is a few tens of MiB.
constexpr long long kPicMaxFileBytes = 64LL << 20;

// Whether a picture of width x height pixels may be decoded.
bool PicturePixelsAccepted(int width, int height);

// Longest file name FindNthFile copies (outName needs one byte more).
constexpr int kPicNameMax = 255;

// Entries of folder whose name is longer than suffix and ends with it (case-sensitive);
// 0 when the folder cannot be opened.
int CountFiles(const char* folder, const char* suffix);

// Copies the name of the n-th (from 0) matching entry, in listing order, into
// outName[kPicNameMax + 1].
bool FindNthFile(const char* folder, char* outName, const char* suffix, int n);

// A random picture file name of folder (rand()), into outName[kPicNameMax + 1].
bool ChooseRandomImageFile(const char* folder, char* outName);

// Decodes the picture at path and uploads it into tex (texID) sized by mode (0: 512,
// 1: 1024, else the picture's size rounded to powers of two within the GL maximum),
// every texel opaque. Afterwards tex->width/height hold the picture's own size. False
// (quietly) when the file does not decode. Needs a current GL context.
bool loadPicFile(const char* path, Texture* tex, int mode);

// A random picture of folder through loadPicFile.
bool LoadPicture(const char* folder, Texture* tex, int mode);

// The resampling step of loadPicFile, without GL: fills out (texWidth x texHeight RGB,
// allocated by the caller) from a top-row-first picture of channels bytes per pixel,
// nearest neighbour, with the picture's top row landing in the last texture row.
void ResamplePicture(const unsigned char* picture, int pixelsWide, int pixelsHigh, int channels, unsigned char* out,
                     int texWidth, int texHeight);
