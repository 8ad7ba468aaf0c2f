// The More Fish page: the fish source, its offers, the Download button, the progress bar
// and the status text, installing from files, and the fish folder the screen saver reads.
// Transfers run on libcurl's multi interface (file:// ones in curl_fetch itself),
// advanced by a GLib timeout, so the window keeps drawing while they run.
#include "ConfigDialog.h"

#include <algorithm>
#include <cstdio>

#include "ArchiveTools.h"
#include "Install.h"
#include "config/Downloads.h"
#include "settings/Paths.h"

namespace {

const guint kPollMilliseconds = 15;

void OnCheck(GtkWidget*, gpointer data) { StartCheck(static_cast<CONFIGDIALOG*>(data)); }
void OnDownload(GtkWidget*, gpointer data) { StartDownload(static_cast<CONFIGDIALOG*>(data)); }
void OnCancel(GtkWidget*, gpointer data) { CancelTransfers(static_cast<CONFIGDIALOG*>(data)); }
void OnOpenFolder(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    MakeFolders(d->settings.FishPath2);  // a file manager cannot open what is not there yet
    std::string why = OpenWithDesktop(d->settings.FishPath2);
    if (!why.empty()) {
        d->sheet.downloads.statusText = why;
        ShowDownloads(d);
    }
}

void OnSourceChanged(GtkWidget* w, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (d->showing) return;
    d->sheet.oFishSource.text = gtk_entry_get_text(GTK_ENTRY(w));
    d->sheet.configureSheet_updatestates();
    if (d->wWebsite) gtk_widget_set_sensitive(d->wWebsite, d->sheet.oWebsite.enabled);
    NoteEdit(d);
}

void OnInstall(GtkWidget*, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    GtkWidget* chooser =
        gtk_file_chooser_dialog_new("Install Fish", GTK_WINDOW(d->window), GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Install", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* fc = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_select_multiple(fc, TRUE);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Fish archives (*.fish)");
    gtk_file_filter_add_pattern(filter, "*.fish");
    gtk_file_chooser_add_filter(fc, filter);
    std::vector<std::string> files;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        GSList* chosen = gtk_file_chooser_get_filenames(fc);
        for (GSList* p = chosen; p; p = p->next) files.push_back(static_cast<char*>(p->data));
        g_slist_free_full(chosen, g_free);
    }
    gtk_widget_destroy(chooser);
    if (!files.empty()) InstallFiles(d, files);
}

// Asks before a species already in the fish folder is replaced.
bool AskReplace(CONFIGDIALOG* d, const reefpack::InstallOutcome& o) {
    GtkWidget* q = gtk_message_dialog_new(GTK_WINDOW(d->window), GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                          GTK_BUTTONS_NONE, "Replace \"%s\"?", o.displayName.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(q), "A species of this name is installed already (%s).",
                                             o.existing.front().c_str());
    gtk_dialog_add_buttons(GTK_DIALOG(q), "_Keep", GTK_RESPONSE_REJECT, "_Replace", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(q), GTK_RESPONSE_REJECT);
    // A scripted run answers as its script says.
    if (d->scriptedAnswer) {
        g_idle_add(
            [](gpointer q) -> gboolean {
                CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(g_object_get_data(G_OBJECT(q), "reefmere-dialog"));
                gtk_dialog_response(GTK_DIALOG(q), d->scriptedAnswer > 0 ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_REJECT);
                return G_SOURCE_REMOVE;
            },
            q);
        g_object_set_data(G_OBJECT(q), "reefmere-dialog", d);
    }
    bool yes = gtk_dialog_run(GTK_DIALOG(q)) == GTK_RESPONSE_ACCEPT;
    gtk_widget_destroy(q);
    return yes;
}

void OnMenuChanged(GtkWidget* w, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (d->showing) return;
    d->sheet.downloads.menuChosen = gtk_combo_box_get_active(GTK_COMBO_BOX(w));
}

