// The configuration sheet's controls, enabling rules, Save / Cancel / Defaults, the
// species table and the folder choosers. The download page: Downloads.cpp.
#include "config/ConfigSheet.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "fish/FishData.h"
#include "fish/Aquarium.h"
#include "settings/Paths.h"

namespace {

int CheckState(bool on) { return on ? 1 : 0; }

void SetTitle(PATHOUTLET* o, const char* text) { CopyToField(o->title, sizeof o->title, text); }

#define CHECK(key, outlet) \
    { key, &CONFIGSHEET::outlet, nullptr, nullptr, nullptr, nullptr }
#define NUMBER(key, outlet) \
    { key, nullptr, &CONFIGSHEET::outlet, nullptr, nullptr, nullptr }
#define MENU(key, outlet) \
    { key, nullptr, nullptr, &CONFIGSHEET::outlet, nullptr, nullptr }

}  // namespace

int WaterResItem(int64_t waterShift) { return waterShift == 6 ? 0 : 1; }

int64_t WaterResShift(int item) { return item == 1 ? 5 : 6; }

const SHEETCONTROL kSheetControls[] = {
    CHECK("MainMonitorOnly", oMainMonitorOnly),
    NUMBER("FishSize", oFishSize),
    NUMBER("MaxFish", oMaxFish),
    CHECK("WantCaustic", oWantCaustic),
    {"WaterRes", nullptr, nullptr, &CONFIGSHEET::oWaterRes, WaterResItem, WaterResShift},
    CHECK("WantBubbles", oWantBubbles),
    CHECK("GradualFill", oGradualFill),
    MENU("BGType", oBGType),
    MENU("BGRes", oBGRes),
    CHECK("PlaySound", oPlaySound),
    CHECK("RandomWaterLevel", oRWaterLvl),
    NUMBER("WantedWaterLevel", oWWaterLvl),
    CHECK("StayOnScreen", oDontLeave),
    CHECK("RandomSizes", oRandomSizes),
    NUMBER("Volume", oVolume),
    CHECK("LowCPU", oLowCPU),
    CHECK("WantSMS", oWantSMS),
    CHECK("SMSReverse", oSMSReverse),
};
const size_t kSheetControlCount = sizeof kSheetControls / sizeof kSheetControls[0];

int SheetMenuItem(const SHEETCONTROL& c, int64_t value) {
    if (c.toItem) return c.toItem(value);
    const SETTINGKEY* k = FindSettingKey(c.key);
    return k && value >= k->low && value <= k->high ? static_cast<int>(value - k->low) : -1;
}

int64_t SheetMenuValue(const SHEETCONTROL& c, int item) {
    if (c.fromItem) return c.fromItem(item);
    const SETTINGKEY* k = FindSettingKey(c.key);
    return k ? k->low + item : item;
}

void CONFIGSHEET::Bind(SETTINGS* settings, bool* mainMonitorOnly, AQUARIUM* aquarium, const std::string& contentBase) {
    settings_ = settings;
    mainMonitorOnly_ = mainMonitorOnly;
    aquarium_ = aquarium;
    sourceOverride_ = contentBase;
    if (!contentBase.empty()) oFishSource.text = contentBase;
}

bool CONFIGSHEET::HasCatalogue() const { return aquarium_ && aquarium_->fishInfo && aquarium_->fishInfoCount > 0; }

uint8_t CONFIGSHEET::RowWaterType(int row) const {
    if (!HasCatalogue() || row < 0 || row >= aquarium_->fishInfoCount) return 0;
    return aquarium_->fishInfo[row].waterType;
}

bool CONFIGSHEET::configureSheet() {
    if (!settings_) return false;
    for (size_t i = 0; i < kSheetControlCount; i++) {
        const SHEETCONTROL& c = kSheetControls[i];
        SETTINGVALUE v;
        FindSettingKey(c.key)->get(*settings_, mainMonitorOnly_ && *mainMonitorOnly_, &v);
        if (c.check) (this->*c.check).state = CheckState(v.integer != 0);
        if (c.number) (this->*c.number).value = v.integer;
        if (c.menu) (this->*c.menu).item = SheetMenuItem(c, v.integer);
    }
    SetTitle(&oBGPath, settings_->BGPath);
    oFishSource.text = sourceOverride_.empty() ? settings_->FishSource : sourceOverride_;
    sourceOverride_.clear();
    if (FishSource().empty() && downloads.statusText.empty()) downloads.statusText = STATUS_NO_SOURCE;

    if (HasCatalogue()) {
        fishList.clear();
        rowSelected.clear();
        for (int i = 0; i < aquarium_->fishInfoCount; i++) {
            fishList.push_back(aquarium_->fishInfo[i].displayName);
            rowSelected.push_back(aquarium_->fishInfo[i].selected);
        }
    }
    open = true;
    configureSheet_updatestates();
    return true;
}

