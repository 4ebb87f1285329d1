// QSOs at random that look like a real Japanese log.
#pragma once

#include <cstdint>

#include "hamlog_gen.hpp"

namespace neb::gen {

// A small, fast generator whose sequence is the same on every platform.
class Rng {
public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // 0 to n - 1 (n > 0).
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
  bool chance(unsigned percent) { return below(100) < percent; }

private:
  std::uint64_t state_;
};

class RandomLog {
public:
  explicit RandomLog(std::uint64_t seed) : rng_(seed) {}
  GenQso next();

private:
  void ordinary(GenQso& q);
  Rng rng_;
};

}  // namespace neb::gen
