#pragma once

#include "support/silent_host.h"

#include <cstdint>

namespace kestrel::bench {

// A Host whose yield does nothing, except that it can run one piece of work
// inside a chosen yield: that is how a benchmark gets inside a live run, where
// Interpret executes handlers, without touching the machine's run bookkeeping.
class QuietHost : public testing::SilentHost {
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

private:
    Hook hook_ = nullptr;
    void* context_ = nullptr;
};

} // namespace kestrel::bench
