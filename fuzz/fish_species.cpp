// Fuzzes species loading and the first seconds of a fish's life: the input becomes a
// fish archive (header fields, model and skin lumps), either with raw lump bytes or with
// a well-formed model whose joints, keys, bone indices and frame ranges the input
// chooses. Whatever loads completely is filled into two fish that then swim, collide,
// rest and roll their eyes for a few frames (no GL context: drawing is left out).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "LumpWriter.h"
#include "Ms3dWriter.h"
#include "TgaWriter.h"
#include "fish/FishData.h"
#include "data/FishFile.h"
#include "fish/Fish.h"
#include "math/Camera.h"

namespace {

class Input {
public:
    Input(const uint8_t* d, size_t n) : data_(d), size_(n) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    float Float(float lo, float hi) { return lo + (hi - lo) * Byte() / 255.0f; }
    std::vector<uint8_t> Rest(size_t n) {
        size_t take = std::min(n, size_ - pos_);
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + take);
        pos_ += take;
        return out;
    }
    size_t Left() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string TempPath() {
    static std::string path = "/tmp/fuzz_fish_species." + std::to_string(static_cast<long>(getpid()));
    return path;
}

std::vector<uint8_t> BuiltModel(Input& in) {
    reefpack::Ms3dModelDesc m;
    m.animationFPS = in.Float(-5.0f, 60.0f);
    m.totalFrames = in.Byte();
    const char* names[] = {"body", "eyel", "eyer", "mouth", "EyeL", "tail"};
    int joints = in.Byte() % 7;
    for (int j = 0; j < joints; j++) {
        std::string parent = j == 0 ? "" : names[in.Byte() % j];
        int k = m.AddJoint(names[j % 6], parent, in.Float(-3, 3), in.Float(-3, 3), in.Float(-3, 3), in.Float(-5, 5),
                           in.Float(-5, 5), in.Float(-5, 5));
        int keys = in.Byte() % 4;
        for (int i = 0; i < keys; i++) {
            reefpack::Ms3dKey key;
            key.time = in.Float(-1.0f, 5.0f);
            for (float& v : key.value) v = in.Float(-4.0f, 4.0f);
            if (in.Byte() & 1)
                m.joints[k].rotKeys.push_back(key);
            else
                m.joints[k].transKeys.push_back(key);
        }
    }
    int materials = in.Byte() % 3;
    for (int i = 0; i < materials; i++) {
        reefpack::Ms3dMaterialDesc mat;
        mat.mode = (int8_t)in.Byte();
        m.materials.push_back(mat);
    }
    int groups = 1 + in.Byte() % 3;
    for (int g = 0; g < groups; g++) m.AddGroup("g", (int8_t)(in.Byte() % 5) - 1);
    int vertices = in.Byte() % 24;
    for (int v = 0; v < vertices; v++)
        m.AddVertex(in.Float(-10, 10), in.Float(-10, 10), in.Float(-10, 10), (int8_t)(in.Byte() % 9) - 1);
    int triangles = vertices ? in.Byte() % 24 : 0;
    for (int t = 0; t < triangles; t++)
        m.AddTriangle(in.Byte() % vertices, in.Byte() % vertices, in.Byte() % vertices, in.Byte() % groups);
    std::vector<uint8_t> bytes;
    reefpack::WriteMs3d(m, &bytes);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.Byte();
    reefpack::FishInfo info;
    info.displayName = "Fuzz";
    info.alphaMask = in.Byte() & 1;
    info.modelScale = in.Byte();
    info.swimSpeed = in.Byte();
    info.turnRate = in.Byte();
    info.animSpeed = in.Byte() * 40u;
    info.swimFrames = in.Byte() % 64;
    info.secondFrames = in.Byte() % 64;
    if (mode & 0x80) info.swimFrames |= 0xFFFFFF00u;  // huge and negative frame ranges
    const int lumps = 1 + in.Byte() % 5;

    reefpack::LumpWriter writer;
    if (mode & 1) {
        writer.AddLump(BuiltModel(in), kLumpKindModel);
        const int skinSize = 1 << (in.Byte() % 4);
        for (int k = 1; k < lumps; k++) {
            std::vector<uint8_t> pixels((size_t)skinSize * skinSize * 3, in.Byte());
            uint32_t kind = (in.Byte() % 4) ? kLumpKindTGA : 0;
            writer.AddLump(reefpack::EncodeTGA(pixels, skinSize, skinSize, 24, in.Byte() & 1), kind, in.Byte() % 3);
        }
    } else {
        size_t share = in.Left() / lumps + 1;
        for (int k = 0; k < lumps; k++) writer.AddLump(in.Rest(share), k == 0 ? kLumpKindModel : kLumpKindTGA, k % 3);
    }
    if (!reefpack::WriteBytes(TempPath(), writer.BuildFish(info))) return 0;

    FISHFILE archive;
    if (!archive.Open(TempPath().c_str())) return 0;
    FISHDATA species;
    bool ok = species.Load(&archive, in.Float(0.1f, 2.0f)) && species.Complete();
    archive.Close();
    if (!ok) return 0;

    ONEFISH fish[2];
    for (ONEFISH& f : fish) {
        if (!f.SetupFromFishData(&species)) return 0;
        f.Reset();
        f.SetAction(FISH_CRUISING);
        f.position = VECTOR3D{0, -10, 0};
    }
    fish[1].position.x = 0.5f;
    const FRUSTUM view = CAMERA{}.Frustum();
    for (int frame = 0; frame < 12; frame++) {
        if (frame == 6) fish[0].SetAction(FISH_RESTING);
        for (ONEFISH& f : fish) f.Move(fish, 2, 1.0f, 0.1f + 0.05f * (frame % 3), frame & 1, view);
    }
    return 0;
}
