#include "native_text.hpp"

namespace neb {

namespace {

// A UTF-16 code unit is a character here; of UTF-8 only a lead byte starts one.
bool startsChar(NativeChar c) {
  if constexpr (sizeof(NativeChar) > 1) return true;
  return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Offset of the n-th character from the start (s.size() when there are fewer).
std::size_t offsetOfChar(const NativeString& s, std::size_t n) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (startsChar(s[i])) {
      if (seen == n) return i;
      ++seen;
    }
  }
  return s.size();
}

}  // namespace

NativeString nativeAscii(std::string_view ascii) {
  NativeString out;
  out.reserve(ascii.size());
  for (char c : ascii) out.push_back(static_cast<NativeChar>(c));
  return out;
}

std::size_t charCount(const NativeString& s) {
  std::size_t n = 0;
  for (NativeChar c : s) n += startsChar(c) ? 1 : 0;
  return n;
}

NativeString dropFirstChar(const NativeString& s) { return s.substr(offsetOfChar(s, 1)); }

NativeString dropLastChars(const NativeString& s, std::size_t n) {
  const std::size_t count = charCount(s);
  if (count <= n) return {};
  return s.substr(0, offsetOfChar(s, count - n));
}

NativeString trimBlanks(const NativeString& s) {
  const auto first = s.find_first_not_of(static_cast<NativeChar>(' '));
  if (first == NativeString::npos) return {};
  const auto last = s.find_last_not_of(static_cast<NativeChar>(' '));
  return s.substr(first, last - first + 1);
}

}  // namespace neb
