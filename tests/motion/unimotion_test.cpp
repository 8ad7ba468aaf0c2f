// Motion sensor kinds, failures and calibration, over a fake service table.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "motion/unimotion.h"
#include "test_support.h"
#include "settings/Preferences.h"

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

class Sensor : public testing::Test {
protected:
    void SetUp() override { sms_set_service(&table_); }
    void TearDown() override { sms_set_service(nullptr); }
    void Store(const std::vector<std::pair<const char*, int64_t>>& values) {
        const std::string file = config_.path() + "/" SMS_CALIBRATION_DOMAIN ".plist";
        std::remove(file.c_str());
        PREFSTORE store;
        store.OpenFile(file);
        for (auto& kv : values) store.SetInteger(kv.first, kv.second);
        ASSERT_TRUE(store.Synchronize());
    }
    FakeSensor fake_;
    SMSSERVICE table_{&fake_, Find, Open, Call, Close};
    testsupport::TempDir config_;
    testsupport::ScopedEnv env_{{{"XDG_CONFIG_HOME", config_.path()}}};
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
        int x, y, z;
        ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
        EXPECT_EQ(std::make_tuple(x, y, z), c.offset) << c.stored.size();
    }

    // A damaged file is reported once for many reads and ignored; a key of the wrong
    // type counts as missing.
    const std::string file = config_.path() + "/" SMS_CALIBRATION_DOMAIN ".plist";
    ASSERT_TRUE(testsupport::WriteFile(file, std::string("\x00\x01garbage<plist", 14)));
    testing::internal::CaptureStderr();
    int x, y, z;
    for (int i = 0; i < 20; ++i) ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(256, -128, 64));
    EXPECT_NE(err.find(SMS_CALIBRATION_DOMAIN ".plist"), std::string::npos);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    ASSERT_TRUE(testsupport::WriteFile(file,
                                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                       "<key>x_offset</key><string>12</string><key>y_offset</key><integer>-4</integer>"
                                       "</dict></plist>\n"));
    ASSERT_EQ(read_sms(4, &x, &y, &z), 1);
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(256, -132, 64));
}
