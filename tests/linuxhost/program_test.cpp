// reefmere on several monitors and from a staged install; its looping sound through SDL's
// disk driver; the command-line overrides from the settings table.
#include "hack_support.h"

#include <sys/stat.h>

#include <cstring>
#include <regex>
#include <tuple>

#include "platform/sdl_sound.h"
#include "settings/SettingOverrides.h"

using namespace testsupport;
using namespace hacktest;

TEST(Program, AViewPerMonitorWithItsOwnPictureAndSoundOnTheMainOneOnly) {
    XServer xs(1280, 480);
    ASSERT_TRUE(xs.ok());
    Display* dpy = xs.dpy;
    ASSERT_TRUE(SplitIntoTwoMonitors(dpy, 1280, 480));
    // The desktop: orange, read from the root before the windows cover it (the default background).
    PaintRoot(dpy, 0xff8c00);
    Window root = DefaultRootWindow(dpy);
    PrivateHome home;
    auto env = home.Env(xs.display());
    {
        // Main monitor only: the primary (right) animates, the left stays black.
        Process run;
        ASSERT_TRUE(run.Start(
            {Reefmere(), "--window", "--fullscreen", "--defaults", "--main-monitor-only", "--seconds", "60"}, env));
        EXPECT_TRUE(WaitFor(dpy, root, 640, 0, 640, 480, TankOverOrange)) << run.Output();
        EXPECT_LT(LitFraction(Grab(dpy, root, 0, 0, 640, 480)), 0.01);
        EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
    }
    {
        // A view per monitor, each with Xfce's picture for it: red on the left, blue on the right.
        ASSERT_TRUE(WritePNG(home / "red.png", Solid(64, 64, 230, 30, 20), 64, 64));
        ASSERT_TRUE(WritePNG(home / "blue.png", Solid(64, 64, 20, 40, 230), 64, 64));
        const std::string channel = home.ConfigDir() + "/xfce4/xfconf/xfce-perchannel-xml";
        ASSERT_EQ(testsupport::Run({"mkdir", "-p", channel}).exitCode, 0);
        ASSERT_TRUE(WriteFile(channel + "/xfce4-desktop.xml",
                              XfceChannel({{"LEFT", home / "red.png"}, {"RIGHT", home / "blue.png"}})));
        env["XDG_CURRENT_DESKTOP"] = "XFCE";
        PaintRoot(dpy, 0);
        Process run;
        ASSERT_TRUE(run.Start(
            {Reefmere(), "--window", "--fullscreen", "--defaults", "--bg-type", "1", "--seconds", "60"}, env));
        const auto mostly = [](int hot, int cold) {
            return [=](const Shot& s) {
                return Fraction(s, [&](const uint8_t* p) { return p[hot] > p[cold] + 60; }) > 0.5;
            };
        };
        EXPECT_TRUE(WaitFor(dpy, root, 0, 0, 640, 480, mostly(0, 2))) << run.Output();
        EXPECT_TRUE(WaitFor(dpy, root, 640, 0, 640, 480, mostly(2, 0))) << run.Output();
        EXPECT_EQ(run.Stop(SIGTERM, 5.0), 0) << run.Output();
    }
    // One saver window per monitor, as the daemon makes them; a hack on each: only the
    // main monitor's plays the sound.
    Process hacks[2];
    for (int i = 0; i < 2; ++i) {
        auto env = home.Env(xs.display());
        env["SDL_AUDIODRIVER"] = "disk";
        env["SDL_DISKAUDIOFILE"] = home / std::to_string(i);
        env["XSCREENSAVER_WINDOW"] = Hex(MakeSaverWindow(dpy, i * 640, 0, 640, 480));
        ASSERT_TRUE(hacks[i].Start({Reefmere(), "-root", "--defaults", "--volume", "100"}, env));
    }
    for (int i = 0; i < 400 && FileSize(home / "1") < 64 * 1024; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(FileSize(home / "1"), 64 * 1024) << hacks[1].Output();
    for (Process& p : hacks) EXPECT_EQ(p.Stop(SIGTERM, 5.0), 0);
    EXPECT_LE(FileSize(home / "0"), 0) << "the secondary monitor's hack opened a sound device";
}

TEST(Program, StagedInstallHoldsTheHackFilesAndTakesTheHacksOptions) {
    TempDir stage;
    RunResult r = testsupport::Run({"cmake", "--install", std::string(REEFMERE_BUILD_DIR), "--prefix", "/usr"},
                                   {{"DESTDIR", stage.path()}}, 120);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string usr = stage / "usr";
    for (const char* f :
         {"/bin/reefpack", "/bin/reefmere-config", "/share/reefmere/kelpish.tidewares", "/share/reefmere/kelpish.wav",
          "/share/xscreensaver/config/reefmere.xml", "/share/man/man6/reefmere.6.gz",
          "/share/man/man1/reefmere-config.1.gz", "/share/man/man1/reefpack.1.gz", "/share/doc/reefmere/copyright",
          "/share/doc/reefmere/changelog.gz"})
        EXPECT_TRUE(FileExists(usr + f)) << f;
    // bin/reefmere is a link the manifest lists, so packages and uninstalls see it.
    struct stat link;
    EXPECT_TRUE(lstat((usr + "/bin/reefmere").c_str(), &link) == 0 && S_ISLNK(link.st_mode));
    EXPECT_NE(ReadText(std::string(REEFMERE_BUILD_DIR) + "/install_manifest.txt").find("/usr/bin/reefmere\n"),
              std::string::npos);
    std::string desktop = ReadText(usr + "/share/applications/screensavers/reefmere.desktop");
    EXPECT_NE(desktop.find("Exec=reefmere -root"), std::string::npos);

    PrivateHome home;
    std::map<std::string, std::string> env = home.Env();
    env["REEFMERE_SHARE_DIR"] = "";
    // The staged copy from a new place (not the build tree), with the options the
    // XScreenSaver dialog passes: hack options taken, overrides for this run only.
    r = testsupport::Run(
        {usr + "/libexec/xscreensaver/reefmere", "-install", "-visual", "default", "-no-fps", "--headless", "--size",
         "320x200", "--seconds", "1", "--max-fish", "1", "--no-caustic", "--snapshot", home / "shot.png"},
        env, 120);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("not a readable resource archive"), std::string::npos) << r.output;
    Shot s;
    s.rgba = LoadImageRGBA(home / "shot.png", &s.width, &s.height);
    ASSERT_EQ(s.width, 320);
    EXPECT_TRUE(Lit(s));
    std::string plist = ReadText(home.StorePath());
    EXPECT_TRUE(std::regex_search(plist, std::regex("<key>MaxFish</key>\\s*<integer>3</integer>"))) << plist;
    EXPECT_TRUE(std::regex_search(plist, std::regex("<key>WantCaustic</key>\\s*<true/>"))) << plist;
}

