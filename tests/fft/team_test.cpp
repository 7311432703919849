// The team of threads that shares one computation: its hand-offs, and the
// transforms it shares, which must equal the one-thread transforms to the
// bit. Built into parallel_tests, which also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "fft/fft.h"
#include "fft/team.h"

namespace {

constexpr int32_t kMembers[] = {2, 3, 4, 7, 16};

// Each part adds to its own slot of plain memory, syncs, and reads every
// slot: the sums show that every part ran exactly once per job and that the
// sync made all writes visible (ThreadSanitizer checks the ordering). Part 0
// is the calling thread, the others are distinct threads of the team. Some
// jobs come after a pause long enough for the members to fall asleep.
TEST(Team, EveryPartRunsOncePerJobAndSyncShowsAllWrites) {
  for (int32_t members : kMembers) {
    Team* team = team_start(members);
    ASSERT_NE(team, nullptr) << members;
    ASSERT_EQ(team_size(team), members);
    std::vector<int64_t> slot(static_cast<size_t>(members), 0), seen(static_cast<size_t>(members), 0);
    std::vector<std::thread::id> who(static_cast<size_t>(members));
    for (int64_t job = 1; job <= 200; ++job) {
      if (job % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      team_for(team, [&](int32_t part, int32_t parts) {
        slot[static_cast<size_t>(part)] += job * (parts == members ? 1 : 1000);
        who[static_cast<size_t>(part)] = std::this_thread::get_id();
        team_sync(team);
        int64_t sum = 0;
        for (int64_t v : slot) sum += v;
        seen[static_cast<size_t>(part)] = sum;
      });
      for (int64_t v : seen) ASSERT_EQ(v, members * job * (job + 1) / 2) << members << " members, job " << job;
    }
    EXPECT_EQ(who[0], std::this_thread::get_id());
    for (size_t i = 1; i < who.size(); ++i)
      for (size_t j = 0; j < i; ++j) EXPECT_NE(who[i], who[j]) << members << " members: parts " << i << ", " << j;
    team_stop(team);
  }
}

TEST(Team, NullIsATeamOfOneAndSizesOutOfRangeAreRefused) {
  int32_t calls = 0;
  team_for(nullptr, [&](int32_t part, int32_t parts) { calls += 10 * part + parts; });
  EXPECT_EQ(calls, 1);
  team_sync(nullptr);
  EXPECT_EQ(team_size(nullptr), 1);
  EXPECT_EQ(team_start(1), nullptr);
  EXPECT_EQ(team_start(kTeamMaxMembers + 1), nullptr);
  team_stop(nullptr);
  // Started and stopped again and again, idle or not: nothing hangs.
  for (int i = 0; i < 20; ++i) {
    Team* team = team_start(2 + i % 5);
    ASSERT_NE(team, nullptr);
    if (i % 2) team_for(team, [](int32_t, int32_t) {});
    team_stop(team);
  }
}

// Pieces lie in order over the elements, each once, about eight per member
// and none below the minimum; team_each hands every piece of a phase to
// exactly one part, phase after phase (the counter starts again at a sync).
TEST(Team, PiecesCoverEveryElementOnceAndEachIsTakenOnce) {
  for (int64_t count : {1, 5, 64, 1000003})
    for (int64_t pieces : {1, 2, 3, 7, 2048}) {
      EXPECT_EQ(team_piece_start(count, 0, pieces), 0);
      EXPECT_EQ(team_piece_start(count, pieces, pieces), count);
      for (int64_t p = 0; p < pieces; ++p) {
        const int64_t length = team_piece_start(count, p + 1, pieces) - team_piece_start(count, p, pieces);
        EXPECT_TRUE(length == count / pieces || length == count / pieces + 1) << count << " " << pieces << " " << p;
      }
    }
  Team* team = team_start(4);
  ASSERT_NE(team, nullptr);
  EXPECT_EQ(team_pieces(nullptr, 1 << 20), 1);
  EXPECT_EQ(team_pieces(team, 1 << 20), 32);
  EXPECT_EQ(team_pieces(team, 9 * kTeamMinPiece + 1), 9);
  EXPECT_EQ(team_pieces(team, kTeamMinPiece - 1), 1);
  std::vector<int> taken(1000, 0);
  team_for(team, [&](int32_t, int32_t) {
    for (int phase = 0; phase < 3; ++phase) {
      team_each(team, 1000, [&](int64_t i) { ++taken[static_cast<size_t>(i)]; });
      team_sync(team);
    }
  });
  team_stop(team);
  for (size_t i = 0; i < taken.size(); ++i) ASSERT_EQ(taken[i], 3) << "piece " << i;
}

std::vector<double> random_values(int32_t n, unsigned seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(static_cast<size_t>(n));
  for (double& v : x) v = u(g);
  return x;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The product path's transforms on a team: the same doubles as on one
// thread, at lengths where the top one or two levels are shared (a team of
// 2 or 4096 doubles: one; longer, for more: two), with the smallest blocks a
// team hands out.
TEST(TeamTransform, SharedTransformsEqualTheOneThreadOnesToTheBit) {
#if defined(MORLANT_TESTS_EMULATED) || defined(MORLANT_TESTS_SANITIZED)
  const int32_t lengths[] = {1 << 12, 1 << 15, 1 << 16};
#else
  const int32_t lengths[] = {1 << 12, 1 << 15, 1 << 16, 1 << 19};
#endif
  for (int32_t members : {2, 3, 4, 7}) {
    Team* team = team_start(members);
    ASSERT_NE(team, nullptr);
    for (int32_t n : lengths) {
      std::vector<double> x = random_values(n, static_cast<unsigned>(n + members));
      // The half transform never reads the upper half; NaN there shows it.
      for (int32_t i = n / 2 + 1; i < n; ++i) x[static_cast<size_t>(i)] = std::nan("");
      std::vector<double> one = x, shared = x;
      fft_forward_scrambled_half(n, one.data());
      fft_forward_scrambled_half(n, shared.data(), team);
      EXPECT_TRUE(same_bits(one, shared)) << "forward, n = " << n << ", " << members << " members";
      fft_inverse_scrambled(n, one.data());
      fft_inverse_scrambled(n, shared.data(), team);
      EXPECT_TRUE(same_bits(one, shared)) << "inverse, n = " << n << ", " << members << " members";
    }
    team_stop(team);
  }
}

}  // namespace
