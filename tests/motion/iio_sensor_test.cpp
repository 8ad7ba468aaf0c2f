// The kernel accelerometer behind the sensor table, read from fake sysfs trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <tuple>
#include <vector>

#include "motion/iio_accel.h"
#include "motion/unimotion.h"
#include "test_support.h"

namespace {

using Files = std::map<std::string, std::string>;
void Device(const std::string& root, int n, const Files& files) {
    const std::string dir = root + "/iio:device" + std::to_string(n);
    mkdir(dir.c_str(), 0755);
    for (const auto& [name, text] : files) ASSERT_TRUE(testsupport::WriteFile(dir + "/" + name, text));
}
// Lying flat: 1 g on z at 1000 counts per g.
const Files kFlat = {{"name", "accel_3d\n"},
                     {"in_accel_x_raw", "0\n"},
                     {"in_accel_y_raw", "0\n"},
                     {"in_accel_z_raw", "1000\n"},
                     {"in_accel_scale", "0.009806650\n"}};

std::tuple<int, int, int> Read(int ok = 1) {
    int x = 7, y = 8, z = 9;
    EXPECT_EQ(read_sms(SMS_IIO, &x, &y, &z), ok);
    return {x, y, z};
}

}  // namespace

TEST(Iio, ReadsTheFirstWholeDeviceInCountsPerGAndRefusesGarbage) {
    testsupport::TempDir root, config;
    testsupport::ScopedEnv env({{IIO_ROOT_ENV, root.path()}, {"XDG_CONFIG_HOME", config.path()}});
    sms_set_service(nullptr);
    EXPECT_EQ(detect_sms(), SMS_NONE);
    Device(root.path(), 0, {{"name", "als\n"}, {"in_illuminance_raw", "40\n"}});
    Device(root.path(), 10, kFlat);
    // Device 2 before 10: per-axis scales (x 0.01 g, y 0.02 g per count) and an offset.
    Device(root.path(), 2,
           {{"in_accel_x_raw", "-100"},
            {"in_accel_y_raw", "+50"},
            {"in_accel_z_raw", "0"},
            {"in_accel_x_scale", "0.0980665"},
            {"in_accel_y_scale", "0.196133"},
            {"in_accel_z_scale", "1"},
            {"in_accel_offset", "-1.5"}});
    EXPECT_EQ(detect_sms(), SMS_IIO);
    EXPECT_EQ(Read(), std::make_tuple(-260, 248, -39));
    testsupport::Run({"rm", "-rf", root / "iio:device2"});
    const std::string dir = root / "iio:device10";
    for (auto [file, text] :
         std::vector<std::pair<std::string, std::string>>{{"in_accel_x_raw", "12abc"},
                                                          {"in_accel_scale", "0"},
                                                          {"in_accel_scale", "nan"},
                                                          {"in_accel_z_scale", "0,0098"},
                                                          {"in_accel_z_raw", ""},
                                                          {"in_accel_offset", "+-1"},
                                                          {"in_accel_x_raw", "99999999999999999999"}}) {
        ASSERT_EQ(Read(), std::make_tuple(0, 0, 256));
        testsupport::WriteFile(dir + "/" + file, text);
        if (text.empty()) std::remove((dir + "/" + file).c_str()), mkfifo((dir + "/" + file).c_str(), 0600);
        EXPECT_EQ(Read(0), std::make_tuple(7, 8, 9)) << file << " " << text;
        std::remove((dir + "/" + file).c_str());
        Device(root.path(), 10, kFlat);
    }
    Device(root.path(), 10, {{"in_accel_x_raw", "-9000000"}});  // saturates, never wraps
    EXPECT_EQ(Read(), std::make_tuple(-32768, 0, 256));
    testsupport::Run({"rm", "-rf", dir});
    EXPECT_EQ(Read(0), std::make_tuple(7, 8, 9));
}
