// Lump archive layout: a header, a directory of fixed-size entries and opaque lumps.
// Two kinds share the design: fish archives ("FISH", one species each) and the resource
// archive ("KELP", the system's own textures). All integers little-endian, offsets from
// the start of the file. Readers: data/FishFile.h, data/ResFile.h; writer:
// tools/reefpack/lib/LumpWriter.h.
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "lump archive records are read straight from little-endian files");

// Fish archive magic, bytes 40..43: "FISH".
constexpr char kFishMagic[4] = {'F', 'I', 'S', 'H'};
// Resource archive magic, bytes 0..3: "KELP".
constexpr char kResMagic[4] = {'K', 'E', 'L', 'P'};

// Newest fish archive format read: 1.0 (major 0 with any minor is older).
constexpr uint8_t kFishVersionMajor = 1;
constexpr uint8_t kFishVersionMinor = 0;
// Flag bit 0 marks a format this reader does not understand.
constexpr uint32_t kFishFlagUnsupported = 0x00000001u;

// Directory kind of a lump holding a TGA image; any other value is not an image.
constexpr uint32_t kLumpKindTGA = 1;
// By convention lump 0 of a fish archive is the species' MilkShape 3D model.
constexpr uint32_t kLumpKindModel = 0;

#pragma pack(push, 1)

// Fish archive header, 84 bytes at offset 0.
struct FISHHEADER {
    char name[40];  // display name, zero-terminated within the 40 bytes
    char magic[4];  // "FISH"
    uint8_t versionMinor;
    uint8_t versionMajor;
    uint8_t reserved0[2];
    uint32_t flags;  // bit 0 must be clear
    uint32_t lumpCount;
    uint32_t sizeCheck;  // ~(total file length in bytes)
    uint32_t dirOffset;
    uint8_t waterType;   // 0 saltwater, 1 freshwater
    uint8_t modelScale;  // percent
    uint8_t alphaMask;   // non-zero: lump 1 is a shared greyscale alpha mask
    uint8_t swimSpeed;
    uint8_t turnRate;
    uint8_t reserved1[3];
    uint32_t animSpeed;     // swim animation playback speed
    uint32_t swimFrames;    // swim sequence frame count
    uint32_t secondFrames;  // second sequence frame count
};

// Fish archive directory entry, 16 bytes.
struct FISHLUMP {
    uint32_t length;  // bytes
    uint32_t offset;  // from the start of the file
    uint32_t kind;    // kLumpKindTGA or not an image
    uint32_t mode;    // texture mode for texture slot k (k = this entry's index)
};

// Resource archive header, 24 bytes at offset 0.
struct RESHEADER {
    char magic[4];  // "KELP"
    uint8_t reserved[8];
    uint32_t lumpCount;
    uint32_t sizeCheck;  // ~(total file length in bytes)
    uint32_t dirOffset;
};

// Resource archive directory entry, 28 bytes.
struct RESLUMP {
    uint32_t length;
    uint32_t offset;
    uint32_t kind;
    uint32_t mode;  // texture mode
    uint8_t reserved[12];
};

#pragma pack(pop)

static_assert(sizeof(FISHHEADER) == 84, "fish archive header is 84 bytes");
static_assert(sizeof(FISHLUMP) == 16, "fish archive directory entry is 16 bytes");
static_assert(sizeof(RESHEADER) == 24, "resource archive header is 24 bytes");
static_assert(sizeof(RESLUMP) == 28, "resource archive directory entry is 28 bytes");
static_assert(offsetof(FISHHEADER, magic) == 40 && offsetof(FISHHEADER, flags) == 48 &&
                  offsetof(FISHHEADER, dirOffset) == 60 && offsetof(FISHHEADER, waterType) == 64 &&
                  offsetof(FISHHEADER, animSpeed) == 72,
              "fish archive header layout");
static_assert(offsetof(RESHEADER, lumpCount) == 12 && offsetof(RESHEADER, dirOffset) == 20,
              "resource archive header layout");
