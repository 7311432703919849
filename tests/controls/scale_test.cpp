// Scaling of lengths named at 96 DPI.
#include <gtest/gtest.h>

#include "controls/drawing.h"

namespace {

TEST(ScaleForDpi, RoundsToNearestWithHalvesAwayFromZero) {
  const struct {
    int value, dpi, scaled;
  } cases[] = {
      {0, 96, 0},      {1, 96, 1},      {-7, 96, -7},      {160, 96, 160},     {11, 120, 14},
      {20, 120, 25},   {22, 120, 28},   {50, 120, 63},     {16, 144, 24},      {55, 144, 83},
      {84, 144, 126},  {-50, 120, -63}, {-55, 144, -83},   {-11, 120, -14},    {1, 48, 1},
      {-1, 48, -1},    {1, 47, 0},      {3, 144, 5},       {515, 144, 773},    {400, 192, 800},
      {2147483647, 96, 2147483647},     {-2147483647 - 1, 96, -2147483647 - 1}, {1000000000, 192, 2000000000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scale_for_dpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
  }
}

}  // namespace
