// What the build ships: the same bytes on every run, every archive valid, the resource
// slots the scene draws, species the engine animates and draws (each its own silhouette,
// the tail moving), a seamless sound loop; and bundled archives patched to hurt the kit
// and the engine: a NaN in the model, terminal escapes in names, frame counts that overflow.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <set>

#include "ArchiveTools.h"
#include "Assets.h"
#include "Pictures.h"
#include "Species.h"
#include "data/FishFile.h"
#include "data/LumpFormat.h"
#include "data/ResFile.h"
#include "fish/Fish.h"
#include "fish/FishData.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "model/MilkshapeModel.h"
#include "test_support.h"

using namespace testsupport;
using reefpack::BundledSpecies;

namespace {

std::vector<std::string> FilesIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> out;
    for (const std::string& n : ListFolder(dir))
        if (n[0] != '.' && n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(n);
    return out;
}

std::string Name(const char* field, size_t n) { return std::string(field, strnlen(field, n)); }

const std::string kBundled = ShareDir() + "/clownfish.fish";

// The archive `from` with `n` bytes written at each offset of `at`.
std::string Patched(const TempDir& dir, const std::string& from, std::initializer_list<size_t> at, const void* bytes,
                    size_t n) {
    std::vector<uint8_t> b = ReadFile(from);
    for (size_t a : at) memcpy(&b.at(a), bytes, n);
    WriteFile(dir / "patched.fish", b);
    return dir / "patched.fish";
}

constexpr int kCell = 200;

// Clears the frame and views it from `eye` with `up`; the view spans +-half units.
void View(float half, const float eye[3], const float up[3]) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-half, half, -half, half, -60, 60);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], 0, 0, 0, up[0], up[1], up[2]);
    const float light[4] = {0.3f, 1, 0.4f, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glColor4f(1, 1, 1, 1);
}

// Width over height of the pixels that are not the clear colour.
float Aspect(const std::vector<uint8_t>& cell) {
    int x0 = kCell, x1 = -1, y0 = kCell, y1 = -1;
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const uint8_t* p = &cell[(y * kCell + x) * 4];
            if (std::abs(p[0] - 26) < 3 && std::abs(p[1] - 77) < 3 && std::abs(p[2] - 115) < 3) continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    return x1 < x0 ? 0.0f : static_cast<float>(x1 - x0 + 1) / (y1 - y0 + 1);
}

}  // namespace

TEST(Assets, ASecondBuildGivesTheSameBytesAndEveryArchiveValidates) {
    TempDir dir;
    ASSERT_TRUE(reefpack::BuildAssets(dir.path()));
    const auto built = FilesIn(dir.path(), "");
    EXPECT_EQ(built.size(), 12u);  // nine species, the archive, the sound, the picture
    for (const std::string& f : built) EXPECT_TRUE(ReadFile(dir / f) == ReadFile(ShareDir() + "/" + f)) << f;
    std::vector<std::string> argv = {BinDir() + "/reefpack", "validate", ShareDir() + "/kelpish.tidewares"};
    for (const std::string& f : FilesIn(ShareDir(), ".fish")) argv.push_back(ShareDir() + "/" + f);
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
        Texture t;
        ASSERT_TRUE(f.lumps[k].kind == 1u && f.SeekLump(k) && LoadTGA2(&t, &f.stream)) << "slot " << k;
        EXPECT_TRUE(f.lumps[k].mode == 2u || (k != 1 && (k < 4 || k > 9))) << "slot " << k << " needs alpha";
        EXPECT_TRUE(k != 1 || (t.width == 256 && t.height == 32));
        if (k >= 4 && k <= 8) {  // captions, each different
            EXPECT_TRUE(t.width == 512 && t.height == 32) << k;
            captions.insert(std::vector<uint8_t>(t.imageData, t.imageData + t.width * t.height * t.bpp / 8));
        }
    }
    EXPECT_EQ(captions.size(), 5u);
}

