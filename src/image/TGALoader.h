// Decoder of TGA images of types 2 (uncompressed) and 10 (run-length encoded) at 24 or
// 32 bits per pixel, into a Texture (pixels RGB(A), rows in file order, never flipped).
// Every failure reports one line through MessageBox (math/Misc.h) and returns false,
// leaving imageData null. Never reads or allocates beyond what the stream holds.
#pragma once

#include <cstdio>
#include <istream>

#include "image/Texture.h"

// Decodes the image starting at the stream's current position (an archive lump after
// SeekLump). Reads forward only; never closes or repositions the stream.
bool LoadTGA2(Texture* texture, std::istream* stream);
// Same decoding from a file by path.
bool LoadTGA(Texture* texture, const char* path);

// The decoders behind them; they use the header the dispatcher has just read, so they
// are only meaningful right after LoadTGA2 / LoadTGA has matched it (not reentrant).
bool LoadUncompressedTGA2(Texture* texture, std::istream* stream);
bool LoadCompressedTGA2(Texture* texture, std::istream* stream);
bool LoadUncompressedTGA(Texture* texture, FILE* file);
bool LoadCompressedTGA(Texture* texture, FILE* file);