gboolean PollTransfers(gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (d->listFetch.Running() && !d->listFetch.Poll()) {
        const std::string& text = d->listFetch.Text();
        d->sheet.configureSheet_checkdownloads_end(d->listFetch.Succeeded() ? &text : nullptr);
        if (!d->listFetch.Succeeded())
            fprintf(stderr, "reefmere-config: %s: %s\n", d->listFetch.Url().c_str(), d->listFetch.Error().c_str());
        ShowDownloads(d);
    }
    if (d->download.Running() && !d->download.Poll()) {
        if (d->download.Succeeded()) {
            d->sheet.downloadDidFinish();
            ShowModel(d);
            // The new species may now swim in the preview; the list is fetched afresh.
            RestartPreview(d);
            StartCheck(d);
        } else {
            d->sheet.download_didFailWithError(d->download.Error(), d->download.Url());
            ShowModel(d);
        }
    }
    if (d->sheet.downloads.progressAnimating && d->sheet.downloads.expectedBytes < 1)
        gtk_progress_bar_pulse(GTK_PROGRESS_BAR(d->wProgress));
    if (TransfersRunning(d)) return G_SOURCE_CONTINUE;
    d->pollSource = 0;
    return G_SOURCE_REMOVE;
}

void KeepPolling(CONFIGDIALOG* d) {
    if (!d->pollSource) d->pollSource = g_timeout_add(kPollMilliseconds, PollTransfers, d);
}

}  // namespace

bool TransfersRunning(const CONFIGDIALOG* d) { return d->listFetch.Running() || d->download.Running(); }

std::string OpenWithDesktop(const std::string& target) {
    gchar* program = g_find_program_in_path("xdg-open");
    if (!program) return "Cannot open " + target + ": xdg-open is not installed (package xdg-utils).";
    // No shell: the address goes to xdg-open as one argument.
    const char* argv[] = {program, target.c_str(), nullptr};
    GError* error = nullptr;
    std::string why;
    if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error))
        why = "Cannot open " + target + ": " + (error ? error->message : "xdg-open did not start");
    g_clear_error(&error);
    g_free(program);
    return why;
}

void InstallFiles(CONFIGDIALOG* d, const std::vector<std::string>& files) {
    std::string report;
    for (const std::string& file : files) {
        std::string base = file.substr(file.rfind('/') + 1);
        reefpack::InstallOutcome o = reefpack::InstallFish(file, d->settings.FishPath2, false);
        if (o.status == reefpack::InstallOutcome::Exists) {
            if (!AskReplace(d, o)) {
                report += base + ": kept the installed \"" + o.displayName + "\".\n";
                continue;
            }
            o = reefpack::InstallFish(file, d->settings.FishPath2, true);
        }
        if (o.status == reefpack::InstallOutcome::Installed)
            report += "Installed \"" + o.displayName + "\" from " + base + ".\n";
        else
            report += base + ": not installed: " + o.reason + "\n";
    }
    // The table shows the new species at once; the preview may now show them too.
    d->sheet.fishInstalled(report);
    ShowModel(d);
    RestartPreview(d);
}

