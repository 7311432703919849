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
    if (part == 0) {
      for (auto _ : state) team_sync(team);
      team_sync(team);  // releases the members from their last round
    } else {
      // The members sync as often as part 0 does: until part 0 stops,
      // which the one extra sync above marks by a flag-free count.
      for (int64_t k = 0; k <= static_cast<int64_t>(state.max_iterations); ++k) team_sync(team);
    }
  });
  team_stop(team);
}
BENCHMARK(BM_TeamSync)->Arg(2)->Iterations(200000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
