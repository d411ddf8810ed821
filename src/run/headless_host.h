#pragma once

#include "base/host.h"

#include <string>

namespace kestrel::run {

// A Host with no desktop: nothing shows and nothing sounds, every call returns
// at once. It keeps the last refusal of a ROM, which kestrel-run prints; a
// fault's text the Machine keeps itself (Machine::LastFault). Runners and
// tests derive from it and override only what they drive or watch.
class HeadlessHost : public Host {
  public:
    void yield() override {}
    void tone(int, int) override {}
    void stopTone() override {}
    void playPattern(const SoundPattern&, double) override {}
    void setStatusText(const std::string&) override {}
    void setButtonCaption(int, const std::string&) override {}
    void surfaceChanged() override {}
    void requestRun() override {}
    void reportFault(const std::string&) override {}
    void reportLoadError(const std::string& text) override { loadError = text; }

    std::string loadError; // the last refusal, empty if none
};

} // namespace kestrel::run
