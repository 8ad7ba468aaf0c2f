// The dialog's pages (fish, water, background, sound and system, downloads), the
// preview beside them, and the two-way binding between widgets and the sheet's model.
#include "ConfigDialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fish/FishData.h"
#include "settings/Paths.h"
#include "motion/unimotion.h"
#include "settings/XScreenSaverPrograms.h"

namespace {

// COL_INDEX: the row's place in the catalogue (the model's row); the view sorts by name.
enum { COL_SELECTED, COL_NAME, COL_WATER, COL_INDEX, COL_COUNT };

void OnControlChanged(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (d->showing) return;
    TakeControls(d);
    d->sheet.configureSheet_update();
    ShowModel(d);
    NoteEdit(d);
}

// The widget of one preference key, kept for ShowModel and TakeControls.
GtkWidget* Register(CONFIGDIALOG* d, const char* key, GtkWidget* w) {
    d->controls[key] = w;
    return w;
}

GtkWidget* Check(CONFIGDIALOG* d, const char* key, const char* label) {
    GtkWidget* w = gtk_check_button_new_with_mnemonic(label);
    g_signal_connect(w, "toggled", G_CALLBACK(OnControlChanged), d);
    return Register(d, key, w);
}

// A spin button over the key's range.
GtkWidget* Spin(CONFIGDIALOG* d, const char* key, int step) {
    const SETTINGKEY* k = FindSettingKey(key);
    GtkWidget* w = gtk_spin_button_new_with_range(static_cast<double>(k->low), static_cast<double>(k->high), step);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(w), TRUE);
    g_signal_connect(w, "value-changed", G_CALLBACK(OnControlChanged), d);
    return Register(d, key, w);
}

// A menu with one item per value of the key's range.
GtkWidget* Menu(CONFIGDIALOG* d, const char* key, std::initializer_list<const char*> items) {
    const SETTINGKEY* k = FindSettingKey(key);
    if (static_cast<int64_t>(items.size()) != k->high - k->low + 1)
        fprintf(stderr, "reefmere-config: menu \"%s\" has %zu items for %lld values\n", key, items.size(),
                static_cast<long long>(k->high - k->low + 1));
    GtkWidget* w = gtk_combo_box_text_new();
    for (const char* item : items) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w), item);
    g_signal_connect(w, "changed", G_CALLBACK(OnControlChanged), d);
    return Register(d, key, w);
}

GtkWidget* PathButton() {
    GtkWidget* w = gtk_button_new_with_label("");
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(w));
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 36);
    gtk_widget_set_hexpand(w, TRUE);
    return w;
}

// A grid of label / control rows.
struct FORM {
    GtkWidget* grid;
    int row = 0;
};

FORM NewForm() {
    FORM f{gtk_grid_new()};
    gtk_grid_set_row_spacing(GTK_GRID(f.grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(f.grid), 12);
    gtk_container_set_border_width(GTK_CONTAINER(f.grid), 12);
    return f;
}

void AddRow(FORM* f, const char* label, GtkWidget* control) {
    if (label) {
        GtkWidget* l = gtk_label_new(label);
        gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
        gtk_grid_attach(GTK_GRID(f->grid), l, 0, f->row, 1, 1);
        gtk_grid_attach(GTK_GRID(f->grid), control, 1, f->row, 1, 1);
    } else {
        gtk_grid_attach(GTK_GRID(f->grid), control, 0, f->row, 2, 1);
    }
    f->row++;
}

void SetCheck(GtkWidget* w, const CHECKOUTLET& o) {
    gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(w), o.state < 0);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), o.state == 1);
    gtk_widget_set_sensitive(w, o.enabled);
}

void TakeCheck(GtkWidget* w, CHECKOUTLET* o) {
    if (gtk_toggle_button_get_inconsistent(GTK_TOGGLE_BUTTON(w)) && o->state < 0) return;
    o->state = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? 1 : 0;
}

