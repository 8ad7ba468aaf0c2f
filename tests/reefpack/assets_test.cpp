// The resource folder the build writes: the same bytes on every run, every archive valid,
// the slots the scene draws, species the aquarium can animate, a seamless sound loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "Assets.h"
#include "Pictures.h"
#include "data/FishFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "model/MilkshapeModel.h"
#include "test_support.h"

using namespace testsupport;

namespace {

std::vector<std::string> FilesIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> out;
    for (const std::string& n : ListFolder(dir))
        if (n[0] != '.' && n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(n);
    return out;
}

std::string Name(const char* field, size_t n) { return std::string(field, strnlen(field, n)); }

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