namespace {

// A mono 16-bit WAV file at 8000 Hz holding n samples of a sawtooth (first sample loud).
std::vector<uint8_t> SawtoothWav(int n, std::vector<int16_t>* samples) {
    std::vector<uint8_t> f;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const char* tags = "RIFFWAVEfmt data";
    f.assign(tags, tags + 4);
    put(36 + 2 * n, 4);
    f.insert(f.end(), tags + 4, tags + 12);
    // Chunk size, PCM, mono, rate, bytes a second, bytes a frame, bits a sample.
    const std::pair<uint32_t, int> fmt[] = {{16, 4}, {1, 2}, {1, 2}, {8000, 4}, {16000, 4}, {2, 2}, {16, 2}};
    for (const auto& [v, bytes] : fmt) put(v, bytes);
    f.insert(f.end(), tags + 12, tags + 16);
    put(2 * n, 4);
    for (int i = 0; i < n; ++i) {
        samples->push_back(static_cast<int16_t>((i % 100) * 600 - 30000));
        put(static_cast<uint16_t>(samples->back()), 2);
    }
    return f;
}

// Plays through the disk driver until `count` samples from the first non-zero one (SDL
// may write silence before Play unpauses it) are written.
std::vector<int16_t> PlayToDisk(const std::string& wav, const std::string& out, float volume, size_t count) {
    ScopedEnv env({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", out}});
    SDLSOUND sound;
    EXPECT_TRUE(sound.Play(wav.c_str(), volume));
    std::vector<int16_t> got;
    for (int i = 0; i < 1000; ++i) {
        std::vector<uint8_t> raw = ReadFile(out);
        got.resize(raw.size() / 2);
        if (!got.empty()) std::memcpy(got.data(), raw.data(), got.size() * 2);
        size_t first = 0;
        while (first < got.size() && got[first] == 0) first++;
        if (got.size() - first >= count) {
            got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(first));
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sound.Stop();
    sound.Stop();  // repeatable
    return got;
}

// Parses a whole argument list; the count of overrides, or -1 on an error.
int ParseAll(std::vector<std::string> args, std::vector<SETTINGOVERRIDE>* out, std::vector<std::string>* rest) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    const int argc = static_cast<int>(argv.size());
    for (int i = 0; i < argc;) {
        int r = ParseSettingOverride(argc, argv.data(), &i, out);
        if (r < 0) return -1;
        if (r == 0) rest->push_back(argv[i++]);
    }
    return static_cast<int>(out->size());
}

}  // namespace

TEST(SDLSOUND, LoopsTheWavAtFullAndReducedGain) {
    TempDir dir;
    std::vector<int16_t> samples;
    ASSERT_TRUE(WriteFile(dir / "saw.wav", SawtoothWav(700, &samples)));
    std::vector<int16_t> out = PlayToDisk(dir / "saw.wav", dir / "full.raw", 100, 3 * 700);
    ASSERT_GE(out.size(), 3u * 700);
    for (size_t i = 0; i < 3 * 700; ++i) ASSERT_EQ(out[i], samples[i % 700]) << "sample " << i;

    out = PlayToDisk(dir / "saw.wav", dir / "half.raw", 50, 700);
    ASSERT_GE(out.size(), 700u);
    for (size_t i = 0; i < 700; ++i) ASSERT_NEAR(out[i], samples[i] / 2, 300) << "sample " << i;
}

TEST(SDLSOUND, GainAndFailures) {
    EXPECT_FLOAT_EQ(SoundGainForVolume(250), 1.0f);  // above the sheet's range: still full
    EXPECT_FLOAT_EQ(SoundGainForVolume(25), 0.25f);
    EXPECT_FLOAT_EQ(SoundGainForVolume(-3), 0.0f);
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "bad.wav", std::string("RIFF\x04\0\0\0WAVEjunk", 16)));
    ScopedEnv env({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", dir / "x.raw"}});
    SDLSOUND s;
    EXPECT_FALSE(s.Play((dir / "bad.wav").c_str(), 100));
    EXPECT_FALSE(s.Play((dir / "absent.wav").c_str(), 100));
    EXPECT_FALSE(s.Playing());
    // No audio device at all: silence, reported, not a crash.
    std::vector<int16_t> samples;
    ASSERT_TRUE(WriteFile(dir / "ok.wav", SawtoothWav(100, &samples)));
    ScopedEnv noDevice({{"SDL_AUDIODRIVER", std::string("no-such-driver")}});
    EXPECT_FALSE(s.Play((dir / "ok.wav").c_str(), 100));
}

TEST(SettingOverrides, ParsedAndAppliedOnTopOfTheRecord) {
    std::vector<SETTINGOVERRIDE> ov;
    std::vector<std::string> rest;
    ASSERT_EQ(ParseAll({"--max-fish", "2", "-root", "--no-caustic", "--bg-type=2", "--bg-path", "/pics dir", "-volume",
                        "40", "--main-monitor-only", "--low-cpu=yes", "--fps", "--bubbles=no"},
                       &ov, &rest),
              8);
    EXPECT_EQ(rest, (std::vector<std::string>{"-root", "--fps"}));
    SETTINGS s;
    bool mmo = false;
    DefaultSettings(&s, &mmo);
    s.GRADUALFILL = false;
    ApplySettingOverrides(ov, &s, &mmo);
    // GRADUALFILL last: untouched keys keep what was loaded.
    EXPECT_EQ(std::make_tuple(s.MAX_FISH, s.WANTCAUSTIC, s.BGTYPE, std::string(s.BGPath), s.VOLUME, mmo, s.LOWCPU,
                              s.WANTBUBBLES, s.GRADUALFILL),
              std::make_tuple(2, false, 2, std::string("/pics dir"), 40, true, true, false, false));
    FreeFishSelection(&s);

    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--max-fish"}, {"--max-fish", "2x"}, {"--caustic=perhaps"}, {"--no-caustic=yes"}})
        EXPECT_EQ(ParseAll(bad, &ov, &rest), -1) << bad[0];
    ov.clear();
    rest.clear();
    EXPECT_EQ(ParseAll({"--no-such-thing", "--version"}, &ov, &rest), 0);
    EXPECT_EQ(rest.size(), 2u);
}
