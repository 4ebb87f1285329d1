#include "work_record.hpp"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "sjis.hpp"

namespace neb {

namespace {

void assignTrimmed(std::string& out, std::string_view text) { out.assign(sjis::trim(text)); }

// Characters first..first+count-1 (1-based) of an ASCII text, clipped.
std::string_view mid(std::string_view s, std::size_t first, std::size_t count) {
  if (first - 1 >= s.size()) return {};
  return s.substr(first - 1, count);
}

// Whether a byte 0x22 or 0x81 occurs, eight bytes at a time: neither quote
// character can be there without one of them.
bool mayHoldQuote(const char* data, std::size_t size) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  auto hasByte = [](std::uint64_t x, std::uint64_t pattern) {
    const std::uint64_t v = x ^ pattern;
    return ((v - ones) & ~v & highs) != 0;
  };
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (hasByte(word, ones * 0x22) || hasByte(word, ones * 0x81)) return true;
  }
  for (; i < size; ++i)
    if (data[i] == '"' || data[i] == '\x81') return true;
  return false;
}

// The ASCII double quote and the full-width right double quotation mark (”)
// would end a field early for the suite's readers; each becomes one space.
void cleanQuotes(std::string& field) {
  char* const data = field.data();
  const std::size_t size = field.size();
  if (!mayHoldQuote(data, size)) return;
  std::size_t out = 0;
  for (std::size_t in = 0; in < size;) {
    const auto b = static_cast<unsigned char>(data[in]);
    if (b < 0x80) {
      data[out++] = b == '"' ? ' ' : data[in];
      ++in;
    } else if (in + 1 < size && sjis::isLead(b) && sjis::isTrail(static_cast<unsigned char>(data[in + 1]))) {
      if (b == 0x81 && data[in + 1] == '\x68') {
        data[out++] = ' ';
      } else {
        data[out++] = data[in];
        data[out++] = data[in + 1];
      }
      in += 2;
    } else {
      data[out++] = data[in++];
    }
  }
  field.resize(out);
}

}  // namespace

void fillFields(WorkRecord& work, const QsoRecord& qso) {
  assignTrimmed(work[2], qso.callSign);
  assignTrimmed(work[3], qso.portableSuffix);
  assignTrimmed(work[4], qso.shortText1);
  assignTrimmed(work[5], qso.shortText2);
  assignTrimmed(work[6], qso.band);
  assignTrimmed(work[7], qso.mode);
  assignTrimmed(work[8], qso.longText);
  assignTrimmed(work[9], qso.flag1);
  assignTrimmed(work[10], qso.flag2);
  assignTrimmed(work[11], qso.flag3);
  std::string& date = work[12];
  date.assign(mid(qso.qsoDate, 1, 4));
  date.append(mid(qso.qsoDate, 6, 2));
  date.append(mid(qso.qsoDate, 9, 2));
  std::string& time = work[13];
  time.assign(mid(qso.qsoTime, 1, 2));
  time.append(mid(qso.qsoTime, 4, 3));
  work[14] = qso.report1;
  work[15] = qso.report2;
  assignTrimmed(work[16], qso.dbrText1);
  assignTrimmed(work[17], qso.dbrText2);
  assignTrimmed(work[18], qso.dbrText3);
  assignTrimmed(work[20], qso.fullCall);
}

void convertAreaSuffix(WorkRecord& work, const std::vector<std::string>& areaPrefixes) {
  std::string& suffix = work[3];
  if (sjis::length(suffix) != 3) return;
  // Every entry is compared, each against the field as it stands by then.
  for (const std::string& prefix : areaPrefixes) {
    if (sjis::left(suffix, 2) == prefix) suffix = std::string(sjis::charAt(suffix, 3));
  }
}

void convertMode(WorkRecord& work, const ModeTable& modes) {
  if (const std::string* converted = modes.lookup(work[7])) work[7] = *converted;
}

void cleanAndNumber(WorkRecord& work, std::int32_t n) {
  for (int field = 2; field <= 18; ++field) cleanQuotes(work[field]);
  work[1] = "NEBWD";
  char digits[16];
  const auto r = std::to_chars(digits, digits + sizeof digits, n);
  std::string& number = work[19];
  const auto len = static_cast<std::size_t>(r.ptr - digits);
  number.assign(len < 10 ? 10 - len : 0, '0');
  number.append(digits, len);
}

void applyQRule(WorkRecord& work) {
  if (work[3] == "Q") work[3].clear();
}

void appendLine(std::string& out, const WorkRecord& work) {
  std::size_t size = 20 * 3 - 1 + 2;
  for (const std::string& f : work.fields) size += f.size();
  const std::size_t old = out.size();
  out.resize(old + size);
  char* p = out.data() + old;
  for (const std::string& f : work.fields) {
    *p++ = '"';
    std::memcpy(p, f.data(), f.size());
    p += f.size();
    *p++ = '"';
    *p++ = ',';
  }
  p[-1] = '\r';
  *p = '\n';
}

}  // namespace neb
