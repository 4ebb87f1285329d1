// Writer of HAMLOG databases (record file and companion file) for tests, the
// demo and the benchmark. Every field is given as raw bytes so that odd and
// broken records can be produced as easily as ordinary ones.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace neb::gen {

inline constexpr std::size_t kHeaderSize = 449;
inline constexpr std::size_t kRecordSize = 58;
inline constexpr std::size_t kFirstRecordOffset = 391 + kRecordSize;  // record n at 391 + 58n
inline constexpr std::uint32_t kMaxCount = 0xFFFFFF;
// Companion blocks start after a few opaque bytes, so that no block sits at
// offset 0 (a text pointer of 0 means "no texts").
inline constexpr std::size_t kCompanionHeaderSize = 16;

using FrequencyBytes = std::array<std::uint8_t, 4>;

// One QSO as its record bytes and its companion texts. Text fields shorter
// than their width are padded with spaces, longer ones are cut; they may hold
// any bytes, NULs included.
struct GenQso {
  std::uint8_t status = ' ';  // record byte 0
  std::string call{};           // 7 bytes
  std::string portable{};       // 3
  std::string shortText1{};     // 6
  std::string shortText2{};     // 6
  FrequencyBytes frequency{'7', ' ', ' ', ' '};
  std::string mode{};      // 3
  std::string longText{};  // 12
  std::string flags{};     // 3 one-byte flags
  std::uint8_t year = 104;  // 1900 + y below 128, 2000 + (y - 128) from 128
  std::uint8_t month = 1;
  std::uint8_t day = 1;
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;  // bit 7: UTC
  std::uint8_t report1 = 59;
  std::uint8_t extra1 = ' ';
  std::uint8_t report2 = 59;
  std::uint8_t extra2 = ' ';
  // Written as is when set, and no companion block is written for the QSO.
  // Otherwise a block is appended when any text is non-empty, else 0.
  std::optional<std::int32_t> textPointer{};
  std::array<std::string, 3> texts{};  // at most 255 bytes each
};

class GenError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Text form: up to 4 characters, padded with spaces ("7", "14", "1.9").
FrequencyBytes frequencyText(std::string_view text);
// Packed form: N (24 bits), L (1-8; the decoder keeps L + 1 digits; 8 is
// stored as 0) and P (0-7; the 0-based digit position that becomes ".").
FrequencyBytes frequencyPacked(std::uint32_t n, unsigned l, unsigned p);
// Packed form of a MHz text such as "7.050" or "144.20": the point is stored
// as a digit that the decoder overwrites. Throws GenError when the text has no
// point, more than 8 digits or a value beyond 24 bits.
FrequencyBytes frequencyMhz(std::string_view mhz);

std::uint8_t yearByte(int year);  // 1900-2027 below 128, 2000-2127 from 128
std::uint8_t minuteByte(int minute, bool utc);

// The bytes of one record (58), one companion block and the header (449).
std::string encodeRecord(const GenQso& qso, std::int32_t textPointer);
std::string encodeBlock(const GenQso& qso);
std::string encodeHeader(std::uint32_t count);

// The companion file that belongs to a record file: the last three
// characters of the name replaced by "DBR".
std::filesystem::path companionPath(const std::filesystem::path& recordFile);

// Streams QSOs to the two files; memory stays small whatever the count.
class DatabaseWriter {
public:
  // Creates (truncates) both files; throws GenError.
  DatabaseWriter(std::filesystem::path recordFile, std::filesystem::path companionFile);
  ~DatabaseWriter();
  DatabaseWriter(const DatabaseWriter&) = delete;
  DatabaseWriter& operator=(const DatabaseWriter&) = delete;

  void add(const GenQso& qso);
  // Writes the header (the number of QSOs added unless headerCount is given)
  // and closes both files.
  void finish(std::optional<std::uint32_t> headerCount = std::nullopt);

  std::uint32_t count() const { return count_; }

private:
  void flush(bool force);
  std::filesystem::path recordPath_;
  std::filesystem::path companionPath_;
  std::ofstream records_;
  std::ofstream companion_;
  std::string recordBuffer_;
  std::string companionBuffer_;
  std::uint32_t count_ = 0;
  std::uint64_t companionSize_ = 0;
  bool finished_ = false;
};

}  // namespace neb::gen
