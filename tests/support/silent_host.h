#pragma once

#include "run/headless_host.h"

namespace kestrel::testing {

// kestrel-run's headless host, on which nothing happens, except that one
// piece of work can be handed to the next yield. That is how a benchmark gets
// inside a live run, where Interpret executes handlers, at the cost of one
// test a yield. Tests and benchmarks derive from it and override only what
// they watch.
class SilentHost : public run::HeadlessHost {
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

} // namespace kestrel::testing
