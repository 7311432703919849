// fft_complex_transform forward + inverse beside FFTW's in-place complex
// transform (FFTW_MEASURE plans) of the same length, for n = 2^10 ... 2^22
// doubles. Sizes are interleaved so both peers see the same machine state;
// at the end a table gives each median and the time ratio ours / FFTW, and
// the ratio of the CPU times as the benchmark library measures them, which a
// busy shared machine disturbs less (they include the untimed rescale, the
// same work for both peers).
//
//   build/perf/perf/fft_vs_fftw --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fft/fft.h"

namespace {

constexpr int kMinLog = 10;
constexpr int kMaxLog = 22;

void fill_random(double* x, std::size_t n) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (std::size_t i = 0; i < n; ++i) x[i] = dist(rng);
}

// Both peers: one forward and one inverse transform per iteration, timed
// manually; the rescale that keeps the data bounded is outside the timing.
void BM_Morlant(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  double* x = fftw_alloc_real(static_cast<std::size_t>(n));
  fill_random(x, static_cast<std::size_t>(n));
  const double scale = 2.0 / n;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    fft_complex_transform(n, 1, x);
    fft_complex_transform(n, -1, x);
    const auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    for (int32_t i = 0; i < n; ++i) x[i] *= scale;
  }
  benchmark::DoNotOptimize(x[0]);
  fftw_free(x);
}

void BM_Fftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  fftw_complex* x = fftw_alloc_complex(static_cast<std::size_t>(n / 2));
  fftw_plan fwd = fftw_plan_dft_1d(n / 2, x, x, FFTW_BACKWARD, FFTW_MEASURE);  // exp(+2 pi i jk/N)
  fftw_plan inv = fftw_plan_dft_1d(n / 2, x, x, FFTW_FORWARD, FFTW_MEASURE);
  fill_random(reinterpret_cast<double*>(x), static_cast<std::size_t>(n));
  double* d = reinterpret_cast<double*>(x);
  const double scale = 2.0 / n;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    fftw_execute(fwd);
    fftw_execute(inv);
    const auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    for (int i = 0; i < n; ++i) d[i] *= scale;
  }
  benchmark::DoNotOptimize(d[0]);
  fftw_destroy_plan(fwd);
  fftw_destroy_plan(inv);
  fftw_free(x);
}

// Collects the per-run times (or the medians when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const std::string name = r.benchmark_name();
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      if (r.run_type == Run::RT_Aggregate && !median) continue;
      const auto slash = name.find('/');
      const std::string peer = name.substr(0, slash);
      const long n = std::stol(name.substr(slash + 1));
      const bool ours = peer.find("Morlant") != std::string::npos;
      double& slot = ours ? ours_[n] : fftw_[n];
      double& cpu = ours ? ours_cpu_[n] : fftw_cpu_[n];
      if (median || slot == 0.0) slot = r.GetAdjustedRealTime(), cpu = r.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%10s %14s %14s %8s %12s\n", "doubles", "ours (us)", "FFTW (us)", "ratio", "CPU ratio");
    for (const auto& [n, ours] : ours_) {
      const auto it = fftw_.find(n);
      if (it == fftw_.end() || it->second <= 0 || fftw_cpu_[n] <= 0) continue;
      std::printf("%10ld %14.2f %14.2f %8.2f %12.2f\n", n, ours, it->second, ours / it->second,
                  ours_cpu_[n] / fftw_cpu_[n]);
    }
  }

 private:
  std::map<long, double> ours_, fftw_, ours_cpu_, fftw_cpu_;
};

}  // namespace

int main(int argc, char** argv) {
  for (int lg = kMinLog; lg <= kMaxLog; ++lg) {
    const long n = 1L << lg;
    benchmark::RegisterBenchmark("BM_Morlant", BM_Morlant)->Arg(n)->UseManualTime()->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_Fftw", BM_Fftw)->Arg(n)->UseManualTime()->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
