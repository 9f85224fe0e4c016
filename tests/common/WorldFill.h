// Filling host worlds for tests.
#ifndef ZF_TESTS_COMMON_WORLDFILL_H
#define ZF_TESTS_COMMON_WORLDFILL_H

#include <functional>
#include <limits>

#include "testhost/World.h"

// Every pixel of a world from its coordinates.
inline void fillWorld(testhost::World& world,
                      std::function<testhost::Channels(A_long x, A_long y)> const& pixel) {
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      world.set(x, y, pixel(x, y));
    }
  }
}

// A varied picture: neighbouring pixels differ, some alphas are 0 (with
// colour left in them) and some full, and float layouts get values a little
// outside 0..1 and NaN colours too.
inline void fillPattern(testhost::World& world, unsigned seed) {
  testhost::PixelFormatInfo const& info = world.info();
  bool const isFloat = info.type == testhost::ChannelType::F32;
  fillWorld(world, [&](A_long x, A_long y) {
    const unsigned h =
        (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u) ^ (seed * 83492791u);
    const auto unit = [&](unsigned shift) { return static_cast<double>((h >> shift) % 251u) / 250.0; };
    double alpha = unit(0);
    // Unsigned: the seed is any 32-bit value the fuzzer picks.
    if ((static_cast<unsigned>(x) + 2u * static_cast<unsigned>(y) + seed) % 5u == 0) {
      alpha = 0.0;
    } else if ((x + y) % 3 == 0) {
      alpha = 1.0;
    }
    double red = unit(5);
    double green = unit(11);
    const double blue = unit(17);
    if (isFloat && (x + y) % 7 == 1) {
      red = 1.25;      // over-range light
      green = -0.125;  // and below black
    } else if (isFloat && (x + y) % 7 == 3) {
      alpha = 1.0;
      red = std::numeric_limits<double>::quiet_NaN();
    }
    return testhost::Channels{alpha * info.maxValue, red * info.maxValue, green * info.maxValue,
                              blue * info.maxValue};
  });
}

#endif
