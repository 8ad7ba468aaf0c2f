// Shared pieces of the scene tests: a motion-sensor service whose readings the test
// chooses, and a private XDG_CONFIG_HOME (no stored calibration offsets) for the duration
// of a test.
#pragma once

#include <cstring>

#include "motion/unimotion.h"
#include "test_support.h"

namespace scenetest {

// A kind-4 sensor (16-bit axes). `present` false: nothing is found. `failAfter` > 0:
// every call after that many fails (the probe of detect_sms is call 1).
struct FakeSensor {
    int16_t x = 0, y = 0, z = 0;
    bool present = true;
    int failAfter = 0;
    int calls = 0;
};
inline FakeSensor gSensor;

inline SMSHANDLE FakeFind(void*, const char* serviceClass) {
    return gSensor.present && std::strcmp(serviceClass, "SMCMotionSensor") == 0 ? 1 : 0;
}
inline SMSHANDLE FakeOpen(void*, SMSHANDLE) { return 2; }
inline int FakeCall(void*, SMSHANDLE, int, const void*, size_t, void* output, size_t* outputSize) {
    if (++gSensor.calls > gSensor.failAfter && gSensor.failAfter > 0) return 1;
    const int16_t v[3] = {gSensor.x, gSensor.y, gSensor.z};
    std::memcpy(output, v, sizeof v);
    *outputSize = 40;
    return 0;
}
inline void FakeClose(void*, SMSHANDLE) {}
inline const SMSSERVICE kFakeService = {nullptr, FakeFind, FakeOpen, FakeCall, FakeClose};

// Installs the fake sensor and an empty config folder; restores both when it goes.
class SensorEnvironment {
public:
    SensorEnvironment() : env_({{"XDG_CONFIG_HOME", config_.path()}}) {
        gSensor = FakeSensor{};
        sms_set_service(&kFakeService);
    }
    ~SensorEnvironment() { sms_set_service(nullptr); }
    const testsupport::TempDir& config() const { return config_; }

private:
    testsupport::TempDir config_;
    testsupport::ScopedEnv env_;
};

}  // namespace scenetest
