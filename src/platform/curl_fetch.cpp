// libcurl transfers for the download page; see curl_fetch.h for the contract.
#include "platform/curl_fetch.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "data/FishFile.h"
#include "settings/Paths.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

size_t WriteTrampoline(char* data, size_t size, size_t count, void* self) {
    return static_cast<CURLFETCH*>(self)->Write(data, size * count);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Puts temp in place as destination, or as "<stem>-2.fish" ... when that name is taken:
// link() never replaces an existing name. False with errno set.
bool PlaceWithoutReplacing(const std::string& temp, const std::string& destination, std::string* placed) {
    std::string stem = destination, suffix;
    if (stem.size() > 5 && stem.compare(stem.size() - 5, 5, ".fish") == 0) {
        suffix = ".fish";
        stem.resize(stem.size() - 5);
    }
    for (int n = 1; n < 100; n++) {
        std::string name = n == 1 ? destination : stem + "-" + std::to_string(n) + suffix;
        if (link(temp.c_str(), name.c_str()) == 0) {
            unlink(temp.c_str());
            *placed = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

}  // namespace

CURLFETCH::CURLFETCH() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    multi_ = curl_multi_init();
}

CURLFETCH::~CURLFETCH() {
    Cancel();
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
    multi_ = nullptr;
}

bool CURLFETCH::Begin(const std::string& url) {
    text_.clear();
    error_.clear();
    localSize_ = -1;
    savedPath_.clear();
    url_ = url;
    responded_ = false;
    received_ = 0;
    succeeded_ = false;
    overLimit_ = false;
    writeFailed_ = false;
    errorBuffer_[0] = '\0';
    if (url.compare(0, 7, "file://") == 0) return BeginLocal(url);
    if (!multi_) {
        error_ = "The network library could not be started.";
        return false;
    }
    CURL* e = curl_easy_init();
    if (!e) {
        error_ = "The network library could not be started.";
        return false;
    }
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    // Addresses come from a server's list: nothing but the web, no local files.
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 15L);  // seconds
    // A stalled server (under 1 byte a second for 30 s) ends the transfer.
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 30L);
    long total = timeoutSeconds > 0 ? timeoutSeconds : toFile_ ? CURL_DOWNLOAD_SECONDS : CURL_LIST_SECONDS;
    curl_easy_setopt(e, CURLOPT_TIMEOUT, total);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "reefmere-config");
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, WriteTrampoline);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes_));
    if (curl_multi_add_handle(static_cast<CURLM*>(multi_), e) != CURLM_OK) {
        curl_easy_cleanup(e);
        error_ = "The transfer could not be started.";
        return false;
    }
    easy_ = e;
    return true;
}

bool CURLFETCH::StartText(const std::string& url, size_t maxBytes) {
    if (Running()) return false;
    toFile_ = false;
    maxBytes_ = maxBytes;
    return Begin(url);
}

bool CURLFETCH::StartDownload(const std::string& url, const std::string& destination) {
    if (Running()) return false;
    toFile_ = true;
    maxBytes_ = static_cast<size_t>(CURL_DOWNLOAD_MAX_BYTES);
    destination_ = destination;
    std::string folder = FolderOf(destination);
    if (!MakeFolders(folder)) {
        error_ = "The fish folder " + folder + " cannot be created: " + strerror(errno);
        url_ = url;
        return false;
    }
    // Hidden and without the ".fish" suffix, so no catalogue scan ever reads it.
    tempPath_ = folder + "/.reefmere-download-XXXXXX";
    fd_ = mkstemp(&tempPath_[0]);
    if (fd_ < 0) {
        error_ = "Cannot write in the fish folder " + folder + ": " + strerror(errno);
        url_ = url;
        tempPath_.clear();
        return false;
    }
    fchmod(fd_, 0644);
    if (!Begin(url)) {
        DropTemporary();
        return false;
    }
    return true;
}

bool CURLFETCH::BeginLocal(const std::string& url) {
    if (!allowFiles) {
        error_ = "Local files are read only from a fish source on this machine.";
        return false;
    }
    size_t slash = url.find('/', 7);
    std::string host = url.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
    if (slash == std::string::npos || (!host.empty() && host != "localhost")) {
        error_ = "A file:// address names a file on this machine: file:///path.";
        return false;
    }
    std::string path;
    for (size_t i = slash; i < url.size() && url[i] != '?' && url[i] != '#'; i++) {
        int hi = i + 2 < url.size() ? HexValue(url[i + 1]) : -1, lo = hi >= 0 ? HexValue(url[i + 2]) : -1;
        if (url[i] == '%' && lo >= 0) {
            path += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            path += url[i];
        }
    }
    // Non-blocking open and a regular file only: a FIFO or device under the list's name
    // would otherwise stall or flood the dialog.
    if (path.find('\0') != std::string::npos) {
        error_ = "A file:// address holds a NUL byte.";
        return false;
    }
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = fd < 0 ? "Cannot open " + path + ": " + strerror(errno) : path + " is not a regular file.";
        if (fd >= 0) close(fd);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes_) {
        error_ = path + " is larger than expected.";
        close(fd);
        return false;
    }
    localFd_ = fd;
    localSize_ = st.st_size;
    return true;
}

