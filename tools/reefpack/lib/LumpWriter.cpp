// Lump archive writer: header, directory right after it, lumps in order.
#include "LumpWriter.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "Install.h"

namespace reefpack {

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    if (bytes.size() < offset + 4) bytes.resize(offset + 4);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t offset) {
    if (bytes.size() < offset + 4) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return v;
}

void FixSizeCheck(std::vector<uint8_t>& bytes, bool fish) {
    const size_t at = fish ? offsetof(FISHHEADER, sizeCheck) : offsetof(RESHEADER, sizeCheck);
    if (bytes.size() < at + 4) return;
    PutU32(bytes, at, ~static_cast<uint32_t>(bytes.size()));
}

void LumpWriter::AddLump(std::vector<uint8_t> data, uint32_t kind, uint32_t mode) {
    Lump lump;
    lump.data = std::move(data);
    lump.kind = kind;
    lump.mode = mode;
    lumps_.push_back(std::move(lump));
}

namespace {

// Appends the lumps after header + directory and fills each directory entry's first
// four fields (length, offset, kind, mode); entrySize is 16 or 28.
void Layout(const std::vector<Lump>& lumps, size_t headerSize, size_t entrySize, std::vector<uint8_t>* out) {
    out->assign(headerSize + lumps.size() * entrySize, 0);
    for (size_t k = 0; k < lumps.size(); ++k) {
        const size_t entry = headerSize + k * entrySize;
        PutU32(*out, entry + 0, static_cast<uint32_t>(lumps[k].data.size()));
        PutU32(*out, entry + 4, static_cast<uint32_t>(out->size()));
        PutU32(*out, entry + 8, lumps[k].kind);
        PutU32(*out, entry + 12, lumps[k].mode);
        out->insert(out->end(), lumps[k].data.begin(), lumps[k].data.end());
    }
}

}  // namespace

std::vector<uint8_t> LumpWriter::BuildFish(const FishInfo& info) const {
    std::vector<uint8_t> out;
    Layout(lumps_, sizeof(FISHHEADER), sizeof(FISHLUMP), &out);
    FISHHEADER h;
    std::memset(&h, 0, sizeof h);
    std::strncpy(h.name, info.displayName.c_str(), sizeof h.name - 1);
    std::memcpy(h.magic, kFishMagic, 4);
    h.versionMinor = info.versionMinor;
    h.versionMajor = info.versionMajor;
    h.flags = info.flags;
    h.lumpCount = static_cast<uint32_t>(lumps_.size());
    h.dirOffset = sizeof(FISHHEADER);
    h.waterType = info.waterType;
    h.modelScale = info.modelScale;
    h.alphaMask = info.alphaMask;
    h.swimSpeed = info.swimSpeed;
    h.turnRate = info.turnRate;
    h.animSpeed = info.animSpeed;
    h.swimFrames = info.swimFrames;
    h.secondFrames = info.secondFrames;
    h.sizeCheck = ~static_cast<uint32_t>(out.size());
    std::memcpy(out.data(), &h, sizeof h);
    return out;
}

std::vector<uint8_t> LumpWriter::BuildResource() const {
    std::vector<uint8_t> out;
    Layout(lumps_, sizeof(RESHEADER), sizeof(RESLUMP), &out);
    RESHEADER h;
    std::memset(&h, 0, sizeof h);
    std::memcpy(h.magic, kResMagic, 4);
    h.lumpCount = static_cast<uint32_t>(lumps_.size());
    h.dirOffset = sizeof(RESHEADER);
    h.sizeCheck = ~static_cast<uint32_t>(out.size());
    std::memcpy(out.data(), &h, sizeof h);
    return out;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (!WriteFileAtomically(path, bytes, &error)) {
        fprintf(stderr, "reefpack: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool LumpWriter::WriteFish(const std::string& path, const FishInfo& info) const {
    return WriteBytes(path, BuildFish(info));
}

bool LumpWriter::WriteResource(const std::string& path) const { return WriteBytes(path, BuildResource()); }

}  // namespace reefpack
