// The resource folder the build writes: same bytes on every run, every archive loads
// through the engine's readers, the resource archive carries what the scene draws, the
// species carry what the aquarium needs, and the sound loops cleanly.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>

#include "Assets.h"
#include "Pictures.h"
#include "Species.h"
#include "data/FishFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "model/MilkshapeModel.h"
#include "test_support.h"

using namespace testsupport;

namespace {

std::vector<std::string> FilesIn(const std::string& dir, const char* suffix) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > std::strlen(suffix) && n.compare(n.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
                out.push_back(n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string Name(const char* field, size_t n) { return std::string(field, strnlen(field, n)); }

uint32_t U32(const std::vector<uint8_t>& b, size_t o) {
    return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | static_cast<uint32_t>(b[o + 3]) << 24;
}

}  // namespace

TEST(Assets, SecondBuildGivesTheSameBytes) {
    TempDir dir;
    ASSERT_TRUE(reefpack::BuildAssets(dir.path()));
    std::vector<std::string> built = FilesIn(dir.path(), "");
    std::vector<std::string> expected = {"angelfish.fish", "barracuda.fish",    "clownfish.fish", "discus.fish",
                                         "fallback.jpg",   "goldfish.fish",     "kelpish.tidewares",
                                         "kelpish.wav",    "moorishidol.fish",  "pufferfish.fish", "tang.fish",
                                         "tetra.fish"};
    for (const std::string& f : expected) {
        std::vector<uint8_t> a = ReadFile(dir / f), b = ReadFile(ShareDir() + "/" + f);
        ASSERT_FALSE(a.empty()) << f;
        EXPECT_TRUE(a == b) << f << " differs from the build's own copy";
    }
}

TEST(Assets, EveryBundledArchivePassesValidate) {
    std::vector<std::string> argv = {BinDir() + "/reefpack", "validate"};
    for (const std::string& f : FilesIn(ShareDir(), ".fish")) argv.push_back(ShareDir() + "/" + f);
    argv.push_back(ShareDir() + "/kelpish.tidewares");
    ASSERT_GE(argv.size(), 11u);
    RunResult r = testsupport::Run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("FAILED"), std::string::npos) << r.output;
}

TEST(Assets, ResourceArchiveHoldsTheSlotsTheSceneDraws) {
    RESFILE f;
    ASSERT_TRUE(f.Open((ShareDir() + "/" + reefpack::kResourceArchiveName).c_str()));
    ASSERT_GE(f.LumpCount(), 10);
    std::set<std::vector<uint8_t>> captions;
    for (int k = 0; k < f.LumpCount(); ++k) {
        ASSERT_EQ(f.lumps[k].kind, 1u) << "slot " << k << " is not an image";
        Texture t;
        ASSERT_TRUE(f.SeekLump(k));
        ASSERT_TRUE(LoadTGA2(&t, &f.stream)) << "slot " << k;
        bool overlay = k == 1 || (k >= 4 && k <= 9);
        if (overlay) {
            EXPECT_EQ(f.lumps[k].mode, 2u) << "slot " << k << " needs alpha over the scene";
        }
        if (k == 1) {
            EXPECT_EQ(t.width, 256u);
            EXPECT_EQ(t.height, 32u);
        }
        if (k >= 4 && k <= 8) {
            EXPECT_EQ(t.width, 512u);
            EXPECT_EQ(t.height, 32u);
            // Text: a minority of bright pixels (alpha is the brightest channel), mostly
            // clear, and every caption different.
            size_t bright = 0, clear = 0, n = t.width * t.height, stride = t.bpp / 8;
            for (size_t i = 0; i < n; ++i) {
                uint8_t m = std::max({t.imageData[i * stride], t.imageData[i * stride + 1], t.imageData[i * stride + 2]});
                bright += m > 200;
                clear += m < 10;
            }
            EXPECT_GT(bright, n / 40) << "slot " << k;
            EXPECT_GT(clear, n / 2) << "slot " << k;
            captions.insert(std::vector<uint8_t>(t.imageData, t.imageData + n * stride));
        }
        if (k == 9) {
            EXPECT_EQ(t.width, t.height);
            // A ring: the rim is brighter than the centre and the corners are clear.
            size_t w = t.width, s = t.bpp / 8;
            auto at = [&](size_t x, size_t y) { return t.imageData[(y * w + x) * s + 2]; };
            EXPECT_LT(at(0, 0), 5);
            EXPECT_GT(at(w / 2, w - 1 - w / 12), at(w / 2, w / 2) + 60);
        }
    }
    EXPECT_EQ(captions.size(), 5u);
}

TEST(Assets, EverySpeciesHasEyesMouthOrderedJointsKeysAndSkins) {
    std::vector<std::string> files = FilesIn(ShareDir(), ".fish");
    ASSERT_GE(files.size(), 9u);
    std::set<int> waters;
    std::set<std::string> names;
    int masked = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        FISHFILE f;
        ASSERT_TRUE(f.Open((ShareDir() + "/" + file).c_str()));
        const FISHHEADER& h = f.header;
        waters.insert(h.waterType);
        names.insert(Name(h.name, 40));
        masked += h.alphaMask != 0;
        EXPECT_GE(h.swimSpeed, 2);
        EXPECT_LE(h.swimSpeed, 16);
        EXPECT_GE(h.turnRate, 20);
        EXPECT_LE(h.turnRate, 130);
        MS3D m;
        ASSERT_TRUE(f.SeekLump(0));
        ASSERT_TRUE(m.LoadFromFStream(&f.stream));
        EXPECT_GE(m.numTriangles, 300);
        EXPECT_LE(m.numTriangles, 5000);
        const int sF = static_cast<int>(h.swimFrames), rF = static_cast<int>(h.secondFrames);
        EXPECT_GE(m.totalFrames, sF + 3 + rF);

        // Joints: named eyes and mouth, parents listed first, bind positions giving a
        // fish that faces +z (eyes ahead of the tail).
        std::vector<float> absZ(m.numJoints);
        int eyel = -1, eyer = -1, mouth = -1, caudal = -1;
        for (int j = 0; j < m.numJoints; ++j) {
            std::string name = Name(m.joints[j].name, 32), parent = Name(m.joints[j].parentName, 32);
            int p = -1;
            for (int k = 0; k < m.numJoints; ++k)
                if (Name(m.joints[k].name, 32) == parent) p = k;
            if (j == 0) {
                EXPECT_TRUE(parent.empty());
            } else {
                EXPECT_TRUE(p >= 0 && p < j) << name << " comes before its parent " << parent;
            }
            absZ[j] = m.joints[j].position[2] + (p >= 0 ? absZ[p] : 0);
            if (name == "eyel") eyel = j;
            if (name == "eyer") eyer = j;
            if (name == "mouth") mouth = j;
            if (name == "caudal") caudal = j;

            // Keys: both kinds, ascending, covering both ends of both cycles; each
            // cycle's last key equals its first so the loop never jumps.
            const MS3DJOINT& jt = m.joints[j];
            ASSERT_GT(jt.numRotKeys, 0) << name;
            ASSERT_GT(jt.numTransKeys, 0) << name;
            for (const auto* keys : {jt.rotKeys, jt.transKeys}) {
                int n = keys == jt.rotKeys ? jt.numRotKeys : jt.numTransKeys;
                auto keyAt = [&](int frame) -> const MS3DKEYFRAME* {
                    for (int i = 0; i < n; ++i)
                        if (std::fabs(keys[i].time * m.animationFPS - frame) < 1e-3) return &keys[i];
                    return nullptr;
                };
                for (int i = 1; i < n; ++i) EXPECT_GT(keys[i].time, keys[i - 1].time) << name;
                for (auto range : {std::pair<int, int>{2, sF + 2}, {sF + 3, sF + 3 + rF}}) {
                    const MS3DKEYFRAME* a = keyAt(range.first);
                    const MS3DKEYFRAME* b = keyAt(range.second);
                    ASSERT_TRUE(a && b) << name << " lacks a key at frame " << range.first << " or " << range.second;
                    for (int c = 0; c < 3; ++c) EXPECT_EQ(a->value[c], b->value[c]) << name;
                }
            }
        }
        ASSERT_GE(eyel, 0);
        ASSERT_GE(eyer, 0);
        ASSERT_GE(mouth, 0);
        ASSERT_GE(caudal, 0);
        EXPECT_GT(absZ[eyel], absZ[caudal]) << "the fish must face +z";
        EXPECT_GT(absZ[mouth], absZ[eyel]);
        for (int v = 0; v < m.numVertices; ++v) ASSERT_LT(m.vertices[v].boneId, m.numJoints);

        // Skins (and the mask) decode and have power-of-two sides.
        int skins = 0;
        for (int k = 1; k < f.LumpCount(); ++k) {
            Texture t;
            ASSERT_TRUE(f.SeekLump(k));
            ASSERT_TRUE(LoadTGA2(&t, &f.stream)) << "lump " << k;
            EXPECT_EQ(t.width & (t.width - 1), 0u);
            EXPECT_EQ(t.height & (t.height - 1), 0u);
            EXPECT_EQ(t.bpp, 24u);
            skins += !(h.alphaMask && k == 1);
        }
        EXPECT_GE(skins, 2);
    }
    EXPECT_EQ(waters, (std::set<int>{0, 1}));
    EXPECT_EQ(names.size(), files.size());
    EXPECT_GE(masked, 1);
}

