#include "qso_list.hpp"

#include <charconv>
#include <cstdint>
#include <string>

namespace neb::gen {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (i + 1 >= s.size()) throw GenError("lone \\ at the end of a column");
    const char c = s[++i];
    if (c == '\\') {
      out += '\\';
    } else if (c == 't') {
      out += '\t';
    } else if (c == 'x' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
      i += 2;
    } else {
      throw GenError("unknown escape \\" + std::string(1, c));
    }
  }
  return out;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const auto pos = s.find(sep, start);
    parts.push_back(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
    if (pos == std::string_view::npos) return parts;
    start = pos + 1;
  }
}

long long number(std::string_view s, long long lo, long long hi, const char* what) {
  long long v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi)
    throw GenError(std::string("bad ") + what + ": \"" + std::string(s) + "\"");
  return v;
}

std::uint8_t byteOf(std::string_view s, const char* what) {
  return static_cast<std::uint8_t>(number(s, 0, 255, what));
}

std::vector<std::string_view> fields(std::string_view s, char sep, std::size_t n, const char* what) {
  auto parts = split(s, sep);
  if (parts.size() != n) throw GenError(std::string("bad ") + what + ": \"" + std::string(s) + "\"");
  return parts;
}

FrequencyBytes frequency(std::string_view s) {
  if (s.starts_with("mhz:")) return frequencyMhz(s.substr(4));
  if (s.starts_with("packed:")) {
    const auto p = fields(s.substr(7), '/', 3, "packed frequency");
    return frequencyPacked(static_cast<std::uint32_t>(number(p[0], 0, kMaxCount, "N")),
                           static_cast<unsigned>(number(p[1], 1, 8, "L")),
                           static_cast<unsigned>(number(p[2], 0, 7, "P")));
  }
  if (s.starts_with("hex:")) {
    const auto h = s.substr(4);
    if (h.size() != 8) throw GenError("hex frequency needs 8 digits");
    FrequencyBytes f{};
    for (std::size_t i = 0; i < 4; ++i) {
      const int hi = hexDigit(h[2 * i]), lo = hexDigit(h[2 * i + 1]);
      if (hi < 0 || lo < 0) throw GenError("bad hex frequency");
      f[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return f;
  }
  const std::string text = unescape(s.starts_with("text:") ? s.substr(5) : s);
  if (text.size() > 4) throw GenError("text frequency longer than 4 bytes");
  return frequencyText(text);
}

void date(GenQso& q, std::string_view s) {
  if (s.find('/') != std::string_view::npos) {
    const auto p = fields(s, '/', 3, "date");
    q.year = byteOf(p[0], "year byte");
    q.month = byteOf(p[1], "month byte");
    q.day = byteOf(p[2], "day byte");
    return;
  }
  const auto p = fields(s, '-', 3, "date");
  q.year = yearByte(static_cast<int>(number(p[0], 1900, 2127, "year")));
  q.month = byteOf(p[1], "month");
  q.day = byteOf(p[2], "day");
}

void time(GenQso& q, std::string_view s) {
  if (s.find('/') != std::string_view::npos) {
    const auto p = fields(s, '/', 2, "time");
    q.hour = byteOf(p[0], "hour byte");
    q.minute = byteOf(p[1], "minute byte");
    return;
  }
  bool utc = false;
  if (s.ends_with('U') || s.ends_with('J')) {
    utc = s.back() == 'U';
    s.remove_suffix(1);
  }
  const auto p = fields(s, ':', 2, "time");
  q.hour = byteOf(p[0], "hour");
  q.minute = minuteByte(static_cast<int>(number(p[1], 0, 127, "minute")), utc);
}

void report(std::uint8_t& value, std::uint8_t& extra, std::string_view s) {
  const auto p = split(s, '/');
  if (p.size() > 2) throw GenError("bad report: \"" + std::string(s) + "\"");
  value = byteOf(p[0], "report");
  extra = p.size() == 2 ? byteOf(p[1], "report extra byte") : static_cast<std::uint8_t>(' ');
}

GenQso parseLine(std::string_view line) {
  const auto cols = split(line, '\t');
  if (cols.size() > 16) throw GenError("more than 16 columns");
  GenQso q;
  auto col = [&](std::size_t i) { return i < cols.size() ? cols[i] : std::string_view(); };
  q.call = unescape(col(0));
  q.portable = unescape(col(1));
  q.shortText1 = unescape(col(2));
  q.shortText2 = unescape(col(3));
  if (cols.size() > 4) q.frequency = frequency(col(4));
  q.mode = unescape(col(5));
  q.longText = unescape(col(6));
  q.flags = unescape(col(7));
  if (!col(8).empty()) date(q, col(8));
  if (!col(9).empty()) time(q, col(9));
  if (!col(10).empty()) report(q.report1, q.extra1, col(10));
  if (!col(11).empty()) report(q.report2, q.extra2, col(11));
  for (std::size_t i = 0; i < 3; ++i) {
    q.texts[i] = unescape(col(12 + i));
    if (q.texts[i].size() > 255) throw GenError("companion text longer than 255 bytes");
  }
  if (!col(15).empty())
    q.textPointer = static_cast<std::int32_t>(number(col(15), INT32_MIN, INT32_MAX, "text pointer"));
  return q;
}

}  // namespace

std::vector<GenQso> parseQsoList(std::string_view text) {
  std::vector<GenQso> qsos;
  std::size_t lineNo = 0;
  for (auto line : split(text, '\n')) {
    ++lineNo;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    try {
      qsos.push_back(parseLine(line));
    } catch (const GenError& e) {
      throw GenError("line " + std::to_string(lineNo) + ": " + e.what());
    }
  }
  return qsos;
}

}  // namespace neb::gen
