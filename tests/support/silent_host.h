#pragma once

#include "base/host.h"

#include <string>

namespace kestrel::testing {

// A Host on which nothing happens: every operation returns at once, except
// that one piece of work can be handed to the next yield. That is how a
// benchmark gets inside a live run, where Interpret executes handlers, at the
// cost of one test a yield. Tests and benchmarks derive from it and override
// only what they watch.
class SilentHost : public Host {
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
    void playPattern(const SoundPattern&, double) override {}
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

} // namespace kestrel::testing
