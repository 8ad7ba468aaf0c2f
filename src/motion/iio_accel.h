// Accelerometers of the Linux kernel's industrial-I/O interface, read from sysfs: each
// device is a folder iio:deviceN under the root (REEFMERE_IIO_ROOT, else
// /sys/bus/iio/devices) holding "name", in_accel_{x,y,z}_raw and a scale, shared
// (in_accel_scale) or per axis (in_accel_x_scale...), with an optional offset. POSIX only.
#pragma once

#include <cstdint>
#include <string>

// The service class under which the sensor table answers for these devices.
#define IIO_ACCEL_SERVICE "IIOAccelerometer"
#define IIO_ROOT_ENV "REEFMERE_IIO_ROOT"

// The folder the devices are looked for in.
std::string IioRoot();

// The lowest N whose device has all three axes; -1 when none has.
int IioFindAccelerometer();

// One sample of iio:deviceN in the units the tilt expects (256 per g, see the .cpp for
// the axes), clamped to 16 bits. False, with out untouched, when a file is missing, is
// not a regular file, or holds anything but a number.
bool IioReadAccelerometer(int device, int16_t out[3]);
