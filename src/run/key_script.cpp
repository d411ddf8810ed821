#include "run/key_script.h"

#include <algorithm>
#include <charconv>

namespace kestrel::run {

namespace {

bool parseNumber(std::string_view text, int base, std::uint64_t& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return error == std::errc{} && stop == end;
}

// The key of an event, or -1 when it is no key of the machine.
int parseKey(std::string_view text, Engine engine) {
    std::uint64_t value = 0;
    if (engine == Engine::Standard)
        return text.size() == 1 && parseNumber(text, 16, value) ? static_cast<int>(value) : -1;
    return parseNumber(text, 10, value) && value >= 1 && value <= 16 ? static_cast<int>(value) : -1;
}

} // namespace

std::variant<std::vector<KeyEvent>, std::string> ParseKeyScript(std::string_view script,
                                                                Engine engine) {
    std::vector<KeyEvent> events;
    const std::string keys = engine == Engine::Standard ? "a CHIP-8 key 0-F" : "a keypad key 1-16";
    while (!script.empty()) {
        const std::size_t comma = script.find(',');
        const std::string_view item = script.substr(0, comma);
        script = comma == std::string_view::npos ? std::string_view{} : script.substr(comma + 1);
        const auto bad = [&](const std::string& why) {
            return "bad key event \"" + std::string(item) + "\": " + why;
        };
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos || item.size() < colon + 3)
            return bad("expected FRAME:KEY+ or FRAME:KEY-");
        KeyEvent event;
        if (!parseNumber(item.substr(0, colon), 10, event.frame))
            return bad("the frame is not a number");
        const char sign = item.back();
        if (sign != '+' && sign != '-') return bad("it must end in + (press) or - (release)");
        event.down = sign == '+';
        event.key = parseKey(item.substr(colon + 1, item.size() - colon - 2), engine);
        if (event.key < 0) return bad("the key is not " + keys);
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.frame < b.frame; });
    return events;
}

} // namespace kestrel::run
