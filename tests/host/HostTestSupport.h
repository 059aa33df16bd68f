#pragma once

// What the host tests share: the probe module loaded once, and an effect instance of it.

#include "ProbeProtocol.h"

#include "host/instance/EffectInstance.h"

#include <gtest/gtest.h>

#include <memory>

namespace HostTest {

inline std::shared_ptr<const OfflineHost::Module> probeModule() {
    static const auto module = std::make_shared<const OfflineHost::Module>(HOST_PROBE_PATH);
    return module;
}

// The probe effect after global and parameter set-up, on a 640 x 480 layer.
inline std::unique_ptr<OfflineHost::EffectInstance> setUpProbe(const char* effect = "HostProbe") {
    auto instance = std::make_unique<OfflineHost::EffectInstance>(probeModule(), effect);
    EXPECT_EQ(instance->globalSetup(), PF_Err_NONE);
    EXPECT_EQ(instance->paramsSetup(), PF_Err_NONE);
    return instance;
}

// Sends a request to the probe and returns it with the probe's answers.
inline Probe::Request perform(OfflineHost::EffectInstance& instance, Probe::Request request) {
    EXPECT_EQ(instance.send(PF_Cmd_COMPLETELY_GENERAL, &request), PF_Err_NONE);
    return request;
}

} // namespace HostTest
