// Where the view's background picture comes from, by background type: the screen
// capture (taken when the view was created), the desktop picture, or a random picture
// from the chosen folder. Whenever a picture does not load the chain moves on, and it
// ends at the fallback picture that ships in the resource folder.
#pragma once

#include <string>

#include "view/HostInterface.h"

struct Texture;

// Fixed picture tried after the desktop picture and the folder (present on few systems).
extern const char kFixedBackgroundPicture[];
// Fallback picture in the resource folder, written there by `reefpack build-assets`.
extern const char kFallbackBackgroundPicture[];

// Which link of the chain gave the picture.
enum BGSOURCE {
    BGSOURCE_NONE = 0,  // nothing loaded: deskTex->texID is 0 (a broken installation)
    BGSOURCE_CAPTURE,   // type 0: the capture already in deskTex
    BGSOURCE_DESKTOP,   // the desktop picture the host named
    BGSOURCE_FOLDER,    // a random picture from bgPath
    BGSOURCE_FIXED,     // kFixedBackgroundPicture
    BGSOURCE_FALLBACK   // the resource folder's fallback picture
};

// Fills deskTex with the background for bgType (0 capture, 1 desktop picture, 2 random
// picture from bgPath; other values go straight to the fallback picture) at the detail
// level (0 in a preview). A GL context must be current. A picture that exists but does
// not decode gets one line on stderr; running out of pictures gets one more.
BGSOURCE ChooseBackground(const REEFHOST& host, int bgType, const char* bgPath, int detail,
                          const std::string& resourceFolder, Texture* deskTex);
