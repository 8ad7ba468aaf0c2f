// Desktop pictures: each desktop's settings (whole screen and per monitor), decoding,
// hostile slideshows and sizes (two monitors showing theirs: the program test; SVG: the
// app test). GSettings state is per process, so each lookup runs in a forked child.
#include <sys/wait.h>
#include <webp/encode.h>

#include <filesystem>
#include <functional>

#include "hack_support.h"
#include "platform/desktop_picture.h"

using namespace testsupport;
using namespace hacktest;

namespace {

// What fn returns in a forked child with the given environment, or "child failed".
std::string InChild(const std::map<std::string, std::string>& env, const std::function<std::string()>& fn) {
    TempDir out;
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
        _exit(WriteFile(out / "result", fn()) ? 0 : 2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ReadText(out / "result") : "child failed";
}

// DesktopWallpaperSettings in a child; the paths joined by \n.
std::string LookupInChild(const std::map<std::string, std::string>& env) {
    return InChild(env, [] {
        std::string out;
        for (const auto& p : DesktopWallpaperSettings()) out += p + "\n";
        return out;
    });
}

// The desktops' wallpaper keys for a schema folder; the keyfile backend then reads
// <XDG_CONFIG_HOME>/glib-2.0/settings/keyfile.
const char kSchemas[] = R"(<?xml version="1.0"?>
<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-uri-dark" type="s"><default>''</default></key>
  </schema>
  <schema id="org.gnome.desktop.interface" path="/org/gnome/desktop/interface/">
    <key name="color-scheme" type="s"><default>'default'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
  </schema>
</schemalist>
)";

class DesktopPicture : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"schemas", "config/glib-2.0/settings", "config/xfce4/xfconf/xfce-perchannel-xml",
                                "pkg/contents/images", "res"})
            ASSERT_TRUE(std::filesystem::create_directories(dir / sub)) << sub;
        ASSERT_TRUE(WriteFile(dir / "schemas/reefmere-test.gschema.xml", std::string(kSchemas)));
        ASSERT_EQ(testsupport::Run({"glib-compile-schemas", dir / "schemas"}).exitCode, 0);
    }
    std::map<std::string, std::string> Env(const std::string& desktop) {
        return {{"GSETTINGS_SCHEMA_DIR", dir / "schemas"},
                {"GSETTINGS_BACKEND", "keyfile"},
                {"XDG_CONFIG_HOME", dir / "config"},
                {"XDG_DATA_DIRS", dir / "nodata"},
                {"XDG_CURRENT_DESKTOP", desktop}};
    }
    TempDir dir;
};

}  // namespace

TEST_F(DesktopPicture, SettingsOfEachDesktopInTheDesktopsOrder) {
    // GNOME (with a dark variant), MATE, Xfce and KDE settings all present at once.
    const std::string d = dir.path();
    ASSERT_TRUE(WriteFile(dir / "config/glib-2.0/settings/keyfile",
                          "[org/gnome/desktop/background]\npicture-uri='file://" + d + "/gnome%20light.webp'\n" +
                              "picture-uri-dark='file://" + d + "/gnome-dark.webp'\n" +
                              "[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n" +
                              "[org/mate/desktop/background]\npicture-filename='" + d + "/mate.jpg'\n"));
    ASSERT_TRUE(WriteFile(dir / "config/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml",
                          XfceChannel({{"Virtual1", dir.path() + "/xfce&amp;co.png"}})));
    ASSERT_TRUE(WriteFile(dir / "config/plasma-org.kde.plasma.desktop-appletsrc",
                          "[Containments][1]\nplugin=org.kde.plasma.folder\n\n"
                          "[Containments][1][Wallpaper][org.kde.image][General]\r\nImage=file://" +
                              dir.path() + "/kde.png\r\n"));

    EXPECT_EQ(LookupInChild(Env("ubuntu:GNOME")), dir / "gnome-dark.webp\n" + dir / "gnome light.webp\n" +
                                                      dir / "mate.jpg\n" + dir / "xfce&co.png\n" + dir / "kde.png\n");
    // Each desktop's own setting first.
    for (auto [desktop, first] : {std::pair{"MATE", "mate.jpg"}, {"XFCE", "xfce&co.png"}, {"KDE", "kde.png"}}) {
        std::string got = LookupInChild(Env(desktop));
        EXPECT_EQ(got.substr(0, got.find('\n')), dir / first) << desktop;
    }
}

