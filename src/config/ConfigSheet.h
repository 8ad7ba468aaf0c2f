// The configuration sheet as plain data: every control's value and enabled state, the
// actions that move values between the controls, the settings record and the store, and
// the species table over the aquarium's catalogue. No toolkit here: the GTK dialog
// (app/config/) shows this model and forwards its controls' changes to it.
// Leans on Settings.h (record, store) and fish/Aquarium.h (catalogue).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/Downloads.h"
#include "settings/SettingOverrides.h"
#include "settings/Settings.h"

class AQUARIUM;

// A check box: state 1 is on; 0 off and -1 (mixed) both count as off.
struct CHECKOUTLET {
    int state = 0;
    bool enabled = true;
    bool on() const { return state == 1; }
};

// An integer control (spin button, slider).
struct INTOUTLET {
    int64_t value = 0;
    bool enabled = true;
};

// A pop-up menu; item -1 means no item is chosen (a stored value the menu cannot show).
struct MENUOUTLET {
    int item = 0;
    bool enabled = true;
};

// A button whose title is a folder path.
struct PATHOUTLET {
    char title[1024] = {};
    bool enabled = true;
};

// A text field.
struct TEXTOUTLET {
    std::string text;
    bool enabled = true;
};

// Titles of the two folder choosers.
#define SHEET_BGPATH_TITLE "Select Folder To Load Random Background Images From"
#define SHEET_DIRECTORY_TITLE "Select Fish Data Folder"

class CONFIGSHEET {
public:
    CONFIGSHEET() = default;
    CONFIGSHEET(const CONFIGSHEET&) = delete;
    CONFIGSHEET& operator=(const CONFIGSHEET&) = delete;

    // Borrows the record, the view flag and (may be null) the aquarium whose catalogue
    // the species table shows. contentBase: a fish source for this session (a command
    // line's or the environment's), shown by the first configureSheet in place of the
    // stored one; empty: the stored one.
    void Bind(SETTINGS* settings, bool* mainMonitorOnly, AQUARIUM* aquarium, const std::string& contentBase);

    // Fills every control from the record and the table from the catalogue, then
    // applies the enabling rules. The sheet counts as open until Save or Cancel.
    bool configureSheet();
    void configureSheet_updatestates();
    void configureSheet_update() { configureSheet_updatestates(); }
    // Takes every control into the record and writes the store (and "FishSelection"
    // when there is a catalogue). False when the store could not be written.
    bool configureSheet_save();
    void configureSheet_cancel();
    void configureSheet_defaults();
    void configureSheet_selectAll();
    void configureSheet_selectSalt();
    void configureSheet_selectFresh();
    // The folder choosers' results. A path that does not fit the 1024-byte fields is
    // refused (false, one line on stderr) and nothing changes.
    bool configureSheet_bgpath(const char* chosen);
    bool configureSheet_directory(const char* chosen);
    // The maker's web page (the fish source's "/mac/fish/"); empty without a web source.
    std::string configureSheet_openwebsite() const;
    // The fish source as typed (blanks and trailing slashes dropped); empty: none.
    std::string FishSource() const;

    // Download page (Downloads.cpp).
    // A check in two halves, so the fetch itself can run without blocking: the begin
    // half returns the list's address (empty while a download or check runs).
    std::string configureSheet_checkdownloads_begin();
    // text: the fetched list, or null when nothing came back.
    void configureSheet_checkdownloads_end(const std::string* text);
    // Starts a download of the chosen offer: fills *url and *destination, disables the
    // controls that must wait, and returns true; false when nothing can be downloaded.
    bool configureSheet_download(std::string* url, std::string* destination);
    // The running download's events (the platform's download object calls these).
    void download_didReceiveResponse(int64_t expectedLength);
    void download_didReceiveDataOfLength(int64_t length);
    void downloadDidFinish();
    void download_didFailWithError(const std::string& description, const std::string& failingUrl);
    // Species were installed from files (or replaced): the table and the offers follow.
    void fishInstalled(const std::string& statusText);

