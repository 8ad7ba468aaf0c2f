// Non-blocking open and a type check on the open descriptor; see RegularFile.h.
#include "math/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int OpenRegularFile(const char* path) {
    if (!path || !path[0]) {
        errno = ENOENT;
        return -1;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    int err = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    if (err != 0) {
        close(fd);
        errno = err;
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool ReadRegularFile(const char* path, size_t maxBytes, std::string* out) {
    out->clear();
    int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
        close(fd);
        errno = EFBIG;
        return false;
    }
    out->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    while (true) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            close(fd);
            errno = err;
            return false;
        }
        if (n == 0) break;
        // The file may grow while we read it.
        if (out->size() + static_cast<size_t>(n) > maxBytes) {
            close(fd);
            errno = EFBIG;
            return false;
        }
        out->append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

FILE* FopenRegular(const char* path) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "rb");
    if (!f) {
        int err = errno;
        close(fd);
        errno = err;
    }
    return f;
}

bool OpenRegularStream(std::ifstream* stream, const char* path) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    // The stream opens the checked descriptor's own file through /proc; where /proc is
    // missing, the path itself (now known to be a regular file).
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    stream->open(access(self.c_str(), F_OK) == 0 ? self.c_str() : path, std::ios::in | std::ios::binary);
    close(fd);
    if (!stream->is_open()) {
        errno = EIO;
        return false;
    }
    return true;
}
