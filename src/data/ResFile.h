// Reader of the resource archive (magic "KELP") that holds the system's own textures;
// the same design as FISHFILE with a shorter header and longer directory entries.
#pragma once

#include <cstdint>
#include <fstream>

#include "data/LumpFormat.h"

class RESFILE {
public:
    RESFILE();
    ~RESFILE();
    RESFILE(const RESFILE&) = delete;
    RESFILE& operator=(const RESFILE&) = delete;

    // Opens and validates the archive and reads its directory; false (quietly) for a
    // missing file, wrong magic, a mismatched size check or a directory or lump outside
    // the file. Bytes 4..11 of the header are not looked at.
    bool Open(const char* path);
    bool SeekLump(int n);
    bool LoadData(int n, void** out);
    void Close();

    int LumpCount() const { return lumps ? static_cast<int>(header.lumpCount) : 0; }

    uint32_t fileSize;
    std::ifstream stream;
    RESHEADER header;
    RESLUMP* lumps;
};
