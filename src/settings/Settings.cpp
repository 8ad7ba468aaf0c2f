// The preference key table and the record operations built on it: defaults, the
// selection buffer and parsing of typed values. Loading and saving: Preferences.cpp.
#include "settings/Settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "settings/Paths.h"

namespace {

#define BOOL_KEY(name, field, def, help)                                                    \
    {                                                                                       \
        name, SETTINGTYPE::Boolean, def, nullptr, help, 0, 1,                               \
            [](const SETTINGS& s, bool, SETTINGVALUE* o) { o->integer = s.field ? 1 : 0; }, \
            [](SETTINGS* s, bool*, const SETTINGVALUE& v) { s->field = v.integer != 0; }    \
    }

#define INT_KEY(name, field, ctype, def, lo, hi, help)                                                  \
    {                                                                                                   \
        name, SETTINGTYPE::Integer, def, nullptr, help, lo, hi,                                         \
            [](const SETTINGS& s, bool, SETTINGVALUE* o) { o->integer = s.field; },                     \
            [](SETTINGS* s, bool*, const SETTINGVALUE& v) { s->field = static_cast<ctype>(v.integer); } \
    }

}  // namespace

// Order: the order in which the reset writes the defaults.
const SETTINGKEY kSettingKeys[] = {
    {"version", SETTINGTYPE::Text, 0, SETTINGS_VERSION, "version of the stored set", 0, 0, nullptr, nullptr},
    {"MainMonitorOnly", SETTINGTYPE::Boolean, 0, nullptr, "animate only on the main screen", 0, 1,
     [](const SETTINGS&, bool mmo, SETTINGVALUE* o) { o->integer = mmo ? 1 : 0; },
     [](SETTINGS*, bool* mmo, const SETTINGVALUE& v) {
         if (mmo) *mmo = v.integer != 0;
     }},
    // The species scale divides by 200 - FishSize: beyond 150 one fish fills the screen.
    INT_KEY("FishSize", LFISHSIZE, int64_t, 100, 50, 150, "fish size in percent"),
    INT_KEY("MaxFish", MAX_FISH, int64_t, 3, 1, 3, "number of fish"),
    INT_KEY("WaterRes", WATERSHIFT, int64_t, 6, 5, 6, "water grid: 6 for 64 x 64, 5 for 32 x 32"),
    BOOL_KEY("WantCaustic", WANTCAUSTIC, 1, "project caustic light onto the fish"),
    BOOL_KEY("WantBubbles", WANTBUBBLES, 1, "draw rising bubbles"),
    BOOL_KEY("GradualFill", GRADUALFILL, 1, "the tank starts empty and fills slowly"),
    INT_KEY("BGType", BGTYPE, int32_t, 0, 0, 2,
            "background: 0 screen capture, 1 desktop picture, 2 random picture from BGPath"),
    INT_KEY("BGRes", BGRES, int32_t, 1, 0, 2, "background detail: 0 (512), 1 (1024), 2 (largest)"),
    BOOL_KEY("RandomWaterLevel", RWATERLEVEL, 1, "pick a random water level"),
    INT_KEY("WantedWaterLevel", WWATERLEVEL, int64_t, 85, 20, 100, "water level in percent"),
    BOOL_KEY("PlaySound", PLAYSOUND, 1, "play the looping sound"),
    {"BGPath", SETTINGTYPE::Text, 0, "/library/Desktop Pictures/", "folder of background pictures", 0, 0,
     [](const SETTINGS& s, bool, SETTINGVALUE* o) { o->text = s.BGPath; },
     // The stored default names a macOS folder: here it stands for the user's pictures.
     [](SETTINGS* s, bool*, const SETTINGVALUE& v) {
         CopyToField(s->BGPath, sizeof s->BGPath, PlatformPictureFolder(v.text.c_str()).c_str());
     }},
    BOOL_KEY("StayOnScreen", STAYONSCREEN, 0, "fish stay on screen"),
    BOOL_KEY("RandomSizes", RANDOMSIZES, 0, "every fish gets a random size"),
    INT_KEY("Volume", VOLUME, int16_t, 100, 0, 100, "sound volume (100 is full)"),
    BOOL_KEY("LowCPU", LOWCPU, 0, "lower frame rate (at most 20 frames a second)"),
    BOOL_KEY("WantSMS", WANTSMS, 0, "tilt the water with a motion sensor"),
    BOOL_KEY("SMSReverse", SMSREVERSE, 0, "reverse the motion sensor's roll"),
    // Read by the settings dialog's More Fish page only. High: the most bytes; a longer
    // address is dropped rather than cut, since a cut one names something else.
    {"FishSource", SETTINGTYPE::Text, 0, "", "address of the fish source the settings dialog offers species from", 0,
     511, [](const SETTINGS& s, bool, SETTINGVALUE* o) { o->text = s.FishSource; },
     [](SETTINGS* s, bool*, const SETTINGVALUE& v) { s->FishSource = v.text; }},
    {"FishSelection", SETTINGTYPE::Text, 0, nullptr, "switched-off species: name#...##", 0, 0,
     [](const SETTINGS& s, bool, SETTINGVALUE* o) { o->text = s.fishSelection ? s.fishSelection : ""; },
     [](SETTINGS* s, bool*, const SETTINGVALUE& v) {
         FreeFishSelection(s);
         SetFishSelection(s, v.text.c_str());
     }},
};
const size_t kSettingKeyCount = sizeof kSettingKeys / sizeof kSettingKeys[0];