// Joints named for the eyes and mouth, listed parent first, facing +z; keys of both
// kinds at both ends of both cycles, the last equal to the first so the loops are seamless.
TEST(Assets, EverySpeciesCanBeAnimatedAndSkinned) {
    std::set<int> waters;
    for (const std::string& file : FilesIn(ShareDir(), ".fish")) {
        SCOPED_TRACE(file);
        FISHFILE f;
        MS3D m;
        ASSERT_TRUE(f.Open((ShareDir() + "/" + file).c_str()) && f.SeekLump(0) && m.LoadFromFStream(&f.stream));
        waters.insert(f.header.waterType);
        const int sF = int(f.header.swimFrames), rF = int(f.header.secondFrames);
        std::vector<float> z(m.numJoints);
        std::map<std::string, int> named;
        for (int j = 0; j < m.numJoints; ++j) {
            const MS3DJOINT& jt = m.joints[j];
            const std::string parent = Name(jt.parentName, 32);
            int p = -1;
            for (int k = 0; k < j; ++k) p = Name(m.joints[k].name, 32) == parent ? k : p;
            EXPECT_TRUE(j == 0 ? parent.empty() : p >= 0) << Name(jt.name, 32) << " before its parent";
            z[j] = jt.position[2] + (p >= 0 ? z[p] : 0);
            named[Name(jt.name, 32)] = j;
            for (int kind = 0; kind < 2; ++kind) {
                const MS3DKEYFRAME* keys = kind ? jt.transKeys : jt.rotKeys;
                const int n = kind ? jt.numTransKeys : jt.numRotKeys;
                std::map<int, const MS3DKEYFRAME*> at;
                for (int i = 0; i < n; ++i) at[int(std::lround(keys[i].time * m.animationFPS))] = &keys[i];
                for (auto [a, b] : {std::pair<int, int>{2, sF + 2}, {sF + 3, sF + 3 + rF}}) {
                    ASSERT_TRUE(at[a] && at[b]) << Name(jt.name, 32) << " lacks a key at " << a << " or " << b;
                    EXPECT_TRUE(std::equal(at[a]->value, at[a]->value + 3, at[b]->value)) << Name(jt.name, 32);
                }
            }
        }
        for (const char* n : {"eyel", "eyer", "mouth", "caudal"}) ASSERT_TRUE(named.count(n)) << n;
        EXPECT_GT(z[named["mouth"]], z[named["eyel"]]);
        EXPECT_GT(z[named["eyel"]], z[named["caudal"]]) << "the fish must face +z";
        EXPECT_GE(f.LumpCount() - 1 - (f.header.alphaMask ? 1 : 0), 2) << "skins";
    }
    EXPECT_EQ(waters, (std::set<int>{0, 1}));
}

TEST(Assets, SoundLoopsWithoutAClick) {
    const std::vector<uint8_t> wav = ReadFile(ShareDir() + "/" + reefpack::kSoundName);
    ASSERT_GT(wav.size(), 44u);
    const int channels = wav[22];
    ASSERT_TRUE(!std::memcmp(wav.data() + 8, "WAVEfmt ", 8) && !std::memcmp(wav.data() + 36, "data", 4) &&
                wav[20] == 1 && wav[34] == 16);  // 16-bit PCM
    const size_t n = (wav.size() - 44) / 2 / channels;
    const double rate = wav[24] | wav[25] << 8 | wav[26] << 16;
    EXPECT_TRUE(n / rate >= 20 && n / rate <= 40) << n / rate;
    auto sample = [&](size_t i) {
        return double(int16_t(wav[44 + i * 2 * channels] | wav[45 + i * 2 * channels] << 8));
    };
    double sum2 = 0, diff2 = 0;
    for (size_t i = 1; i < n; ++i) sum2 += sample(i) * sample(i), diff2 += std::pow(sample(i) - sample(i - 1), 2);
    const double rms = std::sqrt(sum2 / n), rmsStep = std::sqrt(diff2 / (n - 1));
    EXPECT_TRUE(rms > 800 && rms < 16000) << rms;
    EXPECT_LT(std::fabs(sample(0) - sample(n - 1)), 4 * rmsStep) << "click at the loop point";
}

