// `reefpack list` and `reefpack index`: the download list a fish source offers, written
// for a folder of fish archives so that any static web server (or a file:// address)
// serves a fish pack.
#include <dirent.h>
#include <plist/plist.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "ArchiveTools.h"
#include "Install.h"
#include "LumpWriter.h"
#include "data/FishFile.h"

namespace reefpack {
namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Percent-encodes everything but unreserved characters, so that file names with
// spaces or ';' still make one field of the list.
std::string EscapeUrlPart(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

bool WriteDownloadList(const std::string& dir, const std::string& baseUrl, const std::string& outPath, int* count,
                       std::string* error) {
    if (baseUrl.find(';') != std::string::npos) {
        *error = "the base address may not contain ';'";
        return false;
    }
    DIR* d = opendir(dir.c_str());
    if (!d) {
        *error = "cannot read the folder " + dir;
        return false;
    }
    std::vector<std::string> files;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (EndsWith(name, ".fish")) files.push_back(name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());

    std::string base = baseUrl;
    while (!base.empty() && base.back() == '/') base.pop_back();
    plist_t list = plist_new_array();
    *count = 0;
    for (const std::string& file : files) {
        std::string path = dir + "/" + file;
        FISHFILE f;
        std::string summary, why;
        if (!f.Open(path.c_str())) {
            std::fprintf(stderr, "reefpack: %s: not a fish archive, left out\n", path.c_str());
            continue;
        }
        // An offer that would be refused after the download helps nobody.
        if (!ValidateArchive(path, &summary, &why)) {
            std::fprintf(stderr, "reefpack: %s: %s, left out\n", path.c_str(), why.c_str());
            continue;
        }
        std::string name(f.header.name, strnlen(f.header.name, sizeof f.header.name));
        if (name.empty() || name.find(';') != std::string::npos) {
            std::fprintf(stderr, "reefpack: %s: display name empty or holding ';', left out\n", path.c_str());
            continue;
        }
        std::string entry = name + ";" + base + "/" + EscapeUrlPart(file);
        plist_array_append_item(list, plist_new_string(entry.c_str()));
        ++*count;
    }
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(list, &xml, &len);
    plist_free(list);
    if (!xml) {
        *error = "cannot serialise the list";
        return false;
    }
    std::vector<uint8_t> bytes(xml, xml + len);
    plist_to_xml_free(xml);
    return WriteFileAtomically(outPath, bytes, error);
}

bool WriteIndex(const std::string& dir, std::string* outPath, int* count, std::string* error) {
    // The list sits where the dialog looks for it under the source address; its entries
    // climb back to the archives, so the folder can be served from any address.
    // Folders a web server running as another user can read (the umask permitting).
    std::string listFolder = dir;
    for (const char* part : {"/mac", "/zips", "/fish"}) {
        listFolder += part;
        if (mkdir(listFolder.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = "cannot create " + listFolder + ": " + std::strerror(errno);
            return false;
        }
    }
    *outPath = listFolder + "/fishTypes14.plist";
    return WriteDownloadList(dir, "../../..", *outPath, count, error);
}

}  // namespace reefpack
