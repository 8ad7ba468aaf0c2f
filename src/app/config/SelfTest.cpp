// Scripted runs for the tests (--self-test ACTIONS): once the window is up, each action
// clicks or sets a real widget, waits for any transfer it started, and at the end the
// model's state is printed on standard output and the dialog closes as Close would.
//   save close defaults select-all select-salt select-fresh check download:N
//   toggle:OUTLET set:OUTLET=VALUE menu:OUTLET=ITEM row:N page:N sleep:MS report
//   source:ADDRESS install:FILE replace:yes|no (the answer to "Replace?") open-folder website
//   drag:OUTLET=FROM..TO (one value every 20 ms, as a dragged slider sends them)
//   answer:save|discard|cancel (the open "Save the changes?" question) scroll:end
// Each action waits for a pending preview restart first.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "ConfigDialog.h"

namespace {

// A drag in progress: the spin button and the values still to come.
struct DRAG {
    GtkWidget* widget = nullptr;
    int next = 0, last = 0;
};
DRAG drag;

gboolean DragStep(gpointer) {
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(drag.widget), drag.next);
    if (drag.next == drag.last) {
        drag.widget = nullptr;
        return G_SOURCE_REMOVE;
    }
    drag.next += drag.next < drag.last ? 1 : -1;
    return G_SOURCE_CONTINUE;
}

std::map<std::string, GtkWidget*> Widgets(CONFIGDIALOG* d) {
    return {{"oMainMonitorOnly", d->wMainMonitorOnly},
            {"oFishSize", d->wFishSize},
            {"oMaxFish", d->wMaxFish},
            {"oWantCaustic", d->wWantCaustic},
            {"oWaterRes", d->wWaterRes},
            {"oWantBubbles", d->wWantBubbles},
            {"oGradualFill", d->wGradualFill},
            {"oBGType", d->wBGType},
            {"oBGRes", d->wBGRes},
            {"oBGPath", d->wBGPath},
            {"oPlaySound", d->wPlaySound},
            {"oRWaterLvl", d->wRWaterLvl},
            {"oWWaterLvl", d->wWWaterLvl},
            {"oDontLeave", d->wDontLeave},
            {"oRandomSizes", d->wRandomSizes},
            {"oVolume", d->wVolume},
            {"oLowCPU", d->wLowCPU},
            {"oWantSMS", d->wWantSMS},
            {"oSMSReverse", d->wSMSReverse},
            {"oDirectory", d->wDirectory},
            {"oSave", d->wSave},
            {"oAvailableDownloads", d->wAvailable},
            {"oCheckDownloads", d->wCheck},
            {"oDownload", d->wDownload},
            {"oFishSource", d->wSource},
            {"oWebsite", d->wWebsite}};
}

// The running preview's options, read back from the process itself.
std::string PreviewArguments(pid_t pid) {
    if (pid <= 0) return "";
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::stringstream parts(all);
    std::string part, out;
    // After the program, --preview and the window.
    for (int n = 0; std::getline(parts, part, '\0'); n++)
        if (n >= 4) out += (out.empty() ? "" : " ") + part;
    return out;
}

// The table as seen: rows the scrolled view shows now, and whether its scroll bar is there.
void ReportTable(CONFIGDIALOG* d) {
    GtkTreePath *first = nullptr, *last = nullptr;
    int a = -1, b = -1;
    if (gtk_tree_view_get_visible_range(GTK_TREE_VIEW(d->fishView), &first, &last)) {
        a = gtk_tree_path_get_indices(first)[0];
        b = gtk_tree_path_get_indices(last)[0];
    }
    gtk_tree_path_free(first);
    gtk_tree_path_free(last);
    GtkWidget* scroll = gtk_widget_get_parent(d->fishView);
    GtkWidget* bar = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scroll));
    bool shown =
        bar && gtk_widget_get_mapped(bar) && !gtk_scrolled_window_get_overlay_scrolling(GTK_SCROLLED_WINDOW(scroll));
    printf("table rows=%d first=%d last=%d scrollbar=%d\n",
           gtk_tree_model_iter_n_children(GTK_TREE_MODEL(d->fishStore), nullptr), a, b, shown ? 1 : 0);
}

