// compute_pi at 8,388,608 digits beside MPFR's mpfr_const_pi at the same
// precision (8,388,608 x log2 10 bits), alternating in the same run. Each
// computation runs in a fresh child process, so neither peer inherits the
// other's heap or cached constants, and the child's peak resident memory is
// the computation's (less the idle baseline printed beside it).
//
//   build/perf/perf/pi_vs_mpfr [repetitions=3] [digits=8388608]
#include <mpfr.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bignum/compute_pi.h"

namespace {

struct Sample {
  double seconds;     // wall time measured inside the child
  double peak_mib;    // the child's peak resident set
  double reported;    // compute_pi's own seconds (ours only)
};

using Job = double (*)(int32_t digits, double* reported);

double run_ours(int32_t digits, double* reported) {
  BenchmarkResult r;
  const auto t0 = std::chrono::steady_clock::now();
  compute_pi(digits, &r, nullptr, nullptr);
  const auto t1 = std::chrono::steady_clock::now();
  if (r.status != 1) std::exit(3);
  *reported = r.seconds;
  return std::chrono::duration<double>(t1 - t0).count();
}

double run_mpfr(int32_t digits, double* reported) {
  const auto t0 = std::chrono::steady_clock::now();
  mpfr_t pi;
  mpfr_init2(pi, static_cast<mpfr_prec_t>(std::ceil(digits * 3.321928094887362)));
  mpfr_const_pi(pi, MPFR_RNDN);
  const auto t1 = std::chrono::steady_clock::now();
  mpfr_clear(pi);
  *reported = 0;
  return std::chrono::duration<double>(t1 - t0).count();
}

double run_idle(int32_t, double* reported) {
  *reported = 0;
  return 0;
}

Sample in_child(Job job, int32_t digits) {
  int fd[2];
  if (pipe(fd) != 0) std::exit(2);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    double out[2];
    out[0] = job(digits, &out[1]);
    if (write(fd[1], out, sizeof out) != static_cast<ssize_t>(sizeof out)) _exit(4);
    _exit(0);
  }
  close(fd[1]);
  double in[2] = {0, 0};
  const ssize_t got = read(fd[0], in, sizeof in);
  close(fd[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (got != static_cast<ssize_t>(sizeof in) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child failed\n");
    std::exit(1);
  }
  return {in[0], static_cast<double>(usage.ru_maxrss) / 1024.0, in[1]};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::atoi(argv[1]) : 3;
  const int32_t digits = argc > 2 ? std::atoi(argv[2]) : 8388608;
  const Sample idle = in_child(run_idle, digits);
  std::vector<double> ours, theirs, ours_reported, ours_peak, theirs_peak;
  for (int i = 0; i < reps; ++i) {
    const Sample a = in_child(run_ours, digits);
    const Sample b = in_child(run_mpfr, digits);
    std::printf("rep %d: compute_pi %.3f s (reported %.3f s, peak %.1f MiB)   mpfr_const_pi %.3f s (peak %.1f MiB)\n",
                i + 1, a.seconds, a.reported, a.peak_mib, b.seconds, b.peak_mib);
    std::fflush(stdout);
    ours.push_back(a.seconds);
    ours_reported.push_back(a.reported);
    ours_peak.push_back(a.peak_mib);
    theirs.push_back(b.seconds);
    theirs_peak.push_back(b.peak_mib);
  }
  // Transform length and the working memory the computation allocates: 36 n + 48 bytes, n = nfft + 2.
  int64_t nfft = 2;
  while (nfft < digits / 4) nfft *= 2;
  const double budget_mib = (36.0 * static_cast<double>(nfft + 2) + 48) / 1048576.0;
  std::printf("\n%d digits, %d repetitions (medians)\n", digits, reps);
  std::printf("compute_pi      %8.3f s   (its own timing %.3f s)\n", median(ours), median(ours_reported));
  std::printf("mpfr_const_pi   %8.3f s\n", median(theirs));
  std::printf("ratio           %8.3f   (compute_pi / mpfr_const_pi)\n", median(ours) / median(theirs));
  std::printf("peak memory     %8.1f MiB compute_pi, %.1f MiB mpfr_const_pi, %.1f MiB idle child;\n",
              median(ours_peak), median(theirs_peak), idle.peak_mib);
  std::printf("                working buffers 36n + 48 = %.1f MiB\n", budget_mib);
  return 0;
}
