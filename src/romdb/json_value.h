#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel::romdb {

struct JsonMember;

// A JSON value as read, with an object's members in file order: the database
// lists platforms best first, in objects as well as in arrays.
struct JsonValue {
    enum class Kind { Null, Bool, Integer, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0; // Integer (written with no fraction or exponent) and Number
    std::string text;
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;

    const JsonValue* Find(std::string_view key) const; // the first member so named
    bool Is(Kind k) const { return kind == k; }
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

// The whole text as one value; nullopt when it is not JSON, or nests deeper
// than the database ever does.
std::optional<JsonValue> ParseJson(std::string_view text);

} // namespace kestrel::romdb
