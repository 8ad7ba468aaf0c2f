// The download page: the fish folder, the server's offers, the Download button, the
// progress bar and the status text. Transfers run on libcurl's multi interface,
// advanced by a GLib timeout, so the window keeps drawing while they run.
#include "ConfigDialog.h"

#include <algorithm>
#include <cstdio>

#include "ArchiveTools.h"
#include "config/Downloads.h"

namespace {

const guint kPollMilliseconds = 15;

void OnCheck(GtkWidget*, gpointer data) { StartCheck(static_cast<CONFIGDIALOG*>(data)); }
void OnDownload(GtkWidget*, gpointer data) { StartDownload(static_cast<CONFIGDIALOG*>(data)); }
void OnCancel(GtkWidget*, gpointer data) { CancelTransfers(static_cast<CONFIGDIALOG*>(data)); }
void OnDirectory(GtkWidget*, gpointer data) { ChooseFishFolder(static_cast<CONFIGDIALOG*>(data)); }

void OnMenuChanged(GtkWidget* w, gpointer data)
{
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (d->showing) return;
    d->sheet.downloads.menuChosen = gtk_combo_box_get_active(GTK_COMBO_BOX(w));
}

gboolean PollTransfers(gpointer data)
{
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

void KeepPolling(CONFIGDIALOG* d)
{
    if (!d->pollSource) d->pollSource = g_timeout_add(kPollMilliseconds, PollTransfers, d);
}

}  // namespace

bool TransfersRunning(const CONFIGDIALOG* d) { return d->listFetch.Running() || d->download.Running(); }

GtkWidget* BuildDownloadPage(CONFIGDIALOG* d)
{
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

    d->wDirectory = gtk_button_new_with_label("");
    GtkWidget* dl = gtk_bin_get_child(GTK_BIN(d->wDirectory));
    gtk_label_set_ellipsize(GTK_LABEL(dl), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_max_width_chars(GTK_LABEL(dl), 36);
    gtk_widget_set_hexpand(d->wDirectory, TRUE);
    g_signal_connect(d->wDirectory, "clicked", G_CALLBACK(OnDirectory), d);
    gtk_grid_attach(GTK_GRID(grid), label("Fish folder:"), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->wDirectory, 1, row++, 2, 1);

    GtkWidget* server = label(("Server: " + d->contentBase).c_str());
    gtk_label_set_ellipsize(GTK_LABEL(server), PANGO_ELLIPSIZE_END);
    gtk_label_set_selectable(GTK_LABEL(server), TRUE);
    gtk_grid_attach(GTK_GRID(grid), server, 0, row, 2, 1);
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
    GtkWidget* note = label("Species downloaded here join the tank the next time the screen saver starts.");
    gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
    gtk_widget_set_opacity(note, 0.7);
    gtk_grid_attach(GTK_GRID(grid), note, 0, row++, 3, 1);
    return grid;
}

void ShowDownloads(CONFIGDIALOG* d)
{
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
    gtk_widget_set_sensitive(d->wDirectory, d->sheet.oDirectory.enabled);
    gtk_widget_set_sensitive(d->wSave, d->sheet.oSave.enabled);
    if (!(p.progressAnimating && p.expectedBytes < 1))
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(d->wProgress), std::clamp(p.progress / 100.0, 0.0, 1.0));
    // The texts end in a line break; the label shows them without it.
    std::string status = p.statusText;
    while (!status.empty() && status.back() == '\n') status.pop_back();
    gtk_label_set_text(GTK_LABEL(d->wStatus), status.c_str());
    d->showing = was;
}

void StartCheck(CONFIGDIALOG* d)
{
    std::string url = d->sheet.configureSheet_checkdownloads_begin();
    if (url.empty()) return;
    if (!d->listFetch.StartText(url, DOWNLOAD_LIST_MAX_BYTES)) {
        fprintf(stderr, "reefmere-config: %s: %s\n", url.c_str(), d->listFetch.Error().c_str());
        d->sheet.configureSheet_checkdownloads_end(nullptr);
    } else {
        KeepPolling(d);
    }
    ShowDownloads(d);
}

void StartDownload(CONFIGDIALOG* d)
{
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
    if (!d->download.StartDownload(url, destination)) {
        d->sheet.download_didFailWithError(d->download.Error(), url);
    } else {
        KeepPolling(d);
    }
    ShowModel(d);
}

void CancelTransfers(CONFIGDIALOG* d)
{
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
