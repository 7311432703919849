// One computation shared by a team: every operation that splits its work
// gives the same words and the same transform arrays as on one thread, for
// teams of 2, 3, 4 and 7, with carries and borrows made to cross every
// boundary between the members' shares. Needs no reference arithmetic (the
// one-thread results are the reference), so it runs in every build, under
// ThreadSanitizer and under Wine too.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bignum/big_mul.h"
#include "bignum/big_transform.h"
#include "bignum/compute_pi.h"
#include "fft/team.h"

namespace {

constexpr int32_t kTeams[] = {2, 3, 4, 7};

// A record of n words in its own bytes; compared byte for byte.
struct Record {
  std::vector<unsigned char> bytes;
  explicit Record(int32_t n) : bytes(big_record_bytes(n), 0x5f) {}
  BigFloat* get() const { return reinterpret_cast<BigFloat*>(const_cast<unsigned char*>(bytes.data())); }
  bool operator==(const Record& o) const { return bytes == o.bytes; }
};

// Words of `pattern` (0: random, 1: all R-1, 3: R/2 - 1 but the last, R/2),
// normalised, sign +1.
Record number(int32_t n, int32_t R, int pattern, std::mt19937_64& g) {
  Record r(n);
  BigFloat* x = r.get();
  x->sign = 1;
  x->exponent = 0;
  for (int32_t i = 0; i < n; ++i) {
    const uint16_t last = i == n - 1;
    x->digits[i] = static_cast<uint16_t>(pattern == 0   ? g() % static_cast<uint64_t>(R)
                                         : pattern == 1 ? R - 1
                                                        : R / 2 - 1 + last);
  }
  if (x->digits[0] == 0) x->digits[0] = 1;
  return r;
}

// Runs op(team) once on one thread and once on each team; every output
// (records and arrays the op fills) must be the same bytes.
void expect_same_for_every_team(const std::string& what, const std::function<std::vector<unsigned char>(Team*)>& op) {
  const std::vector<unsigned char> one = op(nullptr);
  for (int32_t members : kTeams) {
    Team* team = team_start(members);
    ASSERT_NE(team, nullptr);
    EXPECT_TRUE(op(team) == one) << what << ", " << members << " members";
    team_stop(team);
  }
}

template <class... T>
std::vector<unsigned char> bytes_of(const T&... parts) {
  std::vector<unsigned char> all;
  (all.insert(all.end(), reinterpret_cast<const unsigned char*>(parts.data()),
              reinterpret_cast<const unsigned char*>(parts.data() + parts.size())),
   ...);
  return all;
}

// Every product form, and the radix test, at lengths with shared
// transforms; the operands' runs of full words carry the carry-back across
// every share, the halves of R/2 - 1 the loading's balancing carry. The
// products' kept spectra must match too.
TEST(Parallel, ProductsAndKeptSpectraAreTheSameOnEveryTeam) {
  std::mt19937_64 g(1);
  for (int32_t L : {1 << 15, 1 << 16}) {
    const int32_t n = L + 2;
    for (int pattern : {0, 1, 3}) {
      const int32_t R = pattern == 3 ? 10 : 10000;
      Record a = number(n, R, pattern, g), b = number(n, R, 0, g);
      expect_same_for_every_team("products, L " + std::to_string(L) + ", pattern " + std::to_string(pattern),
                                 [&](Team* team) {
        std::vector<double> P(static_cast<size_t>(n)), Q(P), S(P);
        Record tmp(n), mul(n), mul_short(n), sqr_short(n), half(n), stored(n), sqr(n), keep(n);
        const ProductScratch s = {L, P.data(), Q.data(), S.data(), tmp.get(), team};
        big_mul(n, R, a.get(), b.get(), mul.get(), &s);
        big_mul_short(n, R, a.get(), a.get(), mul_short.get(), &s);
        big_sqr_short(n, R, a.get(), sqr_short.get(), &s);
        big_mul_half(n, R, a.get(), b.get(), half.get(), &s);
        big_mul_stored(n, R, b.get(), L / 2, stored.get(), &s);
        big_sqr(n, R, a.get(), sqr.get(), &s);
        big_sqr_keep(n, R, b.get(), keep.get(), &s);
        const std::vector<double> spectrum = P;
        std::vector<double> roundoff = {fft_roundoff_test(n, R, L, S.data(), team)};
        return bytes_of(mul.bytes, mul_short.bytes, sqr_short.bytes, half.bytes, stored.bytes, sqr.bytes,
                        keep.bytes, spectrum, roundoff);
      });
    }
  }
}

// A record of n words w(i) at exponent 0, sign +1.
Record words(int32_t n, const std::function<int32_t(int32_t)>& w) {
  Record r(n);
  r.get()->sign = 1;
  r.get()->exponent = 0;
  for (int32_t i = 0; i < n; ++i) r.get()->digits[i] = static_cast<uint16_t>(w(i));
  return r;
}

// The word chains: 1 ... plus 1 0 ... 0 1 carries, and
// 2 0 ... 0 less 1 0 ... 0 1 borrows, through every word, so across every
// share boundary; a sum whose top carries out for certain; random operands,
// shifted and in place, and a product by a small integer with a carry out of
// every word.
TEST(Parallel, CarriesAndBorrowsCrossEveryShare) {
  std::mt19937_64 g(2);
  const int32_t n = (1 << 16) + 3, R = 10000;
  const Record full = words(n, [](int32_t i) { return i == 0 ? 1 : R - 1; });
  const Record ends = words(n, [](int32_t i) { return i == 0 || i == n - 1 ? 1 : 0; });
  const Record two = words(n, [](int32_t i) { return i == 0 ? 2 : 0; });
  const Record x = number(n, R, 0, g), y = number(n, R, 0, g), nines = number(n, R, 1, g);
  Record shifted = y;
  shifted.get()->exponent = -37;
  const auto chains = [&](Team* team) {
    Record sum(n), diff(n), mixed(n), shift_sum(n), shift_diff(n), in_place = x, times(n), carry_out(n);
    big_add(n, R, full.get(), ends.get(), sum.get(), team);
    big_add(n, R, nines.get(), ends.get(), carry_out.get(), team);  // the top carries out for certain
    big_sub(n, R, two.get(), ends.get(), diff.get(), team);
    big_sub(n, R, x.get(), y.get(), mixed.get(), team);
    big_add(n, R, x.get(), shifted.get(), shift_sum.get(), team);
    big_sub(n, R, x.get(), shifted.get(), shift_diff.get(), team);
    big_add(n, R, in_place.get(), y.get(), in_place.get(), team);
    big_mul_small(n, R, full.get(), 7, times.get(), team);
    return std::vector<Record>{sum, diff, mixed, shift_sum, shift_diff, in_place, times, carry_out};
  };
  expect_same_for_every_team("word chains", [&](Team* team) {
    std::vector<unsigned char> all;
    for (const Record& r : chains(team)) all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
  });
  // The carry and the borrow went all the way: 3 0 ... 0 and ... 0.
  Team* team = team_start(3);
  const std::vector<Record> shared = chains(team);
  team_stop(team);
  const BigFloat *sum = shared[0].get(), *diff = shared[1].get();
  EXPECT_TRUE(sum->exponent == 0 && sum->digits[0] == 3 && sum->digits[1] == 0 && sum->digits[n - 1] == 0);
  EXPECT_TRUE(diff->exponent == -1 && diff->digits[0] == R - 1 && diff->digits[n - 2] == R - 1 &&
              diff->digits[n - 1] == 0);
}

// The loading alone, whose balancing carry passes through runs of R/2 - 1
// words that reach across the shares.
TEST(Parallel, LoadedTransformArraysAreTheSame) {
  std::mt19937_64 g(3);
  const int32_t L = 1 << 16, n = L + 2;
  for (int32_t R : {10, 100, 10000}) {
    Record a = number(n, R, 3, g);
    expect_same_for_every_team("loading, R " + std::to_string(R), [&](Team* team) {
      std::vector<double> X(static_cast<size_t>(n), -1.0), Y(X);
      big_to_transform(a.get(), 0, n, R, L, X.data(), team);
      big_to_transform(a.get(), L / 2 + 7, n, R, L, Y.data(), team);
      return bytes_of(X, Y);
    });
  }
}

// Whole computations: the same value of pi to the last word, for every team
// (the intermediate values are checked above, operation by operation).
TEST(Parallel, ComputePiGivesTheSameNumberOnEveryTeam) {
#if defined(MORLANT_TESTS_EMULATED) || defined(MORLANT_TESTS_SANITIZED)
  const int32_t counts[] = {131072};
#else
  const int32_t counts[] = {131072, 1000000};
#endif
  for (int32_t digits : counts) {
    const auto run = [&](int32_t parallel) {
      std::vector<unsigned char> pi;
      BenchmarkResult result;
      compute_pi_with_sink(
          digits, parallel, &result, nullptr, nullptr,
          [](const BigFloat* x, int32_t n, int32_t, void* user) {
            const auto* p = reinterpret_cast<const unsigned char*>(x);
            static_cast<std::vector<unsigned char>*>(user)->assign(p, p + big_record_bytes(n));
          },
          &pi);
      EXPECT_EQ(result.status, 1u) << result.message;
      return pi;
    };
    const std::vector<unsigned char> one = run(1);
    ASSERT_FALSE(one.empty());
    for (int32_t members : kTeams) EXPECT_TRUE(run(members) == one) << digits << " digits, " << members << " threads";
  }
  BenchmarkResult result;
  compute_pi_with_sink(100, kTeamMaxMembers + 1, &result, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(result.status, 0u);
  EXPECT_STREQ(result.message, "Invalid number of threads: 257");
}

}  // namespace
