// The extraction run: every QSO of the database into the temporary work file,
// which then replaces the work file in one step.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_system.hpp"
#include "hamlog_database.hpp"
#include "message_sink.hpp"
#include "mode_table.hpp"
#include "work_record.hpp"

namespace neb {

// The temporary work file: lines are written as they come; commit() makes
// it durable. It stays open and locked until it is destroyed, so that a
// second run on the same file fails at once instead of mixing its lines in,
// up to and including the replace.
class TempWorkFile {
public:
  TempWorkFile(FileSystem& fs, Path path);  // creates or truncates; throws IoError
  ~TempWorkFile();                          // closes, leaves the file
  TempWorkFile(const TempWorkFile&) = delete;
  TempWorkFile& operator=(const TempWorkFile&) = delete;

  // Lines already built; throws IoError.
  void writeBytes(const char* data, std::size_t n);
  void commit();            // durable; throws IoError
  void discard() noexcept;  // closes and removes the file

private:
  FileSystem& fs_;
  Path path_;
  std::unique_ptr<WriteFile> file_;
};

// Puts the committed temporary work file in place of the work file in one
// step (creating the work file's directory when missing) and makes that
// durable. The work file is at every moment either the old one or the new
// one. Throws IoError with the old work file untouched, except when only the
// durability of the new one could not be confirmed; the caller removes the
// temporary file.
void replaceWorkFile(FileSystem& fs, const Path& tempPath, const Path& workPath);

struct Conversions {
  bool areaSuffix = false;                           // Check1
  const std::vector<std::string>* areaPrefixes = nullptr;
  bool mode = false;                                 // Check2
  const ModeTable* modeTable = nullptr;
};

// Called on the calling thread of a run (the window pumps messages and shows
// progress here; it may end the program from inside).
class QsoObserver {
public:
  virtual ~QsoObserver() = default;
  // Before each QSO is written.
  virtual void beforeQso(std::int32_t n) = 0;
  // Every few tens of milliseconds while the next QSOs are still being
  // decoded, however slowly the files read.
  virtual void waiting() {}
};

struct ExtractResult {
  std::int32_t written = 0;    // lines written
  std::int32_t announced = 0;  // recordCount
  bool truncated = false;      // the record file ended before recordCount
};

// QSOs 1..recordCount into the open temporary file. Stops at the first record
// that cannot be read in full and reports how many of how many were written.
// Worker threads decode ahead (the calling thread does their share when one
// cannot start); the observer, the sink and the file are only called from the
// calling thread, in QSO order, as a one-thread run would.
ExtractResult extractQsos(HamlogDatabase& db, TempWorkFile& temp, const Conversions& conv,
                          QsoObserver* observer, MessageSink& sink);

// The whole job for the command line and tests.
struct ExtractJob {
  std::string hamlogPath;  // Shift_JIS
  Conversions conversions;
  Path tempPath;
  Path workPath;
};

struct JobResult {
  bool opened = false;  // false: Hamlog_Open showed its message; nothing changed
  ExtractResult extract;
};

// Opens, extracts and replaces. Throws IoError with the temporary file
// removed and the work file untouched.
JobResult runExtraction(FileSystem& fs, MessageSink& sink, const ExtractJob& job,
                        QsoObserver* observer = nullptr);

}  // namespace neb
