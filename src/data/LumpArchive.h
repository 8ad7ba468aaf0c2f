// The reading steps both archive readers share: validation of the header against the
// real file, and a directory whose every entry is checked to lie inside the file before
// the reader publishes it. Header/entry records come from data/LumpFormat.h.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>

#include "math/RegularFile.h"

namespace lumparchive {

// Archive-kind specific pieces: HeaderRecord, EntryRecord, the magic and its offset,
// and any extra header rule (the fish format's version and flags).
template <typename Reader, typename Traits>
bool Open(Reader* r, const char* path) {
    using Header = typename Traits::Header;
    using Entry = typename Traits::Entry;
    r->Close();
    if (!path) return false;
    // Regular files only: a FIFO named like an archive must not block the scan.
    if (!OpenRegularStream(&r->stream, path)) return false;

    auto fail = [r]() {
        r->Close();
        return false;
    };

    r->stream.seekg(0, std::ios::end);
    std::streamoff end = r->stream.tellg();
    // A length that does not fit 32 bits cannot carry a matching size check.
    if (!r->stream || end < 0 || end > static_cast<std::streamoff>(UINT32_MAX)) return fail();
    r->fileSize = static_cast<uint32_t>(end);
    r->stream.seekg(0, std::ios::beg);

    Header header;
    if (!r->stream.read(reinterpret_cast<char*>(&header), sizeof header)) return fail();
    if (std::memcmp(reinterpret_cast<const char*>(&header) + Traits::kMagicOffset, Traits::Magic(), 4) != 0)
        return fail();
    if (header.sizeCheck != static_cast<uint32_t>(~r->fileSize)) return fail();
    if (!Traits::HeaderRulesHold(header)) return fail();

    // The directory must lie wholly inside the file, after the header; every count that
    // passes fits in what the file holds, so the allocation below is bounded by it.
    const uint64_t count = header.lumpCount;
    const uint64_t dirOffset = header.dirOffset;
    const uint64_t fileSize = r->fileSize;
    if (dirOffset > fileSize) return fail();
    if (count > (fileSize - dirOffset) / sizeof(Entry)) return fail();
    if (count > 0 && dirOffset < sizeof(Header)) return fail();

    Entry* entries = new (std::nothrow) Entry[count > 0 ? count : 1];
    if (!entries) return fail();
    r->stream.seekg(static_cast<std::streamoff>(dirOffset), std::ios::beg);
    if (count > 0 &&
        !r->stream.read(reinterpret_cast<char*>(entries), static_cast<std::streamsize>(count * sizeof(Entry)))) {
        delete[] entries;
        return fail();
    }
    for (uint64_t k = 0; k < count; ++k) {
        if (entries[k].offset > fileSize || entries[k].length > fileSize - entries[k].offset) {
            delete[] entries;
            return fail();
        }
    }
    r->header = header;
    r->lumps = entries;
    return true;
}

template <typename Reader>
bool InRange(const Reader* r, int n) {
    return r->lumps && r->stream.is_open() && n >= 0 && static_cast<uint64_t>(n) < r->header.lumpCount;
}

template <typename Reader>
bool SeekLump(Reader* r, int n) {
    if (!InRange(r, n)) return false;
    // A loader that read past the end of an earlier lump leaves the stream failed;
    // every lump is a fresh start.
    r->stream.clear();
    r->stream.seekg(static_cast<std::streamoff>(r->lumps[n].offset), std::ios::beg);
    return static_cast<bool>(r->stream);
}

template <typename Reader>
bool LoadData(Reader* r, int n, void** out) {
    if (!out || !SeekLump(r, n)) return false;
    const uint32_t length = r->lumps[n].length;
    uint8_t* buffer = new (std::nothrow) uint8_t[length > 0 ? length : 1];
    if (!buffer) return false;
    if (length > 0 && !r->stream.read(reinterpret_cast<char*>(buffer), length)) {
        delete[] buffer;
        return false;
    }
    *out = buffer;
    return true;
}

template <typename Reader>
void Close(Reader* r) {
    delete[] r->lumps;
    r->lumps = nullptr;
    if (r->stream.is_open()) r->stream.close();
    r->stream.clear();
    r->fileSize = 0;
}

}  // namespace lumparchive
