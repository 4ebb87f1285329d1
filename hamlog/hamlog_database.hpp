// The HAMLOG database: the DBS record file and its DBR companion file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "file_system.hpp"
#include "message_sink.hpp"

namespace neb {

// A decoded QSO as views into the decoder that made it (Shift_JIS bytes).
// Valid until that decoder's next record.
struct QsoView {
  std::string_view callSign;
  std::string_view portableSuffix;
  std::string_view fullCall;
  std::string_view shortText1;
  std::string_view shortText2;
  std::string_view frequencyText;
  std::string_view band;
  std::string_view mode;
  std::string_view longText;
  std::string_view flag1;
  std::string_view flag2;
  std::string_view flag3;
  std::string_view qsoDate;
  std::string_view qsoTime;
  std::string_view report1;
  std::string_view report2;
  std::string_view dbrText1;
  std::string_view dbrText2;
  std::string_view dbrText3;
};

inline constexpr std::uint64_t kHeaderSize = 449;
inline constexpr std::uint64_t kRecordSize = 58;

struct SharedFiles;

// Decodes records of an open file pair. Every thread that decodes has its
// own; they share the open files.
class QsoDecoder {
public:
  QsoDecoder(std::shared_ptr<SharedFiles> files, MessageSink& sink);
  ~QsoDecoder();
  QsoDecoder(const QsoDecoder&) = delete;
  QsoDecoder& operator=(const QsoDecoder&) = delete;
  // Record n into qso; false when it cannot be read in full, leaving only
  // the companion texts set (empty). Throws IoError.
  bool decode(std::int32_t n, QsoView& qso);

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The band of a frequency text ("" when no rule holds, after the
// invalid-frequency message for QSO qsoNumber; message is scratch space).
std::string_view Freq_Check(std::string_view frequencyText, std::int32_t qsoNumber, MessageSink& sink,
                            std::string& message);

// The database module: the open file pair and its recordCount.
class HamlogDatabase {
public:
  HamlogDatabase(FileSystem& fs, MessageSink& sink);
  ~HamlogDatabase();
  HamlogDatabase(const HamlogDatabase&) = delete;
  HamlogDatabase& operator=(const HamlogDatabase&) = delete;

  // Derives the DBS/DBR pair from the HAMLOG path (Shift_JIS), checks both,
  // opens both and reads recordCount. False after the "HamlogOpen" message
  // for a missing file. Throws IoError when a file that passed the existence
  // test cannot be opened or its header read.
  bool Hamlog_Open(std::string_view hamlogPath);
  void Hamlog_Close();

  // The two file names Hamlog_Open derives (Shift_JIS).
  static std::string recordFileName(std::string_view hamlogPath);
  static std::string companionFileName(std::string_view hamlogPath);

  // A decoder of its own over the open files, for another thread; its
  // messages go to sink. Null when nothing is open.
  std::unique_ptr<QsoDecoder> newDecoder(MessageSink& sink) const;

  std::int32_t recordCount = 0;

private:
  struct Impl;
  FileSystem& fs_;
  MessageSink& sink_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace neb