void SetSpin(GtkWidget* w, const INTOUTLET& o) {
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(w), static_cast<double>(o.value));
    gtk_widget_set_sensitive(w, o.enabled);
}

void TakeSpin(GtkWidget* w, INTOUTLET* o) { o->value = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(w)); }

void SetMenu(GtkWidget* w, const MENUOUTLET& o) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(w), o.item);
    gtk_widget_set_sensitive(w, o.enabled);
}

void TakeMenu(GtkWidget* w, MENUOUTLET* o) { o->item = gtk_combo_box_get_active(GTK_COMBO_BOX(w)); }

void SetPath(GtkWidget* w, const PATHOUTLET& o) {
    gtk_button_set_label(GTK_BUTTON(w), o.title[0] ? o.title : "(none)");
    gtk_widget_set_tooltip_text(w, o.title);
    gtk_widget_set_sensitive(w, o.enabled);
}

void OnRowToggled(GtkCellRendererToggle*, gchar* pathText, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    GtkTreeIter it;
    if (!gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(d->fishStore), &it, pathText)) return;
    gint row = -1;
    gtk_tree_model_get(GTK_TREE_MODEL(d->fishStore), &it, COL_INDEX, &row, -1);
    ToggleRow(d, row);
}

void OnSelect(GtkWidget* w, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (w == d->wSelectAll) d->sheet.configureSheet_selectAll();
    if (w == d->wSelectSalt) d->sheet.configureSheet_selectSalt();
    if (w == d->wSelectFresh) d->sheet.configureSheet_selectFresh();
    ShowModel(d);
    NoteEdit(d);
}

void ChooseBackgroundFolder(CONFIGDIALOG* d) {
    GtkWidget* chooser =
        gtk_file_chooser_dialog_new(SHEET_BGPATH_TITLE, GTK_WINDOW(d->window), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* fc = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_select_multiple(fc, FALSE);
    // Where the folder is gone (or was never set), the pictures folder is the likely place.
    std::string start = d->settings.BGPath;
    if (!g_file_test(start.c_str(), G_FILE_TEST_IS_DIR)) start = UserPicturesFolder();
    gtk_file_chooser_set_current_folder(fc, start.c_str());
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Pictures (jpg, gif, png)");
    for (const char* p : {"*.jpg", "*.gif", "*.png"}) gtk_file_filter_add_pattern(filter, p);
    gtk_file_chooser_add_filter(fc, filter);
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        char* path = gtk_file_chooser_get_filename(fc);
        if (path) {
            TakeControls(d);
            bool taken = d->sheet.configureSheet_bgpath(path);
            if (!taken) {
                GtkWidget* m =
                    gtk_message_dialog_new(GTK_WINDOW(chooser), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE,
                                           "The folder's path is too long (at most 1023 bytes).");
                gtk_dialog_run(GTK_DIALOG(m));
                gtk_widget_destroy(m);
            }
            g_free(path);
            ShowModel(d);
            if (taken) NoteEdit(d);
        }
    }
    gtk_widget_destroy(chooser);
}

void OnBGPath(GtkWidget*, gpointer data) { ChooseBackgroundFolder(static_cast<CONFIGDIALOG*>(data)); }

void OnWebsite(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    TakeControls(d);
    std::string url = d->sheet.configureSheet_openwebsite();
    if (url.empty()) return;  // no web source: the button is greyed
    std::string why = OpenWithDesktop(url);
    if (!why.empty()) {
        fprintf(stderr, "reefmere-config: %s\n", why.c_str());
        gtk_label_set_text(GTK_LABEL(d->wSavedNote), why.c_str());
        d->sheet.downloads.statusText = why;
        ShowDownloads(d);
    }
}

void OnDefaults(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    TakeControls(d);
    d->sheet.configureSheet_defaults();
    ShowModel(d);
    NoteEdit(d);
}