// One line per widget, read from the widgets themselves, then the table and the page.
void Report(CONFIGDIALOG* d) {
    printf("report\n");
    for (auto& [name, w] : Widgets(d)) {
        std::string value;
        if (GTK_IS_LABEL(w))
            value = gtk_label_get_text(GTK_LABEL(w));
        else if (GTK_IS_ENTRY(w) && !GTK_IS_SPIN_BUTTON(w))
            value = gtk_entry_get_text(GTK_ENTRY(w));
        else if (GTK_IS_SPIN_BUTTON(w))
            value = std::to_string(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(w)));
        else if (GTK_IS_COMBO_BOX(w))
            value = std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(w)));
        else if (GTK_IS_TOGGLE_BUTTON(w))
            value = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? "1" : "0";
        else if (GTK_IS_BUTTON(w))
            value = gtk_button_get_label(GTK_BUTTON(w)) ? gtk_button_get_label(GTK_BUTTON(w)) : "";
        printf("outlet %s value=%s enabled=%d\n", name.c_str(), value.c_str(), gtk_widget_get_sensitive(w) ? 1 : 0);
    }
    GtkTreeModel* tm = GTK_TREE_MODEL(d->fishStore);
    GtkTreeIter it;
    int row = 0;
    for (bool valid = gtk_tree_model_get_iter_first(tm, &it); valid; valid = gtk_tree_model_iter_next(tm, &it), row++) {
        gboolean selected = FALSE;
        gchar *name = nullptr, *water = nullptr;
        gint index = -1;
        gtk_tree_model_get(tm, &it, 0, &selected, 1, &name, 2, &water, 3, &index, -1);
        printf("row %d index=%d selected=%d water=%s name=%s\n", row, index, selected ? 1 : 0, water, name);
        g_free(name);
        g_free(water);
    }
    std::string items;
    GtkTreeModel* menu = gtk_combo_box_get_model(GTK_COMBO_BOX(d->wAvailable));
    for (bool valid = gtk_tree_model_get_iter_first(menu, &it); valid; valid = gtk_tree_model_iter_next(menu, &it)) {
        gchar* text = nullptr;
        gtk_tree_model_get(menu, &it, 0, &text, -1);
        items += std::string(items.empty() ? "" : "|") + (text ? text : "");
        g_free(text);
    }
    printf("menu=%s\n", items.c_str());
    printf("status=%s\n", gtk_label_get_text(GTK_LABEL(d->wStatus)));
    printf("sensor=%s\n", gtk_label_get_text(GTK_LABEL(d->wSensorNote)));
    printf("progress=%.2f\n", gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(d->wProgress)) * 100.0);
    printf("selection=%s\n", d->sheet.SelectionText().c_str());
    printf("xscreensaver=%s\n", gtk_label_get_text(GTK_LABEL(d->wXScreenSaverNote)));
    printf("preview=%d\n", d->preview.pid > 0 ? static_cast<int>(d->preview.pid) : 0);
    printf("preview-starts=%d\n", d->preview.starts);
    printf("preview-args=%s\n", PreviewArguments(d->preview.pid).c_str());
    printf("note=%s\n", gtk_label_get_text(GTK_LABEL(d->wSavedNote)));
    printf("unsaved=%d\n", Unsaved(d) ? 1 : 0);
    const char* question = "";
    if (d->question) g_object_get(d->question, "text", &question, nullptr);
    printf("question=%s\n", question ? question : "");
    if (d->question) g_free(const_cast<char*>(question));
    ReportTable(d);
    fflush(stdout);
}

