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
};

constexpr std::string_view OriginalId = "originalChip8";
constexpr std::string_view ModernId = "modernChip8";

std::optional<RunPlatform> RunnablePlatform(std::string_view id) {
    if (id == OriginalId) return RunPlatform::OriginalChip8;
    if (id == ModernId) return RunPlatform::ModernChip8;
    return std::nullopt;
}

// An integer is clamped into range; anything else (a string, a fraction) is
// no tickrate at all, so that the platform's default is used.
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
    for (const auto& [key, value] : set.items()) {
        const auto known = std::find(QuirkNames.begin(), QuirkNames.end(), key);
        if (known != QuirkNames.end() && value.is_boolean())
            out.push_back({*known, value.get<bool>()});
    }
    return out;
}

Rom ReadRom(const Sha1Digest& hash, std::size_t program, const Json& v) {
    Rom rom{hash, program, {}, {}, Tickrate(Find(v, "tickrate"))};
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
                t.platforms.push_back(
                    {id, Text(Find(p, "name")), Tickrate(Find(p, "defaultTickrate"))});
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

// The database's preference: a quirky platform Kestrel runs, then a plain one,
// each in the order listed.
RomChoice Decide(const Rom* rom, const RomDatabase::Tables& t) {
    RomChoice choice;
    if (rom != nullptr) {
        choice.title = t.titles[rom->program];
        choice.status = RomStatus::KnownForOtherPlatforms;
        for (const auto& q : rom->quirkyPlatforms) {
            if (const auto p = RunnablePlatform(q.platform)) {
                choice.status = RomStatus::Known;
                choice.platform = *p;
                choice.quirkOverrides = q.overrides;
                break;
            }
        }
        if (choice.status != RomStatus::Known) {
            for (const auto& id : rom->platforms) {
                if (const auto p = RunnablePlatform(id)) {
                    choice.status = RomStatus::Known;
                    choice.platform = *p;
                    break;
                }
            }
        }
        if (choice.status == RomStatus::KnownForOtherPlatforms) {
            // Quirky platforms are the preferred list, so they are named first.
            std::string first;
            if (!rom->quirkyPlatforms.empty())
                first = rom->quirkyPlatforms.front().platform;
            else if (!rom->platforms.empty())
                first = rom->platforms.front();
            const Platform* named = t.FindPlatform(first);
            choice.otherPlatformName =
                named != nullptr && !named->name.empty() ? named->name : first;
        }
        choice.tickrate = rom->tickrate;
    }
    if (!choice.tickrate) {
        const auto* p =
            t.FindPlatform(choice.platform == RunPlatform::OriginalChip8 ? OriginalId : ModernId);
        if (p != nullptr) choice.tickrate = p->defaultTickrate;
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