void OnSave(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    TakeControls(d);
    bool ok = d->sheet.configureSheet_save();
    gtk_label_set_text(GTK_LABEL(d->wSavedNote), ok ? "Settings saved." : "The settings could not be written!");
    // The dialog stays open: the sheet shows the stored values again.
    d->sheet.configureSheet();
    ShowModel(d);
    // Not written: the edits stay unsaved, and Close still asks.
    if (ok) d->savedArgs = EditedArguments(d);
    // The preview already runs with these values, or will once its pause is over.
}

void OnCloseAnswer(GtkDialog* question, gint response, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    d->question = nullptr;
    gtk_widget_destroy(GTK_WIDGET(question));
    if (response == GTK_RESPONSE_ACCEPT) {
        OnSave(nullptr, d);
        if (Unsaved(d)) return;  // the store could not be written: the note says so
    } else if (response != GTK_RESPONSE_REJECT) {
        return;  // Cancel, Esc, or the question's own window closed
    }
    d->sheet.configureSheet_cancel();
    CloseDialog(d);
}

void OnClose(GtkWidget*, gpointer data) { RequestClose(static_cast<CONFIGDIALOG*>(data)); }

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    RequestClose(static_cast<CONFIGDIALOG*>(data));
    return TRUE;
}

GtkWidget* Button(CONFIGDIALOG* d, const char* label, GCallback cb) {
    GtkWidget* b = gtk_button_new_with_mnemonic(label);
    g_signal_connect(b, "clicked", cb, d);
    return b;
}

GtkWidget* FishPage(CONFIGDIALOG* d) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    d->fishStore = gtk_list_store_new(COL_COUNT, G_TYPE_BOOLEAN, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT);
    gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(d->fishStore), COL_NAME, GTK_SORT_ASCENDING);
    d->fishView = gtk_tree_view_new_with_model(GTK_TREE_MODEL(d->fishStore));
    GtkCellRenderer* toggle = gtk_cell_renderer_toggle_new();
    g_signal_connect(toggle, "toggled", G_CALLBACK(OnRowToggled), d);
    gtk_tree_view_append_column(
        GTK_TREE_VIEW(d->fishView),
        gtk_tree_view_column_new_with_attributes("In the tank", toggle, "active", COL_SELECTED, nullptr));
    for (auto [title, col] : {std::pair{"Species", COL_NAME}, std::pair{"Water", COL_WATER}}) {
        GtkTreeViewColumn* c =
            gtk_tree_view_column_new_with_attributes(title, gtk_cell_renderer_text_new(), "text", col, nullptr);
        gtk_tree_view_column_set_sort_column_id(c, col);
        gtk_tree_view_append_column(GTK_TREE_VIEW(d->fishView), c);
    }
    // A scroll bar that shows only under the pointer hides that rows are missing below.
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroll), FALSE);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scroll), 208);
    gtk_container_add(GTK_CONTAINER(scroll), d->fishView);
    gtk_box_pack_start(GTK_BOX(box), scroll, TRUE, TRUE, 0);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    d->wSelectAll = Button(d, "Select _All", G_CALLBACK(OnSelect));
    d->wSelectSalt = Button(d, "_Saltwater", G_CALLBACK(OnSelect));
    d->wSelectFresh = Button(d, "_Freshwater", G_CALLBACK(OnSelect));
    for (GtkWidget* b : {d->wSelectAll, d->wSelectSalt, d->wSelectFresh})
        gtk_box_pack_start(GTK_BOX(buttons), b, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);

    FORM f = NewForm();
    gtk_container_set_border_width(GTK_CONTAINER(f.grid), 0);
    d->wMaxFish = Spin(d, "MaxFish", 1);
    d->wFishSize = Spin(d, "FishSize", 5);
    d->wRandomSizes = Check(d, "RandomSizes", "Give every fish a _random size");
    d->wDontLeave = Check(d, "StayOnScreen", "Fish stay on _screen");
    AddRow(&f, "Number of fish:", d->wMaxFish);
    AddRow(&f, "Fish size (%):", d->wFishSize);
    AddRow(&f, nullptr, d->wRandomSizes);
    AddRow(&f, nullptr, d->wDontLeave);
    gtk_box_pack_start(GTK_BOX(box), f.grid, FALSE, FALSE, 0);
    return box;
}

