#pragma once

#include "vm/host.h"

#include <string>

namespace kestrel::testing {

// A Host on which nothing happens: every operation returns at once. Tests and
// benchmarks derive from it and override only what they watch.
class SilentHost : public Host {
public:
    void yield() override {}
    void tone(int, int) override {}
    void stopTone() override {}
    void setStatusText(const std::string&) override {}
    void setButtonCaption(int, const std::string&) override {}
    void surfaceChanged() override {}
    void requestRun() override {}
    void reportFault(const std::string&) override {}
    void reportLoadError(const std::string&) override {}
};

} // namespace kestrel::testing
