// The cost of the team's hand-offs, which a shared computation pays a few
// thousand times per run: team_run with an empty job (publish, every member
// wakes and counts itself off), and one team_sync inside a job, with members
// spinning as they do between the phases of a product.
//
//   build/perf/perf/team_handoff
#include <benchmark/benchmark.h>

#include "fft/team.h"

namespace {

void BM_TeamRun(benchmark::State& state) {
  Team* team = team_start(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) team_for(team, [](int32_t, int32_t) {});
  team_stop(team);
}
BENCHMARK(BM_TeamRun)->Arg(2)->Arg(3)->Arg(4)->UseRealTime();

void BM_TeamSync(benchmark::State& state) {
  Team* team = team_start(static_cast<int32_t>(state.range(0)));
  team_for(team, [&](int32_t part, int32_t) {
    // Every part syncs max_iterations + 1 times: part 0 once per timed
    // iteration and once more after the timing, the members as often.
    if (part == 0) {
      for (auto _ : state) team_sync(team);
      team_sync(team);
    } else {
      for (int64_t k = 0; k <= static_cast<int64_t>(state.max_iterations); ++k) team_sync(team);
    }
  });
  team_stop(team);
}
BENCHMARK(BM_TeamSync)->Arg(2)->Iterations(200000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
