// Writer of lump archives: fish archives ("FISH", 84-byte header, 16-byte entries) and
// the resource archive ("KELP", 24-byte header, 28-byte entries). Layout written:
// header, directory, then the lumps in order; the size check is filled in last.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/LumpFormat.h"

namespace reefpack {

struct Lump {
    std::vector<uint8_t> data;
    uint32_t kind = kLumpKindTGA;  // 1 = TGA image, anything else = not an image
    uint32_t mode = 0;             // texture mode stored in this lump's directory entry
};

// Fields of the fish archive header a pack author chooses (the rest is derived).
struct FishInfo {
    std::string displayName;  // at most 39 bytes are stored
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 0;
    uint32_t flags = 0;
    uint8_t waterType = 0;     // 0 saltwater, 1 freshwater
    uint8_t modelScale = 100;  // percent
    uint8_t alphaMask = 0;     // non-zero: lump 1 is a shared alpha mask
    uint8_t swimSpeed = 10;
    uint8_t turnRate = 10;
    uint32_t animSpeed = 0;
    uint32_t swimFrames = 0;
    uint32_t secondFrames = 0;
};

class LumpWriter {
public:
    // Appends a lump; its index is the number of lumps added before it.
    void AddLump(std::vector<uint8_t> data, uint32_t kind, uint32_t mode = 0);
    void AddLump(Lump lump) { lumps_.push_back(std::move(lump)); }
    size_t Count() const { return lumps_.size(); }
    const std::vector<Lump>& Lumps() const { return lumps_; }

    // Whole archive bytes.
    std::vector<uint8_t> BuildFish(const FishInfo& info) const;
    std::vector<uint8_t> BuildResource() const;

    // Write the archive to path (through a temporary file, then rename). False with one
    // line on stderr on an I/O failure.
    bool WriteFish(const std::string& path, const FishInfo& info) const;
    bool WriteResource(const std::string& path) const;

private:
    std::vector<Lump> lumps_;
};

// Little-endian helpers, also used by tests that patch archive bytes.
void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t offset);
// Recomputes the size check (bitwise complement of the length) of an archive built
// here after its bytes were changed; fish: true for a fish archive, false for resource.
void FixSizeCheck(std::vector<uint8_t>& bytes, bool fish);

// Writes bytes to path atomically (temporary file, then rename).
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace reefpack
