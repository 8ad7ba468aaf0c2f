// reefmere-config: the settings dialog of the Reefmere screen saver (GTK 3).
//   reefmere-config [--content-url URL] [--no-preview] [--self-test ACTIONS]
// The fish source: --content-url, else $REEFMERE_CONTENT_URL, else the stored
// "FishSource" preference; none at all until the user gives one.
#include <glib-unix.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "ConfigDialog.h"
#include "settings/Paths.h"

namespace {

const char* kUsage = "usage: reefmere-config [--content-url URL] [--no-preview] [--self-test ACTIONS]\n"
                     "  --content-url URL   fish source for this run, in place of the stored one (also\n"
                     "                      $REEFMERE_CONTENT_URL); http://, https:// or file://; the list is\n"
                     "                      URL" DOWNLOAD_LIST_PATH "\n"
                     "  --no-preview        do not run the screen saver in the preview area\n"
                     "  --self-test ACTIONS comma-separated scripted actions, then print the state and quit (tests)\n";

std::string PreviewProgram() {
    std::string beside = ExecutableFolder() + "/reefmere";
    if (access(beside.c_str(), X_OK) == 0) return beside;
    gchar* found = g_find_program_in_path("reefmere");
    std::string path = found ? found : "";
    g_free(found);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const char* contentUrl = nullptr;
    const char* script = nullptr;
    bool preview = true;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--content-url") && i + 1 < argc) {
            contentUrl = argv[++i];
        } else if (!strcmp(argv[i], "--self-test") && i + 1 < argc) {
            script = argv[++i];
        } else if (!strcmp(argv[i], "--no-preview")) {
            preview = false;
        } else if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(kUsage, stdout);
            return 0;
        } else {
            fprintf(stderr, "reefmere-config: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    // GTK would take its own options; ours are parsed already.
    int gtkArgc = 1;
    if (!gtk_init_check(&gtkArgc, &argv)) {
        fprintf(stderr, "reefmere-config: cannot open the display\n");
        return 1;
    }

    auto d = std::make_unique<CONFIGDIALOG>();
    LoadSettings(&d->settings, &d->mainMonitorOnly);
    // An address given for this run shows in the page's field; Save keeps it.
    std::string override = ContentBaseUrl(contentUrl);
    d->sheet.Bind(&d->settings, &d->mainMonitorOnly, &d->aquarium, override);
    d->sheet.ReloadCatalogue();  // the same folders and catalogue as the screen saver's
    d->sheet.configureSheet();
    // Show where downloads go from the start.
    d->sheet.configureSheet_directory(d->settings.FishPath2);
    d->hackProgram = PreviewProgram();
    if (preview) d->preview.program = d->hackProgram;
    if (script) {
        std::stringstream ss(script);
        std::string action;
        while (std::getline(ss, action, ','))
            if (!action.empty()) d->script.push_back(action);
    }

    BuildDialog(d.get());
    ShowModel(d.get());
    // Nothing is unsaved yet; the preview starts with what is stored.
    d->savedArgs = EditedArguments(d.get());
    d->preview.args = PreviewOptions(d.get());
    gtk_widget_show_all(d->window);
    // Ended by a signal (a session closing, a settings host), close as Close does.
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        g_unix_signal_add(
            sig,
            [](gpointer data) -> gboolean {
                CloseDialog(static_cast<CONFIGDIALOG*>(data));
                return G_SOURCE_REMOVE;
            },
            d.get());
    StartSelfTest(d.get());
    gtk_main();

    StopPreview(d.get());
    FreeFishSelection(&d->settings);
    return 0;
}
