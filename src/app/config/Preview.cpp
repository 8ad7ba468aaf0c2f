// The live preview: `reefmere --preview -window-id XID --OPTION...` drawing into the X
// window of a drawing area, as a child process. The options carry the sheet's values,
// saved or not; an edit restarts it once the edits pause. An old process gets SIGTERM,
// then SIGKILL after 2 s, and is reaped by its child watch before the next one starts
// in the same window; the child also gets SIGTERM should the dialog die first.
#include <gdk/gdkx.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ConfigDialog.h"
#include "platform/x11_glx.h"

namespace {

const int kPreviewWidth = 320;  // pixels
const int kPreviewHeight = 240;
// Milliseconds without an edit before the preview restarts: a dragged slider sends a
// value every few milliseconds.
const guint kPreviewPauseMs = 400;
const guint kPreviewKillMs = 2000;  // SIGTERM ignored this long: SIGKILL

void DieWithParent(gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }

void OnChildExit(GPid pid, gint, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    g_spawn_close_pid(pid);
    if (pid != d->preview.pid) return;
    d->preview.pid = -1;
    d->preview.watch = 0;
    if (d->preview.killTimer) g_source_remove(d->preview.killTimer);
    d->preview.killTimer = 0;
    if (d->preview.restartPending) {
        d->preview.restartPending = false;
        StartPreview(d);
    } else {
        d->preview.ended = true;
        if (d->preview.area) gtk_widget_queue_draw(d->preview.area);
    }
}

gboolean KillStuck(gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    d->preview.killTimer = 0;
    if (d->preview.pid > 0) kill(d->preview.pid, SIGKILL);  // the child watch still reaps it
    return G_SOURCE_REMOVE;
}

gboolean OnPauseOver(gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    d->preview.debounce = 0;
    std::vector<std::string> args = PreviewOptions(d);
    if (args != d->preview.args) {
        d->preview.args = args;
        RestartPreview(d);
    }
    return G_SOURCE_REMOVE;
}

gboolean OnDraw(GtkWidget* w, cairo_t* cr, gpointer data) {
    CONFIGDIALOG* d = static_cast<CONFIGDIALOG*>(data);
    // While the screen saver runs it owns the window's pixels.
    if (d->preview.pid > 0) return TRUE;
    int width = gtk_widget_get_allocated_width(w), height = gtk_widget_get_allocated_height(w);
    cairo_set_source_rgb(cr, 0.02, 0.10, 0.18);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.7, 0.8, 0.9);
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    GdkWindow* win = gtk_widget_get_window(w);
    bool possible = !d->preview.program.empty() && win && GDK_IS_X11_WINDOW(win);
    const char* text = !possible          ? "No preview"
                       : d->preview.ended ? "The preview has stopped"
                                          : "Starting the preview...";
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    cairo_move_to(cr, (width - ext.width) / 2, (height + ext.height) / 2);
    cairo_show_text(cr, text);
    return TRUE;
}

// The drawing area gets the visual the screen saver will ask for, so that a GL context
// can be made for its window.
void UseGlVisual(GtkWidget* area) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return;
    GdkScreen* screen = gdk_display_get_default_screen(display);
    Display* dpy = GDK_DISPLAY_XDISPLAY(display);
    XVisualInfo* vi = GlxChooseVisual(dpy, gdk_x11_screen_get_screen_number(screen));
    if (!vi) return;
    GdkVisual* visual = gdk_x11_screen_lookup_visual(screen, vi->visualid);
    XFree(vi);
    if (visual) gtk_widget_set_visual(area, visual);
}

void OnRealize(GtkWidget* w, gpointer) {
    // The child draws with GLX into this window, so it must be a real X window.
    GdkWindow* win = gtk_widget_get_window(w);
    if (win && GDK_IS_X11_WINDOW(win)) gdk_window_ensure_native(win);
}

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer data) {
    StartPreview(static_cast<CONFIGDIALOG*>(data));
    return FALSE;
}

}  // namespace

GtkWidget* BuildPreview(CONFIGDIALOG* d) {
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_widget_set_valign(frame, GTK_ALIGN_START);
    d->preview.area = gtk_drawing_area_new();
    gtk_widget_set_size_request(d->preview.area, kPreviewWidth, kPreviewHeight);
    UseGlVisual(d->preview.area);
    gtk_widget_add_events(d->preview.area, GDK_STRUCTURE_MASK);
    g_signal_connect(d->preview.area, "realize", G_CALLBACK(OnRealize), d);
    g_signal_connect(d->preview.area, "draw", G_CALLBACK(OnDraw), d);
    g_signal_connect(d->preview.area, "map-event", G_CALLBACK(OnMapped), d);
    gtk_container_add(GTK_CONTAINER(frame), d->preview.area);
    return frame;
}

void StartPreview(CONFIGDIALOG* d) {
    PREVIEW& p = d->preview;
    if (p.program.empty() || p.pid > 0 || !p.area || !gtk_widget_get_realized(p.area)) return;
    GdkWindow* win = gtk_widget_get_window(p.area);
    if (!win || !GDK_IS_X11_WINDOW(win)) return;
    gdk_display_sync(gdk_window_get_display(win));  // the window must exist on the server first
    p.tried = true;
    std::string xid = std::to_string(static_cast<unsigned long>(gdk_x11_window_get_xid(win)));
    std::vector<char*> argv;
    for (const char* a : {p.program.c_str(), "--preview", "-window-id", xid.c_str()})
        argv.push_back(const_cast<char*>(a));
    for (const std::string& a : p.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, DieWithParent, nullptr, &pid,
                       &error)) {
        fprintf(stderr, "reefmere-config: cannot start the preview %s: %s\n", p.program.c_str(),
                error ? error->message : "unknown error");
        g_clear_error(&error);
        return;
    }
    p.pid = pid;
    p.ended = false;
    p.starts++;
    p.watch = g_child_watch_add(pid, OnChildExit, d);
    gtk_widget_queue_draw(p.area);
}

void RestartPreview(CONFIGDIALOG* d) {
    PREVIEW& p = d->preview;
    if (p.pid > 0) {
        // Started again from the child watch once the old one has gone.
        p.restartPending = true;
        kill(p.pid, SIGTERM);
        if (!p.killTimer) p.killTimer = g_timeout_add(kPreviewKillMs, KillStuck, d);
    } else {
        StartPreview(d);
    }
}

void SchedulePreview(CONFIGDIALOG* d) {
    PREVIEW& p = d->preview;
    if (p.debounce) g_source_remove(p.debounce);
    p.debounce = g_timeout_add(kPreviewPauseMs, OnPauseOver, d);
}

void StopPreview(CONFIGDIALOG* d) {
    PREVIEW& p = d->preview;
    p.restartPending = false;
    for (guint* source : {&p.debounce, &p.killTimer}) {
        if (*source) g_source_remove(*source);
        *source = 0;
    }
    if (p.pid <= 0) return;
    if (p.watch) g_source_remove(p.watch);
    p.watch = 0;
    kill(p.pid, SIGTERM);
    // The dialog is going away: wait here (at most 2 s) so no hack outlives it.
    for (int i = 0; i < 200; i++) {
        if (waitpid(p.pid, nullptr, WNOHANG) == p.pid) {
            p.pid = -1;
            return;
        }
        usleep(10000);
    }
    kill(p.pid, SIGKILL);
    waitpid(p.pid, nullptr, 0);
    p.pid = -1;
}