void CONFIGSHEET::configureSheet_updatestates() {
    oWWaterLvl.enabled = !oRWaterLvl.on();
    oBGPath.enabled = oBGType.item == 2;
    oVolume.enabled = oPlaySound.on();
    oWantSMS.enabled = sensorPresent;
    oSMSReverse.enabled = sensorPresent && oWantSMS.on();
    oWebsite.enabled = !configureSheet_openwebsite().empty();
}

std::string CONFIGSHEET::FishSource() const { return TrimSourceAddress(oFishSource.text); }

std::string CONFIGSHEET::SelectionText() const {
    std::string text;
    bool any = false;
    for (bool b : rowSelected) any = any || b;
    if (any && HasCatalogue()) {
        for (int i = 0; i < aquarium_->fishInfoCount && i < static_cast<int>(rowSelected.size()); i++)
            if (!rowSelected[i]) text += std::string(aquarium_->fishInfo[i].fileName) + "#";
    }
    return text + "##";
}

std::vector<SETTINGOVERRIDE> CONFIGSHEET::EditedValues() const {
    std::vector<SETTINGOVERRIDE> out;
    if (!settings_) return out;
    const bool mmo = mainMonitorOnly_ && *mainMonitorOnly_;
    for (size_t i = 0; i < kSheetControlCount; i++) {
        const SHEETCONTROL& c = kSheetControls[i];
        SETTINGOVERRIDE o;
        o.key = FindSettingKey(c.key);
        if (c.check) o.value.integer = (this->*c.check).on() ? 1 : 0;
        if (c.number) o.value.integer = (this->*c.number).value;
        if (c.menu) {
            // A menu with no item chosen keeps the stored value it could not show.
            if ((this->*c.menu).item < 0 && !c.fromItem)
                o.key->get(*settings_, mmo, &o.value);
            else
                o.value.integer = SheetMenuValue(c, (this->*c.menu).item);
        }
        // What is stored (and passed on as an option) is always in range.
        if (o.key->type == SETTINGTYPE::Integer)
            o.value.integer = o.value.integer < o.key->low    ? o.key->low
                              : o.value.integer > o.key->high ? o.key->high
                                                              : o.value.integer;
        out.push_back(o);
    }
    SETTINGOVERRIDE path;
    path.key = FindSettingKey("BGPath");
    path.value.text = oBGPath.title;
    out.push_back(path);
    SETTINGOVERRIDE source;
    source.key = FindSettingKey("FishSource");
    source.value.text = FishSource();
    out.push_back(source);
    if (HasCatalogue()) {
        SETTINGOVERRIDE selection;
        selection.key = FindSettingKey("FishSelection");
        selection.value.text = SelectionText();
        out.push_back(selection);
    }
    return out;
}

bool CONFIGSHEET::configureSheet_save() {
    if (!settings_) return false;
    SETTINGS& s = *settings_;
    bool mmo = mainMonitorOnly_ && *mainMonitorOnly_;
    for (const SETTINGOVERRIDE& o : EditedValues())
        if (strcmp(o.key->key, "FishSelection") != 0) o.key->set(&s, &mmo, o.value);
    if (mainMonitorOnly_) *mainMonitorOnly_ = mmo;
    LimitSettings(&s, nullptr);  // what is stored is always in range
    std::string selection;
    bool haveSelection = HasCatalogue();
    if (haveSelection) {
        selection = SelectionText();
        bool any = false;
        for (bool b : rowSelected) any = any || b;
        // No row ticked is saved as "##", every species on: the catalogue agrees.
        for (int i = 0; i < aquarium_->fishInfoCount && i < static_cast<int>(rowSelected.size()); i++)
            aquarium_->fishInfo[i].selected = !any || rowSelected[i];
        // The record keeps what the store now holds, for a later catalogue rebuild.
        SetFishSelection(&s, selection.c_str());
    }
    bool ok =
        SaveSettings(s, mainMonitorOnly_ ? *mainMonitorOnly_ : false, haveSelection ? selection.c_str() : nullptr);
    open = false;
    return ok;
}