GtkWidget* WaterPage(CONFIGDIALOG* d) {
    FORM f = NewForm();
    d->wWantCaustic = Check(d, "WantCaustic", "Project _caustic light onto the fish");
    d->wWantBubbles = Check(d, "WantBubbles", "Rising _bubbles");
    d->wGradualFill = Check(d, "GradualFill", "The tank _fills up slowly");
    d->wWaterRes = Menu(d, "WaterRes", {"64 x 64 (finer)", "32 x 32 (faster)"});
    d->wRWaterLvl = Check(d, "RandomWaterLevel", "_Random water level");
    d->wWWaterLvl = Spin(d, "WantedWaterLevel", 5);
    AddRow(&f, nullptr, d->wWantCaustic);
    AddRow(&f, nullptr, d->wWantBubbles);
    AddRow(&f, nullptr, d->wGradualFill);
    AddRow(&f, "Water surface grid:", d->wWaterRes);
    AddRow(&f, nullptr, d->wRWaterLvl);
    AddRow(&f, "Water level (%):", d->wWWaterLvl);
    return f.grid;
}

GtkWidget* BackgroundPage(CONFIGDIALOG* d) {
    FORM f = NewForm();
    d->wBGType =
        Menu(d, "BGType", {"A picture of the screen", "The desktop picture", "A random picture from a folder"});
    d->wBGRes = Menu(d, "BGRes", {"Low (512 pixels)", "Medium (1024 pixels)", "High (largest)"});
    d->wBGPath = PathButton();
    g_signal_connect(d->wBGPath, "clicked", G_CALLBACK(OnBGPath), d);
    d->wMainMonitorOnly = Check(d, "MainMonitorOnly", "Animate the _main monitor only");
    AddRow(&f, "Background:", d->wBGType);
    AddRow(&f, "Picture folder:", d->wBGPath);
    AddRow(&f, "Detail:", d->wBGRes);
    AddRow(&f, nullptr, d->wMainMonitorOnly);
    return f.grid;
}

void OnAddToXScreenSaver(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    std::string message = "reefmere was found neither beside reefmere-config nor on PATH";
    if (!d->hackProgram.empty()) AddToProgramsFile(XScreenSaverFile(), HackEntry(d->hackProgram), &message);
    if (!message.empty()) message[0] = static_cast<char>(g_ascii_toupper(message[0]));
    gtk_label_set_text(GTK_LABEL(d->wXScreenSaverNote), message.c_str());
}

GtkWidget* SoundPage(CONFIGDIALOG* d) {
    FORM f = NewForm();
    d->wPlaySound = Check(d, "PlaySound", "_Play the sound of water");
    d->wVolume = Spin(d, "Volume", 5);
    d->wLowCPU = Check(d, "LowCPU", "_Low processor use (fewer frames a second)");
    d->wWantSMS = Check(d, "WantSMS", "Tilt the water with the _motion sensor");
    d->wSMSReverse = Check(d, "SMSReverse", "_Reverse the tilt");
    AddRow(&f, nullptr, d->wPlaySound);
    AddRow(&f, "Volume:", d->wVolume);
    AddRow(&f, nullptr, d->wLowCPU);
    AddRow(&f, nullptr, d->wWantSMS);
    AddRow(&f, nullptr, d->wSMSReverse);
    // The same detection the scene makes at setup.
    d->sheet.sensorPresent = detect_sms() != SMS_NONE;
    d->sheet.configureSheet_updatestates();
    d->wSensorNote = gtk_label_new(d->sheet.sensorPresent ? "" : "No motion sensor found");
    gtk_widget_set_halign(d->wSensorNote, GTK_ALIGN_START);
    AddRow(&f, nullptr, d->wSensorNote);
    // Offers the hack to XScreenSaver, whose list otherwise has to be edited by hand.
    d->wAddToXScreenSaver = Button(d, "_Add to XScreenSaver", G_CALLBACK(OnAddToXScreenSaver));
    gtk_widget_set_halign(d->wAddToXScreenSaver, GTK_ALIGN_START);
    d->wXScreenSaverNote = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(d->wXScreenSaverNote), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(d->wXScreenSaverNote), 48);
    gtk_label_set_xalign(GTK_LABEL(d->wXScreenSaverNote), 0.0f);
    AddRow(&f, "XScreenSaver:", d->wAddToXScreenSaver);
    AddRow(&f, nullptr, d->wXScreenSaverNote);
    return f.grid;
}

