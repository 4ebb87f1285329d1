// Character-aware helpers over Shift_JIS byte strings.
// A character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a trail byte
// (0x40-0x7E, 0x80-0xFC); any other byte, including a lead byte without a
// valid trail, is one character of its own. Bytes are never altered.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace neb::sjis {

constexpr bool isLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool isTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Byte length (1 or 2) of the character that starts at pos (pos < s.size()).
inline std::size_t charLength(std::string_view s, std::size_t pos) {
  return pos + 1 < s.size() && isLead(static_cast<unsigned char>(s[pos])) &&
                 isTrail(static_cast<unsigned char>(s[pos + 1]))
             ? 2
             : 1;
}

// Number of characters.
std::size_t length(std::string_view s);

// The first n characters (all of s when it has fewer).
std::string_view left(std::string_view s, std::size_t n);

// s without its last n characters (empty when it has n or fewer).
std::string_view dropRight(std::string_view s, std::size_t n);

// The n-th character, 1-based; empty when s is shorter.
std::string_view charAt(std::string_view s, std::size_t n);

// Leading and trailing ASCII spaces (0x20) removed; nothing else. A space is
// never a trail byte, so this keeps characters whole.
inline std::string_view trim(std::string_view s) {
  if (s.empty() || (s.front() != ' ' && s.back() != ' ')) return s;  // the usual case
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && s[begin] == ' ') ++begin;
  while (end > begin && s[end - 1] == ' ') --end;
  return std::string_view(s.data() + begin, end - begin);
}

// The lines of a text file: a line ends at CR LF or a lone CR, and a lone
// LF stays part of its line. A last line without a line end still counts;
// nothing after the last line end does.
std::vector<std::string_view> lines(std::string_view bytes);

// ASCII a-z and full-width ａ-ｚ to upper case; trail bytes are never touched.
std::string upper(std::string_view s);

}  // namespace neb::sjis
