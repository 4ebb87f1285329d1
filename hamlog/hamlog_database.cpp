#include "hamlog_database.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "block_cache.hpp"
#include "decimal.hpp"
#include "io_texts.hpp"
#include "messages.hpp"
#include "sjis.hpp"

namespace neb {

namespace {

constexpr std::size_t kRecordBlock = 128 * 1024;
constexpr std::size_t kTextBlock = 64 * 1024;
constexpr std::size_t kTextJump = 1024;
// Three texts, each as long as one length byte can say.
constexpr std::size_t kMaxTextBlock = 3 * 255;

// One record as it lies in the record file, field by field in file order.
// Every member is bytes, so nothing pads them: each field starts where the one
// before it ends.
struct RecordBytes {
  char status;  // not interpreted
  char callSign[7];
  char portableSuffix[3];
  char shortText1[6];
  char shortText2[6];
  char frequency[4];  // text, or packed when the last byte is above 128
  char mode[3];
  char longText[12];
  char flag1;
  char flag2;
  char flag3;
  unsigned char year;
  unsigned char month;
  unsigned char day;
  unsigned char hour;
  unsigned char minute;  // bit 7: the time is UTC
  unsigned char report1;
  unsigned char extra1;  // appended to the report unless a space
  unsigned char report2;
  unsigned char extra2;
  unsigned char textPointer[4];  // signed, little-endian; no texts at 0 or less
};
static_assert(sizeof(RecordBytes) == kRecordSize);

unsigned byte(char c) { return static_cast<unsigned char>(c); }

template <std::size_t N>
std::string_view view(const char (&field)[N]) {
  return std::string_view(field, N);
}

// Trailing NULs dropped, then the blanks around.
template <std::size_t N>
std::string_view stripped(const char (&field)[N]) {
  std::string_view text = view(field);
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return sjis::trim(text);
}

// A one-byte field stripped: NUL and space leave it empty.
std::string_view flag(const char& c) { return c != '\0' && c != ' ' ? std::string_view(&c, 1) : std::string_view(); }

std::string_view between(const char* begin, const char* end) {
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

// YYYY-MM-DD: 1900 + y below 128, 2000 + (y - 128) from 128 on; month and day
// get a leading 0 when they have one digit.
std::string_view decodeDate(char (&buf)[16], unsigned y, unsigned m, unsigned d) {
  char* const end = buf + sizeof buf;
  char* p = putDecimal(end, d);
  if (d < 10) *--p = '0';
  *--p = '-';
  p = putDecimal(p, m);
  if (m < 10) *--p = '0';
  *--p = '-';
  p = putDecimal(p, y < 128 ? 1900 + y : 2000 + (y - 128));
  return between(p, end);
}

// HH:MM and the zone letter; bit 7 of the minute byte means UTC.
std::string_view decodeTime(char (&buf)[16], unsigned hour, unsigned minuteByte) {
  char zone = 'J';
  if (minuteByte & 0x80u) {
    zone = 'U';
    minuteByte -= 128;
  }
  char* const end = buf + sizeof buf;
  char* p = end;
  *--p = zone;
  p = putDecimal(p, minuteByte);
  while (end - p < 3) *--p = '0';
  // The colon goes after the first two characters of the hour: a third digit
  // (hours from 100 on) comes after it.
  if (hour >= 100) {
    *--p = static_cast<char>('0' + hour % 10);
    hour /= 10;
  }
  *--p = ':';
  *--p = static_cast<char>('0' + hour % 10);
  *--p = static_cast<char>('0' + hour / 10);
  return between(p, end);
}

std::string_view decodeReport(char (&buf)[16], unsigned value, unsigned extra) {
  char* const end = buf + sizeof buf;
  char* p = end;
  if (extra != ' ') {
    if (extra >= 48) {
      p = putDecimal(p, extra - 48);
    } else {
      p = putDecimal(p, 48 - extra);
      *--p = '-';
    }
  }
  p = putDecimal(p, value);
  return between(p, end);
}

// The call sign padded with blanks to 6 characters.
std::string_view paddedCall(char (&buf)[16], const char (&field)[7]) {
  const std::string_view call = sjis::trim(view(field));
  char* p = buf;
  std::memcpy(p, call.data(), call.size());
  p += call.size();
  for (std::size_t i = sjis::length(call); i < 6; ++i) *p++ = ' ';
  return between(buf, p);
}

// Call and portable designator joined by a slash: the designator first when a
// text carries the "$DX" marker.
std::string_view joinedCall(char (&buf)[32], const QsoView& qso) {
  constexpr std::string_view marker = "$DX";
  const bool prefixForm =
      qso.dbrText2.find(marker) != std::string_view::npos || qso.dbrText3.find(marker) != std::string_view::npos;
  const std::string_view first = prefixForm ? qso.portableSuffix : qso.callSign;
  const std::string_view second = prefixForm ? qso.callSign : qso.portableSuffix;
  char* p = buf;
  std::memcpy(p, first.data(), first.size());
  p += first.size();
  *p++ = '/';
  std::memcpy(p, second.data(), second.size());
  return between(buf, p + second.size());
}

// A text of the companion block is exactly its own bytes; a double-byte
// character cut by the end of the text is dropped rather than borrowing the
// first byte of the next text. Lead-range bytes are all valid trail bytes, so
// the run of them at the end pairs up from its start: an odd run ends in a
// lone lead byte.
std::string_view companionText(std::string_view bytes) {
  std::size_t run = 0;
  while (run < bytes.size() && sjis::isLead(static_cast<unsigned char>(bytes[bytes.size() - 1 - run]))) ++run;
  if (run % 2 == 1) bytes.remove_suffix(1);
  return bytes;
}

std::string_view bandOf(std::string_view f) {
  auto at = [&](std::size_t i) -> int { return i < f.size() ? static_cast<unsigned char>(f[i]) : -1; };
  auto starts = [&](std::string_view p) {
    if (f.size() < p.size()) return false;
    for (std::size_t i = 0; i < p.size(); ++i)
      if (f[i] != p[i]) return false;
    return true;
  };
  auto inRange = [](int c, char lo, char hi) { return c >= lo && c <= hi; };
  std::string_view band;
  // Every rule is tested; the last that holds decides.
  if (starts("1.")) band = "1.9";
  if (starts("3.")) band = "3.5";
  if (starts("7")) band = "7";
  if (starts("10")) band = "10";
  if (starts("14")) band = "14";
  if (starts("18")) band = "18";
  if (starts("21")) band = "21";
  if (starts("24") && (f.size() == 2 || at(2) == '.')) band = "24";
  if (starts("28")) band = "28";
  if (starts("29")) band = "28";
  if (at(0) == '5' && inRange(at(1), '0', '5')) band = "50";
  if (starts("145") || starts("144")) band = "144";
  if (starts("43")) band = "430";
  if (starts("12")) band = "1200";
  if (starts("24") && inRange(at(2), '0', '9')) band = "2400";
  if (at(0) == '5' && inRange(at(1), '6', '9')) band = "5600";
  return band;
}

// "交信番号 n", what is wrong with that QSO and a line feed, as the start of
// message.
std::string& qsoMessage(std::string& message, std::int32_t n, std::string_view what) {
  message.assign(msg::qsoNumberPrefix);
  appendDecimal(message, n);
  message += what;
  message += '\n';
  return message;
}

}  // namespace

std::string_view Freq_Check(std::string_view frequency, std::int32_t n, MessageSink& sink, std::string& message) {
  const std::string_view band = bandOf(frequency);
  if (band.empty()) sink.showMessage(qsoMessage(message, n, msg::frequencyInvalid).append(frequency), title::app);
  return band;
}

// The open file pair, shared by the decoders of several threads: reads at an
// offset need no lock.
struct SharedFiles {
  std::unique_ptr<ReadFile> records;
  std::unique_ptr<ReadFile> texts;
};

namespace {

// One decoder's use of a shared file, which it keeps open.
class SharedRead final : public ReadFile {
public:
  SharedRead(std::shared_ptr<SharedFiles> files, ReadFile& file) : files_(std::move(files)), file_(file) {}
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
    return file_.readAt(offset, buffer, n);
  }

private:
  std::shared_ptr<SharedFiles> files_;
  ReadFile& file_;
};

}  // namespace

struct QsoDecoder::Impl {
  Impl(const std::shared_ptr<SharedFiles>& files, MessageSink& s)
      : records(std::make_unique<SharedRead>(files, *files->records), kRecordBlock, kRecordBlock),
        texts(std::make_unique<SharedRead>(files, *files->texts), kTextBlock, kTextJump),
        sink(s) {}
  BlockCache records;
  BlockCache texts;
  MessageSink& sink;
  void readTexts(std::uint64_t textPointer, QsoView& qso);
  void decodeFrequency(const char (&field)[4], std::int32_t n, QsoView& qso);
  // What the views of the last record point into.
  RecordBytes record{};
  std::array<char, kMaxTextBlock> textBlock{};
  char callSign[16];
  char fullCall[32];
  char frequency[16];
  char date[16];
  char time[16];
  char report1[16];
  char report2[16];
  std::string message;
};

QsoDecoder::QsoDecoder(std::shared_ptr<SharedFiles> files, MessageSink& sink)
    : impl_(std::make_unique<Impl>(files, sink)) {}

QsoDecoder::~QsoDecoder() = default;

// The block's three length bytes, then the texts one after the other.
// Whatever lies beyond the end of the companion file counts as absent: a
// missing length byte is 0 and a text keeps only the bytes that exist.
void QsoDecoder::Impl::readTexts(std::uint64_t textPointer, QsoView& qso) {
  unsigned char lengths[3] = {};
  texts.read(textPointer, reinterpret_cast<char*>(lengths), 3);
  const std::size_t total = std::size_t{lengths[0]} + lengths[1] + lengths[2];
  const std::string_view block(textBlock.data(), texts.read(textPointer + 3, textBlock.data(), total));
  std::size_t at = 0;
  std::string_view* targets[3] = {&qso.dbrText1, &qso.dbrText2, &qso.dbrText3};
  for (std::size_t i = 0; i < 3; ++i) {
    *targets[i] = companionText(block.substr(std::min(at, block.size()), lengths[i]));
    at += lengths[i];
  }
}

// The frequency field as text, and its band. Packed, it is a 24-bit number
// whose first L + 1 digits are kept (L in bits 5-3 of the last byte, 0 meaning
// 8) and whose digit at P (bits 2-0) becomes the point.
void QsoDecoder::Impl::decodeFrequency(const char (&field)[4], std::int32_t n, QsoView& qso) {
  const unsigned form = byte(field[3]);
  if (form <= 128) {
    qso.frequencyText = sjis::trim(view(field));
  } else {
    const unsigned number = byte(field[0]) | (byte(field[1]) << 8) | (byte(field[2]) << 16);
    char* const digits = putDecimal(std::end(frequency), number);
    unsigned kept = (form >> 3) & 7u;
    if (kept == 0) kept = 8;
    const unsigned point = form & 7u;
    const std::size_t size = std::min<std::size_t>(std::end(frequency) - digits, kept + 1);
    qso.frequencyText = std::string_view(digits, size);
    if (point < size) {
      digits[point] = '.';
    } else {
      // No digit to become the point: the digits stay whole, and the user is
      // told which band they were taken for.
      const std::string_view band = Freq_Check(qso.frequencyText, n, sink, message);
      qsoMessage(message, n, msg::frequencyOdd).append(band).append(msg::frequencyAssumed);
      sink.showMessage(message, title::app);
    }
  }
  qso.band = Freq_Check(qso.frequencyText, n, sink, message);
}

bool QsoDecoder::decode(std::int32_t n, QsoView& qso) {
  Impl& im = *impl_;
  qso.dbrText1 = qso.dbrText2 = qso.dbrText3 = {};
  if (n < 1) return false;
  const std::uint64_t offset = (kHeaderSize - kRecordSize) + kRecordSize * static_cast<std::uint64_t>(n);
  if (im.records.read(offset, reinterpret_cast<char*>(&im.record), kRecordSize) < kRecordSize) return false;
  const RecordBytes& r = im.record;

  const unsigned char* t = r.textPointer;
  const auto textPointer = static_cast<std::int32_t>(t[0] | (t[1] << 8) | (t[2] << 16) | (unsigned{t[3]} << 24));
  if (textPointer > 0) im.readTexts(static_cast<std::uint64_t>(textPointer), qso);
  qso.callSign = paddedCall(im.callSign, r.callSign);
  qso.portableSuffix = sjis::trim(view(r.portableSuffix));
  qso.fullCall = qso.portableSuffix.empty() ? qso.callSign : joinedCall(im.fullCall, qso);
  qso.shortText1 = stripped(r.shortText1);
  qso.shortText2 = stripped(r.shortText2);
  im.decodeFrequency(r.frequency, n, qso);
  qso.mode = stripped(r.mode);
  qso.longText = stripped(r.longText);
  qso.flag1 = flag(r.flag1);
  qso.flag2 = flag(r.flag2);
  qso.flag3 = flag(r.flag3);
  qso.qsoDate = decodeDate(im.date, r.year, r.month, r.day);
  qso.qsoTime = decodeTime(im.time, r.hour, r.minute);
  qso.report1 = decodeReport(im.report1, r.report1, r.extra1);
  qso.report2 = decodeReport(im.report2, r.report2, r.extra2);
  return true;
}

struct HamlogDatabase::Impl {
  std::shared_ptr<SharedFiles> files;
};

HamlogDatabase::HamlogDatabase(FileSystem& fs, MessageSink& sink)
    : fs_(fs), sink_(sink), impl_(std::make_unique<Impl>()) {}

HamlogDatabase::~HamlogDatabase() = default;

std::string HamlogDatabase::recordFileName(std::string_view hamlogPath) {
  return std::string(sjis::dropRight(hamlogPath, 3)) + "DBS";
}

std::string HamlogDatabase::companionFileName(std::string_view hamlogPath) {
  return std::string(sjis::dropRight(hamlogPath, 3)) + "DBR";
}

bool HamlogDatabase::Hamlog_Open(std::string_view hamlogPath) {
  Hamlog_Close();
  const std::string dbsName = recordFileName(hamlogPath);
  const std::string dbrName = companionFileName(hamlogPath);
  // Bytes that name no file here cannot exist either.
  const auto dbsPath = sjisToPath(dbsName);
  const auto dbrPath = sjisToPath(dbrName);
  if (!dbsPath || !fs_.fileExists(*dbsPath)) {
    sink_.showMessage(dbsName + std::string(msg::notFound), title::hamlogOpen);
    return false;
  }
  if (!dbrPath || !fs_.fileExists(*dbrPath)) {
    sink_.showMessage(dbrName + std::string(msg::notFound), title::hamlogOpen);
    return false;
  }

  auto files = std::make_shared<SharedFiles>();
  files->records = fs_.openRead(*dbsPath);
  unsigned char header[7] = {};
  if (files->records->readAt(0, header, sizeof header) < sizeof header)
    throw IoError(*dbsPath, msg::opRead, msg::headerTooShort);
  files->texts = fs_.openRead(*dbrPath);

  impl_->files = std::move(files);
  recordCount = static_cast<std::int32_t>(header[4] | (header[5] << 8) | (header[6] << 16));
  return true;
}

void HamlogDatabase::Hamlog_Close() {
  impl_->files.reset();
}

std::unique_ptr<QsoDecoder> HamlogDatabase::newDecoder(MessageSink& sink) const {
  if (!impl_->files) return nullptr;
  return std::make_unique<QsoDecoder>(impl_->files, sink);
}

}  // namespace neb
