// The background chain: capture -> desktop picture -> fixed picture -> the resource
// folder's fallback picture (type 2: folder -> fixed -> fallback).
#include "view/BackgroundSource.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "image/Pics.h"
#include "image/Texture.h"

const char kFixedBackgroundPicture[] = "/Library/Desktop Pictures/Aqua Blue.jpg";
const char kFallbackBackgroundPicture[] = "fallback.jpg";

namespace {

bool Exists(const char* path) {
    struct stat st;
    return path && stat(path, &st) == 0;
}

// Loads a picture; a file that is there but does not decode is worth a line, a missing
// one (the fixed picture on most systems) is not.
bool TryPicture(const char* path, int detail, Texture* tex) {
    if (!path || !*path) return false;
    if (loadPicFile(path, tex, detail)) return true;
    if (Exists(path)) fprintf(stderr, "reefmere: %s: picture does not load; trying the next background\n", path);
    return false;
}

// The host's desktop picture; paths of 4 bytes or less name nothing.
bool TryDesktop(const REEFHOST& host, int detail, Texture* tex) {
    if (!host.desktopPicture) return false;
    char path[16384] = {};
    if (!host.desktopPicture(host.user, path, sizeof path)) return false;
    path[sizeof path - 1] = '\0';
    if (strlen(path) <= 4) return false;
    return TryPicture(path, detail, tex);
}

}  // namespace

BGSOURCE ChooseBackground(const REEFHOST& host, int bgType, const char* bgPath, int detail,
                          const std::string& resourceFolder, Texture* deskTex) {
    if (!deskTex) return BGSOURCE_NONE;
    if (bgType == 0 && deskTex->texID != 0) return BGSOURCE_CAPTURE;
    if (bgType == 0 || bgType == 1) {
        if (TryDesktop(host, detail, deskTex)) return BGSOURCE_DESKTOP;
        if (TryPicture(kFixedBackgroundPicture, detail, deskTex)) return BGSOURCE_FIXED;
    } else if (bgType == 2) {
        if (bgPath && *bgPath && LoadPicture(bgPath, deskTex, detail)) return BGSOURCE_FOLDER;
        if (bgPath && *bgPath)
            fprintf(stderr, "reefmere: %s: could not load a picture from this folder; using the fallback\n", bgPath);
        if (TryPicture(kFixedBackgroundPicture, detail, deskTex)) return BGSOURCE_FIXED;
    }
    const std::string fallback = resourceFolder + "/" + kFallbackBackgroundPicture;
    if (TryPicture(fallback.c_str(), detail, deskTex)) return BGSOURCE_FALLBACK;
    fprintf(stderr, "reefmere: %s: the fallback background picture is missing; the background stays black\n",
            fallback.c_str());
    return BGSOURCE_NONE;
}
