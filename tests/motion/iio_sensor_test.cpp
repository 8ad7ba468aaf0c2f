// The kernel accelerometer behind the sensor table, read from fake sysfs trees: units
// and axes, scales shared or per axis, garbage and odd files, a device that vanishes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <map>
#include <string>
#include <tuple>

#include "motion/iio_accel.h"
#include "motion/unimotion.h"
#include "test_support.h"

namespace {

using Files = std::map<std::string, std::string>;

void MakeDevice(const std::string& root, int n, const Files& files) {
    const std::string dir = root + "/iio:device" + std::to_string(n);
    mkdir(dir.c_str(), 0755);
    for (const auto& [name, text] : files) ASSERT_TRUE(testsupport::WriteFile(dir + "/" + name, text));
}

// 1 g on z in a hid sensor hub's units (scale 0.0098 m/s^2 per count: 1000 counts = 9.8).
const Files kFlat = {{"name", "accel_3d\n"}, {"in_accel_x_raw", "0\n"}, {"in_accel_y_raw", "0\n"},
                     {"in_accel_z_raw", "1000\n"}, {"in_accel_scale", "0.009806650\n"}};

std::tuple<int, int, int> Read(int expectOk = 1) {
    int x = 1111, y = 2222, z = 3333;
    EXPECT_EQ(read_sms(SMS_IIO, &x, &y, &z), expectOk);
    return {x, y, z};
}

class Iio : public testing::Test {
protected:
    void SetUp() override { sms_set_service(nullptr); }
    testsupport::TempDir root_, config_;
    testsupport::ScopedEnv env_{{{IIO_ROOT_ENV, root_.path()}, {"XDG_CONFIG_HOME", config_.path()}}};
};

}  // namespace

TEST_F(Iio, FindsTheFirstWholeDeviceAndMapsItToCountsPerG) {
    EXPECT_EQ(detect_sms(), SMS_NONE);  // empty root
    MakeDevice(root_.path(), 0, {{"name", "als\n"}, {"in_illuminance_raw", "40\n"}});
    MakeDevice(root_.path(), 10, kFlat);
    MakeDevice(root_.path(), 2, {{"in_accel_x_raw", "-100"}, {"in_accel_y_raw", "+50"}, {"in_accel_z_raw", "0"},
                                 {"in_accel_x_scale", "0.0980665"}, {"in_accel_y_scale", "0.196133"},
                                 {"in_accel_z_scale", "1"}, {"in_accel_offset", "-1.5"}});
    EXPECT_EQ(detect_sms(), SMS_IIO);
    // Device 2 comes before 10: per-axis scales (x: 0.01 g, y: 0.02 g) and the offset.
    EXPECT_EQ(Read(), std::make_tuple(-260, 248, -39));
    ASSERT_EQ(std::remove((root_ / "iio:device2/in_accel_x_raw").c_str()), 0);
    EXPECT_EQ(Read(), std::make_tuple(0, 0, 256));  // an incomplete device is passed over
}

TEST_F(Iio, GarbageOrVanishedFilesFailTheReadAndWriteNothing) {
    MakeDevice(root_.path(), 0, kFlat);
    ASSERT_EQ(Read(), std::make_tuple(0, 0, 256));
    const std::string dir = root_ / "iio:device0";
    const struct {
        const char* file;
        const char* text;  // null: a FIFO in its place
    } cases[] = {
        {"in_accel_x_raw", "12abc"}, {"in_accel_x_raw", ""},         {"in_accel_x_raw", "1 2"},
        {"in_accel_y_raw", "0x10"},  {"in_accel_scale", "0"},        {"in_accel_scale", "nan"},
        {"in_accel_scale", "-0.5"},  {"in_accel_scale", "0,0098"},   {"in_accel_z_scale", "inf"},
        {"in_accel_z_raw", nullptr}, {"in_accel_offset", "garbage"}, {"in_accel_z_raw", "99999999999999999999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + (c.text ? c.text : "fifo"));
        const std::string path = dir + "/" + c.file;
        std::remove(path.c_str());
        if (c.text)
            ASSERT_TRUE(testsupport::WriteFile(path, c.text));
        else
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        EXPECT_EQ(Read(0), std::make_tuple(1111, 2222, 3333));
        EXPECT_EQ(detect_sms(), SMS_NONE);
        std::remove(path.c_str());
        MakeDevice(root_.path(), 0, kFlat);
        ASSERT_EQ(Read(), std::make_tuple(0, 0, 256));
    }
    // A huge reading saturates rather than wrapping.
    MakeDevice(root_.path(), 0, {{"in_accel_x_raw", "-9000000"}});
    EXPECT_EQ(Read(), std::make_tuple(-32768, 0, 256));
    testsupport::Run({"rm", "-rf", dir});
    EXPECT_EQ(Read(0), std::make_tuple(1111, 2222, 3333));
}