void CURLFETCH::PollLocal() {
    char buf[1 << 16];
    // A slice per poll keeps the window drawing while a large archive is copied.
    for (int slice = 0; slice < 16 && localFd_ >= 0; slice++) {
        ssize_t n = read(localFd_, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        bool ok = n == 0;
        if (n > 0 && Write(buf, static_cast<size_t>(n)) == static_cast<size_t>(n)) continue;
        if (n < 0) error_ = std::string("Cannot read the file: ") + strerror(errno);
        close(localFd_);
        localFd_ = -1;
        succeeded_ = ok;
        if (!ok && overLimit_) error_ = "The file is larger than expected.";
        if (!ok && writeFailed_) error_ = std::string("The download could not be written: ") + strerror(errno);
        if (toFile_) Complete();
    }
}

size_t CURLFETCH::Write(const char* data, size_t size) {
    if (!responded_) {
        responded_ = true;
        curl_off_t expected = localSize_;
        if (localFd_ < 0) curl_easy_getinfo(static_cast<CURL*>(easy_), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        if (onResponse) onResponse(static_cast<int64_t>(expected));
    }
    if (size > maxBytes_ - received_) {
        overLimit_ = true;
        return 0;  // ends the transfer with a write error
    }
    if (toFile_) {
        if (!WriteAll(fd_, data, size)) {
            writeFailed_ = true;
            return 0;
        }
    } else {
        text_.append(data, size);
    }
    received_ += size;
    if (onData) onData(static_cast<int64_t>(size));
    return size;
}

bool CURLFETCH::Poll() {
    if (localFd_ >= 0) {
        PollLocal();
        return Running();
    }
    if (!easy_) return false;
    int running = 0;
    curl_multi_perform(static_cast<CURLM*>(multi_), &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(static_cast<CURLM*>(multi_), &left)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_) {
            Finish(msg->data.result);
            return false;
        }
    }
    return easy_ != nullptr;
}

void CURLFETCH::Wait(int ms) {
    if (!easy_) return;  // a local file is always ready
    curl_multi_poll(static_cast<CURLM*>(multi_), nullptr, 0, ms, nullptr);
}

void CURLFETCH::Finish(int code) {
    CURL* e = static_cast<CURL*>(easy_);
    CURLcode result = static_cast<CURLcode>(code);
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_OK) {
        succeeded_ = true;
    } else if (overLimit_) {
        error_ = "The server sent more than expected.";
    } else if (writeFailed_) {
        error_ = std::string("The download could not be written: ") + strerror(errno);
    } else if (result == CURLE_OPERATION_TIMEDOUT && responded_) {
        error_ = "The server took too long (over the transfer's time limit).";
    } else if (result == CURLE_HTTP_RETURNED_ERROR) {
        error_ = "The server answered " + std::to_string(status) + ".";
    } else {
        error_ = errorBuffer_[0] ? errorBuffer_ : curl_easy_strerror(result);
    }
    curl_multi_remove_handle(static_cast<CURLM*>(multi_), e);
    curl_easy_cleanup(e);
    easy_ = nullptr;
    if (toFile_) Complete();
}

void CURLFETCH::Complete() {
    if (succeeded_ && !responded_ && onResponse) onResponse(0);  // an empty body
    if (succeeded_ && fsync(fd_) != 0) {
        succeeded_ = false;
        error_ = std::string("The download could not be written: ") + strerror(errno);
    }
    close(fd_);
    fd_ = -1;
    if (succeeded_) {
        std::string why = "not a fish archive the engine opens";
        bool valid;
        if (validate) {
            valid = validate(tempPath_, &why);
        } else {
            FISHFILE check;
            valid = check.Open(tempPath_.c_str());
            check.Close();
        }
        if (!valid) {
            succeeded_ = false;
            error_ = "The downloaded file is not a valid fish archive (" + why + ").";
            fprintf(stderr, "reefmere-config: %s: %s; discarded\n", url_.c_str(), why.c_str());
        } else if (!PlaceWithoutReplacing(tempPath_, destination_, &savedPath_)) {
            succeeded_ = false;
            error_ = "The download could not be put in place: " + std::string(strerror(errno));
        } else {
            tempPath_.clear();
        }
    }
    DropTemporary();
}

void CURLFETCH::DropTemporary() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) unlink(tempPath_.c_str());
    tempPath_.clear();
}

void CURLFETCH::Cancel() {
    if (localFd_ >= 0) {
        close(localFd_);
        localFd_ = -1;
        error_ = "The transfer was cancelled.";
        succeeded_ = false;
    }
    if (easy_) {
        curl_multi_remove_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(easy_));
        curl_easy_cleanup(static_cast<CURL*>(easy_));
        easy_ = nullptr;
        error_ = "The transfer was cancelled.";
        succeeded_ = false;
    }
    DropTemporary();
}
