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

// The two conversions of a run; null leaves that one out.
struct Conversions {
  const std::vector<std::string>* areaPrefixes = nullptr;  // Check1: JA1 becomes 1
  const ModeTable* modeTable = nullptr;                    // Check2: modes through Mode.txt
};

// What a run tells its caller, in this order, always on the calling thread:
// the window shows it and may end the program from inside; the command line
// prints it. Messages come through showMessage at any point.
class RunObserver : public MessageSink {
public:
  // The HAMLOG files are open; their header announces recordCount QSOs.
  virtual void opened(std::int32_t recordCount) { (void)recordCount; }
  // The temporary work file exists and is this run's.
  virtual void started() {}
  // Before QSO n is written; false stops the run.
  virtual bool beforeQso(std::int32_t n) {
    (void)n;
    return true;
  }
  // About every 40 ms while the next QSOs are still being decoded, however
  // slowly the files read; false stops the run.
  virtual bool waiting() { return true; }
  // Every line is in the temporary file; making it durable and putting it in
  // place of the work file are next.
  virtual void beforeReplace() {}
};

struct ExtractJob {
  std::string hamlogPath;  // Shift_JIS
  Conversions conversions;
  Path tempPath;
  Path workPath;
};

struct RunResult {
  // NotOpened: Hamlog_Open showed its message. Stopped: the observer said so.
  // Neither changed anything.
  enum class Outcome { NotOpened, Stopped, Replaced } outcome = Outcome::NotOpened;
  std::int32_t written = 0;  // lines written
};

// The whole run, for the window and the command line alike: opens the HAMLOG
// files, writes every QSO to the temporary work file (worker threads decode
// ahead; the calling thread does their share when one cannot start) and puts
// it in place of the work file. Stops at the first record that cannot be read
// in full. Throws IoError (or bad_alloc) with the temporary file removed and
// the work file untouched.
RunResult runExtraction(FileSystem& fs, const ExtractJob& job, RunObserver& observer);

}  // namespace neb
