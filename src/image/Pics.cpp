// Picture folders (POSIX directory listing) and picture decoding (stb_image, converted
// to 8-bit RGB whatever the file's channel count or sample depth).
#include "image/Pics.h"

#include <GL/gl.h>
#include <dirent.h>
#include <stb_image.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/TextureSizing.h"
#include "math/RegularFile.h"

namespace {

bool Matches(const char* name, const char* suffix) {
    const size_t n = strlen(name), s = strlen(suffix);
    return n > s && strcmp(name + n - s, suffix) == 0;
}

}  // namespace

bool PicturePixelsAccepted(int width, int height) {
    return width > 0 && height > 0 && static_cast<long long>(width) * height <= kPicMaxPixels;
}

int CountFiles(const char* folder, const char* suffix) {
    if (!folder || !suffix) return 0;
    DIR* dir = opendir(folder);
    if (!dir) return 0;
    int count = 0;
    while (dirent* e = readdir(dir))
        if (Matches(e->d_name, suffix)) ++count;
    closedir(dir);
    return count;
}

bool FindNthFile(const char* folder, char* outName, const char* suffix, int n) {
    if (!outName || n < 0) return false;
    const int c = CountFiles(folder, suffix);
    if (c < 1 || c < n) return false;
    DIR* dir = opendir(folder);
    if (!dir) return false;
    int seen = 0;
    while (dirent* e = readdir(dir)) {
        if (!Matches(e->d_name, suffix)) continue;
        if (seen++ == n) {
            snprintf(outName, kPicNameMax + 1, "%s", e->d_name);
            closedir(dir);
            return true;
        }
    }
    closedir(dir);
    return false;
}

bool ChooseRandomImageFile(const char* folder, char* outName) {
    const int j = CountFiles(folder, ".jpg");
    const int g = CountFiles(folder, ".gif");
    const int p = CountFiles(folder, ".png");
    const int total = j + g + p;
    if (total < 1) return false;
    int r = rand() % total;
    if (r < j) return FindNthFile(folder, outName, ".jpg", r);
    r -= j;
    if (r < g) return FindNthFile(folder, outName, ".gif", r);
    r -= g;
    if (r < p) return FindNthFile(folder, outName, ".png", r);
    return false;
}

void ResamplePicture(const unsigned char* picture, int pixelsWide, int pixelsHigh, int channels, unsigned char* out,
                     int texWidth, int texHeight) {
    const float sx = static_cast<float>(pixelsWide) / static_cast<float>(texWidth);
    const float sy = static_cast<float>(pixelsHigh) / static_cast<float>(texHeight);
    for (int y = 0; y < texHeight; ++y) {
        int srcRow = static_cast<int>(static_cast<float>(y) * sy);
        if (srcRow >= pixelsHigh) srcRow = pixelsHigh - 1;  // float rounding at the edge
        const unsigned char* row = picture + static_cast<size_t>(srcRow) * pixelsWide * channels;
        unsigned char* dst = out + static_cast<size_t>(texHeight - 1 - y) * texWidth * 3;
        for (int x = 0; x < texWidth; ++x) {
            int srcCol = static_cast<int>(static_cast<float>(x) * sx);
            if (srcCol >= pixelsWide) srcCol = pixelsWide - 1;
            const unsigned char* s = row + static_cast<size_t>(srcCol) * channels;
            dst[x * 3] = s[0];
            dst[x * 3 + 1] = s[1];
            dst[x * 3 + 2] = s[2];
        }
    }
}

bool loadPicFile(const char* path, Texture* tex, int mode) {
    if (!path || !tex) return false;
    // A FIFO or device named like a picture must neither block nor stream forever.
    FILE* file = FopenRegular(path);
    if (!file) return false;
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || st.st_size > kPicMaxFileBytes) {
        fprintf(stderr, "reefmere: %s: picture file larger than %lld MiB\n", path, kPicMaxFileBytes >> 20);
        fclose(file);
        return false;
    }
    int pixelsWide = 0, pixelsHigh = 0, fileChannels = 0;
    // The header alone can claim any size; refuse what no screen needs before the
    // decoder reserves memory for it.
    if (!stbi_info_from_file(file, &pixelsWide, &pixelsHigh, &fileChannels)) {
        fclose(file);
        return false;
    }
    if (!PicturePixelsAccepted(pixelsWide, pixelsHigh)) {
        fprintf(stderr, "reefmere: %s: picture of %d x %d pixels is larger than %lld megapixels\n", path, pixelsWide,
                pixelsHigh, kPicMaxPixels / 1000000);
        fclose(file);
        return false;
    }
    // Greyscale, grey+alpha, 16-bit and paletted pictures all arrive as 8-bit RGB; the
    // alpha channel is never drawn, the background is opaque.
    unsigned char* picture = stbi_load_from_file(file, &pixelsWide, &pixelsHigh, &fileChannels, 3);
    fclose(file);
    if (!picture) return false;
    if (!PicturePixelsAccepted(pixelsWide, pixelsHigh)) {
        stbi_image_free(picture);
        return false;
    }
    const int maxSize = MaxTextureSize();
    const int width = PictureTextureSide(pixelsWide, mode, maxSize);
    const int height = PictureTextureSide(pixelsHigh, mode, maxSize);

    free(tex->imageData);
    tex->imageData = static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * height * 3));
    if (!tex->imageData) {
        stbi_image_free(picture);
        return false;
    }
    ResamplePicture(picture, pixelsWide, pixelsHigh, 3, tex->imageData, width, height);
    stbi_image_free(picture);
    tex->type = GL_RGB;
    tex->bpp = 24;
    tex->width = static_cast<uint32_t>(width);
    tex->height = static_cast<uint32_t>(height);
    const bool ok = BuildTexture(tex, TEXMODE_OPAQUE);
    tex->width = static_cast<uint32_t>(pixelsWide);
    tex->height = static_cast<uint32_t>(pixelsHigh);
    return ok;
}

bool LoadPicture(const char* folder, Texture* tex, int mode) {
    if (!folder) return false;
    char name[kPicNameMax + 1] = {};
    if (!ChooseRandomImageFile(folder, name)) return false;
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return loadPicFile(path.c_str(), tex, mode);
}
