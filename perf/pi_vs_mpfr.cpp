// compute_pi beside MPFR's mpfr_const_pi at the same precision (digits x
// log2 10 bits), alternating in the same run, at one or more digit counts.
// Each computation is a whole new process (this program started again with
// --child), as a user would run it: neither peer inherits the other's heap,
// cached constants or warmed pages, and the child's peak resident memory is
// the computation's (less the idle baseline printed beside it).
//
//   build/perf/perf/pi_vs_mpfr [repetitions=5] [digits ...]
//
// Without digit counts: 1,048,576, the benchmark's 8,388,608 and 33,554,432,
// so the ratio's trend with size shows.
#include <mpfr.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

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

// The child's side: runs the job and writes "seconds reported" on the pipe.
int child_main(const char* which, int32_t digits) {
  const Job job = std::strcmp(which, "ours") == 0 ? run_ours : std::strcmp(which, "mpfr") == 0 ? run_mpfr : run_idle;
  double reported = 0;
  const double seconds = job(digits, &reported);
  std::printf("%.9f %.9f\n", seconds, reported);
  return 0;
}

// Starts this program again as a child running one job; its peak memory
// comes from wait4.
Sample in_child(const char* which, int32_t digits) {
  int fd[2];
  if (pipe(fd) != 0) std::exit(2);
  const std::string count = std::to_string(digits);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    dup2(fd[1], 1);
    close(fd[1]);
    execl("/proc/self/exe", "pi_vs_mpfr", "--child", which, count.c_str(), static_cast<char*>(nullptr));
    _exit(5);
  }
  close(fd[1]);
  char text[128] = {0};
  ssize_t got = 0, n;
  while (got < static_cast<ssize_t>(sizeof text) - 1 && (n = read(fd[0], text + got, sizeof text - 1 - got)) > 0) got += n;
  close(fd[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double seconds = 0, reported = 0;
  if (std::sscanf(text, "%lf %lf", &seconds, &reported) != 2 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child failed\n");
    std::exit(1);
  }
  return {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0, reported};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

// One digit count: reps alternating pairs, then the medians.
void compare(int reps, int32_t digits) {
  const Sample idle = in_child("idle", digits);
  std::vector<double> ours, theirs, ours_reported, ours_peak, theirs_peak, ratios;
  for (int i = 0; i < reps; ++i) {
    const Sample a = in_child("ours", digits);
    const Sample b = in_child("mpfr", digits);
    std::printf("rep %d: compute_pi %.3f s (reported %.3f s, peak %.1f MiB)   mpfr_const_pi %.3f s (peak %.1f MiB)\n",
                i + 1, a.seconds, a.reported, a.peak_mib, b.seconds, b.peak_mib);
    std::fflush(stdout);
    ours.push_back(a.seconds);
    ours_reported.push_back(a.reported);
    ours_peak.push_back(a.peak_mib);
    theirs.push_back(b.seconds);
    theirs_peak.push_back(b.peak_mib);
    ratios.push_back(a.seconds / b.seconds);
  }
  // Transform length and the working memory the computation allocates: 36 n + 48 bytes, n = nfft + 2.
  int64_t nfft = 2;
  while (nfft < digits / 4) nfft *= 2;
  const double budget_mib = (36.0 * static_cast<double>(nfft + 2) + 48) / 1048576.0;
  std::printf("\n%d digits, %d alternating pairs of fresh processes (medians)\n", digits, reps);
  std::printf("compute_pi      %8.3f s   (its own timing %.3f s)\n", median(ours), median(ours_reported));
  std::printf("mpfr_const_pi   %8.3f s\n", median(theirs));
  std::printf("ratio           %8.3f   (compute_pi / mpfr_const_pi; median of the pairs' ratios %.3f)\n",
              median(ours) / median(theirs), median(ratios));
  std::printf("peak memory     %8.1f MiB compute_pi, %.1f MiB mpfr_const_pi, %.1f MiB idle process;\n",
              median(ours_peak), median(theirs_peak), idle.peak_mib);
  std::printf("                working buffers 36n + 48 = %.1f MiB, limit 36n + 48 + 8 MiB = %.1f MiB\n\n",
              budget_mib, budget_mib + 8.0);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return child_main(argv[2], std::atoi(argv[3]));
  const int reps = argc > 1 ? std::atoi(argv[1]) : 5;
  std::vector<int32_t> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1048576, 8388608, 33554432};
  for (int32_t digits : sizes) compare(reps, digits);
  return 0;
}
