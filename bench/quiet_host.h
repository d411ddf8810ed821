#pragma once

#include "vm/host.h"

#include <cstdint>
#include <string>

namespace kestrel::bench {

// A Host whose yield does nothing, except that it can run one piece of work
// inside a chosen yield: that is how a benchmark gets inside a live run, where
// Interpret executes handlers, without touching the machine's run bookkeeping.
class QuietHost : public Host {
public:
    using Hook = void (*)(void* context);

    // Run `hook` inside the next yield, once.
    void atNextYield(Hook hook, void* context) {
        hook_ = hook;
        context_ = context;
    }

    void yield() override {
        if (hook_ != nullptr) [[unlikely]] {
            const Hook hook = hook_;
            hook_ = nullptr;
            hook(context_);
        }
    }
    void tone(int, int) override {}
    void stopTone() override {}
    void setStatusText(const std::string&) override {}
    void setButtonCaption(int, const std::string&) override {}
    void surfaceChanged() override {}
    void requestRun() override {}
    void reportFault(const std::string&) override {}
    void reportLoadError(const std::string&) override {}

private:
    Hook hook_ = nullptr;
    void* context_ = nullptr;
};

} // namespace kestrel::bench
