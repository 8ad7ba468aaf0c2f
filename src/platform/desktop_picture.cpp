// Where the desktop keeps its wallpaper: GSettings for GNOME, Cinnamon and MATE (each
// schema looked up before use, since asking GSettings for a missing schema aborts), the
// xfconf channel file of Xfce, the applet file of KDE Plasma. See desktop_picture.h.
#include "platform/desktop_picture.h"

#include <gio/gio.h>

#include <algorithm>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sstream>
#include <sys/stat.h>

#include "math/RegularFile.h"

const char kFixedDesktopPicture[] = "/Library/Desktop Pictures/Aqua Blue.jpg";
const char kResourceFallbackPicture[] = "fallback.jpg";

namespace {

// Debian's chosen desktop background (an alternatives link) before the fixed path.
const char kDebianDesktopBackground[] = "/usr/share/images/desktop-base/desktop-background";

std::string ConfigHome() {
    const char* x = std::getenv("XDG_CONFIG_HOME");
    if (x && *x == '/') return x;
    const char* h = std::getenv("HOME");
    return std::string(h ? h : "") + "/.config";
}

bool ReadText(const std::string& path, std::string* text) {
    return ReadRegularFile(path.c_str(), 4u << 20, text);  // settings files are small
}

bool IsDir(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string XmlUnescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        static const struct {
            const char* ent;
            char ch;
        } kEnts[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool done = false;
        for (const auto& e : kEnts) {
            size_t n = std::strlen(e.ent);
            if (s.compare(i, n, e.ent) == 0) {
                out += e.ch;
                i += n - 1;
                done = true;
                break;
            }
        }
        if (!done) out += '&';
    }
    return out;
}

std::string AttrValue(const std::string& tag, const char* name) {
    std::string key = std::string(" ") + name + "=\"";
    size_t at = tag.find(key);
    if (at == std::string::npos) return "";
    size_t start = at + key.size();
    size_t end = tag.find('"', start);
    if (end == std::string::npos) return "";
    return XmlUnescape(tag.substr(start, end - start));
}

// A string key of a GSettings schema, or "" when the schema or key is not installed.
std::string GSettingsString(const char* schemaId, const char* key) {
    GSettingsSchemaSource* src = g_settings_schema_source_get_default();
    if (!src) return "";
    GSettingsSchema* schema = g_settings_schema_source_lookup(src, schemaId, TRUE);
    if (!schema) return "";
    std::string value;
    if (g_settings_schema_has_key(schema, key)) {
        GSettings* s = g_settings_new_full(schema, nullptr, nullptr);
        GVariant* v = g_settings_get_value(s, key);
        if (v && g_variant_is_of_type(v, G_VARIANT_TYPE_STRING)) value = g_variant_get_string(v, nullptr);
        if (v) g_variant_unref(v);
        g_object_unref(s);
    }
    g_settings_schema_unref(schema);
    return value;
}

// A KDE wallpaper package folder holds contents/images/<W>x<H>.<ext>; take the largest.
std::string KdePackagePicture(const std::string& dir) {
    std::string images = dir + "/contents/images";
    DIR* d = opendir(images.c_str());
    if (!d) return "";
    std::string best;
    long long bestPixels = -1;
    while (dirent* e = readdir(d)) {
        int w = 0, h = 0;
        if (std::sscanf(e->d_name, "%dx%d.", &w, &h) != 2 || w <= 0 || h <= 0) continue;
        if (1LL * w * h > bestPixels) {
            bestPixels = 1LL * w * h;
            best = images + "/" + e->d_name;
        }
    }
    closedir(d);
    return best;
}

// Every valued property of an xfconf channel file by its path
// ("/backdrop/screen0/monitor0/workspace0/last-image"); the first of a path wins.
std::map<std::string, std::string> XfconfProperties(const std::string& xml) {
    const size_t kMaxPath = 1024;  // real paths are short; a hostile file must not nest forever
    std::map<std::string, std::string> out;
    std::vector<std::string> open;
    size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        size_t end = xml.find('>', pos);
        if (end == std::string::npos) break;
        std::string tag = xml.substr(pos, end - pos + 1);
        pos = end + 1;
        if (tag.compare(0, 10, "</property") == 0) {
            if (!open.empty()) open.pop_back();
            continue;
        }
        if (tag.compare(0, 10, "<property ") != 0) continue;
        std::string path = (open.empty() ? "" : open.back()) + "/" + AttrValue(tag, "name");
        if (path.size() > kMaxPath) break;
        std::string value = AttrValue(tag, "value");
        if (!value.empty()) out.emplace(path, value);
        if (tag[tag.size() - 2] != '/') open.push_back(path);
    }
    return out;
}

