#include "romdb/rom_database.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace kestrel::romdb {

// The text compiled in from third_party/chip-8-database/roms.json.
extern const char VendoredRomsJson[];
extern const std::size_t VendoredRomsJsonSize;

namespace {

// Keeps each object's members in file order: the database lists platforms best
// first, in objects as well as in arrays.
using Json = nlohmann::ordered_json;

// The member so named, or null when `v` is no object or has none: the shape is
// checked, not trusted, and nothing here throws.
const Json* Find(const Json& v, std::string_view key) {
    if (!v.is_object()) return nullptr;
    const auto it = v.find(key);
    return it != v.end() ? &*it : nullptr;
}

const Json* FindArray(const Json& v, std::string_view key) {
    const Json* found = Find(v, key);
    return found != nullptr && found->is_array() ? found : nullptr;
}

const Json* FindObject(const Json& v, std::string_view key) {
    const Json* found = Find(v, key);
    return found != nullptr && found->is_object() ? found : nullptr;
}

struct Platform {
    std::string id;
    std::string name;
    std::optional<int> defaultTickrate;
    std::vector<QuirkOverride> quirks; // all seven, or none
};

struct QuirkyPlatform {
    std::string platform;
    std::vector<QuirkOverride> overrides;
};

struct Rom {
    Sha1Digest hash{};
    std::size_t program = 0; // into Tables::titles
    std::vector<std::string> platforms;
    std::vector<QuirkyPlatform> quirkyPlatforms;
    std::optional<int> tickrate;
    std::vector<std::uint32_t> palette;
};

constexpr std::string_view ModernId = "modernChip8";

const MachineKind* RunnablePlatform(std::string_view id) {
    return MachineForDatabaseId(id);
}

// An integer is clamped into range; anything else (a string, a fraction, one
// too long for 64 bits, which the parser reads as a fraction) is no tickrate
// at all, so that the platform's default is used.
std::optional<int> Tickrate(const Json* v) {
    if (v == nullptr) return std::nullopt;
    if (v->is_number_unsigned())
        return static_cast<int>(
            std::clamp<std::uint64_t>(v->get<std::uint64_t>(), MinTickrate, MaxTickrate));
    if (v->is_number_integer())
        return static_cast<int>(
            std::clamp<std::int64_t>(v->get<std::int64_t>(), MinTickrate, MaxTickrate));
    return std::nullopt;
}

std::string Text(const Json* v) {
    return v != nullptr && v->is_string() ? v->get_ref<const std::string&>() : std::string();
}

std::vector<QuirkOverride> Overrides(const Json& set) {
    std::vector<QuirkOverride> out;
    if (!set.is_object()) return out;
    for (const auto& item : set.items()) {
        // Not a structured binding: clang before 16, which builds the fuzzer, cannot capture one.
        const std::string& key = item.key();
        const auto known = std::find_if(std::begin(QuirkFields), std::end(QuirkFields),
                                        [&](const QuirkField& field) { return field.name == key; });
        if (known != std::end(QuirkFields) && item.value().is_boolean())
            out.push_back({known->name, item.value().get<bool>()});
    }
    return out;
}

// A platform's quirks set each of the seven: one the data leaves out (as
// superchip does memoryIncrementByX), or gives as no boolean, is false.
std::vector<QuirkOverride> PlatformQuirks(const Json* set) {
    std::vector<QuirkOverride> out;
    if (set == nullptr || !set->is_object()) return out;
    for (const QuirkField& field : QuirkFields) {
        const Json* value = Find(*set, field.name);
        out.push_back({field.name, value != nullptr && value->is_boolean() && value->get<bool>()});
    }
    return out;
}

// "#rrggbb" strings, 1 to 4 of them; one bad entry spoils the whole list,
// since the colours are by position.
std::vector<std::uint32_t> Palette(const Json* colors) {
    const Json* pixels = colors != nullptr ? FindArray(*colors, "pixels") : nullptr;
    if (pixels == nullptr || pixels->empty() || pixels->size() > 4) return {};
    std::vector<std::uint32_t> out;
    for (const auto& pixel : *pixels) {
        if (!pixel.is_string()) return {};
        const auto& text = pixel.get_ref<const std::string&>();
        std::uint32_t rgb = 0;
        if (text.size() != 7 || text[0] != '#') return {};
        for (const char c : std::string_view(text).substr(1)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return {};
            rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
        }
        out.push_back(rgb);
    }
    return out;
}

Rom ReadRom(const Sha1Digest& hash, std::size_t program, const Json& v) {
    Rom rom{hash, program, {}, {}, Tickrate(Find(v, "tickrate")), Palette(Find(v, "colors"))};
    if (const auto* list = FindArray(v, "platforms")) {
        rom.platforms.reserve(list->size());
        for (const auto& id : *list)
            if (id.is_string()) rom.platforms.push_back(id.get<std::string>());
    }
    if (const auto* quirky = FindObject(v, "quirkyPlatforms"))
        for (const auto& [key, value] : quirky->items())
            rom.quirkyPlatforms.push_back({key, Overrides(value)});
    return rom;
}

} // namespace

struct RomDatabase::Tables {
    std::vector<Platform> platforms;
    std::vector<std::string> titles;
    std::vector<Rom> roms; // sorted by hash

