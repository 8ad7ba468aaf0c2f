// Motion-sensor probe, the three reads and the calibration lookup. Every read finds
// the service, opens it, asks for one sample and closes it again.
#include "motion/unimotion.h"

#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <string>

#include "motion/iio_accel.h"
#include "settings/Paths.h"
#include "settings/Preferences.h"

namespace {

// This platform's services: the kernel's accelerometers, found afresh on every poll, so
// a device that goes away just fails the read. A handle is the device number plus one;
// there is nothing to open or close.
SMSHANDLE IioFind(void*, const char* serviceClass) {
    if (std::strcmp(serviceClass, IIO_ACCEL_SERVICE) != 0) return 0;
    const int device = IioFindAccelerometer();
    return device < 0 ? 0 : static_cast<SMSHANDLE>(device) + 1;
}
SMSHANDLE IioOpen(void*, SMSHANDLE service) { return service; }
int IioCall(void*, SMSHANDLE connection, int selector, const void*, size_t size, void* output, size_t* outputSize) {
    int16_t v[3];
    if (selector != 0 || size < sizeof v || !IioReadAccelerometer(static_cast<int>(connection - 1), v)) return -1;
    std::memcpy(output, v, sizeof v);
    *outputSize = sizeof v;
    return 0;
}
void IioClose(void*, SMSHANDLE) {}

const SMSSERVICE kPlatformService = {nullptr, IioFind, IioOpen, IioCall, IioClose};
const SMSSERVICE* gService = &kPlatformService;

struct KindCall {
    int selector;
    const char* serviceClass;
    int dataType;
};

// Kinds 1 to 4; false for anything else.
bool CallForKind(int kind, KindCall* out) {
    switch (kind) {
        case SMS_I2C:
        case SMS_I2C_ALT:
            *out = {21, "IOI2CMotionSensor", 0};
            return true;
        case SMS_PMU:
            *out = {21, "PMUMotionSensor", 0};
            return true;
        case SMS_SMC:
            *out = {5, "SMCMotionSensor", 1};
            return true;
        case SMS_IIO:
            *out = {0, IIO_ACCEL_SERVICE, 1};
            return true;
        default:
            return false;
    }
}

int ClampToInt(int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// The calibration file, reopened only when it changes on disk, so a damaged file is
// reported once rather than on every poll.
struct CALIBRATIONCACHE {
    PREFSTORE store;
    bool loaded = false;
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime = {0, 0};
};

PREFSTORE* CalibrationStore() {
    static CALIBRATIONCACHE cache;
    std::string path = ConfigFolder() + "/" SMS_CALIBRATION_DOMAIN ".plist";
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        cache.loaded = false;
        return nullptr;
    }
    bool same = cache.loaded && cache.path == path && cache.dev == st.st_dev && cache.ino == st.st_ino &&
                cache.size == st.st_size && cache.mtime.tv_sec == st.st_mtim.tv_sec &&
                cache.mtime.tv_nsec == st.st_mtim.tv_nsec;
    if (!same) {
        cache.store.OpenFile(path);
        cache.loaded = true;
        cache.path = path;
        cache.dev = st.st_dev;
        cache.ino = st.st_ino;
        cache.size = st.st_size;
        cache.mtime = st.st_mtim;
    }
    return &cache.store;
}

}  // namespace

void sms_set_service(const SMSSERVICE* service) { gService = service ? service : &kPlatformService; }

bool sms_calibration_value(const char* key, int64_t* value) {
    if (!key || !value) return false;
    PREFSTORE* store = CalibrationStore();
    return store && store->GetInteger(key, value);
}

int probe_sms(int selector, const char* serviceClass, int dataType, char* output) {
    if (!serviceClass || !output) return 0;
    // Checked before any service is opened, so a bad type never leaves a connection open.
    size_t size;
    if (dataType == 0)
        size = SMS_RECORD_TYPE0;
    else if (dataType == 1)
        size = SMS_RECORD_TYPE1;
    else
        return 0;

    const SMSSERVICE* svc = gService;
    SMSHANDLE service = svc->find(svc->context, serviceClass);
    if (!service) return 0;
    SMSHANDLE connection = svc->open(svc->context, service);
    if (!connection) return 0;

    char input[SMS_RECORD_MAX];
    std::memset(input, 0, sizeof input);
    std::memset(output, 0, SMS_RECORD_MAX);
    size_t outputSize = size;
    int result = svc->call(svc->context, connection, selector, input, size, output, &outputSize);
    svc->close(svc->context, connection);
    return result == 0 ? 1 : 0;
}

int detect_sms() {
    char scratch[SMS_RECORD_MAX];
    for (int kind = SMS_I2C; kind <= SMS_IIO; ++kind) {
        KindCall c;
        CallForKind(kind, &c);
        if (probe_sms(c.selector, c.serviceClass, c.dataType, scratch)) return kind;
    }
    return SMS_NONE;
}

int read_sms_raw(int kind, int* x, int* y, int* z) {
    KindCall c;
    if (!CallForKind(kind, &c)) return 0;
    char out[SMS_RECORD_MAX];
    if (!probe_sms(c.selector, c.serviceClass, c.dataType, out)) return 0;
    int v[3];
    if (c.dataType == 0) {
        for (int i = 0; i < 3; ++i) v[i] = static_cast<int8_t>(out[i]);
    } else {
        for (int i = 0; i < 3; ++i) {
            int16_t s;
            std::memcpy(&s, out + 2 * i, sizeof s);  // host byte order
            v[i] = s;
        }
    }
    if (x) *x = v[0];
    if (y) *y = v[1];
    if (z) *z = v[2];
    return 1;
}

int read_sms(int kind, int* x, int* y, int* z) {
    if (!x || !y || !z) return 0;
    int raw[3];
    if (!read_sms_raw(kind, &raw[0], &raw[1], &raw[2])) return 0;
    static const char* const keys[3] = {"x_offset", "y_offset", "z_offset"};
    int64_t sum[3];
    for (int i = 0; i < 3; ++i) {
        sum[i] = raw[i];
        int64_t offset;
        // A stored offset is untrusted and may be anywhere in 64 bits: bound it so the
        // sum cannot overflow, then saturate the sum to the int range.
        if (sms_calibration_value(keys[i], &offset)) {
            const int64_t kBound = int64_t(1) << 40;
            if (offset > kBound) offset = kBound;
            if (offset < -kBound) offset = -kBound;
            sum[i] += offset;
        }
    }
    *x = ClampToInt(sum[0]);
    *y = ClampToInt(sum[1]);
    *z = ClampToInt(sum[2]);
    return 1;
}

int read_sms_real(int kind, double* x, double* y, double* z) {
    if (!x || !y || !z) return 0;
    int raw[3];
    if (!read_sms_raw(kind, &raw[0], &raw[1], &raw[2])) return 0;
    static const char* const keys[3] = {"x_scale", "y_scale", "z_scale"};
    int64_t scale[3];
    for (int i = 0; i < 3; ++i) {
        // A missing scale, or a zero one that would divide by zero, is no calibration.
        if (!sms_calibration_value(keys[i], &scale[i]) || scale[i] == 0) return 0;
    }
    *x = raw[0] / static_cast<double>(scale[0]);
    *y = raw[1] / static_cast<double>(scale[1]);
    *z = raw[2] / static_cast<double>(scale[2]);
    return 1;
}