GtkWidget* BuildDownloadPage(CONFIGDIALOG* d) {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
    int row = 0;
    auto label = [](const char* text) {
        GtkWidget* l = gtk_label_new(text);
        gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
        return l;
    };

    d->wSource = gtk_entry_new();
    gtk_entry_set_placeholder_text(GTK_ENTRY(d->wSource), "none: e.g. https://example.org/reef or file:///srv/fish");
    gtk_widget_set_hexpand(d->wSource, TRUE);
    g_signal_connect(d->wSource, "changed", G_CALLBACK(OnSourceChanged), d);
    gtk_grid_attach(GTK_GRID(grid), label("Fish source:"), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->wSource, 1, row, 1, 1);
    d->wCheck = gtk_button_new_with_mnemonic("_Check");
    g_signal_connect(d->wCheck, "clicked", G_CALLBACK(OnCheck), d);
    gtk_grid_attach(GTK_GRID(grid), d->wCheck, 2, row++, 1, 1);

    d->wAvailable = gtk_combo_box_text_new();
    gtk_widget_set_hexpand(d->wAvailable, TRUE);
    g_signal_connect(d->wAvailable, "changed", G_CALLBACK(OnMenuChanged), d);
    gtk_grid_attach(GTK_GRID(grid), label("New species:"), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->wAvailable, 1, row, 1, 1);
    d->wDownload = gtk_button_new_with_mnemonic("_Download");
    g_signal_connect(d->wDownload, "clicked", G_CALLBACK(OnDownload), d);
    gtk_grid_attach(GTK_GRID(grid), d->wDownload, 2, row++, 1, 1);

    d->wProgress = gtk_progress_bar_new();
    gtk_progress_bar_set_pulse_step(GTK_PROGRESS_BAR(d->wProgress), 0.05);
    gtk_widget_set_valign(d->wProgress, GTK_ALIGN_CENTER);
    gtk_grid_attach(GTK_GRID(grid), d->wProgress, 0, row, 2, 1);
    d->wCancel = gtk_button_new_with_mnemonic("C_ancel");
    g_signal_connect(d->wCancel, "clicked", G_CALLBACK(OnCancel), d);
    gtk_grid_attach(GTK_GRID(grid), d->wCancel, 2, row++, 1, 1);
    d->wStatus = label("");
    gtk_label_set_line_wrap(GTK_LABEL(d->wStatus), TRUE);
    gtk_label_set_selectable(GTK_LABEL(d->wStatus), TRUE);
    gtk_grid_attach(GTK_GRID(grid), d->wStatus, 0, row++, 3, 1);

    // Downloads and installs go where the screen saver reads: this folder, no other.
    d->wDirectory = label(d->settings.FishPath2);
    gtk_label_set_ellipsize(GTK_LABEL(d->wDirectory), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_selectable(GTK_LABEL(d->wDirectory), TRUE);
    gtk_widget_set_hexpand(d->wDirectory, TRUE);
    gtk_grid_attach(GTK_GRID(grid), label("Fish folder:"), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->wDirectory, 1, row++, 2, 1);
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    d->wInstall = gtk_button_new_with_mnemonic("_Install from File...");
    g_signal_connect(d->wInstall, "clicked", G_CALLBACK(OnInstall), d);
    d->wOpenFolder = gtk_button_new_with_mnemonic("_Open Fish Folder");
    g_signal_connect(d->wOpenFolder, "clicked", G_CALLBACK(OnOpenFolder), d);
    gtk_box_pack_start(GTK_BOX(buttons), d->wInstall, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(buttons), d->wOpenFolder, FALSE, FALSE, 0);
    gtk_grid_attach(GTK_GRID(grid), buttons, 0, row++, 3, 1);
    GtkWidget* note =
        label("Species downloaded or installed here join the tank the next time the screen saver starts.");
    gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
    gtk_widget_set_opacity(note, 0.7);
    gtk_grid_attach(GTK_GRID(grid), note, 0, row++, 3, 1);
    return grid;
}

void ShowDownloads(CONFIGDIALOG* d) {
    if (!d->wAvailable) return;
    const DOWNLOADPAGE& p = d->sheet.downloads;
    bool was = d->showing;
    d->showing = true;
    GtkComboBoxText* menu = GTK_COMBO_BOX_TEXT(d->wAvailable);
    GtkTreeModel* tm = gtk_combo_box_get_model(GTK_COMBO_BOX(menu));
    // Refill only when the items differ, so an open pop-up is not disturbed by progress.
    bool same = gtk_tree_model_iter_n_children(tm, nullptr) == static_cast<int>(p.menuItems.size());
    GtkTreeIter it;
    bool valid = gtk_tree_model_get_iter_first(tm, &it);
    for (size_t i = 0; same && valid && i < p.menuItems.size(); i++, valid = gtk_tree_model_iter_next(tm, &it)) {
        gchar* text = nullptr;
        gtk_tree_model_get(tm, &it, 0, &text, -1);
        same = text && p.menuItems[i] == text;
        g_free(text);
    }
    if (!same) {
        gtk_combo_box_text_remove_all(menu);
        for (const std::string& item : p.menuItems) gtk_combo_box_text_append_text(menu, item.c_str());
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(menu), p.menuChosen);
    gtk_widget_set_sensitive(d->wAvailable, p.menuEnabled);
    gtk_widget_set_sensitive(d->wCheck, p.checkEnabled);
    gtk_widget_set_sensitive(d->wDownload, p.downloadEnabled);
    if (d->wCancel) gtk_widget_set_sensitive(d->wCancel, p.cancelEnabled);
    gtk_widget_set_sensitive(d->wInstall, d->sheet.oDirectory.enabled);
    gtk_label_set_text(GTK_LABEL(d->wDirectory), d->sheet.oDirectory.title);
    if (gtk_entry_get_text(GTK_ENTRY(d->wSource)) != d->sheet.oFishSource.text)
        gtk_entry_set_text(GTK_ENTRY(d->wSource), d->sheet.oFishSource.text.c_str());
    if (d->wWebsite) gtk_widget_set_sensitive(d->wWebsite, d->sheet.oWebsite.enabled);
    gtk_widget_set_sensitive(d->wSave, d->sheet.oSave.enabled);
    if (!(p.progressAnimating && p.expectedBytes < 1))
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(d->wProgress), std::clamp(p.progress / 100.0, 0.0, 1.0));
    // The texts end in a line break; the label shows them without it.
    std::string status = p.statusText;
    while (!status.empty() && status.back() == '\n') status.pop_back();
    gtk_label_set_text(GTK_LABEL(d->wStatus), status.c_str());
    d->showing = was;
}

