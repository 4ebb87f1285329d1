#include "sjis.hpp"

namespace neb::sjis {

std::size_t length(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < s.size(); pos += charLength(s, pos)) ++count;
  return count;
}

std::string_view left(std::string_view s, std::size_t n) {
  std::size_t pos = 0;
  for (std::size_t k = 0; k < n && pos < s.size(); ++k) pos += charLength(s, pos);
  return s.substr(0, pos);
}

std::string_view dropRight(std::string_view s, std::size_t n) {
  const std::size_t total = length(s);
  if (total <= n) return s.substr(0, 0);
  return left(s, total - n);
}

std::string_view charAt(std::string_view s, std::size_t n) {
  if (n == 0) return s.substr(0, 0);
  std::size_t pos = 0;
  for (std::size_t k = 1; k < n && pos < s.size(); ++k) pos += charLength(s, pos);
  if (pos >= s.size()) return s.substr(s.size());
  return s.substr(pos, charLength(s, pos));
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (std::size_t pos = 0; pos < out.size();) {
    const std::size_t len = charLength(out, pos);
    const auto b = static_cast<unsigned char>(out[pos]);
    if (len == 1) {
      if (b >= 'a' && b <= 'z') out[pos] = static_cast<char>(b - ('a' - 'A'));
    } else if (b == 0x82) {
      // Full-width a-z (0x8281-0x829A) to A-Z (0x8260-0x8279).
      const auto t = static_cast<unsigned char>(out[pos + 1]);
      if (t >= 0x81 && t <= 0x9A) out[pos + 1] = static_cast<char>(t - 0x21);
    }
    pos += len;
  }
  return out;
}

std::vector<std::string_view> lines(std::string_view bytes) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t cr = bytes.find('\r', start);
    if (cr == std::string_view::npos) {
      out.push_back(bytes.substr(start));
      break;
    }
    out.push_back(bytes.substr(start, cr - start));
    start = cr + 1;
    if (start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return out;
}

}  // namespace neb::sjis
