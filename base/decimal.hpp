// Decimal numbers as text: digits written backwards into a buffer, two per
// division, and numbers appended to a message.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string>

namespace neb {

// "00" to "99".
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// The digits of v, right-aligned, ending just before end; returns the start.
inline char* putDecimal(char* end, unsigned v) {
  for (; v >= 100; v /= 100) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[2 * (v % 100)], 2);
  }
  if (v < 10) {
    *--end = static_cast<char>('0' + v);
  } else {
    end -= 2;
    std::memcpy(end, &kDigitPairs[2 * v], 2);
  }
  return end;
}

inline void appendDecimal(std::string& out, long long value) {
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, r.ptr);
}

}  // namespace neb