    const Platform* FindPlatform(std::string_view id) const {
        for (const auto& p : platforms)
            if (p.id == id) return &p;
        return nullptr;
    }

    const Rom* FindRom(const Sha1Digest& hash) const {
        const auto it =
            std::lower_bound(roms.begin(), roms.end(), hash,
                             [](const Rom& r, const Sha1Digest& h) { return r.hash < h; });
        return it != roms.end() && it->hash == hash ? &*it : nullptr;
    }
};

namespace {

// Members of the wrong kind read as absent: the shape is checked, not trusted.
void Read(const Json& doc, RomDatabase::Tables& t) {
    if (const auto* list = FindArray(doc, "platforms")) {
        for (const auto& p : *list) {
            const std::string id = Text(Find(p, "id"));
            if (!id.empty())
                t.platforms.push_back({id, Text(Find(p, "name")),
                                       Tickrate(Find(p, "defaultTickrate")),
                                       PlatformQuirks(Find(p, "quirks"))});
        }
    }
    if (const auto* list = FindArray(doc, "programs")) {
        t.titles.reserve(list->size());
        t.roms.reserve(list->size() * 2); // a program has one ROM or a few
        for (const auto& program : *list) {
            const auto* roms = FindObject(program, "roms");
            if (roms == nullptr) continue;
            t.titles.push_back(Text(Find(program, "title")));
            for (const auto& [key, value] : roms->items())
                if (const auto hash = DigestFromHex(key))
                    t.roms.push_back(ReadRom(*hash, t.titles.size() - 1, value));
        }
    }
    // A hash listed twice keeps its first entry.
    std::stable_sort(t.roms.begin(), t.roms.end(),
                     [](const Rom& a, const Rom& b) { return a.hash < b.hash; });
    t.roms.erase(std::unique(t.roms.begin(), t.roms.end(),
                             [](const Rom& a, const Rom& b) { return a.hash == b.hash; }),
                 t.roms.end());
}

// The data's name for a platform, else its id.
std::string NameOf(std::string_view id, const RomDatabase::Tables& t) {
    const Platform* p = t.FindPlatform(id);
    return p != nullptr && !p->name.empty() ? p->name : std::string(id);
}

// The database's preference: a quirky platform Kestrel runs, then a plain one,
// each in the order listed.
RomChoice Decide(const Rom* rom, const RomDatabase::Tables& t) {
    RomChoice choice;
    std::string_view chosen = ModernId; // whose default tickrate applies
    if (rom != nullptr) {
        choice.title = t.titles[rom->program];
        choice.palette = rom->palette;
        choice.status = RomStatus::KnownForOtherPlatforms;
        for (const auto& q : rom->quirkyPlatforms) {
            if (const auto p = RunnablePlatform(q.platform)) {
                choice.status = RomStatus::Known;
                choice.platform = p;
                choice.platformId = q.platform;
                choice.quirkOverrides = q.overrides;
                break;
            }
        }
        if (choice.status != RomStatus::Known) {
            for (const auto& id : rom->platforms) {
                if (const auto p = RunnablePlatform(id)) {
                    choice.status = RomStatus::Known;
                    choice.platform = p;
                    choice.platformId = id;
                    break;
                }
            }
        }
        if (choice.status == RomStatus::Known) {
            chosen = choice.platformId;
            choice.platformName = NameOf(chosen, t);
            if (const Platform* p = t.FindPlatform(chosen)) choice.platformQuirks = p->quirks;
        } else {
            // Quirky platforms are the preferred list, so they are named first.
            std::string first;
            if (!rom->quirkyPlatforms.empty())
                first = rom->quirkyPlatforms.front().platform;
            else if (!rom->platforms.empty())
                first = rom->platforms.front();
            if (!first.empty()) choice.otherPlatformName = NameOf(first, t);
        }
        choice.tickrate = rom->tickrate;
    }
    if (!choice.tickrate) {
        if (const Platform* p = t.FindPlatform(chosen)) choice.tickrate = p->defaultTickrate;
    }
    return choice;
}

} // namespace

RomDatabase::RomDatabase(std::string_view json) : json_(json) {}
RomDatabase::~RomDatabase() = default;

std::string_view RomDatabase::VendoredText() {
    return {VendoredRomsJson, VendoredRomsJsonSize};
}

const RomDatabase& RomDatabase::Vendored() {
    static const RomDatabase vendored(VendoredText());
    return vendored;
}

const RomDatabase::Tables& RomDatabase::tables() const {
    std::call_once(parsed_, [this] {
        tables_ = std::make_unique<Tables>();
        // Not JSON: an empty database. The parser reports it rather than throwing.
        const Json doc = Json::parse(json_.begin(), json_.end(), nullptr, false);
        if (!doc.is_discarded()) Read(doc, *tables_);
    });
    return *tables_;
}

RomChoice RomDatabase::Choose(const Sha1Digest& rom) const {
    const auto& t = tables();
    return Decide(t.FindRom(rom), t);
}

std::vector<Sha1Digest> RomDatabase::Hashes() const {
    std::vector<Sha1Digest> out;
    for (const auto& r : tables().roms)
        out.push_back(r.hash);
    return out;
}

} // namespace kestrel::romdb
