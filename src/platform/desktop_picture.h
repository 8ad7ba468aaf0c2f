// The desktop picture on Linux: where the running desktop keeps its wallpaper setting
// (GNOME and Cinnamon through GSettings, MATE, Xfce's xfconf channel file, KDE Plasma's
// applet file), and decoding of what desktops ship (SVG through librsvg, WebP through
// libwebp, GNOME slideshow XML, and JPEG/PNG/GIF/BMP through stb_image).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An RGBA8 picture, top row first.
struct PICTURERGBA {
    std::vector<uint8_t> pixels;
    int width = 0;
    int height = 0;
};

// The monitor a view covers: its RandR name ("HDMI-1") and its place in the server's
// list. An empty name and index -1: no particular monitor.
struct MONITORID {
    std::string name;
    int index = -1;
};

// The wallpaper the desktop's own settings name, most likely desktop first (by
// XDG_CURRENT_DESKTOP), as absolute paths; settings that are absent or empty add nothing.
// Where a desktop keeps one picture per monitor (Xfce, KDE Plasma), the monitor's own
// comes before the desktop's single one. The paths are not checked for existence.
std::vector<std::string> DesktopWallpaperSettings(const MONITORID& monitor = {});

// Every picture worth trying for the desktop background, in order: the desktop's setting,
// the system's fixed pictures, then the fallback picture of the resource folder.
std::vector<std::string> DesktopPictureChain(const std::string& resourceDir, const MONITORID& monitor = {});

// The picture the fixed fallback path and the resource folder provide.
extern const char kFixedDesktopPicture[];
extern const char kResourceFallbackPicture[];

// Decodes a picture file of any supported kind. SVG is rendered with its longer side at
// most maxSide pixels (its own size when smaller); a slideshow XML is followed to its
// largest picture. False with one line on stderr for a missing, oversized or broken file.
bool LoadPictureRGBA(const std::string& path, int maxSide, PICTURERGBA* out);

// Decodes picture bytes already in memory (name only for the kind and for messages);
// a slideshow is followed relative to the name's folder.
bool DecodePictureData(const std::string& name, const std::string& data, int maxSide, PICTURERGBA* out);

// Tries DesktopPictureChain in order and decodes the first picture that loads; *chosen
// (optional) receives its path. False when nothing loads.
bool LoadDesktopPicture(const std::string& resourceDir, int maxSide, PICTURERGBA* out, std::string* chosen = nullptr);

// Pieces exposed for tests: parsers of the settings files and the slideshow.
std::string XfceLastImage(const std::string& channelXml);
std::string KdeWallpaperImage(const std::string& appletsrc);
// The monitor's own picture: Xfce's backdrop/screen0/monitor<NAME>/workspace0/last-image,
// else the older monitor<INDEX> forms; KDE's containment whose lastScreen is the screen
// plasmashellrc's [ScreenConnectors] gives the name (else the index). "" when none.
std::string XfceMonitorImage(const std::string& channelXml, const MONITORID& monitor);
std::string KdeScreenWallpaperImage(const std::string& appletsrc, const std::string& plasmashellrc,
                                    const MONITORID& monitor);
std::string SlideshowLargestPicture(const std::string& xml, const std::string& baseDir);
// A file:// URI or plain path as a local path ("" for other schemes).
std::string PathFromUriOrPath(const std::string& value);
