// Motion sensor: detection order, the byte layouts of each sensor kind, calibration
// from the per-user property list, and the platform's no-sensor path. Samples are fed
// through a fake service table standing in for the sensor hardware.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "motion/unimotion.h"
#include "test_support.h"
#include "settings/Preferences.h"

namespace {

struct FakeSensor {
    std::string serviceClass;  // the one class that answers ("" for none)
    unsigned char sample[SMS_RECORD_MAX] = {};
    bool failOpen = false;
    bool failCall = false;

    std::vector<std::string> finds;
    std::vector<int> selectors;
    std::vector<size_t> sizes;
    bool inputAllZero = true;
    int opens = 0;
    int closes = 0;
};

SMSHANDLE FakeFind(void* ctx, const char* cls) {
    auto* f = static_cast<FakeSensor*>(ctx);
    f->finds.push_back(cls);
    return f->serviceClass == cls ? 0x51 : 0;
}

SMSHANDLE FakeOpen(void* ctx, SMSHANDLE service) {
    auto* f = static_cast<FakeSensor*>(ctx);
    EXPECT_EQ(service, 0x51u);
    if (f->failOpen) return 0;
    f->opens++;
    return 0xC0;
}

int FakeCall(void* ctx, SMSHANDLE conn, int selector, const void* input, size_t size,
             void* output, size_t* outputSize) {
    auto* f = static_cast<FakeSensor*>(ctx);
    EXPECT_EQ(conn, 0xC0u);
    EXPECT_EQ(*outputSize, size);
    f->selectors.push_back(selector);
    f->sizes.push_back(size);
    const unsigned char* in = static_cast<const unsigned char*>(input);
    for (size_t i = 0; i < size; ++i) f->inputAllZero = f->inputAllZero && in[i] == 0;
    if (f->failCall) return 0xE00002BC;
    std::memcpy(output, f->sample, size);
    return 0;
}

void FakeClose(void* ctx, SMSHANDLE conn) {
    EXPECT_EQ(conn, 0xC0u);
    static_cast<FakeSensor*>(ctx)->closes++;
}

// Installs a fake for the test's lifetime; restores the platform table afterwards.
class SensorTest : public testing::Test {
protected:
    void Install() {
        table_ = {&fake_, FakeFind, FakeOpen, FakeCall, FakeClose};
        sms_set_service(&table_);
    }
    void TearDown() override { sms_set_service(nullptr); }
    std::string CalibrationFile() const {
        return config_.path() + "/" SMS_CALIBRATION_DOMAIN ".plist";
    }
    void StoreCalibration(const std::vector<std::pair<const char*, int64_t>>& values) {
        std::remove(CalibrationFile().c_str());  // each call stores exactly these values
        PREFSTORE store;
        store.OpenFile(CalibrationFile());
        for (auto& kv : values) store.SetInteger(kv.first, kv.second);
        ASSERT_TRUE(store.Synchronize());
    }

    FakeSensor fake_;
    SMSSERVICE table_{};
    testsupport::TempDir config_;
    testsupport::ScopedEnv env_{{{"XDG_CONFIG_HOME", config_.path()}}};
};

// One reading as a comparable, printable triple.
template <typename T>
std::tuple<T, T, T> XYZ(T x, T y, T z) {
    return {x, y, z};
}

bool LittleEndianHost() {
    uint16_t one = 1;
    unsigned char b;
    std::memcpy(&b, &one, 1);
    return b == 1;
}

}  // namespace

TEST_F(SensorTest, PlatformHasNoSensorAndSceneRunsWithoutTilt) {
    EXPECT_EQ(detect_sms(), 0);
    int x = 7, y = 8, z = 9;
    for (int kind = 0; kind <= 5; ++kind) {
        EXPECT_EQ(read_sms_raw(kind, &x, &y, &z), 0);
        EXPECT_EQ(read_sms(kind, &x, &y, &z), 0);
    }
    EXPECT_EQ(XYZ(x, y, z), XYZ(7, 8, 9));
    double dx = 1;
    EXPECT_EQ(read_sms_real(1, &dx, &dx, &dx), 0);
    EXPECT_EQ(dx, 1);

    // Four probes, in the documented order, and nothing opened.
    Install();
    EXPECT_EQ(detect_sms(), 0);
    EXPECT_EQ(fake_.finds, (std::vector<std::string>{"IOI2CMotionSensor", "IOI2CMotionSensor",
                                                      "PMUMotionSensor", "SMCMotionSensor"}));
    EXPECT_EQ(fake_.opens, 0);
}

