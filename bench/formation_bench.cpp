// Cost of the formation's per-tick work: one step of the 91-ship formation,
// and a full re-layout for comparison.
#include <benchmark/benchmark.h>

#include "formation/formation.h"
#include "support/clock.h"
#include "support/random.h"
#include "platforms/stub/stub.h"

namespace {

// The clock stands still, so no step re-lays out; drift comes and goes as the
// generator decides, as on screen.
void formationStepOf91Ships(benchmark::State& state)
{
    setStubTickCount(0);
    seedRandom(1);
    formationInit(6, static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)), 10);
    for (auto _ : state) {
        formationStep();
        benchmark::DoNotOptimize(formation.ships[0].posX);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * shipCount());
}
BENCHMARK(formationStepOf91Ships)->Args({640, 480})->Args({1920, 1080});

void formationLayoutOf91Ships(benchmark::State& state)
{
    setStubTickCount(0);
    formationInit(6, 1920, 1080, 10);
    for (auto _ : state) {
        formationLayout();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(formationLayoutOf91Ships);

} // namespace
