// The download page's data: the offers of the content server's list, the page's
// controls as plain values, and the pure helpers behind them (list parsing, addresses,
// status texts, the destination file name). The sheet's actions that drive the page
// live in Downloads.cpp as members of CONFIGSHEET; the transfers in platform/curl_fetch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One offered species.
struct DOWNLOADDATA {
    char name[40];  // display name, at most 39 bytes
    char url[512];  // address of its archive, at most 511 bytes
};

// Path of the list on the content server, and of the maker's web page.
#define DOWNLOAD_LIST_PATH "/mac/zips/fish/fishTypes14.plist"
#define WEBSITE_PATH "/mac/fish/"
// Largest list accepted from a server (bytes).
#define DOWNLOAD_LIST_MAX_BYTES (1u << 20)
// Most offers shown in the menu: a pop-up of thousands helps nobody, and filling one
// item by item would freeze the page. The rest are counted in the status text.
#define DOWNLOAD_OFFERS_SHOWN 200

// Status texts of the page.
#define STATUS_NO_SERVER "Error! Could not connect to the server!"
#define STATUS_COMPLETE "Download Complete!"
#define STATUS_CHECKING "Checking the server for new fish..."
#define STATUS_NO_SOURCE                                                                           \
    "No fish source is set. Type the address of a fish pack above (http://, https:// or file://) " \
    "and press Check, or add .fish files with Install from File. \"reefpack index FOLDER\" makes " \
    "a fish pack of a folder of .fish files."
#define STATUS_BAD_SOURCE "The fish source must be an http://, https:// or file:// address."

// The page's controls and the state of a running download.
struct DOWNLOADPAGE {
    std::vector<DOWNLOADDATA> downloadData;  // the offers kept by the last check
    uint32_t numDownloads = 0;
    int64_t bytesReceived = 0;
    int64_t expectedBytes = 0;   // below 1: the server reported no length
    bool theDownload = false;    // a download is running
    bool checking = false;       // a list fetch is running
    uint32_t offersLeftOut = 0;  // offers past DOWNLOAD_OFFERS_SHOWN
    bool cancelEnabled = false;  // the Cancel button: while a transfer runs

    // oAvailableDownloads
    std::vector<std::string> menuItems{"None"};
    int menuChosen = 0;
    bool menuEnabled = false;
    // oCheckDownloads, oDownload
    bool checkEnabled = true;
    bool downloadEnabled = false;  // with the menu: only when it names an offer
    // oProgress: 0 to 100; animating while a download of unknown length runs
    double progress = 0.0;
    bool progressAnimating = false;
    // oDownloadText
    std::string statusText;
};

// Parses the list: the top level must be an array; each string element holds
// "name;url[;...]". Elements that are not strings, have fewer than two fields, or have an
// empty name or address are skipped; over-long fields are cut to the record's size.
// False (one line on stderr) when the text is not a property list with an array of
// scalars on top: a list holding arrays or dictionaries is refused whole, before libplist.
bool ParseDownloadList(const char* text, size_t length, std::vector<DOWNLOADDATA>* out);

// The fish source's base address: option (when non-empty), else $REEFMERE_CONTENT_URL,
// else the stored preference; surrounding blanks and trailing slashes removed. Empty:
// no source.
std::string ContentBaseUrl(const char* option, const std::string& stored = "");
std::string TrimSourceAddress(std::string base);
// Whether a source address has a scheme the page fetches (http, https, file).
bool SourceAddressOk(const std::string& base);
bool IsFileAddress(const std::string& url);
// An offer's address as fetched: absolute ones as they are, relative ones (as `reefpack
// index` writes) resolved against the list's address. Empty when the result is not
// http(s), or file:// under a list that is not itself a local file: a web server's list
// never makes the page read local files.
std::string ResolveOfferUrl(const std::string& listUrl, const std::string& url);
std::string DownloadListUrl(const std::string& base);
std::string WebsiteUrl(const std::string& base);

// Progress texts (each ends in a line break).
std::string BytesReceivedText(int64_t bytes);
std::string PercentText(float percent);
std::string FailureText(const std::string& description, const std::string& failingUrl);

// Whether a download of this encoding is decoded on arrival: only gzip is.
bool DownloadShouldDecode(const char* encoding);

// The file name under which an archive from url is saved: the last path component
// (query and fragment dropped, %XX decoded), refused when it could leave the folder or
// hide itself ("", ".", "..", a "/" or NUL, a leading "."); ".fish" is appended when
// missing so the catalogue sees it. Empty when no safe name can be had.
std::string DownloadFileName(const std::string& url);
// folder + "/" (unless it ends in one) + the file name; empty when no safe name.
std::string DownloadDestination(const char* folder, const std::string& url);
