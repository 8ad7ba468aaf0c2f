// The download list from a content server: any bytes through the property-list parser
// and the entry walk, then every accepted address through the file-name rule.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/Downloads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<DOWNLOADDATA> offers;
    ParseDownloadList(reinterpret_cast<const char*>(data), size, &offers);
    for (const DOWNLOADDATA& d : offers) {
        if (strnlen(d.name, sizeof d.name) == sizeof d.name || strnlen(d.url, sizeof d.url) == sizeof d.url)
            __builtin_trap();
        std::string name = DownloadFileName(d.url);
        if (!name.empty() && (name[0] == '.' || name.find('/') != std::string::npos)) __builtin_trap();
    }
    // The file-name rule on the raw bytes as an address, too.
    std::string raw(reinterpret_cast<const char*>(data), size);
    std::string name = DownloadFileName(raw);
    if (!name.empty() &&
        (name[0] == '.' || name.find('/') != std::string::npos || name.find('\0') != std::string::npos))
        __builtin_trap();
    return 0;
}