const SETTINGKEY* FindSettingKey(const char* key) {
    if (!key) return nullptr;
    for (size_t i = 0; i < kSettingKeyCount; i++)
        if (strcmp(kSettingKeys[i].key, key) == 0) return &kSettingKeys[i];
    return nullptr;
}

void DefaultSettings(SETTINGS* s, bool* mainMonitorOnly) {
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        if (!k.set || (k.type == SETTINGTYPE::Text && !k.defaultText)) continue;
        SETTINGVALUE v;
        v.integer = k.defaultInteger;
        if (k.defaultText) v.text = k.defaultText;
        bool dummy = false;
        k.set(s, mainMonitorOnly ? mainMonitorOnly : &dummy, v);
    }
}

int LimitSettings(SETTINGS* s, const char* source) {
    if (!s) return 0;
    int moved = 0;
    bool mmo = false;
    for (size_t i = 0; i < kSettingKeyCount; i++) {
        const SETTINGKEY& k = kSettingKeys[i];
        if (!k.get) continue;
        SETTINGVALUE v;
        k.get(*s, false, &v);
        if (k.type == SETTINGTYPE::Text) {
            if (k.high <= 0 || v.text.size() <= static_cast<uint64_t>(k.high)) continue;
            if (source)
                fprintf(stderr, "reefmere: %s: \"%s\" is longer than %lld bytes; not used\n", source, k.key,
                        static_cast<long long>(k.high));
            v.text = k.defaultText ? k.defaultText : "";
            k.set(s, &mmo, v);
            moved++;
            continue;
        }
        if (k.type != SETTINGTYPE::Integer) continue;
        int64_t limited = v.integer < k.low ? k.low : v.integer > k.high ? k.high : v.integer;
        if (limited == v.integer) continue;
        if (source)
            fprintf(stderr, "reefmere: %s: \"%s\" %lld is outside %lld to %lld; using %lld\n", source, k.key,
                    static_cast<long long>(v.integer), static_cast<long long>(k.low), static_cast<long long>(k.high),
                    static_cast<long long>(limited));
        v.integer = limited;
        k.set(s, &mmo, v);
        moved++;
    }
    return moved;
}

void FreeFishSelection(SETTINGS* s) {
    if (!s) return;
    free(s->fishSelection);
    s->fishSelection = nullptr;
    s->selectionSize = 0;
}

bool SetFishSelection(SETTINGS* s, const char* text) {
    if (!s) return false;
    if (!text) text = "";
    size_t n = strlen(text) + 1;
    char* buf = static_cast<char*>(malloc(n));
    if (!buf) return false;
    memcpy(buf, text, n);
    free(s->fishSelection);
    s->fishSelection = buf;
    s->selectionSize = static_cast<int64_t>(n);
    return true;
}

bool ParseSettingValue(const SETTINGKEY& key, const char* text, SETTINGVALUE* out) {
    if (!text || !out) return false;
    switch (key.type) {
        case SETTINGTYPE::Boolean:
            if (!strcasecmp(text, "yes") || !strcasecmp(text, "true") || !strcmp(text, "1") ||
                !strcasecmp(text, "on")) {
                out->integer = 1;
                return true;
            }
            if (!strcasecmp(text, "no") || !strcasecmp(text, "false") || !strcmp(text, "0") ||
                !strcasecmp(text, "off")) {
                out->integer = 0;
                return true;
            }
            return false;
        case SETTINGTYPE::Integer: {
            if (!text[0]) return false;
            char* end = nullptr;
            errno = 0;
            long long v = strtoll(text, &end, 10);
            if (errno != 0 || !end || *end != '\0') return false;
            out->integer = v;
            return true;
        }
        case SETTINGTYPE::Text:
            if (key.high > 0 && strlen(text) > static_cast<size_t>(key.high)) return false;
            out->text = text;
            return true;
    }
    return false;
}
