// Frequency-domain kernels. They need no reference arithmetic, so these
// tests run in every build, the Windows ones included.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bignum/fft_kernels.h"
#include "fft/fft_simd.h"

namespace {

// The vector form of every kernel against the portable one, on random
// spectra of every length the walk treats differently: no pairs (L = 4, 8),
// one twiddle block, several blocks with the single k = 1 at the end.
TEST(FftKernels, VectorFormMatchesThePortableForm) {
#ifdef MORLANT_FFT_HAVE_VEC
  if (!fft_simd_available()) GTEST_SKIP() << "no vector path on this processor";
  const FusedKernel kinds[] = {FusedKernel::mul,         FusedKernel::mul_stored,     FusedKernel::mul_into_stored,
                               FusedKernel::mul_partial, FusedKernel::mul_accumulate, FusedKernel::sqr,
                               FusedKernel::sqr_keep,    FusedKernel::sqr_stored};
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int32_t L = 4; L <= (1 << 14); L *= 2) {
    for (FusedKernel kind : kinds) {
      std::vector<std::vector<double>> a(3, std::vector<double>(static_cast<std::size_t>(L) + 2));
      for (std::vector<double>& v : a)
        for (double& d : v) d = u(g);
      std::vector<std::vector<double>> b = a;
      fft_fused_vec(kind, L, a[0].data(), a[1].data(), a[2].data(), nullptr);
      fft_fused_portable(kind, L, b[0].data(), b[1].data(), b[2].data(), nullptr);
      for (int i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < a[i].size(); ++j)
          ASSERT_NEAR(a[i][j], b[i][j], 1e-14) << "kind " << static_cast<int>(kind) << ", L " << L << ", array "
                                               << i << ", index " << j;
    }
  }
#else
  GTEST_SKIP() << "no vector path in this build";
#endif
}

}  // namespace
