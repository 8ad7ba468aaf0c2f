// Kernel accelerometer reads. Every sysfs attribute is read whole through the
// regular-file opener (sysfs attributes are regular files of one page), so a FIFO or an
// endless file planted under the root cannot block or flood a poll.
//
// Axes and units. The kernel gives (raw + offset) x scale in m/s^2 in the device's own
// frame: for a laptop, x to the right along the keyboard, y away from the user, z up
// out of the keyboard. The tilt code was made for a sensor giving 256 counts per g with
// the machine lying flat reading (0, 0, +256), and rolls the tank by x (the turn about
// the viewing axis), treating z < 0 as upside down. So each axis maps straight across:
// count = m/s^2 / 9.80665 x 256. Devices mounted the other way round (hid sensor hubs
// report -1 g on z lying flat) see their first reading as the rest all the same; only
// the direction of the roll turns, which the "Reverse the tilt" setting is for.
#include "motion/iio_accel.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "math/RegularFile.h"

namespace {

constexpr double kStandardGravity = 9.80665;
constexpr double kCountsPerG = 256.0;
constexpr size_t kAttributeMax = 4096;  // one page: what sysfs attributes report
constexpr int kMaxEntries = 4096;       // a root is a short list; never walk a huge one

std::string DevicePath(int device) { return IioRoot() + "/iio:device" + std::to_string(device); }

enum class Attr { kMissing, kBad, kOk };

// The attribute's number, whole; a file that is not regular, too long, or holds any other
// text is bad. Surrounding white space (the kernel's newline) is allowed.
template <typename T>
Attr ReadNumber(const std::string& path, T* value) {
    std::string text;
    if (!ReadRegularFile(path.c_str(), kAttributeMax, &text)) return errno == ENOENT ? Attr::kMissing : Attr::kBad;
    const char* b = text.data();
    const char* e = b + text.size();
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (b < e && space(*b)) ++b;
    while (e > b && space(e[-1])) --e;
    if (e - b > 1 && *b == '+' && b[1] != '-') ++b;  // from_chars takes no plus sign
    // from_chars ignores the locale, which the settings dialog sets from the user's.
    auto r = std::from_chars(b, e, *value);
    return b < e && r.ec == std::errc() && r.ptr == e ? Attr::kOk : Attr::kBad;
}

// A per-axis attribute where there is one, else the shared one; kMissing when neither is.
Attr ReadAxisOrShared(const std::string& dir, char axis, const char* what, double* value) {
    Attr a = ReadNumber(dir + "/in_accel_" + axis + "_" + what, value);
    if (a == Attr::kMissing) a = ReadNumber(dir + "/in_accel_" + what, value);
    if (a == Attr::kOk && !std::isfinite(*value)) a = Attr::kBad;
    return a;
}

bool ReadAxis(const std::string& dir, char axis, double* g) {
    long long raw = 0;
    if (ReadNumber(dir + "/in_accel_" + axis + "_raw", &raw) != Attr::kOk) return false;
    double scale = 0.0, offset = 0.0;
    if (ReadAxisOrShared(dir, axis, "scale", &scale) != Attr::kOk || scale <= 0.0) return false;
    if (ReadAxisOrShared(dir, axis, "offset", &offset) == Attr::kBad) return false;  // optional
    *g = (static_cast<double>(raw) + offset) * scale / kStandardGravity;
    return std::isfinite(*g);
}

// All three axes are there as regular files (read only when sampled).
bool HasAxes(int device) {
    const std::string dir = DevicePath(device);
    struct stat st;
    for (char axis : {'x', 'y', 'z'})
        if (stat((dir + "/in_accel_" + axis + "_raw").c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return true;
}

}  // namespace

std::string IioRoot() {
    const char* env = std::getenv(IIO_ROOT_ENV);
    return env && env[0] ? env : "/sys/bus/iio/devices";
}

bool IioReadAccelerometer(int device, int16_t out[3]) {
    if (device < 0 || !out) return false;
    const std::string dir = DevicePath(device);
    int16_t v[3];
    for (int i = 0; i < 3; ++i) {
        double g;
        if (!ReadAxis(dir, "xyz"[i], &g)) return false;
        const double counts = std::clamp(std::round(g * kCountsPerG), -32768.0, 32767.0);
        v[i] = static_cast<int16_t>(counts);
    }
    std::memcpy(out, v, sizeof v);
    return true;
}

int IioFindAccelerometer() {
    DIR* d = opendir(IioRoot().c_str());
    if (!d) return -1;
    std::vector<int> devices;
    int seen = 0;
    while (struct dirent* e = readdir(d)) {
        if (++seen > kMaxEntries) break;
        const char* name = e->d_name;
        const size_t prefix = std::strlen("iio:device");
        if (std::strncmp(name, "iio:device", prefix) != 0) continue;
        int n = -1;
        const char* end = name + std::strlen(name);
        auto r = std::from_chars(name + prefix, end, n);
        // "iio:device01" is not device 1's folder.
        if (r.ec == std::errc() && r.ptr == end && std::to_string(n) == name + prefix) devices.push_back(n);
    }
    closedir(d);
    std::sort(devices.begin(), devices.end());
    for (int n : devices)
        if (HasAxes(n)) return n;
    return -1;
}