    // What Save would store, as the controls hold it now: one value per control's key,
    // "BGPath", "FishSource", and "FishSelection" when a catalogue backs the table. The live preview
    // runs with these; comparing two of them tells whether anything is left unsaved.
    std::vector<SETTINGOVERRIDE> EditedValues() const;

    // The "FishSelection" text the table stands for: file names of unselected rows,
    // each followed by "#", then "##"; just "##" when no row is selected.
    std::string SelectionText() const;
    // Rebuilds the catalogue from the record's folders (after the fish folder changed or a
    // download finished), keeping the rows' selection by file; new species start selected.
    bool ReloadCatalogue();
    // True when a catalogue with at least one entry backs the table.
    bool HasCatalogue() const;
    int RowCount() const { return static_cast<int>(fishList.size()); }
    uint8_t RowWaterType(int row) const;

    bool open = false;  // between configureSheet and Save / Cancel
    // Without a motion sensor both tilt controls are greyed (the dialog detects it).
    bool sensorPresent = true;

    CHECKOUTLET oMainMonitorOnly;
    INTOUTLET oFishSize;
    INTOUTLET oMaxFish;
    CHECKOUTLET oWantCaustic;
    MENUOUTLET oWaterRes;
    CHECKOUTLET oWantBubbles;
    CHECKOUTLET oGradualFill;
    MENUOUTLET oBGType;
    MENUOUTLET oBGRes;
    PATHOUTLET oBGPath;
    CHECKOUTLET oPlaySound;
    CHECKOUTLET oRWaterLvl;
    INTOUTLET oWWaterLvl;
    CHECKOUTLET oDontLeave;
    CHECKOUTLET oRandomSizes;
    INTOUTLET oVolume;
    CHECKOUTLET oLowCPU;
    CHECKOUTLET oWantSMS;
    CHECKOUTLET oSMSReverse;
    PATHOUTLET oDirectory;
    TEXTOUTLET oFishSource;  // the fish source's address (key "FishSource")
    CHECKOUTLET oWebsite;    // the Web Page button: only its enabled state matters
    CHECKOUTLET oSave;       // the Save button: only its enabled state matters

    // The species table: display names in catalogue order and each row's selection.
    std::vector<std::string> fishList;
    std::vector<bool> rowSelected;

    DOWNLOADPAGE downloads;  // the download page's outlets and state

private:
    void SetDownloadLocks(bool enabled);
    void FilterOffers();

    SETTINGS* settings_ = nullptr;
    bool* mainMonitorOnly_ = nullptr;
    AQUARIUM* aquarium_ = nullptr;
    std::string sourceOverride_;     // taken by the first configureSheet
    std::string listUrl_;            // the list being fetched: relative offers resolve against it
    std::string checkStatusBefore_;  // status text to restore after a successful check
};

// Which outlet shows which preference key. Show, Save and Defaults walk this table with
// the key table's get, set and defaults; the dialog gives each its widget and takes the
// integer ranges from the key table. A new preference is a key row, an outlet and a row here.
struct SHEETCONTROL {
    const char* key;
    CHECKOUTLET CONFIGSHEET::*check;  // exactly one of the three is set
    INTOUTLET CONFIGSHEET::*number;
    MENUOUTLET CONFIGSHEET::*menu;  // item = value - the key's low end, unless:
    int (*toItem)(int64_t value);
    int64_t (*fromItem)(int item);
};
extern const SHEETCONTROL kSheetControls[];
extern const size_t kSheetControlCount;
// The item a menu control shows for a value (-1: none) and the value of an item.
int SheetMenuItem(const SHEETCONTROL& c, int64_t value);
int64_t SheetMenuValue(const SHEETCONTROL& c, int item);

// Water menu: item 1 is the 32 x 32 grid (shift 5), every other item 64 x 64 (shift 6).
int WaterResItem(int64_t waterShift);
int64_t WaterResShift(int item);
