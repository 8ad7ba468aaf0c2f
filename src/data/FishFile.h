// Reader of fish archives (".fish", magic "FISH"): validates the archive, keeps its
// directory and positions `stream` at any lump for the model and image loaders.
#pragma once

#include <cstdint>
#include <fstream>

#include "data/LumpFormat.h"

class FISHFILE {
public:
    FISHFILE();
    ~FISHFILE();
    FISHFILE(const FISHFILE&) = delete;
    FISHFILE& operator=(const FISHFILE&) = delete;

    // Opens and validates the archive and reads its directory. False (quietly; callers
    // report) for a missing file, wrong magic, a size check that does not match, a newer
    // format, flag bit 0 set, or a directory or lump that lies outside the file.
    bool Open(const char* path);
    // Positions `stream` at the first byte of lump n; false when closed or n is out of range.
    bool SeekLump(int n);
    // Reads lump n into a new[]-allocated buffer the caller releases with delete[].
    bool LoadData(int n, void** out);
    // Frees the directory and closes the stream; safe to repeat.
    void Close();

    // Number of directory entries, 0 when closed.
    int LumpCount() const { return lumps ? static_cast<int>(header.lumpCount) : 0; }

    uint32_t fileSize;     // bytes
    std::ifstream stream;  // public: the lump loaders read from it after SeekLump
    FISHHEADER header;
    FISHLUMP* lumps;  // owned; null when closed
};