TEST(HostileArchive, ANanAnywhereInAVertexIsRefusedByBothChecks) {
    FISHFILE f;
    ASSERT_TRUE(f.Open(kBundled.c_str()));
    const uint32_t model = f.lumps[0].offset;
    // MS3D: 14-byte header, vertex count, then 15-byte vertices (flags, x, y, z, ...).
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t coordinate = 0; coordinate < 3; coordinate++) {
        for (size_t vertex : {0, 1}) {
            TempDir dir;
            std::string p = Patched(dir, kBundled, {model + 16 + vertex * 15 + 1 + coordinate * 4}, &nan, 4);
            std::string summary, error;
            EXPECT_FALSE(reefpack::ValidateArchive(p, &summary, &error)) << vertex << "/" << coordinate;
            FISHFILE g;
            MS3D m;
            ASSERT_TRUE(g.Open(p.c_str()) && g.SeekLump(0) && m.LoadFromFStream(&g.stream));
            EXPECT_TRUE(std::isnan(ModelExtent(m))) << vertex << "/" << coordinate;
        }
    }
}

TEST(HostileArchive, InspectEscapesControlBytesAndPrintsHugeFrameCounts) {
    TempDir dir;
    const char name[] = "Evil\x1b]0;owned\x07\x1b[2J";
    const uint32_t huge = 0x7fffffff;
    const std::string named = Patched(dir, kBundled, {offsetof(FISHHEADER, name)}, name, sizeof name);
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    std::string error;
    reefpack::InspectArchive(
        Patched(dir, named, {offsetof(FISHHEADER, swimFrames), offsetof(FISHHEADER, secondFrames)}, &huge, 4), out,
        &error);
    fclose(out);
    const std::string text(buf, len);
    free(buf);
    EXPECT_EQ(text.find_first_of("\x1b\x07"), std::string::npos) << text;
    EXPECT_NE(text.find("Evil\\x1b]0;owned\\x07\\x1b[2J"), std::string::npos) << text;
    EXPECT_NE(text.find("frames 2 to 2147483649"), std::string::npos) << text;
}

TEST(SpeciesRender, EngineDrawsEverySpeciesItsOwnShapeAndSwims) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(kCell, kCell));
    glClearColor(0.1f, 0.3f, 0.45f, 1);
    for (GLenum cap : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_BLEND, GL_CULL_FACE})
        glEnable(cap);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float amb[4] = {0.45f, 0.45f, 0.45f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb);
    const float above[3] = {0, 40, 0}, headUp[3] = {0, 0, 1}, side[3] = {40, 0, 0}, yUp[3] = {0, 1, 0};
    const std::map<std::string, std::pair<float, float>> shapes = {
        {"barracuda", {3.0f, 99}}, {"tetra", {2.0f, 99}}, {"discus", {0, 1.6f}}, {"angelfish", {0, 1.0f}}};
    for (const auto& species : BundledSpecies()) {
        SCOPED_TRACE(species.key);
        FISHINFO info;
        std::snprintf(info.fileName, sizeof info.fileName, "%s.fish", species.key.c_str());
        ASSERT_TRUE(info.LoadData((ShareDir() + "/").c_str(), 1.0f));
        FISHDATA* data = info.data;
        ONEFISH fish;
        ASSERT_TRUE(fish.SetupFromFishData(data));
        const float half = data->extent * 1.3f;

        // The side at the start of the rest cycle, the fish's left side, head to the left.
        fish.SetAnimation(data->swimFrames + 3, data->swimFrames + 3 + data->secondFrames, data->animSpeed, true,
                          false);
        fish.Update(0);
        View(half, side, yUp);
        fish.Draw(false);
        const float aspect = Aspect(ctx.ReadPixels());
        const auto range = shapes.count(species.key) ? shapes.at(species.key) : std::make_pair(0.0f, 99.0f);
        EXPECT_TRUE(aspect > range.first && aspect < range.second) << aspect << " times as long as tall";

        // Two moments half a stroke apart, from above: the tail swings across.
        fish.SetAnimation(2, data->swimFrames + 2, data->animSpeed, true, false);
        std::vector<std::vector<uint8_t>> tops;
        for (int shot = 0; shot < 2; ++shot) {
            for (int i = 0; i < 10; ++i) fish.Update(data->swimFrames / 20.0f * (shot ? 0.05 : 0.025));
            View(half, above, headUp);
            fish.Draw(false);
            tops.push_back(ctx.ReadPixels());
        }
        size_t changed = 0;
        for (size_t i = 0; i < tops[0].size(); i += 4) changed += tops[0][i + 2] != tops[1][i + 2];
        EXPECT_GT(changed, 150u) << "the swim cycle does not move the fish";
        fish.Release();
    }
}