const char* WaterText(const CONFIGSHEET& m, int row) { return m.RowWaterType(row) == 1 ? "Freshwater" : "Saltwater"; }

}  // namespace

void NoteEdit(CONFIGDIALOG* d) {
    gtk_label_set_text(GTK_LABEL(d->wSavedNote), "");
    SchedulePreview(d);
}

std::vector<std::string> EditedArguments(const CONFIGDIALOG* d) {
    return SettingOverrideArguments(d->sheet.EditedValues());
}

std::vector<std::string> PreviewOptions(const CONFIGDIALOG* d) {
    std::vector<SETTINGOVERRIDE> values = d->sheet.EditedValues();
    values.erase(std::remove_if(values.begin(), values.end(),
                                [](const SETTINGOVERRIDE& o) { return !strcmp(o.key->key, "FishSource"); }),
                 values.end());
    return SettingOverrideArguments(values);
}

bool Unsaved(const CONFIGDIALOG* d) { return EditedArguments(d) != d->savedArgs; }

void ToggleRow(CONFIGDIALOG* d, int row) {
    if (row < 0 || row >= static_cast<int>(d->sheet.rowSelected.size())) return;
    d->sheet.rowSelected[row] = !d->sheet.rowSelected[row];
    ShowModel(d);
    NoteEdit(d);
}

void RequestClose(CONFIGDIALOG* d) {
    if (d->question) {
        gtk_window_present(GTK_WINDOW(d->question));
        return;
    }
    if (!Unsaved(d)) {
        d->sheet.configureSheet_cancel();
        CloseDialog(d);
        return;
    }
    // Not run modally in a loop of its own: the dialog's timers (preview, transfers) go on.
    GtkWidget* q = gtk_message_dialog_new(
        GTK_WINDOW(d->window), static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "Save the changes to the settings before closing?");
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(q), "Changes that are not saved are lost.");
    gtk_dialog_add_buttons(GTK_DIALOG(q), "_Discard", GTK_RESPONSE_REJECT, "_Cancel", GTK_RESPONSE_CANCEL, "_Save",
                           GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(q), GTK_RESPONSE_ACCEPT);
    g_signal_connect(q, "response", G_CALLBACK(OnCloseAnswer), d);
    d->question = q;
    gtk_widget_show_all(q);
}

bool BuildDialog(CONFIGDIALOG* d) {
    d->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(d->window), "Reefmere Settings");
    g_signal_connect(d->window, "delete-event", G_CALLBACK(OnDelete), d);

    GtkWidget* notebook = d->notebook = gtk_notebook_new();
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), FishPage(d), gtk_label_new("Fish"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), WaterPage(d), gtk_label_new("Water"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), BackgroundPage(d), gtk_label_new("Background"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), SoundPage(d), gtk_label_new("Sound & System"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), BuildDownloadPage(d), gtk_label_new("More Fish"));

    GtkWidget* top = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(top), 12);
    gtk_box_pack_start(GTK_BOX(top), BuildPreview(d), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(top), notebook, TRUE, TRUE, 0);

    GtkWidget* actions = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(actions), 12);
    d->wDefaults = Button(d, "_Defaults", G_CALLBACK(OnDefaults));
    d->wWebsite = Button(d, "_Web Page", G_CALLBACK(OnWebsite));
    d->wSavedNote = gtk_label_new("");
    d->wClose = Button(d, "_Close", G_CALLBACK(OnClose));
    d->wSave = Button(d, "_Save", G_CALLBACK(OnSave));
    gtk_box_pack_start(GTK_BOX(actions), d->wDefaults, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(actions), d->wWebsite, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(actions), d->wSavedNote, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(actions), d->wSave, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(actions), d->wClose, FALSE, FALSE, 0);

    GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(outer), top, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(outer), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(outer), actions, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(d->window), outer);
    return true;
}

