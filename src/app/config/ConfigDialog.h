// reefmere-config: the GTK 3 dialog over the configuration sheet's model (config/ConfigSheet.h).
// ConfigDialog.cpp builds the pages and moves values between widgets and model;
// DownloadPage.cpp runs the download page's transfers; Preview.cpp the live preview
// (reefmere --preview in a drawing area's X window); SelfTest.cpp the scripted runs
// the tests use.
#pragma once

#include <gtk/gtk.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "fish/Aquarium.h"
#include "platform/curl_fetch.h"
#include "config/ConfigSheet.h"
#include "settings/Settings.h"

// The running screen saver in preview mode, drawing into a widget's X window.
struct PREVIEW {
    GtkWidget* area = nullptr;  // the drawing area whose window it draws into
    std::string program;        // path of reefmere; empty: no preview
    pid_t pid = -1;
    guint watch = 0;                // child watch source
    bool restartPending = false;    // start again once the old process has gone
    bool ended = false;             // it exited on its own (no GL, no display)
    bool tried = false;             // a start was attempted
    std::vector<std::string> args;  // the preference options it runs (or will run) with
    guint debounce = 0;             // pending restart after an edit
    guint killTimer = 0;            // SIGKILL for an old process that ignores SIGTERM
    int starts = 0;                 // processes started
};

struct CONFIGDIALOG {
    SETTINGS settings;
    bool mainMonitorOnly = false;
    AQUARIUM aquarium;
    CONFIGSHEET sheet;
    std::string hackProgram;  // reefmere beside the dialog or on PATH; empty: not found

    GtkWidget* window = nullptr;
    GtkWidget* notebook = nullptr;
    bool showing = false;
    bool closed = false;  // CloseDialog has run  // widgets are being filled from the model: ignore their signals

    // One widget per outlet.
    GtkWidget *wMainMonitorOnly = nullptr, *wFishSize = nullptr, *wMaxFish = nullptr;
    GtkWidget *wWantCaustic = nullptr, *wWaterRes = nullptr, *wWantBubbles = nullptr;
    GtkWidget *wGradualFill = nullptr, *wBGType = nullptr, *wBGRes = nullptr, *wBGPath = nullptr;
    GtkWidget *wPlaySound = nullptr, *wRWaterLvl = nullptr, *wWWaterLvl = nullptr;
    GtkWidget *wDontLeave = nullptr, *wRandomSizes = nullptr, *wVolume = nullptr;
    GtkWidget *wLowCPU = nullptr, *wWantSMS = nullptr, *wSMSReverse = nullptr;
    GtkWidget *wDirectory = nullptr, *wSave = nullptr, *wDefaults = nullptr, *wClose = nullptr;
    GtkWidget *wSelectAll = nullptr, *wSelectSalt = nullptr, *wSelectFresh = nullptr;
    GtkWidget *wWebsite = nullptr, *wSavedNote = nullptr, *wSensorNote = nullptr;
    GtkWidget *wAddToXScreenSaver = nullptr, *wXScreenSaverNote = nullptr;
    std::map<std::string, GtkWidget*> controls;  // preference key -> its widget
    GtkListStore* fishStore = nullptr;
    GtkWidget* fishView = nullptr;

    // Download page.
    GtkWidget *wAvailable = nullptr, *wCheck = nullptr, *wDownload = nullptr, *wCancel = nullptr;
    GtkWidget *wProgress = nullptr, *wStatus = nullptr;
    GtkWidget *wSource = nullptr, *wInstall = nullptr, *wOpenFolder = nullptr;
    CURLFETCH listFetch;
    CURLFETCH download;
    guint pollSource = 0;  // GLib timeout driving the transfers

    PREVIEW preview;
    std::vector<std::string> savedArgs;  // EditedArguments as last loaded or saved
    GtkWidget* question = nullptr;       // "Save the changes?" while it is open

    // Self-test script (comma-separated actions); empty in normal use.
    std::vector<std::string> script;
    size_t scriptNext = 0;
    int scriptedAnswer = 0;  // the script's answer to "Replace?": 1 replace, -1 keep, 0 ask
};

// ConfigDialog.cpp
bool BuildDialog(CONFIGDIALOG* d);
void ShowModel(CONFIGDIALOG* d);     // model -> every widget
void TakeControls(CONFIGDIALOG* d);  // every widget -> model
void ShowDownloads(CONFIGDIALOG* d);
void CloseDialog(CONFIGDIALOG* d);
// The sheet's values as options of reefmere's command line, as Save would store them.
std::vector<std::string> EditedArguments(const CONFIGDIALOG* d);
// The same without what the tank does not show (the fish source): the preview's options.
std::vector<std::string> PreviewOptions(const CONFIGDIALOG* d);
// True when the controls hold something that Save has not stored.
bool Unsaved(const CONFIGDIALOG* d);
// Close, Cancel and the window's close button: with unsaved edits, asks first.
void RequestClose(CONFIGDIALOG* d);
// Switches the species of catalogue row (not table row) on or off, as its check box does.
void ToggleRow(CONFIGDIALOG* d, int row);
// After any edit: the Save note goes and the preview follows.
void NoteEdit(CONFIGDIALOG* d);

// DownloadPage.cpp
GtkWidget* BuildDownloadPage(CONFIGDIALOG* d);
void StartCheck(CONFIGDIALOG* d);
void CancelTransfers(CONFIGDIALOG* d);
void StartDownload(CONFIGDIALOG* d);
bool TransfersRunning(const CONFIGDIALOG* d);
// Installs fish archives into the fish folder (asking before a species is replaced),
// reports on the page and refreshes the species table.
void InstallFiles(CONFIGDIALOG* d, const std::vector<std::string>& files);
// Opens a folder or address with xdg-open; empty, or what went wrong in one line.
std::string OpenWithDesktop(const std::string& target);

// Preview.cpp
GtkWidget* BuildPreview(CONFIGDIALOG* d);
void StartPreview(CONFIGDIALOG* d);
void RestartPreview(CONFIGDIALOG* d);
// After an edit: restarts the preview with EditedArguments once the edits pause, so a
// dragged slider starts one process, not one per step.
void SchedulePreview(CONFIGDIALOG* d);
void StopPreview(CONFIGDIALOG* d);

// SelfTest.cpp: runs d->script once the window is up, prints the model, quits.
void StartSelfTest(CONFIGDIALOG* d);
