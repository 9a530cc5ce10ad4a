// Loading and saving the stored locked items (GetWindows, SaveWindows) against the in-memory registry: the
// engine's and the registry layer's own work. Each value is one open-query-close (load) or open-set-close
// (save) through the registry layer, as on Windows.
#include <benchmark/benchmark.h>

#include "bench_world.h"

namespace {

// Loads `count` stored active items: the rows, the rule list and the allow list.
void BM_GetWindows(benchmark::State& state) {
    bench::EngineWorld world;
    world.StoreItems(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        world.engine.GetWindows();
    }
    if (world.engine.listwindows().Count() != state.range(0))
        state.SkipWithError("not every item loaded");
}
BENCHMARK(BM_GetWindows)->ArgName("items")->Arg(1000)->Unit(benchmark::kMicrosecond);

// Saves `count` rows: deletes and recreates the key, then writes every row.
void BM_SaveWindows(benchmark::State& state) {
    bench::EngineWorld world;
    world.StoreItems(static_cast<int>(state.range(0)));
    world.engine.GetWindows();
    for (auto _ : state) {
        world.engine.SaveWindows();
    }
    if (world.api.ValueNames(platform::RegRoot::LocalMachine, engine::kLockedItemsKey).size() !=
        static_cast<std::size_t>(state.range(0)))
        state.SkipWithError("not every row was stored");
}
BENCHMARK(BM_SaveWindows)->ArgName("items")->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