bool Act(CONFIGDIALOG* d, const std::string& action) {
    auto widgets = Widgets(d);
    size_t colon = action.find(':');
    std::string verb = action.substr(0, colon);
    std::string arg = colon == std::string::npos ? "" : action.substr(colon + 1);
    std::string name = arg.substr(0, arg.find('='));
    std::string value = arg.find('=') == std::string::npos ? "" : arg.substr(arg.find('=') + 1);
    GtkWidget* w = widgets.count(name) ? widgets[name] : nullptr;

    const std::pair<const char*, GtkWidget*> buttons[] = {{"save", d->wSave},
                                                          {"defaults", d->wDefaults},
                                                          {"select-all", d->wSelectAll},
                                                          {"select-salt", d->wSelectSalt},
                                                          {"select-fresh", d->wSelectFresh},
                                                          {"check", d->wCheck},
                                                          {"add-to-xscreensaver", d->wAddToXScreenSaver}};
    for (const auto& b : buttons)
        if (verb == b.first) {
            gtk_button_clicked(GTK_BUTTON(b.second));
            return true;
        }
    if (verb == "report")
        Report(d);
    else if (verb == "source")
        gtk_entry_set_text(GTK_ENTRY(d->wSource), arg.c_str());
    else if (verb == "install")
        InstallFiles(d, {arg});
    else if (verb == "replace")
        d->scriptedAnswer = arg == "yes" ? 1 : -1;
    else if (verb == "open-folder")
        gtk_button_clicked(GTK_BUTTON(d->wOpenFolder));
    else if (verb == "website")
        gtk_button_clicked(GTK_BUTTON(d->wWebsite));
    else if (verb == "download") {
        gtk_combo_box_set_active(GTK_COMBO_BOX(d->wAvailable), atoi(arg.c_str()));
        gtk_button_clicked(GTK_BUTTON(d->wDownload));
    } else if (verb == "toggle" && w && GTK_IS_TOGGLE_BUTTON(w)) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)));
    } else if (verb == "set" && w && GTK_IS_SPIN_BUTTON(w)) {
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(w), atof(value.c_str()));
    } else if (verb == "menu" && w && GTK_IS_COMBO_BOX(w)) {
        gtk_combo_box_set_active(GTK_COMBO_BOX(w), atoi(value.c_str()));
    } else if (verb == "drag" && w && GTK_IS_SPIN_BUTTON(w) && value.find("..") != std::string::npos) {
        drag = DRAG{w, atoi(value.c_str()), atoi(value.c_str() + value.find("..") + 2)};
        g_timeout_add(20, DragStep, nullptr);
    } else if (verb == "answer" && d->question) {
        int response = arg == "save"      ? GTK_RESPONSE_ACCEPT
                       : arg == "discard" ? GTK_RESPONSE_REJECT
                                          : GTK_RESPONSE_CANCEL;
        GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(d->question), response);
        if (!button) return false;
        gtk_button_clicked(GTK_BUTTON(button));
    } else if (verb == "scroll" && arg == "end") {
        // As far down as the scroll bar goes.
        GtkAdjustment* a = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(d->fishView));
        gtk_adjustment_set_value(a, gtk_adjustment_get_upper(a) - gtk_adjustment_get_page_size(a));
    } else if (verb == "row") {
        ToggleRow(d, atoi(arg.c_str()));
    } else if (verb == "page") {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(d->notebook), atoi(arg.c_str()));
    } else if (verb != "sleep") {
        fprintf(stderr, "reefmere-config: self-test: unknown action %s\n", action.c_str());
        return false;
    }
    return true;
}

gint64 sleepUntil = 0;
gint64 startedAt = 0;

// The script starts once the preview (when there is one) has been started, so that what
// it reports does not depend on how fast the window was mapped; 10 s at most.
bool PreviewPending(const CONFIGDIALOG* d) {
    return !d->preview.program.empty() && !d->preview.tried && g_get_monotonic_time() < startedAt + 10000000;
}

gboolean Step(gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    if (TransfersRunning(d) || drag.widget || d->preview.debounce || d->preview.restartPending || PreviewPending(d) ||
        g_get_monotonic_time() < sleepUntil)
        return G_SOURCE_CONTINUE;
    if (d->scriptNext >= d->script.size()) {
        Report(d);
        d->sheet.configureSheet_cancel();
        CloseDialog(d);
        return G_SOURCE_REMOVE;
    }
    const std::string& action = d->script[d->scriptNext++];
    if (action.rfind("sleep:", 0) == 0) sleepUntil = g_get_monotonic_time() + 1000 * atoll(action.c_str() + 6);
    if (action == "close") {
        gtk_button_clicked(GTK_BUTTON(d->wClose));
        // Closed at once, or asking: the script goes on to answer.
        return d->closed ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
    }
    if (!Act(d, action)) {
        StopPreview(d);
        exit(3);
    }
    return G_SOURCE_CONTINUE;
}

gboolean Begin(gpointer data) {
    startedAt = g_get_monotonic_time();
    g_timeout_add(20, Step, data);
    return G_SOURCE_REMOVE;
}

}  // namespace

void StartSelfTest(CONFIGDIALOG* d) {
    if (d->script.empty()) return;
    g_idle_add(Begin, d);
}