TEST_F(SensorTest, KindOneDecodesSignedBytes) {
    fake_.serviceClass = "IOI2CMotionSensor";
    const unsigned char sample[4] = {0xFF, 0x01, 0x80, 0x7F};  // the fourth byte is ignored
    std::memcpy(fake_.sample, sample, 4);
    Install();
    EXPECT_EQ(detect_sms(), 1);
    int x = 0, y = 0, z = 0;
    ASSERT_EQ(read_sms_raw(1, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(-1, 1, -128));
    // Kind 2 reads the same service the same way.
    x = y = z = 0;
    ASSERT_EQ(read_sms_raw(2, &x, &y, &z), 1);
    EXPECT_EQ(z, -128);
    // Null pointers are skipped.
    y = 99;
    ASSERT_EQ(read_sms_raw(1, nullptr, &y, nullptr), 1);
    EXPECT_EQ(y, 1);
    // Kinds 3 and 4 look elsewhere and find nothing.
    EXPECT_EQ(read_sms_raw(3, &x, &y, &z), 0);
    EXPECT_EQ(read_sms_raw(4, &x, &y, &z), 0);

    for (int s : fake_.selectors) EXPECT_EQ(s, 21);
    for (size_t s : fake_.sizes) EXPECT_EQ(s, 60u);
    EXPECT_TRUE(fake_.inputAllZero);
    EXPECT_EQ(fake_.opens, fake_.closes);
}

TEST_F(SensorTest, KindThreeAndFourLayouts) {
    fake_.serviceClass = "PMUMotionSensor";
    fake_.sample[0] = 0x10;
    fake_.sample[1] = 0xF0;
    Install();
    EXPECT_EQ(detect_sms(), 3);
    int x, y, z;
    ASSERT_EQ(read_sms_raw(3, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(16, -16, 0));

    fake_ = FakeSensor();
    fake_.serviceClass = "SMCMotionSensor";
    const unsigned char le[6] = {0xFE, 0xFF, 0x10, 0x00, 0x00, 0x80};
    const unsigned char be[6] = {0xFF, 0xFE, 0x00, 0x10, 0x80, 0x00};
    std::memcpy(fake_.sample, LittleEndianHost() ? le : be, 6);
    EXPECT_EQ(detect_sms(), 4);
    EXPECT_EQ(fake_.finds.size(), 4u);
    ASSERT_EQ(read_sms_raw(4, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(-2, 16, -32768));
    EXPECT_EQ(fake_.selectors.back(), 5);
    EXPECT_EQ(fake_.sizes.back(), 40u);
    EXPECT_TRUE(fake_.inputAllZero);
    EXPECT_EQ(fake_.opens, fake_.closes);
}

TEST_F(SensorTest, FailuresWriteNothingAndCloseWhatTheyOpened) {
    fake_.serviceClass = "IOI2CMotionSensor";
    fake_.sample[0] = 5;
    Install();
    int x = 7, y = 8, z = 9;
    // Unknown kinds never touch the service.
    EXPECT_EQ(read_sms_raw(0, &x, &y, &z), 0);
    EXPECT_EQ(read_sms_raw(5, &x, &y, &z), 0);
    EXPECT_EQ(read_sms_raw(-1, &x, &y, &z), 0);
    EXPECT_TRUE(fake_.finds.empty());
    // Unknown data types neither.
    char out[SMS_RECORD_MAX];
    EXPECT_EQ(probe_sms(21, "IOI2CMotionSensor", 2, out), 0);
    EXPECT_EQ(probe_sms(21, nullptr, 0, out), 0);
    EXPECT_EQ(probe_sms(21, "IOI2CMotionSensor", 0, nullptr), 0);
    EXPECT_TRUE(fake_.finds.empty());

    fake_.failOpen = true;
    EXPECT_EQ(read_sms_raw(1, &x, &y, &z), 0);
    EXPECT_EQ(detect_sms(), 0);
    fake_.failOpen = false;
    fake_.failCall = true;
    EXPECT_EQ(read_sms_raw(1, &x, &y, &z), 0);
    EXPECT_EQ(read_sms(1, &x, &y, &z), 0);
    EXPECT_EQ(detect_sms(), 0);
    EXPECT_EQ(XYZ(x, y, z), XYZ(7, 8, 9));
    EXPECT_GT(fake_.opens, 0);
    EXPECT_EQ(fake_.opens, fake_.closes);
    // read_sms needs all three outputs.
    fake_.failCall = false;
    EXPECT_EQ(read_sms(1, &x, nullptr, &z), 0);
}

TEST_F(SensorTest, OffsetsFromTheCalibrationStore) {
    fake_.serviceClass = "SMCMotionSensor";
    int16_t axes[3] = {100, -200, 300};
    std::memcpy(fake_.sample, axes, sizeof axes);
    Install();
    int x, y, z;
    // Nothing stored: the raw values.
    ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(100, -200, 300));

    StoreCalibration({{"y_offset", 5}});
    ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(100, -195, 300));

    // A rewritten file is picked up on the next read.
    StoreCalibration({{"x_offset", -30}, {"y_offset", 7}, {"z_offset", 1}});
    ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(70, -193, 301));
    int64_t v = 0;
    EXPECT_TRUE(sms_calibration_value("x_offset", &v));
    EXPECT_EQ(v, -30);
    EXPECT_FALSE(sms_calibration_value("x_scale", &v));

    // Absurd offsets saturate instead of overflowing.
    StoreCalibration({{"x_offset", INT64_MAX}, {"z_offset", -5000000000LL}});
    ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(INT_MAX, -200, INT_MIN));
}