TEST_F(DesktopPicture, DecodesWebpSlideshowsAndHostileOnesNeitherHangNorOverflow) {
    PICTURERGBA pic;
    std::vector<uint8_t> px = Solid(64, 32, 10, 200, 30);
    uint8_t* webp = nullptr;
    const size_t n = WebPEncodeLosslessRGBA(px.data(), 64, 32, 64 * 4, &webp);
    const bool written = n > 0 && WriteFile(dir / "pic.webp", std::vector<uint8_t>(webp, webp + n));
    WebPFree(webp);
    ASSERT_TRUE(written);
    ASSERT_TRUE(LoadPictureRGBA(dir / "pic.webp", 1024, &pic));
    EXPECT_EQ(std::vector<int>({pic.width, pic.height, pic.pixels[(31 * 64 + 63) * 4 + 1]}),
              (std::vector<int>{64, 32, 200}));

    // Slideshow: sizes given in the XML, one picture in the relative form.
    ASSERT_TRUE(WritePNG(dir / "small.png", Solid(16, 16, 1, 2, 3), 16, 16));
    ASSERT_TRUE(WritePNG(dir / "big.png", Solid(48, 40, 9, 8, 7), 48, 40));
    ASSERT_TRUE(WriteFile(dir / "show.xml", "<background><starttime><year>2020</year></starttime><static>"
                                            "<duration>600</duration><file><size width=\"16\" height=\"16\">" +
                                                dir.path() +
                                                "/small.png</size><size width=\"48\" height=\"40\">"
                                                "big.png</size></file></static><transition><duration>5</duration>"
                                                "<from>small.png</from><to>big.png</to></transition></background>"));
    ASSERT_TRUE(LoadPictureRGBA(dir / "show.xml", 1024, &pic));
    EXPECT_EQ(pic.width, 48);
    EXPECT_EQ(pic.pixels[0], 9);
    // A slideshow naming itself ends with a diagnostic, not a loop.
    ASSERT_TRUE(WriteFile(dir / "loop.xml", "<background><static><file>loop.xml</file></static></background>"));
    EXPECT_FALSE(LoadPictureRGBA(dir / "loop.xml", 1024, &pic));
    // Hostile: a slideshow naming a FIFO, sizes past any integer, a picture taller than
    // any texture side though its pixel count is small.
    ASSERT_EQ(mkfifo((dir / "a.jpg").c_str(), 0600), 0);
    ASSERT_TRUE(WriteFile(dir / "show.xml", "<background><static><file>a.jpg</file></static></background>"));
    ASSERT_TRUE(WritePNG(dir / "tall.png", std::vector<uint8_t>(16385 * 4, 200), 1, 16385));
    testing::internal::CaptureStderr();
    for (const char* f : {"show.xml", "a.jpg", "tall.png"}) EXPECT_FALSE(LoadPictureRGBA(dir / f, 256, &pic)) << f;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(SlideshowLargestPicture("<background><static><file><size width=\"99999999999999999999\" "
                                      "height=\"99999999999999999999\">/big.jpg</size><size width=\"10\" "
                                      "height=\"10\">/small.jpg</size></file></static></background>",
                                      "/"),
              "/big.jpg");
}

