// The desktop's settings files and the pictures they name: Xfce's channel XML, KDE's
// applet file, GNOME slideshows, XScreenSaver's preferences, and the SVG, WebP and stb
// decoders, all from untrusted bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/desktop_picture.h"
#include "platform/x11_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks how the rest is read.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    PICTURERGBA pic;
    switch (data[0] % 6) {
        case 0:
            XfceLastImage(text);
            break;
        case 1:
            KdeWallpaperImage(text);
            break;
        case 2:
            SlideshowLargestPicture(text, "/nonexistent");
            break;
        case 3:
            ParseGrabDesktopImages(text);
            break;
        case 4:
            DecodePictureData("fuzz.svg", text, 256, &pic);
            break;
        default:
            DecodePictureData("fuzz", text, 256, &pic);
            break;
    }
    return 0;
}