// An ini-style file as [group] -> key -> value (the first of each wins).
std::map<std::string, std::map<std::string, std::string>> IniGroups(const std::string& text) {
    std::map<std::string, std::map<std::string, std::string>> out;
    std::istringstream in(text);
    std::string line, group;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            group = line;
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos) out[group].emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return out;
}

// GNOME, Cinnamon and MATE keep one picture for all monitors.
void AddGnome(std::vector<std::string>* out, const MONITORID&) {
    // GNOME 42 and later keep a separate picture for the dark style.
    std::string scheme = GSettingsString("org.gnome.desktop.interface", "color-scheme");
    if (scheme == "prefer-dark") {
        std::string dark = PathFromUriOrPath(GSettingsString("org.gnome.desktop.background", "picture-uri-dark"));
        if (!dark.empty()) out->push_back(dark);
    }
    std::string p = PathFromUriOrPath(GSettingsString("org.gnome.desktop.background", "picture-uri"));
    if (!p.empty()) out->push_back(p);
}

void AddCinnamon(std::vector<std::string>* out, const MONITORID&) {
    std::string p = PathFromUriOrPath(GSettingsString("org.cinnamon.desktop.background", "picture-uri"));
    if (!p.empty()) out->push_back(p);
}

void AddMate(std::vector<std::string>* out, const MONITORID&) {
    std::string p = PathFromUriOrPath(GSettingsString("org.mate.background", "picture-filename"));
    if (!p.empty()) out->push_back(p);
}

void AddXfce(std::vector<std::string>* out, const MONITORID& monitor) {
    std::string xml;
    if (!ReadText(ConfigHome() + "/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml", &xml)) return;
    for (const std::string& p : {XfceMonitorImage(xml, monitor), XfceLastImage(xml)})
        if (!p.empty()) out->push_back(p);
}

void AddKde(std::vector<std::string>* out, const MONITORID& monitor) {
    std::string rc, shell;
    if (!ReadText(ConfigHome() + "/plasma-org.kde.plasma.desktop-appletsrc", &rc)) return;
    if (!ReadText(ConfigHome() + "/plasmashellrc", &shell)) shell.clear();
    for (std::string p : {KdeScreenWallpaperImage(rc, shell, monitor), KdeWallpaperImage(rc)}) {
        if (!p.empty() && IsDir(p)) p = KdePackagePicture(p);
        if (!p.empty()) out->push_back(p);
    }
}

bool Contains(const std::string& desktops, const char* name) {
    // XDG_CURRENT_DESKTOP is a colon-separated list, compared case-insensitively.
    std::string d = ":" + desktops + ":";
    std::string n = std::string(":") + name + ":";
    std::transform(d.begin(), d.end(), d.begin(), ::tolower);
    std::transform(n.begin(), n.end(), n.begin(), ::tolower);
    return d.find(n) != std::string::npos;
}

}  // namespace

std::string PathFromUriOrPath(const std::string& value) {
    if (value.empty()) return "";
    if (value[0] == '/') return value;
    if (value.compare(0, 7, "file://") != 0) return "";
    gchar* p = g_filename_from_uri(value.c_str(), nullptr, nullptr);
    if (!p) return "";
    std::string out = p;
    g_free(p);
    return out;
}

std::string XfceLastImage(const std::string& channelXml) {
    // <property name="last-image" type="string" value="/path"/> under
    // backdrop/screenN/monitorX/workspaceN; the first one found is the primary monitor's
    // first workspace in the files xfdesktop writes.
    size_t pos = 0;
    while ((pos = channelXml.find("<property", pos)) != std::string::npos) {
        size_t end = channelXml.find('>', pos);
        if (end == std::string::npos) break;
        std::string tag = channelXml.substr(pos, end - pos);
        pos = end;
        if (AttrValue(tag, "name") != "last-image") continue;
        std::string v = PathFromUriOrPath(AttrValue(tag, "value"));
        if (!v.empty()) return v;
    }
    return "";
}