TEST_F(DesktopPicture, BrokenSettingsAndPicturesFailAndTheChainMovesOn) {
    auto env = Env("GNOME");
    env["GSETTINGS_SCHEMA_DIR"] = dir / "no-schemas-here";
    EXPECT_EQ(LookupInChild(env), "");  // GSettings would abort on an unknown schema
    // A foreign URI scheme and an empty value are not paths.
    EXPECT_EQ(PathFromUriOrPath("https://example.invalid/a.jpg"), "");
    EXPECT_EQ(PathFromUriOrPath(""), "");
    EXPECT_EQ(XfceLastImage("<property name=\"last-image\" value=\"\"/>"), "");
    EXPECT_EQ(KdeWallpaperImage("[Other]\nImage=/x.png\n"), "");

    PICTURERGBA pic;
    ASSERT_TRUE(WriteFile(dir / "bad.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\""));
    ASSERT_TRUE(WriteFile(dir / "bad.webp", std::string("RIFF\x10\0\0\0WEBPVP8 \x04\0\0\0\xff\xff\xff\xff", 24)));
    ASSERT_TRUE(WriteFile(dir / "bad.jpg", std::string("\xff\xd8\xff\xe0 truncated", 14)));
    for (const std::string& bad : {dir / "bad.svg", dir / "bad.webp", dir / "bad.jpg", dir / "absent.png", dir.path()})
        EXPECT_FALSE(LoadPictureRGBA(bad, 512, &pic)) << bad;  // (a folder is not a picture)

    // KDE names a wallpaper package folder: its largest contents/images picture.
    ASSERT_TRUE(WritePNG(dir / "pkg/contents/images/8x4.png", Solid(8, 4, 1, 1, 1), 8, 4));
    ASSERT_TRUE(WritePNG(dir / "pkg/contents/images/32x16.png", Solid(32, 16, 50, 60, 70), 32, 16));
    ASSERT_TRUE(WriteFile(dir / "config/plasma-org.kde.plasma.desktop-appletsrc",
                          "[Containments][7][Wallpaper][org.kde.image][General]\nImage=" + dir.path() + "/pkg/\n"));
    EXPECT_EQ(LookupInChild(Env("KDE")), dir / "pkg/contents/images/32x16.png\n");

    // The desktop's broken picture is skipped; the resource folder's fallback loads.
    ASSERT_EQ(unlink((dir / "config/plasma-org.kde.plasma.desktop-appletsrc").c_str()), 0);
    ASSERT_TRUE(WriteFile(dir / "config/glib-2.0/settings/keyfile",
                          "[org/gnome/desktop/background]\npicture-uri='file://" + dir.path() + "/bad.jpg'\n"));
    ASSERT_TRUE(WritePNG(dir / "res" + "/" + kResourceFallbackPicture, Solid(4, 4, 0, 0, 255), 4, 4));
    std::string got = InChild(Env("GNOME"), [&] {
        std::string chosen;
        PICTURERGBA p;
        bool ok = LoadDesktopPicture(dir / "res", 512, &p, &chosen);
        return ok && p.pixels[2] == 255 ? chosen : "failed";
    });
    EXPECT_EQ(got, dir / "res/" + kResourceFallbackPicture);
}

TEST(MonitorPicture, XfceAndKdeLookUpTheMonitorsOwnPicture) {
    const std::string xfce =
        XfceChannel({{"eDP-1", "/p/lap.png"}, {"HDMI-1", "file:///p/tv%20set.png"}, {"1", "/p/1.jpg"}});
    const std::string oldXfce = "<property name=\"backdrop\"><property name=\"screen0\"><property name=\"monitor0\">"
                                "<property name=\"image-path\" value=\"/p/old.jpg\"/></property></property></property>";
    const std::string kde = "[Containments][1]\nlastScreen=0\n\n[Containments][2]\nlastScreen=1\n\n"
                            "[Containments][2][Wallpaper][org.kde.image][General]\nImage=file:///p/k1.jpg\n\n"
                            "[Containments][3]\nlastScreen=0\n\n[Containments][3][Wallpaper][org.kde.image][General]\n"
                            "Image=/p/k0/\n";
    const std::string shell = "[ScreenConnectors]\n0=DP-2\n1=HDMI-1\n";
    const struct {
        MONITORID m;
        std::string xfce, old, kde, kdeByIndex;
    } cases[] = {
        {{"HDMI-1", 0}, "/p/tv set.png", "/p/old.jpg", "/p/k1.jpg", "/p/k0"},
        {{"eDP-1", 1}, "/p/lap.png", "", "/p/k1.jpg", "/p/k1.jpg"},
        {{"DP-2", 1}, "/p/1.jpg", "", "/p/k0", "/p/k1.jpg"},
        {{"", -1}, "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m.name);
        EXPECT_EQ(XfceMonitorImage(xfce, c.m), c.xfce);
        EXPECT_EQ(XfceMonitorImage(oldXfce, c.m), c.old);
        EXPECT_EQ(KdeScreenWallpaperImage(kde, shell, c.m), c.kde);
        EXPECT_EQ(KdeScreenWallpaperImage(kde, "", c.m), c.kdeByIndex);
    }
    std::string deep;  // nesting without end stops the walk
    for (int i = 0; i < 100000; ++i) deep += "<property name=\"backdrop\">";
    EXPECT_EQ(XfceMonitorImage(deep, {"eDP-1", 0}), "");
}
