// The cost of one tick of the watcher (timerorv): pruning the allow list (one enumeration of the desktop's
// windows), the second-instance check, and the rule walk over the foreground window's title.
//
// Against the fake desktop the enumeration is a copy of an in-memory list, so these figures are the engine's own
// work; on Windows it is a call into the system (scripts/bench.sh measures the tick under Wine as well).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_world.h"

namespace {

// A world with `rules` active items and `allowed` allow-list entries, each entry kept alive by a window of
// that class (so the tick's pruning keeps it), and a foreground window with a long ordinary title.
struct TickWorld : bench::EngineWorld {
    TickWorld(int rules, int allowed) {
        StoreItems(rules);
        engine.GetWindows();
        for (int i = 0; i < allowed; ++i) {
            const std::string cls = "AllowedClass" + std::to_string(i);
            desktop.AddWindow("Some document " + std::to_string(i), cls);
            engine.Allow(0, cls, "");
        }
    }
};

// The common case: the foreground window matches no rule.
void BM_TickNoMatch(benchmark::State& state) {
    TickWorld world(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    world.desktop.OpenForeground("Quarterly report 2004 (final, reviewed) - Locked item notes - Word Processor",
                                 "WordProcessorMain");
    for (auto _ : state) {
        world.engine.TimerorvTick();
    }
    if (world.prompt.shown != 0)
        state.SkipWithError("a window was locked");
    if (world.engine.ListAllow().Count() != state.range(1))
        state.SkipWithError("the allow list changed");
}
BENCHMARK(BM_TickNoMatch)
    ->ArgNames({"rules", "allow"})
    ->Args({20, 0})
    ->Args({1000, 0})
    ->Args({1000, 100})
    ->Unit(benchmark::kMicrosecond);

// The same with the rules matching in any letter case: the title is folded once a tick, the rules once a load.
void BM_TickNoMatchAnyCase(benchmark::State& state) {
    TickWorld world(static_cast<int>(state.range(0)), 0);
    world.options.Set(store::Option::AnyCase, true);
    world.engine.GetWindows();
    world.desktop.OpenForeground("Quarterly report 2004 (final, reviewed) - Locked item notes - Word Processor",
                                 "WordProcessorMain");
    for (auto _ : state) {
        world.engine.TimerorvTick();
    }
    if (world.prompt.shown != 0)
        state.SkipWithError("a window was locked");
}
BENCHMARK(BM_TickNoMatchAnyCase)->ArgNames({"rules"})->Arg(1000)->Unit(benchmark::kMicrosecond);

// A window that matches the last rule but whose class the password allowed: the walk goes on to the class
// read and the allow-list search, and the window passes.
void BM_TickMatchAllowed(benchmark::State& state) {
    const int rules = static_cast<int>(state.range(0));
    TickWorld world(rules, static_cast<int>(state.range(1)));
    world.desktop.OpenForeground("News - " + bench::EngineWorld::ItemText(rules - 1) + " - Browser", "BrowserMain");
    world.engine.Allow(0, "BrowserMain", "");
    for (auto _ : state) {
        world.engine.TimerorvTick();
    }
    if (world.prompt.shown != 0)
        state.SkipWithError("the allowed window was locked");
}
BENCHMARK(BM_TickMatchAllowed)->ArgNames({"rules", "allow"})->Args({1000, 100})->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
