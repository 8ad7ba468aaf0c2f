// Decoder of TGA images of types 2 (uncompressed) and 10 (run-length encoded) at 24 or
// 32 bits per pixel, into a Texture (pixels RGB(A), rows in file order, never flipped).
// Every failure reports one line through MessageBox (math/Misc.h) and returns false,
// leaving imageData null. Never reads or allocates beyond what the stream holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>

#include "image/Texture.h"

// Largest side accepted by default (a 64 MiB RGBA image), and for a fish skin or mask:
// a skin is drawn a few hundred pixels tall at most, so 1024 is plenty.
constexpr uint32_t kTgaMaxSide = 4096;
constexpr uint32_t kSkinMaxSide = 1024;

// Decodes the image starting at the stream's current position (an archive lump after
// SeekLump). Reads forward only; never closes or repositions the stream. An image wider
// or taller than maxSide is refused from its header, before anything is allocated.
bool LoadTGA2(Texture* texture, std::istream* stream, uint32_t maxSide = kTgaMaxSide);
// Same decoding from a file by path (regular files only: a FIFO is refused, not waited on).
bool LoadTGA(Texture* texture, const char* path, uint32_t maxSide = kTgaMaxSide);

// The decoders behind them; they use the header the dispatcher has just read, so they
// are only meaningful right after LoadTGA2 / LoadTGA has matched it (not reentrant).
bool LoadUncompressedTGA2(Texture* texture, std::istream* stream);
bool LoadCompressedTGA2(Texture* texture, std::istream* stream);
bool LoadUncompressedTGA(Texture* texture, FILE* file);
bool LoadCompressedTGA(Texture* texture, FILE* file);
