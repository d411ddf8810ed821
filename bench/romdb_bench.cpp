// The CHIP-8 database's costs: the first lookup, which parses the compiled-in
// text, a lookup after it, and hashing the longest ROM a standard machine
// holds. The later lookups go over every ROM the database holds, and count
// where each lands.

#include "romdb/rom_database.h"

#include <benchmark/benchmark.h>
#include <map>

#include <array>
#include <memory>
#include <vector>

namespace kestrel::bench {
namespace {

using romdb::RomDatabase;

void BM_RomDatabaseFirstLookup(benchmark::State& state) {
    const auto hash = RomDatabase::Vendored().Hashes().front();
    for (auto _ : state) {
        auto db = std::make_unique<RomDatabase>(RomDatabase::VendoredText());
        benchmark::DoNotOptimize(db->Choose(hash));
        state.PauseTiming(); // a database is built once and kept: its end is not timed
        db.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RomDatabaseFirstLookup)->Unit(benchmark::kMicrosecond);

void BM_RomDatabaseLookup(benchmark::State& state) {
    const auto& db = RomDatabase::Vendored();
    const auto hashes = db.Hashes();
    // One pass over every ROM: which machine each is run on.
    std::map<const MachineKind*, int> on;
    int other = 0;
    for (const auto& h : hashes) {
        const auto c = db.Choose(h);
        if (c.status == romdb::RomStatus::KnownForOtherPlatforms)
            ++other;
        else
            ++on[c.platform];
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.Choose(hashes[next]));
        next = (next + 1) % hashes.size();
    }
    state.counters["roms"] = static_cast<double>(hashes.size());
    for (const auto& [kind, count] : on)
        state.counters["on " + std::string(kind->name)] = count;
    state.counters["on_other_platforms"] = other;
}
BENCHMARK(BM_RomDatabaseLookup);

void BM_Sha1OfTheLongestStandardRom(benchmark::State& state) {
    const std::vector<std::uint8_t> rom(3584, 0xA5);
    for (auto _ : state)
        benchmark::DoNotOptimize(romdb::Sha1(rom));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(rom.size()));
}
BENCHMARK(BM_Sha1OfTheLongestStandardRom);

} // namespace
} // namespace kestrel::bench
