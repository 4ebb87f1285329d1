#include "hamlog_gen.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace neb::gen {

namespace {

void putField(std::string& out, std::string_view bytes, std::size_t width) {
  const std::size_t n = std::min(bytes.size(), width);
  out.append(bytes.data(), n);
  out.append(width - n, ' ');
}

void putU8(std::string& out, std::uint8_t b) { out.push_back(static_cast<char>(b)); }

std::string osReason() { return std::strerror(errno); }

constexpr std::size_t kFlushSize = 1 << 20;

}  // namespace

FrequencyBytes frequencyText(std::string_view text) {
  FrequencyBytes f{' ', ' ', ' ', ' '};
  for (std::size_t i = 0; i < f.size() && i < text.size(); ++i) f[i] = static_cast<std::uint8_t>(text[i]);
  return f;
}

FrequencyBytes frequencyPacked(std::uint32_t n, unsigned l, unsigned p) {
  if (n > kMaxCount || l < 1 || l > 8 || p > 7) throw GenError("packed frequency out of range");
  auto f = static_cast<std::uint8_t>(0x80u | ((l % 8u) << 3) | p);
  // 0x80 alone would read as the text form; bit 6 carries no meaning.
  if (f == 0x80) f = 0xC0;
  return {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>((n >> 8) & 0xFF),
          static_cast<std::uint8_t>((n >> 16) & 0xFF), f};
}

FrequencyBytes frequencyMhz(std::string_view mhz) {
  const auto dot = mhz.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot > 7 || mhz.size() > 8 || mhz.size() < 2)
    throw GenError("frequency " + std::string(mhz) + " cannot be packed");
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < mhz.size(); ++i) {
    const char c = i == dot ? '0' : mhz[i];
    if (c < '0' || c > '9' || (i == 0 && c == '0'))
      throw GenError("frequency " + std::string(mhz) + " cannot be packed");
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (n > kMaxCount) throw GenError("frequency " + std::string(mhz) + " needs more than 24 bits");
  return frequencyPacked(n, static_cast<unsigned>(mhz.size() - 1), static_cast<unsigned>(dot));
}

std::uint8_t yearByte(int year) {
  if (year >= 1900 && year < 2000) return static_cast<std::uint8_t>(year - 1900);
  if (year >= 2000 && year <= 2127) return static_cast<std::uint8_t>(128 + year - 2000);
  throw GenError("year " + std::to_string(year) + " cannot be stored");
}

std::uint8_t minuteByte(int minute, bool utc) {
  if (minute < 0 || minute > 127) throw GenError("minute out of range");
  return static_cast<std::uint8_t>(minute | (utc ? 0x80 : 0));
}

std::string encodeRecord(const GenQso& qso, std::int32_t textPointer) {
  std::string r;
  r.reserve(kRecordSize);
  putU8(r, qso.status);
  putField(r, qso.call, 7);
  putField(r, qso.portable, 3);
  putField(r, qso.shortText1, 6);
  putField(r, qso.shortText2, 6);
  for (auto b : qso.frequency) putU8(r, b);
  putField(r, qso.mode, 3);
  putField(r, qso.longText, 12);
  putField(r, qso.flags, 3);
  for (auto b : {qso.year, qso.month, qso.day, qso.hour, qso.minute, qso.report1, qso.extra1,
                 qso.report2, qso.extra2})
    putU8(r, b);
  const auto p = static_cast<std::uint32_t>(textPointer);
  for (int shift = 0; shift < 32; shift += 8) putU8(r, static_cast<std::uint8_t>((p >> shift) & 0xFF));
  return r;
}

std::string encodeBlock(const GenQso& qso) {
  std::string b;
  for (const auto& t : qso.texts) {
    if (t.size() > 255) throw GenError("companion text longer than 255 bytes");
    putU8(b, static_cast<std::uint8_t>(t.size()));
  }
  for (const auto& t : qso.texts) b += t;
  return b;
}

std::string encodeHeader(std::uint32_t count) {
  if (count > kMaxCount) throw GenError("record count beyond 24 bits");
  std::string h(kHeaderSize, '\0');
  h.replace(0, 4, "NBGN");
  h[4] = static_cast<char>(count & 0xFF);
  h[5] = static_cast<char>((count >> 8) & 0xFF);
  h[6] = static_cast<char>((count >> 16) & 0xFF);
  return h;
}

std::filesystem::path companionPath(const std::filesystem::path& recordFile) {
  std::string name = recordFile.filename().string();
  if (name.size() < 3) throw GenError("record file name too short: " + name);
  name.replace(name.size() - 3, 3, "DBR");
  return recordFile.parent_path() / name;
}

DatabaseWriter::DatabaseWriter(std::filesystem::path recordFile, std::filesystem::path companionFile)
    : recordPath_(std::move(recordFile)), companionPath_(std::move(companionFile)) {
  records_.open(recordPath_, std::ios::binary | std::ios::trunc);
  if (!records_) throw GenError("cannot create " + recordPath_.string() + ": " + osReason());
  companion_.open(companionPath_, std::ios::binary | std::ios::trunc);
  if (!companion_) throw GenError("cannot create " + companionPath_.string() + ": " + osReason());
  recordBuffer_ = encodeHeader(0);
  companionBuffer_.assign(kCompanionHeaderSize, '\0');
  companionBuffer_.replace(0, 4, "NBGR");
  companionSize_ = kCompanionHeaderSize;
}

DatabaseWriter::~DatabaseWriter() = default;

void DatabaseWriter::add(const GenQso& qso) {
  if (finished_) throw GenError("database already finished");
  if (count_ == kMaxCount) throw GenError("more QSOs than the header can count");
  std::int32_t pointer = 0;
  if (qso.textPointer) {
    pointer = *qso.textPointer;
  } else if (!qso.texts[0].empty() || !qso.texts[1].empty() || !qso.texts[2].empty()) {
    if (companionSize_ > 0x7FFFFFFF) throw GenError("companion file beyond 2 GiB");
    pointer = static_cast<std::int32_t>(companionSize_);
    const std::string block = encodeBlock(qso);
    companionBuffer_ += block;
    companionSize_ += block.size();
  }
  recordBuffer_ += encodeRecord(qso, pointer);
  ++count_;
  flush(false);
}

void DatabaseWriter::flush(bool force) {
  if (force || recordBuffer_.size() >= kFlushSize) {
    records_.write(recordBuffer_.data(), static_cast<std::streamsize>(recordBuffer_.size()));
    recordBuffer_.clear();
  }
  if (force || companionBuffer_.size() >= kFlushSize) {
    companion_.write(companionBuffer_.data(), static_cast<std::streamsize>(companionBuffer_.size()));
    companionBuffer_.clear();
  }
  if (!records_) throw GenError("cannot write " + recordPath_.string());
  if (!companion_) throw GenError("cannot write " + companionPath_.string());
}

void DatabaseWriter::finish(std::optional<std::uint32_t> headerCount) {
  if (finished_) return;
  finished_ = true;
  flush(true);
  const std::string header = encodeHeader(headerCount.value_or(count_));
  records_.seekp(0);
  records_.write(header.data(), 7);
  records_.close();
  companion_.close();
  if (records_.fail()) throw GenError("cannot write " + recordPath_.string());
  if (companion_.fail()) throw GenError("cannot write " + companionPath_.string());
}

}  // namespace neb::gen
