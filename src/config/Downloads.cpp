// The download page: the list from the content server (libplist), the offers not yet
// installed, the menu, and the texts and control states around a running download.
// The transfers themselves run in platform/curl_fetch; they report here.
#include "config/Downloads.h"

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "fish/Aquarium.h"
#include "config/ConfigSheet.h"
#include "settings/Paths.h"
#include "settings/PlistShape.h"

namespace {

bool StartsWith(const char* text, size_t length, const char* prefix) {
    size_t n = strlen(prefix);
    return length >= n && memcmp(text, prefix, n) == 0;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseDownloadList(const char* text, size_t length, std::vector<DOWNLOADDATA>* out) {
    if (!out) return false;
    out->clear();
    if (!text || length == 0 || length > DOWNLOAD_LIST_MAX_BYTES) {
        fprintf(stderr, "reefmere-config: download list empty or too large (%zu bytes)\n", length);
        return false;
    }
    size_t skip = 0;
    while (skip < length && (text[skip] == ' ' || text[skip] == '\t' || text[skip] == '\r' || text[skip] == '\n'))
        skip++;
    // The shape first: libplist recurses once per nesting level, so a deep list from a
    // server would overflow the stack.
    std::string why;
    if (!PlistShapeOk(text, length, PLISTTOP::Array, &why)) {
        fprintf(stderr, "reefmere-config: download list refused: %s\n", why.c_str());
        return false;
    }
    plist_t root = nullptr;
    if (StartsWith(text, length, "bplist00"))
        plist_from_bin(text, static_cast<uint32_t>(length), &root);
    else if (skip < length && text[skip] == '<')
        plist_from_xml(text + skip, static_cast<uint32_t>(length - skip), &root);
    if (!root) {
        fprintf(stderr, "reefmere-config: download list is not a property list\n");
        return false;
    }
    if (plist_get_node_type(root) != PLIST_ARRAY) {
        fprintf(stderr, "reefmere-config: download list does not hold an array\n");
        plist_free(root);
        return false;
    }
    uint32_t n = plist_array_get_size(root);
    for (uint32_t i = 0; i < n; i++) {
        plist_t item = plist_array_get_item(root, i);
        if (!item || plist_get_node_type(item) != PLIST_STRING) {
            fprintf(stderr, "reefmere-config: download list entry %u is not a string: skipped\n", i);
            continue;
        }
        // Read with its length: the XML reader lets a NUL byte into a string, which
        // plist_get_string_val refuses with an assertion.
        uint64_t length = 0;
        const char* value = plist_get_string_ptr(item, &length);
        if (!value) continue;
        std::string s(value, static_cast<size_t>(length));
        if (s.find('\0') != std::string::npos) {
            fprintf(stderr, "reefmere-config: download list entry %u holds a NUL byte: skipped\n", i);
            continue;
        }
        size_t semi = s.find(';');
        if (semi == std::string::npos) {
            fprintf(stderr, "reefmere-config: download list entry %u has no address: skipped\n", i);
            continue;
        }
        std::string name = s.substr(0, semi);
        size_t end = s.find(';', semi + 1);
        std::string url = s.substr(semi + 1, end == std::string::npos ? std::string::npos : end - semi - 1);
        if (name.empty() || url.empty()) {
            fprintf(stderr, "reefmere-config: download list entry %u has an empty field: skipped\n", i);
            continue;
        }
        DOWNLOADDATA d;
        // A cut address would fetch something else, so an over-long one is refused.
        if (url.size() >= sizeof d.url) {
            fprintf(stderr, "reefmere-config: download list entry %u: address too long: skipped\n", i);
            continue;
        }
        CopyToField(d.name, sizeof d.name, name.c_str());
        CopyToField(d.url, sizeof d.url, url.c_str());
        out->push_back(d);
    }
    plist_free(root);
    return true;
}

std::string ContentBaseUrl(const char* option, const std::string& stored) {
    const char* env = getenv("REEFMERE_CONTENT_URL");
    return TrimSourceAddress(option && option[0] ? option : env && env[0] ? env : stored);
}

std::string TrimSourceAddress(std::string base) {
    size_t first = base.find_first_not_of(" \t\r\n");
    base = first == std::string::npos ? "" : base.substr(first, base.find_last_not_of(" \t\r\n") - first + 1);
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

namespace {

bool HasScheme(const std::string& url, const char* scheme) {
    size_t n = strlen(scheme);
    return url.size() > n && strncasecmp(url.c_str(), scheme, n) == 0;
}

bool IsWebAddress(const std::string& url) { return HasScheme(url, "http://") || HasScheme(url, "https://"); }

// Removes "." and ".." segments from an absolute path; ".." never climbs above "/".
std::string WithoutDotSegments(const std::string& path) {
    std::vector<std::string> kept;
    size_t at = 1;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        std::string seg = path.substr(at, end - at);
        bool last = end == path.size();
        if (seg == "..") {
            if (!kept.empty()) kept.pop_back();
            if (last) kept.push_back("");
        } else if (seg == ".") {
            if (last) kept.push_back("");
        } else {
            kept.push_back(seg);
        }
        at = end + 1;
    }
    std::string out;
    for (const std::string& seg : kept) out += "/" + seg;
    return out.empty() ? "/" : out;
}

}  // namespace

bool IsFileAddress(const std::string& url) { return HasScheme(url, "file://"); }

bool SourceAddressOk(const std::string& base) { return IsWebAddress(base) || IsFileAddress(base); }

std::string ResolveOfferUrl(const std::string& listUrl, const std::string& url) {
    std::string resolved = url;
    if (url.find("://") == std::string::npos) {
        size_t scheme = listUrl.find("://");
        if (scheme == std::string::npos || url.compare(0, 2, "//") == 0) return "";
        size_t pathStart = listUrl.find('/', scheme + 3);
        if (pathStart == std::string::npos) pathStart = listUrl.size();
        std::string origin = listUrl.substr(0, pathStart);
        std::string folder = listUrl.substr(pathStart, listUrl.find_first_of("?#", pathStart) - pathStart);
        folder = folder.substr(0, folder.rfind('/') + 1);
        size_t tail = url.find_first_of("?#");
        std::string path = url.substr(0, tail), rest = tail == std::string::npos ? "" : url.substr(tail);
        resolved = origin + WithoutDotSegments(path[0] == '/' ? path : (folder.empty() ? "/" : folder) + path) + rest;
    }
    if (IsWebAddress(resolved) || (IsFileAddress(resolved) && IsFileAddress(listUrl))) return resolved;
    return "";
}

namespace {

std::string WithoutTrailingSlash(std::string base) {
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

}  // namespace

std::string DownloadListUrl(const std::string& base) { return WithoutTrailingSlash(base) + DOWNLOAD_LIST_PATH; }

std::string WebsiteUrl(const std::string& base) { return WithoutTrailingSlash(base) + WEBSITE_PATH; }

std::string BytesReceivedText(int64_t bytes) {
    char buf[96];
    snprintf(buf, sizeof buf, "Downloading, Please Wait: %lld bytes received\n", static_cast<long long>(bytes));
    return buf;
}

std::string PercentText(float percent) {
    char buf[96];
    snprintf(buf, sizeof buf, "Downloading, Please Wait: %2.2f%% Complete\n", static_cast<double>(percent));
    return buf;
}

std::string FailureText(const std::string& description, const std::string& failingUrl) {
    return "Download failed! Error - " + description + " " + failingUrl;
}

bool DownloadShouldDecode(const char* encoding) {
    if (!encoding) return false;
    if (!strcmp(encoding, "application/macbinary") || !strcmp(encoding, "application/binhex")) return false;
    return !strcmp(encoding, "application/gzip");
}

std::string DownloadFileName(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t pathStart = url.find('/', start);
    if (pathStart == std::string::npos) return "";
    size_t pathEnd = url.find_first_of("?#", pathStart);
    std::string path = url.substr(pathStart, pathEnd == std::string::npos ? std::string::npos : pathEnd - pathStart);
    std::string last = path.substr(path.rfind('/') + 1);
    std::string name;
    for (size_t i = 0; i < last.size(); i++) {
        char c = last[i];
        if (c == '%' && i + 2 < last.size() && HexDigit(last[i + 1]) >= 0 && HexDigit(last[i + 2]) >= 0) {
            c = static_cast<char>(HexDigit(last[i + 1]) * 16 + HexDigit(last[i + 2]));
            i += 2;
        }
        if (c == '/' || c == '\0' || static_cast<unsigned char>(c) < 0x20) return "";
        name += c;
    }
    if (name.empty() || name[0] == '.') return "";
    if (name.size() < 5 || name.compare(name.size() - 5, 5, ".fish") != 0) name += ".fish";
    if (name.size() > 255) return "";
    return name;
}

std::string DownloadDestination(const char* folder, const std::string& url) {
    std::string name = DownloadFileName(url);
    if (name.empty() || !folder || !folder[0]) return "";
    std::string f = folder;
    if (f.back() != '/') f += '/';
    return f + name;
}

// ---- the sheet's download actions -------------------------------------------------

void CONFIGSHEET::SetDownloadLocks(bool enabled) {
    // Download is only worth pressing when the menu names an offer, not "None".
    downloads.menuEnabled = downloads.downloadEnabled = enabled && downloads.numDownloads > 0;
    downloads.checkEnabled = enabled;
    downloads.cancelEnabled = !enabled;
    oDirectory.enabled = enabled;
    // Save stays usable: the preferences have nothing to do with a transfer, and a
    // server that never finishes must not lock the user's settings.
}

std::string CONFIGSHEET::configureSheet_checkdownloads_begin() {
    if (downloads.theDownload || downloads.checking) return "";
    std::string source = FishSource();
    // Without a usable source nothing is fetched: the page says what to do instead.
    if (source.empty() || !SourceAddressOk(source)) {
        downloads.statusText = source.empty() ? STATUS_NO_SOURCE : STATUS_BAD_SOURCE;
        return "";
    }
    downloads.checking = true;
    downloads.checkEnabled = false;
    downloads.cancelEnabled = true;
    checkStatusBefore_ = downloads.statusText;
    for (const char* stale : {STATUS_NO_SOURCE, STATUS_BAD_SOURCE, STATUS_NO_SERVER})
        if (checkStatusBefore_ == stale) checkStatusBefore_.clear();
    downloads.statusText = STATUS_CHECKING;
    listUrl_ = DownloadListUrl(source);
    return listUrl_;
}

void CONFIGSHEET::configureSheet_checkdownloads_end(const std::string* text) {
    downloads.checking = false;
    downloads.checkEnabled = !downloads.theDownload;
    downloads.cancelEnabled = downloads.theDownload;
    if (!text) {
        downloads.statusText = STATUS_NO_SERVER;
        return;
    }
    downloads.statusText = checkStatusBefore_;
    std::vector<DOWNLOADDATA> offers, kept;
    ParseDownloadList(text->data(), text->size(), &offers);  // a broken list offers nothing
    for (DOWNLOADDATA& d : offers) {
        std::string url = ResolveOfferUrl(listUrl_, d.url);
        if (url.empty() || url.size() >= sizeof d.url) {
            fprintf(stderr, "reefmere-config: download list: \"%s\" at %s: address not taken\n", d.name, d.url);
            continue;
        }
        CopyToField(d.url, sizeof d.url, url.c_str());
        kept.push_back(d);
    }
    downloads.downloadData = kept;
    FilterOffers();
}

void CONFIGSHEET::fishInstalled(const std::string& statusText) {
    ReloadCatalogue();
    FilterOffers();
    downloads.statusText = statusText;
}

void CONFIGSHEET::FilterOffers() {
    // Offers already installed in the download folder leave the list (display names,
    // compared exactly); without a catalogue every offer stays.
    std::vector<DOWNLOADDATA> kept;
    for (const DOWNLOADDATA& d : downloads.downloadData)
        if (!(HasCatalogue() && aquarium_->FishFileExists(d.name))) kept.push_back(d);
    downloads.offersLeftOut = 0;
    if (kept.size() > DOWNLOAD_OFFERS_SHOWN) {
        downloads.offersLeftOut = static_cast<uint32_t>(kept.size() - DOWNLOAD_OFFERS_SHOWN);
        kept.resize(DOWNLOAD_OFFERS_SHOWN);
        downloads.statusText = "The server offers " + std::to_string(kept.size() + downloads.offersLeftOut) +
                               " species; the first " + std::to_string(DOWNLOAD_OFFERS_SHOWN) + " are listed, " +
                               std::to_string(downloads.offersLeftOut) + " left out.";
    }
    downloads.downloadData = kept;
    downloads.numDownloads = static_cast<uint32_t>(kept.size());
    downloads.menuItems.clear();
    for (const DOWNLOADDATA& d : kept) downloads.menuItems.push_back(d.name);
    if (kept.empty()) downloads.menuItems.push_back("None");
    downloads.menuChosen = 0;
    downloads.menuEnabled = downloads.downloadEnabled = !kept.empty() && !downloads.theDownload;
}

bool CONFIGSHEET::configureSheet_download(std::string* url, std::string* destination) {
    DOWNLOADPAGE& p = downloads;
    if (!settings_ || p.theDownload || p.checking || p.numDownloads == 0 || p.menuChosen < 0 ||
        p.menuChosen >= static_cast<int>(p.numDownloads))
        return false;
    const DOWNLOADDATA& d = p.downloadData[p.menuChosen];
    std::string dest = DownloadDestination(settings_->FishPath2, d.url);
    if (dest.empty()) {
        p.statusText = FailureText("The address names no file that can be saved.", d.url);
        return false;
    }
    if (url) *url = d.url;
    if (destination) *destination = dest;
    SetDownloadLocks(false);
    p.theDownload = true;
    p.bytesReceived = 0;
    p.expectedBytes = 0;
    p.progress = 0.0;
    p.progressAnimating = true;
    p.statusText = BytesReceivedText(0);
    return true;
}

void CONFIGSHEET::download_didReceiveResponse(int64_t expectedLength) {
    downloads.bytesReceived = 0;
    downloads.expectedBytes = expectedLength;
}

void CONFIGSHEET::download_didReceiveDataOfLength(int64_t length) {
    DOWNLOADPAGE& p = downloads;
    p.bytesReceived += length;
    if (p.expectedBytes < 1) {
        p.statusText = BytesReceivedText(p.bytesReceived);
        return;
    }
    float percent = static_cast<float>(p.bytesReceived) / static_cast<float>(p.expectedBytes) * 100.0f;
    p.progress = percent;
    p.statusText = PercentText(percent);
}

void CONFIGSHEET::downloadDidFinish() {
    downloads.theDownload = false;
    downloads.statusText = STATUS_COMPLETE;
    downloads.progressAnimating = false;
    SetDownloadLocks(true);
    // The new species joins the table and leaves the offers at once; a fresh check of
    // the server (which the dialog starts next) refreshes the list itself.
    ReloadCatalogue();
    FilterOffers();
    downloads.statusText = STATUS_COMPLETE;
}

void CONFIGSHEET::download_didFailWithError(const std::string& description, const std::string& failingUrl) {
    downloads.theDownload = false;
    downloads.statusText = FailureText(description, failingUrl);
    downloads.progressAnimating = false;
    SetDownloadLocks(true);
}
