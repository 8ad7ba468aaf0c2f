// HTTP transfers for the download page (libcurl's multi interface): the download list
// fetched into memory, and a fish archive downloaded into the fish folder. Nothing here
// blocks: the owner calls Poll() from its main loop (a GLib timeout in the dialog, a
// loop around Wait() in tests) and events are delivered from inside Poll(), on that thread.
// A download is written to a hidden temporary file beside its destination, checked
// (with `validate` when set, else FISHFILE::Open), and only then put in place, never over
// an existing file: a broken or partial transfer never leaves a file that the catalogue
// would read, and a file already there is never replaced (the new one gets "-2" etc.).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Largest archive accepted (bytes).
#define CURL_DOWNLOAD_MAX_BYTES (256ll << 20)
// Longest a transfer may take in all (seconds): a server that drips a byte now and then
// must not keep the page busy for ever.
#define CURL_LIST_SECONDS 60
#define CURL_DOWNLOAD_SECONDS 600

class CURLFETCH {
public:
    CURLFETCH();
    ~CURLFETCH();  // cancels a running transfer
    CURLFETCH(const CURLFETCH&) = delete;
    CURLFETCH& operator=(const CURLFETCH&) = delete;

    // Fetches url (http or https; file:// with allowFiles) into memory, at most maxBytes.
    // False when a transfer already runs or it cannot be started (reason in Error()).
    bool StartText(const std::string& url, size_t maxBytes);
    // Downloads url into destination (its folder is created when missing).
    bool StartDownload(const std::string& url, const std::string& destination);

    // Advances the transfer without waiting; true while it still runs. When it ends,
    // Succeeded(), Text() and Error() tell how.
    bool Poll();
    // Waits up to ms milliseconds for network activity (tests and tools; a GUI polls).
    void Wait(int ms);
    // Stops a running transfer; a download's temporary file is removed.
    void Cancel();

    bool Running() const { return easy_ != nullptr || localFd_ >= 0; }
    bool Succeeded() const { return succeeded_; }
    const std::string& Text() const { return text_; }
    const std::string& Error() const { return error_; }  // one-line description
    const std::string& Url() const { return url_; }

    // Download events: the expected length (below 1 when the server gave none) before
    // the first data, then the length of each piece of data as it arrives.
    std::function<void(int64_t expectedLength)> onResponse;
    std::function<void(int64_t length)> onData;
    // Checks a finished download before it is put in place; false with a reason.
    std::function<bool(const std::string& path, std::string* why)> validate;
    // Whether file:// addresses are read (a source on this machine); redirects never
    // lead to one. Read here rather than by libcurl, which would open a FIFO blocking.
    bool allowFiles = false;
    // Total time limit of the next transfer in seconds (0: the defaults above).
    long timeoutSeconds = 0;
    // Where the last successful download was put (the destination, or "-2" etc. beside it).
    const std::string& SavedPath() const { return savedPath_; }

    // curl's write callback (public for the C trampoline).
    size_t Write(const char* data, size_t size);

private:
    bool Begin(const std::string& url);
    bool BeginLocal(const std::string& url);
    void PollLocal();
    void Finish(int code);
    void Complete();  // a finished download: sync, check, put in place
    void DropTemporary();

    void* multi_ = nullptr;  // CURLM*
    void* easy_ = nullptr;   // CURL*, null when idle
    std::string url_;
    std::string text_;
    std::string error_;
    size_t maxBytes_ = 0;
    size_t received_ = 0;  // body bytes so far
    bool toFile_ = false;
    bool responded_ = false;
    bool succeeded_ = false;
    bool overLimit_ = false;
    bool writeFailed_ = false;
    int fd_ = -1;       // temporary file of a download
    int localFd_ = -1;  // the file of a running file:// transfer
    int64_t localSize_ = 0;
    std::string tempPath_;
    std::string destination_;
    std::string savedPath_;
    char errorBuffer_[256] = {};
};