void ShowModel(CONFIGDIALOG* d) {
    const CONFIGSHEET& m = d->sheet;
    d->showing = true;
    for (size_t i = 0; i < kSheetControlCount; i++) {
        const SHEETCONTROL& c = kSheetControls[i];
        GtkWidget* w = d->controls[c.key];
        if (c.check) SetCheck(w, m.*c.check);
        if (c.number) SetSpin(w, m.*c.number);
        if (c.menu) SetMenu(w, m.*c.menu);
    }
    SetPath(d->wBGPath, m.oBGPath);
    gtk_widget_set_sensitive(d->wSave, m.oSave.enabled);

    // Rebuild the table only when its rows changed; otherwise just the check marks.
    // Rows are kept sorted by the store: each carries its catalogue row.
    GtkTreeModel* tm = GTK_TREE_MODEL(d->fishStore);
    int rows = gtk_tree_model_iter_n_children(tm, nullptr);
    if (rows != m.RowCount()) {
        gtk_list_store_clear(d->fishStore);
        for (int i = 0; i < m.RowCount(); i++)
            gtk_list_store_insert_with_values(d->fishStore, nullptr, -1, COL_NAME, m.fishList[i].c_str(), COL_WATER,
                                              WaterText(m, i), COL_INDEX, i, -1);
    }
    // A changed name moves its row: walk iterators taken before any change (they persist).
    std::vector<GtkTreeIter> iters;
    GtkTreeIter first;
    for (bool valid = gtk_tree_model_get_iter_first(tm, &first); valid; valid = gtk_tree_model_iter_next(tm, &first))
        iters.push_back(first);
    for (GtkTreeIter& it : iters) {
        gint i = -1;
        gtk_tree_model_get(tm, &it, COL_INDEX, &i, -1);
        if (i < 0 || i >= m.RowCount()) continue;
        gtk_list_store_set(d->fishStore, &it, COL_SELECTED, static_cast<gboolean>(m.rowSelected[i]), COL_NAME,
                           m.fishList[i].c_str(), COL_WATER, WaterText(m, i), -1);
    }
    bool table = m.HasCatalogue();
    for (GtkWidget* b : {d->wSelectAll, d->wSelectSalt, d->wSelectFresh}) gtk_widget_set_sensitive(b, table);
    ShowDownloads(d);
    d->showing = false;
}

void TakeControls(CONFIGDIALOG* d) {
    CONFIGSHEET& m = d->sheet;
    for (size_t i = 0; i < kSheetControlCount; i++) {
        const SHEETCONTROL& c = kSheetControls[i];
        GtkWidget* w = d->controls[c.key];
        if (c.check) TakeCheck(w, &(m.*c.check));
        if (c.number) TakeSpin(w, &(m.*c.number));
        if (c.menu) TakeMenu(w, &(m.*c.menu));
    }
    if (d->wAvailable) m.downloads.menuChosen = gtk_combo_box_get_active(GTK_COMBO_BOX(d->wAvailable));
    if (d->wSource) m.oFishSource.text = gtk_entry_get_text(GTK_ENTRY(d->wSource));
}

void CloseDialog(CONFIGDIALOG* d) {
    if (d->closed) return;
    d->closed = true;
    if (d->pollSource) g_source_remove(d->pollSource);
    d->pollSource = 0;
    d->listFetch.Cancel();
    d->download.Cancel();
    StopPreview(d);
    gtk_main_quit();
}
