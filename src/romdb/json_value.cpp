#include "romdb/json_value.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace kestrel::romdb {

const JsonValue* JsonValue::Find(std::string_view key) const {
    for (const auto& m : members)
        if (m.key == key) return &m.value;
    return nullptr;
}

namespace {

// Deeper nesting than this is refused rather than followed down the stack.
constexpr int MaxDepth = 32;

class Reader {
  public:
    explicit Reader(std::string_view text) : s_(text) {}

    bool Document(JsonValue& out) {
        if (!Value(out, 0)) return false;
        SkipSpace();
        return pos_ == s_.size();
    }

  private:
    void SkipSpace() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
            ++pos_;
    }
    bool Eat(char c) {
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view w) {
        if (s_.substr(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    bool Value(JsonValue& v, int depth) {
        if (depth > MaxDepth) return false;
        SkipSpace();
        if (pos_ >= s_.size()) return false;
        switch (s_[pos_]) {
        case '{': return Object(v, depth);
        case '[': return Array(v, depth);
        case '"': v.kind = JsonValue::Kind::String; return String(v.text);
        case 't':
            v.kind = JsonValue::Kind::Bool;
            v.boolean = true;
            return Word("true");
        case 'f': v.kind = JsonValue::Kind::Bool; return Word("false");
        case 'n': return Word("null");
        default: return Number(v);
        }
    }

    bool Object(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::Object;
        v.members.reserve(4); // most objects in the data are this small: one allocation
        ++pos_;
        if (Eat('}')) return true;
        do {
            JsonMember m;
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != '"' || !String(m.key) || !Eat(':') ||
                !Value(m.value, depth + 1))
                return false;
            v.members.push_back(std::move(m));
        } while (Eat(','));
        return Eat('}');
    }

    bool Array(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::Array;
        v.items.reserve(4);
        ++pos_;
        if (Eat(']')) return true;
        do {
            v.items.emplace_back();
            if (!Value(v.items.back(), depth + 1)) return false;
        } while (Eat(','));
        return Eat(']');
    }

    bool Number(JsonValue& v) {
        const std::size_t start = pos_;
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        const auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_])))
                ++pos_;
            return pos_ > from;
        };
        if (!digits()) return false;
        bool integral = true;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            integral = false;
            if (!digits()) return false;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            integral = false;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (!digits()) return false;
        }
        const auto r = std::from_chars(s_.data() + start, s_.data() + pos_, v.number);
        // An integer too long for a double is still an integer, and a huge one.
        if (r.ec == std::errc::result_out_of_range)
            v.number = s_[start] == '-' ? -HUGE_VAL : HUGE_VAL;
        else if (r.ec != std::errc{})
            return false;
        v.kind = integral ? JsonValue::Kind::Integer : JsonValue::Kind::Number;
        return true;
    }

    bool Hex4(std::uint32_t& out) {
        if (s_.size() - pos_ < 4) return false;
        out = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[pos_++];
            out <<= 4;
            if (c >= '0' && c <= '9')
                out |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                out |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                out |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    static void AppendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // At the opening quote. UTF-8 is copied as it stands, a run at a time.
    bool String(std::string& out) {
        ++pos_;
        while (pos_ < s_.size()) {
            std::size_t end = pos_;
            while (end < s_.size() && s_[end] != '"' && s_[end] != '\\' &&
                   static_cast<unsigned char>(s_[end]) >= 0x20)
                ++end;
            out.append(s_.substr(pos_, end - pos_));
            pos_ = end;
            if (pos_ >= s_.size()) return false;
            const char c = s_[pos_++];
            if (c == '"') return true;
            if (c != '\\') return false; // a control character
            if (pos_ >= s_.size()) return false;
            switch (s_[pos_++]) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::uint32_t cp = 0;
                if (!Hex4(cp)) return false;
                if (cp >= 0xD800 && cp < 0xDC00) { // a high surrogate needs its low half
                    std::uint32_t low = 0;
                    if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp < 0xE000) {
                    return false;
                }
                AppendUtf8(out, cp);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<JsonValue> ParseJson(std::string_view text) {
    JsonValue v;
    if (!Reader(text).Document(v)) return std::nullopt;
    return v;
}

} // namespace kestrel::romdb
