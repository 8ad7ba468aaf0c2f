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

// Menu item for an index-valued setting; -1 when the menu has no such item.
int MenuItem(int64_t value, int items) { return value >= 0 && value < items ? static_cast<int>(value) : -1; }

}  // namespace

int WaterResItem(int64_t waterShift) { return waterShift == 6 ? 0 : 1; }

int64_t WaterResShift(int item) { return item == 1 ? 5 : 6; }

void CONFIGSHEET::Bind(SETTINGS* settings, bool* mainMonitorOnly, AQUARIUM* aquarium, const std::string& contentBase)
{
    settings_ = settings;
    mainMonitorOnly_ = mainMonitorOnly;
    aquarium_ = aquarium;
    contentBase_ = contentBase;
}

bool CONFIGSHEET::HasCatalogue() const { return aquarium_ && aquarium_->fishInfo && aquarium_->fishInfoCount > 0; }

uint8_t CONFIGSHEET::RowWaterType(int row) const
{
    if (!HasCatalogue() || row < 0 || row >= aquarium_->fishInfoCount) return 0;
    return aquarium_->fishInfo[row].waterType;
}

bool CONFIGSHEET::configureSheet()
{
    if (!settings_) return false;
    const SETTINGS& s = *settings_;
    oMainMonitorOnly.state = CheckState(mainMonitorOnly_ && *mainMonitorOnly_);
    oFishSize.value = s.LFISHSIZE;
    oMaxFish.value = s.MAX_FISH;
    oWantCaustic.state = CheckState(s.WANTCAUSTIC);
    oWaterRes.item = WaterResItem(s.WATERSHIFT);
    oWantBubbles.state = CheckState(s.WANTBUBBLES);
    oGradualFill.state = CheckState(s.GRADUALFILL);
    oBGType.item = MenuItem(s.BGTYPE, SHEET_BGTYPE_ITEMS);
    oBGRes.item = MenuItem(s.BGRES, SHEET_BGRES_ITEMS);
    SetTitle(&oBGPath, s.BGPath);
    oPlaySound.state = CheckState(s.PLAYSOUND);
    oRWaterLvl.state = CheckState(s.RWATERLEVEL);
    oWWaterLvl.value = s.WWATERLEVEL;
    oDontLeave.state = CheckState(s.STAYONSCREEN);
    oRandomSizes.state = CheckState(s.RANDOMSIZES);
    oVolume.value = s.VOLUME;
    oLowCPU.state = CheckState(s.LOWCPU);
    oWantSMS.state = CheckState(s.WANTSMS);
    oSMSReverse.state = CheckState(s.SMSREVERSE);

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

void CONFIGSHEET::configureSheet_updatestates()
{
    oWWaterLvl.enabled = !oRWaterLvl.on();
    oBGPath.enabled = oBGType.item == 2;
    oVolume.enabled = oPlaySound.on();
    oSMSReverse.enabled = oWantSMS.on();
}

std::string CONFIGSHEET::SelectionText() const
{
    std::string text;
    bool any = false;
    for (bool b : rowSelected) any = any || b;
    if (any && HasCatalogue()) {
        for (int i = 0; i < aquarium_->fishInfoCount && i < static_cast<int>(rowSelected.size()); i++)
            if (!rowSelected[i]) text += std::string(aquarium_->fishInfo[i].fileName) + "#";
    }
    return text + "##";
}

bool CONFIGSHEET::configureSheet_save()
{
    if (!settings_) return false;
    SETTINGS& s = *settings_;
    if (mainMonitorOnly_) *mainMonitorOnly_ = oMainMonitorOnly.on();
    s.LFISHSIZE = oFishSize.value;
    s.MAX_FISH = oMaxFish.value;
    s.WANTCAUSTIC = oWantCaustic.on();
    s.WATERSHIFT = WaterResShift(oWaterRes.item);
    s.WANTBUBBLES = oWantBubbles.on();
    s.GRADUALFILL = oGradualFill.on();
    // A menu with no item chosen keeps the stored value it could not show.
    if (oBGType.item >= 0) s.BGTYPE = oBGType.item;
    if (oBGRes.item >= 0) s.BGRES = oBGRes.item;
    CopyToField(s.BGPath, sizeof s.BGPath, oBGPath.title);
    s.PLAYSOUND = oPlaySound.on();
    s.RWATERLEVEL = oRWaterLvl.on();
    s.WWATERLEVEL = oWWaterLvl.value;
    s.STAYONSCREEN = oDontLeave.on();
    s.RANDOMSIZES = oRandomSizes.on();
    s.VOLUME = static_cast<int16_t>(oVolume.value);
    s.LOWCPU = oLowCPU.on();
    s.WANTSMS = oWantSMS.on();
    s.SMSREVERSE = oSMSReverse.on();

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
    bool ok = SaveSettings(s, mainMonitorOnly_ ? *mainMonitorOnly_ : false, haveSelection ? selection.c_str() : nullptr);
    open = false;
    return ok;
}

void CONFIGSHEET::configureSheet_cancel() { open = false; }

void CONFIGSHEET::configureSheet_defaults()
{
    oMainMonitorOnly.state = 0;
    oFishSize.value = 100;
    oMaxFish.value = 3;
    oWantCaustic.state = 1;
    oWaterRes.item = 0;
    oWantBubbles.state = 1;
    oGradualFill.state = 1;
    oBGType.item = 0;
    oBGRes.item = 1;
    if (settings_) SetTitle(&oBGPath, settings_->BGPath);
    oPlaySound.state = 1;
    oRWaterLvl.state = 1;
    oWWaterLvl.value = 85;
    oDontLeave.state = 0;
    oRandomSizes.state = 0;
    oVolume.value = 100;
    oLowCPU.state = 0;
    oWantSMS.state = 0;
    oSMSReverse.state = 0;
    configureSheet_selectAll();
    configureSheet_updatestates();
}

void CONFIGSHEET::configureSheet_selectAll()
{
    if (!HasCatalogue()) return;
    rowSelected.assign(fishList.size(), true);
}

void CONFIGSHEET::configureSheet_selectSalt()
{
    if (!HasCatalogue()) return;
    for (size_t i = 0; i < rowSelected.size(); i++) rowSelected[i] = RowWaterType(static_cast<int>(i)) == 0;
}

void CONFIGSHEET::configureSheet_selectFresh()
{
    if (!HasCatalogue()) return;
    for (size_t i = 0; i < rowSelected.size(); i++) rowSelected[i] = RowWaterType(static_cast<int>(i)) == 1;
}

bool CONFIGSHEET::configureSheet_bgpath(const char* chosen)
{
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

bool CONFIGSHEET::configureSheet_directory(const char* chosen)
{
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

std::string CONFIGSHEET::configureSheet_openwebsite() const { return WebsiteUrl(contentBase_); }

bool CONFIGSHEET::ReloadCatalogue()
{
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
