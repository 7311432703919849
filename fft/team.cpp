// The team's threads and its two hand-offs. A job is published by bumping
// `generation` (release) after its fields are written; each member runs its
// part and counts itself off in `pending`. The barrier counts arrivals and
// releases everyone by bumping its own generation. Pieces are numbered by
// `next_piece`, set to 0 before a job is published and by the last part to
// reach a barrier.
#include "fft/team.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Waits of up to this many polls spin on the processor; longer ones yield
// it to other threads, so that more members than processors still progress.
constexpr int32_t kSpins = 2048;

// A member idle between jobs for this long goes to sleep until the next job.
// Serial phases of a computation are mostly shorter; the wake-up from sleep
// costs tens of microseconds.
constexpr std::chrono::milliseconds kIdleBeforeSleep{5};

inline void relax() {
#if defined(__x86_64__) || defined(_M_X64)
  __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(_M_ARM64)
  __asm__ __volatile__("yield");
#endif
}

template <class Done>
void wait_until(Done done) {
  for (int32_t polls = 0; !done(); ++polls) {
    if (polls < kSpins) relax();
    else std::this_thread::yield();
  }
}

}  // namespace

struct Team {
  int32_t members = 0;
  std::vector<std::thread> threads;

  // The current job, written by the caller of team_run before it bumps
  // `generation`, and read by the members after they see the bump.
  TeamJob job = nullptr;
  void* context = nullptr;
  bool stopping = false;  // the "job" that ends the members

  alignas(64) std::atomic<uint64_t> generation{0};
  alignas(64) std::atomic<int32_t> pending{0};  // members still running the current job
  alignas(64) std::atomic<int32_t> arrived{0};  // at the current barrier
  alignas(64) std::atomic<uint64_t> barrier_generation{0};
  alignas(64) std::atomic<int64_t> next_piece{0};  // of the current phase; reset when a phase starts

  // Sleeping members: they count themselves in `sleepers` under the lock
  // before their last look at `generation`; team_run looks at `sleepers`
  // after its bump and then takes the lock before waking them, so no wake-up
  // is lost.
  alignas(64) std::atomic<int32_t> sleepers{0};
  std::mutex mutex;
  std::condition_variable wake;
};

namespace {

// Returns the generation of the next job once it differs from `seen`.
uint64_t wait_for_job(Team* t, uint64_t seen) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point idle_since{};
  for (int32_t polls = 0;; ++polls) {
    const uint64_t g = t->generation.load(std::memory_order_acquire);
    if (g != seen) return g;
    if (polls < kSpins) {
      relax();
      continue;
    }
    if (polls == kSpins) idle_since = Clock::now();
    if ((polls & 255) != 0 || Clock::now() - idle_since < kIdleBeforeSleep) {
      std::this_thread::yield();
      continue;
    }
    std::unique_lock<std::mutex> lock(t->mutex);
    t->sleepers.fetch_add(1);
    while (t->generation.load() == seen) t->wake.wait(lock);
    t->sleepers.fetch_sub(1);
  }
}

void member_main(Team* t, int32_t part) {
  uint64_t seen = 0;
  for (;;) {
    seen = wait_for_job(t, seen);
    if (t->stopping) return;
    t->job(t->context, part, t->members);
    t->pending.fetch_sub(1, std::memory_order_release);
  }
}

// Publishes the current job (or the stop) to the members.
void publish(Team* t) {
  t->generation.fetch_add(1);
  if (t->sleepers.load() > 0) {
    { std::lock_guard<std::mutex> lock(t->mutex); }
    t->wake.notify_all();
  }
}

}  // namespace

Team* team_start(int32_t members) {
  if (members < 2 || members > kTeamMaxMembers) return nullptr;
  Team* t = new (std::nothrow) Team;
  if (t == nullptr) return nullptr;
  t->members = members;
  try {
    t->threads.reserve(static_cast<std::size_t>(members - 1));
    for (int32_t part = 1; part < members; ++part) t->threads.emplace_back(member_main, t, part);
  } catch (const std::exception&) {
    team_stop(t);
    return nullptr;
  }
  return t;
}

void team_stop(Team* team) {
  if (team == nullptr) return;
  team->stopping = true;
  publish(team);
  for (std::thread& thread : team->threads) thread.join();
  delete team;
}

int32_t team_size(const Team* team) { return team != nullptr ? team->members : 1; }

void team_run(Team* team, TeamJob job, void* context) {
  if (team == nullptr) return job(context, 0, 1);
  team->job = job;
  team->context = context;
  team->pending.store(team->members - 1, std::memory_order_relaxed);
  team->next_piece.store(0, std::memory_order_relaxed);
  publish(team);
  job(context, 0, team->members);
  wait_until([&] { return team->pending.load(std::memory_order_acquire) == 0; });
}

void team_sync(Team* team) {
  if (team == nullptr) return;
  const uint64_t g = team->barrier_generation.load(std::memory_order_acquire);
  if (team->arrived.fetch_add(1, std::memory_order_acq_rel) == team->members - 1) {
    // Every part has finished claiming the phase's pieces: the next phase
    // counts from 0.
    team->next_piece.store(0, std::memory_order_relaxed);
    team->arrived.store(0, std::memory_order_relaxed);
    team->barrier_generation.fetch_add(1, std::memory_order_release);
    return;
  }
  wait_until([&] { return team->barrier_generation.load(std::memory_order_acquire) != g; });
}

int64_t team_pieces(const Team* team, int64_t count) {
  const int64_t most = 8 * int64_t{team_size(team)}, fit = count / kTeamMinPiece;
  if (team == nullptr || fit <= 1) return 1;
  return fit < most ? fit : most;
}

int64_t team_claim(Team* team) { return team->next_piece.fetch_add(1, std::memory_order_relaxed); }