void CONFIGSHEET::configureSheet_cancel() { open = false; }

void CONFIGSHEET::configureSheet_defaults() {
    for (size_t i = 0; i < kSheetControlCount; i++) {
        const SHEETCONTROL& c = kSheetControls[i];
        int64_t v = FindSettingKey(c.key)->defaultInteger;
        if (c.check) (this->*c.check).state = CheckState(v != 0);
        if (c.number) (this->*c.number).value = v;
        if (c.menu) (this->*c.menu).item = SheetMenuItem(c, v);
    }
    // The folder is not reset: the default names a macOS folder.
    if (settings_) SetTitle(&oBGPath, settings_->BGPath);
    configureSheet_selectAll();
    configureSheet_updatestates();
}

void CONFIGSHEET::configureSheet_selectAll() {
    if (!HasCatalogue()) return;
    rowSelected.assign(fishList.size(), true);
}

void CONFIGSHEET::configureSheet_selectSalt() {
    if (!HasCatalogue()) return;
    for (size_t i = 0; i < rowSelected.size(); i++) rowSelected[i] = RowWaterType(static_cast<int>(i)) == 0;
}

void CONFIGSHEET::configureSheet_selectFresh() {
    if (!HasCatalogue()) return;
    for (size_t i = 0; i < rowSelected.size(); i++) rowSelected[i] = RowWaterType(static_cast<int>(i)) == 1;
}

bool CONFIGSHEET::configureSheet_bgpath(const char* chosen) {
    if (!settings_ || !chosen) return false;
    if (strlen(chosen) >= sizeof settings_->BGPath) {
        fprintf(stderr, "reefmere-config: folder path too long (at most %zu bytes): not taken\n",
                sizeof settings_->BGPath - 1);
        return false;
    }
    CopyToField(settings_->BGPath, sizeof settings_->BGPath, chosen);
    SetTitle(&oBGPath, chosen);
    return true;
}

bool CONFIGSHEET::configureSheet_directory(const char* chosen) {
    if (!settings_ || !chosen) return false;
    if (strlen(chosen) >= sizeof settings_->FishPath2) {
        fprintf(stderr, "reefmere-config: folder path too long (at most %zu bytes): not taken\n",
                sizeof settings_->FishPath2 - 1);
        return false;
    }
    CopyToField(settings_->FishPath2, sizeof settings_->FishPath2, chosen);
    SetTitle(&oDirectory, chosen);
    return true;
}

std::string CONFIGSHEET::configureSheet_openwebsite() const {
    // Only a web source has a maker's page: a local pack (file://) has none to open.
    std::string source = FishSource();
    return SourceAddressOk(source) && !IsFileAddress(source) ? WebsiteUrl(source) : "";
}

bool CONFIGSHEET::ReloadCatalogue() {
    if (!settings_ || !aquarium_) return false;
    // Unsaved row choices survive the rebuild, matched by folder and file name.
    std::map<std::string, bool> kept;
    if (HasCatalogue())
        for (int i = 0; i < aquarium_->fishInfoCount && i < static_cast<int>(rowSelected.size()); i++)
            kept[std::string(aquarium_->fishInfo[i].folder) + aquarium_->fishInfo[i].fileName] = rowSelected[i];

    aquarium_->SetFishPaths(settings_->FishPath, settings_->FishPath2);
    bool built = aquarium_->BuildFishList();
    if (built && settings_->fishSelection)
        aquarium_->FindFishSelection(settings_->fishSelection, static_cast<int>(settings_->selectionSize));
    fishList.clear();
    rowSelected.clear();
    if (!built) return false;
    for (int i = 0; i < aquarium_->fishInfoCount; i++) {
        const FISHINFO& e = aquarium_->fishInfo[i];
        fishList.push_back(e.displayName);
        auto it = kept.find(std::string(e.folder) + e.fileName);
        rowSelected.push_back(it != kept.end() ? it->second : (kept.empty() ? e.selected : true));
    }
    return true;
}
