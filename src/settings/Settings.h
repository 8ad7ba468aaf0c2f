// The settings record, the one table of preference keys (key, type, default, field), and
// the per-user store of module "kpFishSS" that loading and saving go through.
// Leans on libplist (Preferences.cpp) and the resource-folder lookup (Paths.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Every user choice; the view owns one by value and lends it to the scene, the aquarium
// and the configuration sheet. Four fields are declared only: nothing reads or writes
// them, and the store has no key for them.
struct SETTINGS {
    bool WANTCAUSTIC = true;
    int64_t WATERSHIFT = 6;  // log2 of water grid points per side (6 or 5)
    bool GRADUALFILL = true;
    int64_t LFISHSIZE = 100;  // percent
    float fishSize = 0.0f;    // declared only
    int32_t MIXFISH = 0;      // declared only
    int64_t MAX_FISH = 3;
    bool WANTBUBBLES = true;
    int32_t BGTYPE = 0;  // 0 capture, 1 desktop picture, 2 random from BGPath
    char BGPath[1024] = {};
    int32_t BGRES = 1;  // detail 0, 1, 2 (512, 1024, GL max pixels a side)
    bool PLAYSOUND = true;
    int16_t VOLUME = 100;  // as stored, unscaled
    bool RWATERLEVEL = true;
    int64_t WWATERLEVEL = 85;  // percent of the tank height
    bool STAYONSCREEN = false;
    bool RANDOMSIZES = false;
    int32_t SelectedFish = 0;          // declared only
    char FishPath[1024] = {};          // resource folder (bundled species)
    char FishPath2[1024] = {};         // per-user fish folder (downloads)
    char SelectedFishName[1024] = {};  // declared only
    char* fishSelection = nullptr;     // owned (malloc) until the aquarium setup takes it
    int64_t selectionSize = 0;         // bytes of fishSelection, NUL included
    bool LOWCPU = false;
    bool WANTSMS = false;
    bool SMSREVERSE = false;
    std::string FishSource;  // the settings dialog's fish source address; empty: none
};

// The stored version; any other value (or none) resets the store to the defaults.
#define SETTINGS_VERSION "1.7"
// Module name of the store; its file is <config dir>/kpFishSS.plist.
#define SETTINGS_MODULE "kpFishSS"

// (Not Bool/String: Xlib defines Bool as a macro.)
enum class SETTINGTYPE { Boolean, Integer, Text };

// A value on its way between the store and the record. Booleans use integer 0/1.
struct SETTINGVALUE {
    int64_t integer = 0;
    std::string text;
};

// One preference key. The table below is the single description of the store: loading,
// saving, the reset to defaults, command-line overrides and the configuration sheet
// all walk it.
struct SETTINGKEY {
    const char* key;
    SETTINGTYPE type;
    int64_t defaultInteger;   // Boolean (0/1) and Integer keys
    const char* defaultText;  // Text keys; null: the reset does not write this key
    const char* help;         // one line for --help and the sheet
    // Integer keys: the allowed values, both ends included. Options outside are refused,
    // stored values outside are limited on load, and the dialogs offer exactly this range.
    // Text keys: high > 0 is the longest text in bytes; a longer one is refused as an
    // option and read as the default from the store.
    int64_t low;
    int64_t high;
    // Copy between record (plus the view's MainMonitorOnly flag) and a value. Null for
    // "version", which fills nothing.
    void (*get)(const SETTINGS& s, bool mainMonitorOnly, SETTINGVALUE* out);
    void (*set)(SETTINGS* s, bool* mainMonitorOnly, const SETTINGVALUE& in);
};

extern const SETTINGKEY kSettingKeys[];
extern const size_t kSettingKeyCount;
const SETTINGKEY* FindSettingKey(const char* key);  // null when unknown

// A new record holding every default of the table (the view flag through *mainMonitorOnly
// when given). fishSelection is left as it was.
void DefaultSettings(SETTINGS* s, bool* mainMonitorOnly);

// Limits every integer field to its key's range (a stored FishSize of 200 would divide
// the species scale by zero) and puts the default in place of an over-long text. Each value moved is reported on stderr
// naming source (null: silently). Returns the number of values moved.
int LimitSettings(SETTINGS* s, const char* source);

// Releases the selection buffer if still owned; safe to repeat.
void FreeFishSelection(SETTINGS* s);

// Sets fishSelection to a fresh copy of text (selectionSize = length + 1).
bool SetFishSelection(SETTINGS* s, const char* text);

// Loads the record from the store, in this order: version, MainMonitorOnly, the folders,
// FishSelection, then every other key; a missing key reads as NO, 0 or "", a key holding
// the wrong type reads as its default (and the file is copied aside before any write).
// FishPath is the resource folder, FishPath2 the per-user fish folder.
// A store without "version" "1.7" is rewritten with every default (and the record gets
// them); then every integer is limited to its range (MAX_FISH to 1..3). Returns false only when the store could not be
// rewritten (reported on stderr; the in-memory defaults apply anyway).
bool LoadSettings(SETTINGS* s, bool* mainMonitorOnly);

// Writes every key but "version" from the record and the flag, "FishSelection" from
// selection (null: left as stored), and synchronises the store. False (one line on
// stderr) when it could not be written.
bool SaveSettings(const SETTINGS& s, bool mainMonitorOnly, const char* selection);

// Parses text as a value of the key's type ("yes"/"no"/"true"/"false"/"1"/"0" for
// booleans); false on malformed input. For command-line overrides.
bool ParseSettingValue(const SETTINGKEY& key, const char* text, SETTINGVALUE* out);
