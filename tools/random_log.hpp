// QSOs at random that look like a real Japanese log; with adversarial set,
// mixed with every kind of odd byte a damaged or unusual log can hold.
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
  RandomLog(std::uint64_t seed, bool adversarial) : rng_(seed), adversarial_(adversarial) {}
  GenQso next();

private:
  void ordinary(GenQso& q);
  void spoil(GenQso& q);
  Rng rng_;
  bool adversarial_;
};

}  // namespace neb::gen
