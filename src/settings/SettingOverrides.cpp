// Command-line overrides generated from the settings table; see SettingOverrides.h.
#include "settings/SettingOverrides.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// "BGType" -> "bg-type", "LowCPU" -> "low-cpu", "SMSReverse" -> "sms-reverse".
std::string Kebab(const char* key) {
    std::string out;
    size_t n = std::strlen(key);
    for (size_t i = 0; i < n; ++i) {
        char c = key[i];
        bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
        if (upper && i > 0) {
            bool prevLower = std::islower(static_cast<unsigned char>(key[i - 1])) != 0;
            bool nextLower = i + 1 < n && std::islower(static_cast<unsigned char>(key[i + 1]));
            bool prevUpper = std::isupper(static_cast<unsigned char>(key[i - 1])) != 0;
            if (prevLower || (prevUpper && nextLower)) out += '-';
        }
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

std::string OverrideOptionName(const SETTINGKEY& key) {
    if (!key.set) return "";
    std::string name = Kebab(key.key);
    // "WantCaustic" reads better as --caustic / --no-caustic.
    if (key.type == SETTINGTYPE::Boolean && name.compare(0, 5, "want-") == 0) name = name.substr(5);
    return name;
}

int ParseSettingOverride(int argc, char** argv, int* i, std::vector<SETTINGOVERRIDE>* out) {
    const char* arg = argv[*i];
    if (!arg || arg[0] != '-') return 0;
    const char* name = arg + (arg[1] == '-' ? 2 : 1);
    std::string opt = name;
    std::string inlineValue;
    bool hasInline = false;
    size_t eq = opt.find('=');
    if (eq != std::string::npos) {
        inlineValue = opt.substr(eq + 1);
        opt = opt.substr(0, eq);
        hasInline = true;
    }
    for (size_t k = 0; k < kSettingKeyCount; ++k) {
        const SETTINGKEY& key = kSettingKeys[k];
        std::string o = OverrideOptionName(key);
        if (o.empty()) continue;
        SETTINGOVERRIDE ov;
        ov.key = &key;
        if (key.type == SETTINGTYPE::Boolean) {
            bool negated = opt == "no-" + o;
            if (opt != o && !negated) continue;
            if (hasInline) {
                if (negated || !ParseSettingValue(key, inlineValue.c_str(), &ov.value)) {
                    std::fprintf(stderr, "reefmere: %s: expects yes or no\n", arg);
                    return -1;
                }
            } else {
                ov.value.integer = negated ? 0 : 1;
            }
            out->push_back(ov);
            *i += 1;
            return 1;
        }
        if (opt != o) continue;
        const char* text = nullptr;
        if (hasInline) {
            text = inlineValue.c_str();
        } else if (*i + 1 < argc) {
            text = argv[*i + 1];
        } else {
            std::fprintf(stderr, "reefmere: %s: missing value\n", arg);
            return -1;
        }
        if (!ParseSettingValue(key, text, &ov.value)) {
            std::fprintf(stderr, "reefmere: %s: not a valid value: %s\n", arg, text);
            return -1;
        }
        if (key.type == SETTINGTYPE::Integer && (ov.value.integer < key.low || ov.value.integer > key.high)) {
            std::fprintf(stderr, "reefmere: --%s %s: out of range (%lld to %lld)\n", o.c_str(), text,
                         static_cast<long long>(key.low), static_cast<long long>(key.high));
            return -1;
        }
        out->push_back(ov);
        *i += hasInline ? 1 : 2;
        return 1;
    }
    return 0;
}

void ApplySettingOverrides(const std::vector<SETTINGOVERRIDE>& overrides, SETTINGS* s, bool* mainMonitorOnly) {
    for (const SETTINGOVERRIDE& o : overrides)
        if (o.key && o.key->set) o.key->set(s, mainMonitorOnly, o.value);
}

std::vector<std::string> SettingOverrideArguments(const std::vector<SETTINGOVERRIDE>& overrides) {
    std::vector<std::string> args;
    for (const SETTINGOVERRIDE& o : overrides) {
        std::string name = o.key ? OverrideOptionName(*o.key) : "";
        if (name.empty()) continue;
        switch (o.key->type) {
            case SETTINGTYPE::Boolean:
                args.push_back((o.value.integer ? "--" : "--no-") + name);
                break;
            case SETTINGTYPE::Integer:
                args.push_back("--" + name + "=" + std::to_string(o.value.integer));
                break;
            case SETTINGTYPE::Text:
                args.push_back("--" + name + "=" + o.value.text);
                break;
        }
    }
    return args;
}

std::string HelpLine(const std::string& option, const std::string& text, size_t column) {
    std::string line = "  " + option;
    line += line.size() < column ? std::string(column - line.size(), ' ') : "\n" + std::string(column, ' ');
    return line + text + "\n";
}

std::string SettingOverridesHelp() {
    std::string out;
    for (size_t k = 0; k < kSettingKeyCount; ++k) {
        const SETTINGKEY& key = kSettingKeys[k];
        std::string o = OverrideOptionName(key);
        if (o.empty()) continue;
        std::string left = key.type == SETTINGTYPE::Boolean   ? "--" + o + ", --no-" + o
                           : key.type == SETTINGTYPE::Integer ? "--" + o + " N"
                                                              : "--" + o + " TEXT";
        std::string help = key.help ? key.help : "";
        if (key.type == SETTINGTYPE::Integer)
            help += " (" + std::to_string(key.low) + " to " + std::to_string(key.high) + ", default " +
                    std::to_string(key.defaultInteger) + ")";
        out += HelpLine(left, help, 37);
    }
    return out;
}
