#include "romdb/rom_database.h"

#include "romdb/json_value.h"

#include <algorithm>

namespace kestrel::romdb {

// The text compiled in from third_party/chip-8-database/roms.json.
extern const char VendoredRomsJson[];
extern const std::size_t VendoredRomsJsonSize;

namespace {

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
std::optional<int> Tickrate(const JsonValue* v) {
    if (v == nullptr || !v->Is(JsonValue::Kind::Integer)) return std::nullopt;
    return static_cast<int>(std::clamp<double>(v->number, MinTickrate, MaxTickrate));
}

std::string Text(const JsonValue* v) {
    return v != nullptr && v->Is(JsonValue::Kind::String) ? v->text : std::string();
}

std::vector<QuirkOverride> Overrides(const JsonValue& set) {
    std::vector<QuirkOverride> out;
    for (const auto& m : set.members) {
        const auto known = std::find(QuirkNames.begin(), QuirkNames.end(), m.key);
        if (known != QuirkNames.end() && m.value.Is(JsonValue::Kind::Bool))
            out.push_back({*known, m.value.boolean});
    }
    return out;
}

Rom ReadRom(const Sha1Digest& hash, std::size_t program, const JsonValue& v) {
    Rom rom{hash, program, {}, {}, Tickrate(v.Find("tickrate"))};
    if (const auto* list = v.Find("platforms")) {
        rom.platforms.reserve(list->items.size());
        for (const auto& id : list->items)
            if (id.Is(JsonValue::Kind::String)) rom.platforms.push_back(id.text);
    }
    if (const auto* quirky = v.Find("quirkyPlatforms"))
        for (const auto& m : quirky->members)
            rom.quirkyPlatforms.push_back({m.key, Overrides(m.value)});
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
void Read(const JsonValue& doc, RomDatabase::Tables& t) {
    if (const auto* list = doc.Find("platforms")) {
        for (const auto& p : list->items) {
            const std::string id = Text(p.Find("id"));
            if (!id.empty())
                t.platforms.push_back(
                    {id, Text(p.Find("name")), Tickrate(p.Find("defaultTickrate"))});
        }
    }
    if (const auto* list = doc.Find("programs")) {
        t.titles.reserve(list->items.size());
        t.roms.reserve(list->items.size() * 2); // a program has one ROM or a few
        for (const auto& program : list->items) {
            const auto* roms = program.Find("roms");
            if (roms == nullptr) continue;
            t.titles.push_back(Text(program.Find("title")));
            for (const auto& m : roms->members)
                if (const auto hash = DigestFromHex(m.key))
                    t.roms.push_back(ReadRom(*hash, t.titles.size() - 1, m.value));
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
        if (const auto doc = ParseJson(json_)) Read(*doc, *tables_);
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