std::string KdeWallpaperImage(const std::string& appletsrc) {
    // [Containments][N][Wallpaper][org.kde.image][General] with Image=file:///path.
    std::istringstream in(appletsrc);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inGroup = line.find("[Wallpaper][org.kde.image][General]") != std::string::npos;
            continue;
        }
        if (!inGroup || line.compare(0, 6, "Image=") != 0) continue;
        std::string v = PathFromUriOrPath(line.substr(6));
        if (!v.empty()) {
            while (v.size() > 1 && v.back() == '/') v.pop_back();
            return v;
        }
    }
    return "";
}

std::string XfceMonitorImage(const std::string& channelXml, const MONITORID& monitor) {
    std::vector<std::string> keys;
    const std::string screen = "/backdrop/screen0/monitor";
    if (!monitor.name.empty()) keys.push_back(screen + monitor.name + "/workspace0/last-image");
    if (monitor.index >= 0) {
        const std::string n = std::to_string(monitor.index);
        keys.push_back(screen + n + "/workspace0/last-image");
        keys.push_back(screen + n + "/image-path");
    }
    if (keys.empty()) return "";
    const std::map<std::string, std::string> props = XfconfProperties(channelXml);
    for (const std::string& k : keys) {
        auto it = props.find(k);
        std::string p = it == props.end() ? "" : PathFromUriOrPath(it->second);
        if (!p.empty()) return p;
    }
    return "";
}

std::string KdeScreenWallpaperImage(const std::string& appletsrc, const std::string& plasmashellrc,
                                    const MONITORID& monitor) {
    std::string screen = monitor.index >= 0 ? std::to_string(monitor.index) : "";
    if (!monitor.name.empty()) {
        auto shell = IniGroups(plasmashellrc);
        for (const auto& [number, connector] : shell["[ScreenConnectors]"])
            if (connector == monitor.name) screen = number;
    }
    if (screen.empty()) return "";
    // [Containments][N] holds lastScreen; [Containments][N][Wallpaper][org.kde.image][General]
    // its picture. Panels have a screen too but no picture.
    const auto groups = IniGroups(appletsrc);
    for (const auto& [group, keys] : groups) {
        if (group.compare(0, 15, "[Containments][") != 0 || group.find(']', 15) != group.size() - 1) continue;
        auto last = keys.find("lastScreen");
        if (last == keys.end() || last->second != screen) continue;
        auto wall = groups.find(group + "[Wallpaper][org.kde.image][General]");
        if (wall == groups.end()) continue;
        auto image = wall->second.find("Image");
        std::string p = image == wall->second.end() ? "" : PathFromUriOrPath(image->second);
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        if (!p.empty()) return p;
    }
    return "";
}

std::vector<std::string> DesktopWallpaperSettings(const MONITORID& monitor) {
    const char* cur = std::getenv("XDG_CURRENT_DESKTOP");
    std::string desk = cur ? cur : "";
    using Adder = void (*)(std::vector<std::string>*, const MONITORID&);
    struct Entry {
        const char* name;
        Adder add;
    };
    // Default order when the desktop is not named: the GSettings desktops first.
    std::vector<Entry> order = {
        {"GNOME", AddGnome}, {"X-Cinnamon", AddCinnamon}, {"MATE", AddMate}, {"XFCE", AddXfce}, {"KDE", AddKde}};
    std::stable_partition(order.begin(), order.end(), [&](const Entry& e) { return Contains(desk, e.name); });
    std::vector<std::string> out;
    for (const Entry& e : order) e.add(&out, monitor);
    return out;
}

std::vector<std::string> DesktopPictureChain(const std::string& resourceDir, const MONITORID& monitor) {
    std::vector<std::string> chain = DesktopWallpaperSettings(monitor);
    chain.push_back(kDebianDesktopBackground);
    chain.push_back(kFixedDesktopPicture);
    if (!resourceDir.empty()) chain.push_back(resourceDir + "/" + kResourceFallbackPicture);
    return chain;
}

bool LoadDesktopPicture(const std::string& resourceDir, int maxSide, PICTURERGBA* out, std::string* chosen) {
    for (const std::string& p : DesktopPictureChain(resourceDir)) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0) continue;  // absent candidates are normal, not errors
        if (LoadPictureRGBA(p, maxSide, out)) {
            if (chosen) *chosen = p;
            return true;
        }
    }
    return false;
}
