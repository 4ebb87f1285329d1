// Decimal numbers as text: digits written backwards into a buffer, and
// numbers appended to a message.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>

namespace neb {

// The digits of v, right-aligned, ending just before end; returns the start.
inline char* putDecimal(char* end, unsigned v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  return end;
}

inline void appendDecimal(std::string& out, long long value) {
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, r.ptr);
}

}  // namespace neb
