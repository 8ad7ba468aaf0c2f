// Motion sensor kinds, failures and calibration over a fake service table, and the kernel
// accelerometer behind the table, read from fake sysfs trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "motion/iio_accel.h"
#include "motion/unimotion.h"
#include "settings/Preferences.h"
#include "test_support.h"

namespace {

struct FakeSensor {
    std::string serviceClass;  // the one class that answers
    unsigned char sample[SMS_RECORD_MAX] = {};
    std::vector<std::string> finds;
    int opens = 0, closes = 0;
};

SMSHANDLE Find(void* ctx, const char* cls) {
    auto* f = static_cast<FakeSensor*>(ctx);
    f->finds.push_back(cls);
    return f->serviceClass == cls ? 0x51 : 0;
}
SMSHANDLE Open(void* ctx, SMSHANDLE) { return static_cast<FakeSensor*>(ctx)->opens++, 0xC0; }
int Call(void* ctx, SMSHANDLE, int, const void*, size_t size, void* out, size_t* outSize) {
    EXPECT_EQ(*outSize, size);
    std::memcpy(out, static_cast<FakeSensor*>(ctx)->sample, size);
    return 0;
}
void Close(void* ctx, SMSHANDLE) { static_cast<FakeSensor*>(ctx)->closes++; }

// One read_sms of this kind; the outputs start as 7, 8, 9 to show what a failure leaves.
std::tuple<int, int, int> Read(int kind, int ok = 1) {
    int x = 7, y = 8, z = 9;
    EXPECT_EQ(read_sms(kind, &x, &y, &z), ok);
    return {x, y, z};
}

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

class Sensor : public testing::Test {
protected:
    void SetUp() override { sms_set_service(&table_); }
    void TearDown() override { sms_set_service(nullptr); }
    void Store(const std::vector<std::pair<const char*, int64_t>>& values) {
        std::remove(calibration_.c_str());
        PREFSTORE store;
        store.OpenFile(calibration_);
        for (auto& kv : values) store.SetInteger(kv.first, kv.second);
        ASSERT_TRUE(store.Synchronize());
    }
    FakeSensor fake_;
    SMSSERVICE table_{&fake_, Find, Open, Call, Close};
    testsupport::TempDir config_;
    testsupport::ScopedEnv env_{{{"XDG_CONFIG_HOME", config_.path()}}};
    const std::string calibration_ = config_.path() + "/" SMS_CALIBRATION_DOMAIN ".plist";
};

}  // namespace

// Only the kernel's accelerometers answer on this platform; the SMC layout (16-bit axes in
// host order) is the one they share.
TEST_F(Sensor, DetectionTheSixteenBitLayoutAndBadKinds) {
    EXPECT_EQ(detect_sms(), 0);
    EXPECT_EQ(fake_.opens, 0);
    fake_.serviceClass = "SMCMotionSensor";
    const int16_t smc[3] = {-2, 16, -32768};
    std::memcpy(fake_.sample, smc, sizeof smc);
    EXPECT_EQ(detect_sms(), 4);
    int x = 0, y = 0, z = 0;
    ASSERT_EQ(read_sms_raw(4, &x, &y, &z), 1);
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(-2, 16, -32768));
    EXPECT_EQ(fake_.opens, fake_.closes);
    y = 99;
    ASSERT_EQ(read_sms_raw(4, nullptr, &y, nullptr), 1);  // null outputs skipped
    EXPECT_EQ(y, 16);

    // Bad kinds and missing outputs are refused without a look-up.
    fake_.serviceClass = "IOI2CMotionSensor";
    fake_.finds.clear();
    x = 7, y = 8, z = 9;
    for (int kind : {0, 6, -1}) EXPECT_EQ(read_sms_raw(kind, &x, &y, &z), 0);
    char out[SMS_RECORD_MAX];
    EXPECT_EQ(probe_sms(21, "IOI2CMotionSensor", 2, out) + probe_sms(21, nullptr, 0, out) +
                  probe_sms(21, "IOI2CMotionSensor", 0, nullptr),
              0);
    EXPECT_TRUE(fake_.finds.empty());
    EXPECT_EQ(read_sms(1, &x, nullptr, &z), 0);  // read_sms needs all three outputs
}

TEST_F(Sensor, CalibrationOffsets) {
    fake_.serviceClass = "SMCMotionSensor";
    const int16_t axes[3] = {256, -128, 64};
    std::memcpy(fake_.sample, axes, sizeof axes);
    const struct {
        std::vector<std::pair<const char*, int64_t>> stored;
        std::tuple<int, int, int> offset;
    } cases[] = {
        {{}, {256, -128, 64}},
        {{{"x_offset", -30}, {"z_offset", 1}, {"x_scale", 256}}, {226, -128, 65}},
        {{{"x_offset", INT64_MAX}, {"z_offset", -5000000000LL}}, {INT_MAX, -128, INT_MIN}},
    };
    for (const auto& c : cases) {
        Store(c.stored);
        EXPECT_EQ(Read(4), c.offset) << c.stored.size();
    }

    // A damaged file is reported once for many reads and ignored; a key of the wrong
    // type counts as missing.
    ASSERT_TRUE(testsupport::WriteFile(calibration_, std::string("\x00\x01garbage<plist", 14)));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 19; ++i) Read(4);
    EXPECT_EQ(Read(4), std::make_tuple(256, -128, 64));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(SMS_CALIBRATION_DOMAIN ".plist"), std::string::npos);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    ASSERT_TRUE(testsupport::WriteFile(calibration_,
                                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                       "<key>x_offset</key><string>12</string><key>y_offset</key><integer>-4</integer>"
                                       "</dict></plist>\n"));
    EXPECT_EQ(Read(4), std::make_tuple(256, -132, 64));
}

TEST_F(Sensor, IioReadsTheFirstWholeDeviceInCountsPerGAndRefusesGarbage) {
    testsupport::TempDir root;
    testsupport::ScopedEnv env({{IIO_ROOT_ENV, root.path()}});
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
    EXPECT_EQ(Read(SMS_IIO), std::make_tuple(-260, 248, -39));
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
        ASSERT_EQ(Read(SMS_IIO), std::make_tuple(0, 0, 256));
        testsupport::WriteFile(dir + "/" + file, text);
        if (text.empty()) std::remove((dir + "/" + file).c_str()), mkfifo((dir + "/" + file).c_str(), 0600);
        EXPECT_EQ(Read(SMS_IIO, 0), std::make_tuple(7, 8, 9)) << file << " " << text;
        std::remove((dir + "/" + file).c_str());
        Device(root.path(), 10, kFlat);
    }
    Device(root.path(), 10, {{"in_accel_x_raw", "-9000000"}});  // saturates, never wraps
    EXPECT_EQ(Read(SMS_IIO), std::make_tuple(-32768, 0, 256));
    testsupport::Run({"rm", "-rf", dir});
    EXPECT_EQ(Read(SMS_IIO, 0), std::make_tuple(7, 8, 9));
}