TEST_F(SensorTest, ScalesFromTheCalibrationStore) {
    fake_.serviceClass = "SMCMotionSensor";
    int16_t axes[3] = {256, -128, 64};
    std::memcpy(fake_.sample, axes, sizeof axes);
    Install();
    double x = 9, y = 9, z = 9;
    EXPECT_EQ(read_sms_real(4, &x, &y, &z), 0);

    // Two of three scales: no reading, nothing stored.
    StoreCalibration({{"x_scale", 256}, {"y_scale", 64}});
    EXPECT_EQ(read_sms_real(4, &x, &y, &z), 0);
    EXPECT_EQ(XYZ(x, y, z), XYZ(9, 9, 9));

    StoreCalibration({{"x_scale", 256}, {"y_scale", 64}, {"z_scale", -32}});
    ASSERT_EQ(read_sms_real(4, &x, &y, &z), 1);
    EXPECT_EQ(XYZ(x, y, z), XYZ(1.0, -2.0, -2.0));

    // A zero scale is no calibration rather than an infinite reading.
    StoreCalibration({{"x_scale", 0}, {"y_scale", 64}, {"z_scale", 1}});
    x = 9;
    EXPECT_EQ(read_sms_real(4, &x, &y, &z), 0);
    EXPECT_EQ(x, 9);
}

TEST_F(SensorTest, DamagedCalibrationFileIsReportedOnceAndIgnored) {
    fake_.serviceClass = "IOI2CMotionSensor";
    fake_.sample[0] = 3, fake_.sample[1] = 4, fake_.sample[2] = 5;
    Install();
    ASSERT_TRUE(testsupport::WriteFile(CalibrationFile(), std::string("\x00\x01garbage<plist", 14)));
    testing::internal::CaptureStderr();
    int x, y, z;
    for (int i = 0; i < 20; ++i) ASSERT_EQ(read_sms(1, &x, &y, &z), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(XYZ(x, y, z), XYZ(3, 4, 5));
    EXPECT_NE(err.find(SMS_CALIBRATION_DOMAIN ".plist"), std::string::npos);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;  // one line for twenty polls

    // A key of the wrong type counts as missing.
    ASSERT_TRUE(testsupport::WriteFile(
        CalibrationFile(),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>x_offset</key><string>12</string><key>y_offset</key><integer>-4</integer>"
        "</dict></plist>\n"));
    testing::internal::CaptureStderr();
    ASSERT_EQ(read_sms(1, &x, &y, &z), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(XYZ(x, y, z), XYZ(3, 0, 5));
}
