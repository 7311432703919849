// The reference digest table against independently computed digits of pi.
#include "bench/pi_reference.h"

#include <gtest/gtest.h>

#include <set>

#include "bignum/compute_pi.h"
#include "tests/cli/pi_digits.h"

namespace {

TEST(CliPiReference, TableAgreesWithTheGuaranteeAndWithKnownDigits) {
  std::size_t count = 0;
  const PiReference* table = pi_reference_table(&count);
  ASSERT_GT(count, 0u);
  std::set<int32_t> lengths;
  int checked_against_digits = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const PiReference& e = table[i];
    SCOPED_TRACE(testing::Message() << "2^" << e.log2_length << " x " << e.digits_per_word);
    ASSERT_TRUE(e.log2_length >= 1 && e.log2_length <= 25 && e.digits_per_word >= 1 && e.digits_per_word <= 4);
    EXPECT_EQ(e.guaranteed_digits, pi_guaranteed_digits(static_cast<uint32_t>(e.digits_per_word) << e.log2_length));
    EXPECT_EQ(pi_reference_for_length(int32_t{1} << e.log2_length, e.digits_per_word), &e);
    lengths.insert(e.log2_length);
    if (e.guaranteed_digits <= sizeof kPiDigits - 1) {
      EXPECT_EQ(pi_digest(kPiDigits, e.guaranteed_digits), e.digest);
      ++checked_against_digits;
    }
  }
  EXPECT_GT(checked_against_digits, 0);
  EXPECT_EQ(lengths.size(), 25u) << "every transform length 2^1 ... 2^25 needs an entry";
  EXPECT_EQ(pi_reference_for_length(1 << 26, 4), nullptr);
  EXPECT_EQ(pi_reference_for_length(512, 2), nullptr);
}

}  // namespace
