// Reader for the acceleration sensor that some portable computers carry to protect
// their disks: sensor detection, one-sample reads (raw, offset-corrected, scaled) and
// the per-user calibration. Plain functions, results 1 for success and 0 for failure.
//
// The sensor itself is reached through a small service table (SMSSERVICE). The
// built-in table answers for the kernel's IIO accelerometers (motion/iio_accel.h) and
// finds none of the other services, so without such a device detect_sms returns 0 and
// the scene runs without tilt; tests and other ports install their own table.
#pragma once

#include <cstddef>
#include <cstdint>

// Sensor kinds, probed in this order. 0 means no sensor.
enum {
    SMS_NONE = 0,
    SMS_I2C = 1,      // "IOI2CMotionSensor", selector 21, 60-byte record, 8-bit axes
    SMS_I2C_ALT = 2,  // the same service and call; a machine with it reports kind 1
    SMS_PMU = 3,      // "PMUMotionSensor", selector 21, 60-byte record, 8-bit axes
    SMS_SMC = 4,      // "SMCMotionSensor", selector 5, 40-byte record, 16-bit axes
    SMS_IIO = 5       // "IIOAccelerometer", selector 0, 40-byte record, 16-bit axes
};

// Record sizes of the two data types (bytes); probe output needs SMS_RECORD_MAX.
enum { SMS_RECORD_TYPE0 = 60, SMS_RECORD_TYPE1 = 40, SMS_RECORD_MAX = 60 };

// Handles are opaque; 0 means none.
typedef uintptr_t SMSHANDLE;

// The service boundary. Every field must be set.
struct SMSSERVICE {
    void* context;
    // First service of the class, or 0 when there is none.
    SMSHANDLE (*find)(void* context, const char* serviceClass);
    // Opens a connection to the service and releases the service whatever the
    // outcome; 0 when the open fails.
    SMSHANDLE (*open)(void* context, SMSHANDLE service);
    // Calls the struct method selector: input and output are `size` bytes each
    // (*outputSize holds the capacity on entry, the bytes written on return).
    // 0 on success, anything else on failure.
    int (*call)(void* context, SMSHANDLE connection, int selector, const void* input, size_t size, void* output,
                size_t* outputSize);
    void (*close)(void* context, SMSHANDLE connection);
};

// Installs a table (kept by pointer, not copied); null restores the platform's own.
void sms_set_service(const SMSSERVICE* service);

// Calibration preferences domain; stored as <config dir>/reefmere.unimotion.plist
// with the integer keys "x_offset", "y_offset", "z_offset", "x_scale", "y_scale",
// "z_scale".
#define SMS_CALIBRATION_DOMAIN "reefmere.unimotion"

// One integer calibration value; false when missing (or stored with another type).
bool sms_calibration_value(const char* key, int64_t* value);

// First sensor kind that answers, 0 when none does (after five probes).
int detect_sms();
// One sample into output (at least SMS_RECORD_MAX bytes). dataType 0: 60-byte record,
// 1: 40-byte record.
int probe_sms(int selector, const char* serviceClass, int dataType, char* output);
// Raw sample; each pointer may be null and is then skipped.
int read_sms_raw(int kind, int* x, int* y, int* z);
// Raw sample plus the stored offsets (a missing offset counts as 0); all three
// pointers are required. On failure the outputs are left alone.
int read_sms(int kind, int* x, int* y, int* z);
// Raw sample divided by the stored scales (in g); fails when any scale is missing or 0.
int read_sms_real(int kind, double* x, double* y, double* z);