TEST(Assets, SoundLoopsWithoutAJumpAndIsNotSilent) {
    std::vector<uint8_t> wav = ReadFile(ShareDir() + "/" + reefpack::kSoundName);
    ASSERT_GT(wav.size(), 44u);
    EXPECT_LT(wav.size(), 4u * 1024 * 1024);
    ASSERT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    ASSERT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(wav[20] | wav[21] << 8, 1);  // PCM
    int channels = wav[22] | wav[23] << 8, bits = wav[34] | wav[35] << 8;
    uint32_t rate = U32(wav, 24);
    ASSERT_EQ(bits, 16);
    ASSERT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
    uint32_t bytes = U32(wav, 40);
    ASSERT_EQ(bytes + 44, wav.size());
    size_t n = bytes / 2 / channels;
    double seconds = static_cast<double>(n) / rate;
    EXPECT_GE(seconds, 20.0);
    EXPECT_LE(seconds, 40.0);
    auto sample = [&](size_t i) { return static_cast<int16_t>(wav[44 + i * 2 * channels] | wav[45 + i * 2 * channels] << 8); };
    double sum2 = 0, diff2 = 0;
    for (size_t i = 0; i < n; ++i) {
        sum2 += static_cast<double>(sample(i)) * sample(i);
        if (i) diff2 += std::pow(static_cast<double>(sample(i)) - sample(i - 1), 2);
    }
    double rms = std::sqrt(sum2 / n), rmsStep = std::sqrt(diff2 / (n - 1));
    EXPECT_GT(rms, 800.0) << "too quiet";
    EXPECT_LT(rms, 16000.0);
    // The seam is a step like any other: no larger than a few typical steps.
    double seam = std::fabs(static_cast<double>(sample(0)) - sample(n - 1));
    EXPECT_LT(seam, 4 * rmsStep) << "click at the loop point";
}

TEST(Assets, FallbackPictureIsAnUnderwaterScene) {
    int w = 0, h = 0;
    std::vector<uint8_t> px = LoadImageRGBA(ShareDir() + "/" + reefpack::kFallbackPictureName, &w, &h);
    ASSERT_EQ(w, 1920);
    ASSERT_EQ(h, 1080);
    auto avg = [&](int y0, int y1, int c) {
        double s = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 800; x < 1100; ++x) s += px[(static_cast<size_t>(y) * w + x) * 4 + c];
        return s / ((y1 - y0) * 300.0);
    };
    // Light from above: the top is brighter than the deep water; both are blue.
    EXPECT_GT(avg(0, 60, 2), avg(700, 760, 2) + 40);
    EXPECT_GT(avg(300, 360, 2), avg(300, 360, 0) + 40);
    // A sandy floor: warm at the bottom.
    EXPECT_GT(avg(1020, 1080, 0), avg(1020, 1080, 2));
}
