// The species catalogue: every valid fish archive in the two fish folders, in the order
// the folders list them, and the user's selection of species. Leans on FISHFILE for the
// validity test and on FISHINFO (fish/FishData.h) for the entries.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "fish/FishData.h"
#include "data/FishFile.h"
#include "fish/Aquarium.h"
#include "math/Misc.h"

namespace {

// A directory entry is a candidate when its name is longer than the suffix and ends in
// it (case-sensitive). One rule for every scan, so that the count and the fill agree.
bool IsCandidate(const char* name, const char* suffix) {
    size_t n = strlen(name);
    size_t s = strlen(suffix);
    return n > s && memcmp(name + n - s, suffix, s) == 0;
}

// Visits every candidate of folder that opens as a fish archive, with the archive still
// open; the visitor returns false to stop the scan. A folder that cannot be opened
// contributes nothing.
template <typename Visit>
void ScanFolder(const char* folder, const char* suffix, Visit visit) {
    if (!folder || !folder[0]) return;
    DIR* dir = opendir(folder);
    if (!dir) return;
    FISHFILE archive;
    while (struct dirent* entry = readdir(dir)) {
        if (!IsCandidate(entry->d_name, suffix)) continue;
        std::string path = std::string(folder) + entry->d_name;
        // Only regular files (or links to them): opening a FIFO would block the scan.
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        bool ok = archive.Open(path.c_str());
        if (!ok) {
            archive.Close();
            continue;
        }
        bool more = visit(entry->d_name, archive);
        archive.Close();
        if (!more) break;
    }
    closedir(dir);
}

void CopyText(char* dst, size_t size, const char* src) {
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

void CopyFolder(char* dst, const char* src) {
    CopyText(dst, 1024, src ? src : "");
    size_t n = strlen(dst);
    // A path of 3 or more characters gets a trailing "/" (room permitting).
    if (n > 2 && dst[n - 1] != '/' && n + 1 < 1024) {
        dst[n] = '/';
        dst[n + 1] = '\0';
    }
}

}  // namespace

int CountFiles(const char* folder1, const char* folder2, const char* suffix) {
    int count = 0;
    auto counter = [&count](const char*, FISHFILE&) {
        count++;
        return true;
    };
    ScanFolder(folder1, suffix, counter);
    ScanFolder(folder2, suffix, counter);
    return count;
}

void AQUARIUM::SetFishPaths(const char* path1, const char* path2) {
    CopyFolder(fishPath, path1);
    CopyFolder(fishPath2, path2);
}

bool AQUARIUM::BuildFishList() {
    CleanupFishList();
    int n = CountFiles(fishPath, fishPath2, ".fish");
    if (n < 1) {
        ERRORCLOSE("No Fish Data Found!");
        return false;
    }
    fishInfo = new (std::nothrow) FISHINFO[n];
    if (!fishInfo) {
        ERRORCLOSE("Error Allocating Memory!");
        return false;
    }
    fishInfoCount = n;

    int filled = 0;
    auto fill = [this, n, &filled](const char* folder) {
        ScanFolder(folder, ".fish", [this, n, folder, &filled](const char* name, FISHFILE&) {
            if (filled >= n) return false;
            FISHINFO& info = fishInfo[filled++];
            CopyText(info.fileName, sizeof info.fileName, name);
            CopyText(info.folder, sizeof info.folder, folder);
            return filled < n;
        });
    };
    fill(fishPath);
    if (filled < n) fill(fishPath2);

    if (filled < n) fishInfoCount = filled;
    if (fishInfoCount < 1) {
        ERRORCLOSE("No valid currencies found!");
        CleanupFishList();
        return false;
    }

    // The header of each listed archive; one that went away since the scan fails the build.
    for (int i = 0; i < fishInfoCount; i++) {
        FISHINFO& info = fishInfo[i];
        FISHFILE* archive = new (std::nothrow) FISHFILE;
        std::string path = std::string(info.folder) + info.fileName;
        if (!archive || !archive->Open(path.c_str())) {
            delete archive;
            ERRORCLOSE("Error Loading Fish!");
            fprintf(stderr, "reefmere: %s: fish archive went away while the species were listed\n", path.c_str());
            CleanupFishList();
            return false;
        }
        char displayName[FISH_NAME_SIZE + 1];
        memcpy(displayName, archive->header.name, FISH_NAME_SIZE);
        displayName[FISH_NAME_SIZE] = '\0';
        CopyText(info.displayName, sizeof info.displayName, displayName);
        info.waterType = archive->header.waterType;
        info.flags = archive->header.flags;
        archive->Close();
        delete archive;
    }
    return true;
}

int AQUARIUM::FindFish(const char* fileName) const {
    if (!fileName) return -1;
    for (int i = 0; i < fishInfoCount; i++)
        if (strcmp(fishInfo[i].fileName, fileName) == 0) return i;
    return -1;
}

bool AQUARIUM::FindFishSelection(const char* text, int length) {
    if (text && length >= 1) {
        char item[SELECTION_ITEM_MAX + 1];
        int itemLength = 0;
        bool tooLong = false;
        for (int i = 0; i < length && text[i] != '\0'; i++) {
            char c = text[i];
            if (c != '#') {
                if (itemLength < SELECTION_ITEM_MAX)
                    item[itemLength++] = c;
                else
                    tooLong = true;
                continue;
            }
            if (itemLength == 0 && !tooLong) break;  // an empty item ends the list
            if (!tooLong) {
                // A name longer than the buffer can name no species we would look up
                // correctly, so it is skipped rather than cut.
                item[itemLength] = '\0';
                int k = FindFish(item);
                if (k >= 0) fishInfo[k].selected = false;
            }
            itemLength = 0;
            tooLong = false;
        }
    }

    int count = 0;
    for (int i = 0; i < fishInfoCount; i++)
        if (fishInfo[i].selected) count++;
    if (count == 0) {
        // Every species switched off means every species on.
        for (int i = 0; i < fishInfoCount; i++) fishInfo[i].selected = true;
        count = fishInfoCount;
    }

    free(selectionList);
    selectionList = nullptr;
    selectionCount = 0;
    selectionList = static_cast<int32_t*>(malloc(sizeof(int32_t) * (count > 0 ? count : 1)));
    if (!selectionList) return false;
    int next = 0;
    for (int i = 0; i < fishInfoCount && next < count; i++)
        if (fishInfo[i].selected) selectionList[next++] = i;
    selectionCount = count;
    return true;
}

bool AQUARIUM::FishFileExists(const char* displayName) const {
    if (!displayName) return false;
    bool found = false;
    ScanFolder(fishPath2, ".fish", [displayName, &found](const char*, FISHFILE& archive) {
        char name[FISH_NAME_SIZE + 1];
        memcpy(name, archive.header.name, FISH_NAME_SIZE);
        name[FISH_NAME_SIZE] = '\0';
        if (strcmp(name, displayName) == 0) {
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

void AQUARIUM::CleanupFishList() {
    // delete[] destroys the entries last to first, releasing every loaded species.
    delete[] fishInfo;
    fishInfo = nullptr;
    fishInfoCount = 0;
}
