// Command-line overrides of the stored preferences, one option per key of the settings
// table ("MaxFish" -> --max-fish N, "WantCaustic" -> --caustic / --no-caustic,
// "BGPath" -> --bg-path DIR). They apply on top of what the store holds, for this run
// only: nothing is written back. XScreenSaver's settings dialog drives the hack this way.
#pragma once

#include <string>
#include <vector>

#include "settings/Settings.h"

// The option name of a key, without dashes ("bg-type", "caustic"); empty for keys that
// take no override ("version").
std::string OverrideOptionName(const SETTINGKEY& key);

struct SETTINGOVERRIDE {
    const SETTINGKEY* key = nullptr;
    SETTINGVALUE value;
};

// Tries to read one override at argv[*i] ("--name", "-name", "--name=value",
// "--no-name" for booleans, "--name value" for integers and strings). Returns 1 and
// advances *i past what it used when it matched, 0 when argv[*i] is no override option,
// -1 (one line on stderr) when it is one but its value is missing or malformed.
int ParseSettingOverride(int argc, char** argv, int* i, std::vector<SETTINGOVERRIDE>* out);

void ApplySettingOverrides(const std::vector<SETTINGOVERRIDE>& overrides, SETTINGS* s, bool* mainMonitorOnly);

// The options that set these values, for another process's command line: "--name" or
// "--no-name" for booleans, "--name=VALUE" for the rest (so a value may start with "-").
std::vector<std::string> SettingOverrideArguments(const std::vector<SETTINGOVERRIDE>& overrides);

// The options as --help lines, generated from the table.
std::string SettingOverridesHelp();
// One --help line: the option indented, its text from `column` on; an option too wide
// for that gets a line of its own, the text below it in the column.
std::string HelpLine(const std::string& option, const std::string& text, size_t column);