void StartCheck(CONFIGDIALOG* d) {
    TakeControls(d);
    std::string url = d->sheet.configureSheet_checkdownloads_begin();
    if (url.empty()) {
        ShowDownloads(d);  // busy, or no usable source: the status says which
        return;
    }
    // Local files only for a source on this machine.
    d->listFetch.allowFiles = IsFileAddress(url);
    if (!d->listFetch.StartText(url, DOWNLOAD_LIST_MAX_BYTES)) {
        fprintf(stderr, "reefmere-config: %s: %s\n", url.c_str(), d->listFetch.Error().c_str());
        d->sheet.configureSheet_checkdownloads_end(nullptr);
    } else {
        KeepPolling(d);
    }
    ShowDownloads(d);
}

void StartDownload(CONFIGDIALOG* d) {
    TakeControls(d);
    std::string url, destination;
    if (!d->sheet.configureSheet_download(&url, &destination)) {
        ShowDownloads(d);
        return;
    }
    d->download.onResponse = [d](int64_t expected) { d->sheet.download_didReceiveResponse(expected); };
    d->download.onData = [d](int64_t n) {
        d->sheet.download_didReceiveDataOfLength(n);
        ShowDownloads(d);
    };
    // The same check as `reefpack validate`: the whole species loads, not just the header.
    d->download.validate = [](const std::string& path, std::string* why) {
        std::string summary;
        return reefpack::ValidateArchive(path, &summary, why);
    };
    d->download.allowFiles = IsFileAddress(d->sheet.FishSource());
    if (!d->download.StartDownload(url, destination)) {
        d->sheet.download_didFailWithError(d->download.Error(), url);
    } else {
        KeepPolling(d);
    }
    ShowModel(d);
}

void CancelTransfers(CONFIGDIALOG* d) {
    if (d->listFetch.Running()) {
        d->listFetch.Cancel();
        d->sheet.configureSheet_checkdownloads_end(nullptr);
        d->sheet.downloads.statusText = "Check cancelled.";
    }
    if (d->download.Running()) {
        std::string url = d->download.Url();
        d->download.Cancel();
        d->sheet.download_didFailWithError(d->download.Error(), url);
    }
    ShowModel(d);
}
