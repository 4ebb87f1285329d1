// Arbitrary record and companion files through the decoder and the whole
// extraction job, in memory.
//
// Input: byte 0 = options, bytes 1-4 = length of the record file part
// (little-endian, clipped), then the record file, then the companion file.
// Options: bit 0 area suffix conversion, bit 1 mode conversion, bit 2 no
// companion file, bit 3 also open a path made of the companion bytes, bit 4
// run the job twice, bit 5 decode record by record instead of the job.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "extraction.hpp"
#include "hamlog_database.hpp"
#include "large_block_reuse.hpp"
#include "memory_file_system.hpp"
#include "mode_table.hpp"
#include "sjis.hpp"

namespace {

using neb::testing::MemoryFileSystem;

// Bounds the work per input whatever count the header claims.
constexpr std::int32_t kMaxQsos = 512;

struct CountingSink final : neb::MessageSink {
  int shown = 0;
  void showMessage(std::string_view, std::string_view) override { ++shown; }
};

struct StopAt {};
struct CapObserver final : neb::QsoObserver {
  void beforeQso(std::int32_t n) override {
    if (n > kMaxQsos) throw StopAt{};
  }
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void decodeRecords(MemoryFileSystem& fs, std::size_t dbsSize) {
  CountingSink sink;
  neb::HamlogDatabase db(fs, sink);
  bool opened = false;
  try {
    opened = db.Hamlog_Open("LOG.DBS");
  } catch (const neb::IoError&) {
    return;
  }
  if (!opened) return;
  const std::int32_t limit = db.recordCount < kMaxQsos ? db.recordCount : kMaxQsos;
  for (std::int32_t n = 1; n <= limit + 1; ++n) {
    db.qsoNumber = n;
    db.Qso_Read();
    const bool present = 391 + 58 * static_cast<std::uint64_t>(n) + 58 <= dbsSize;
    if (present != (db.qsoNumber == n)) fail("end of record file not signalled exactly");
    if (!present) break;
    const neb::QsoRecord& q = db.qso;
    if (q.dbrText1.size() > 255 || q.dbrText2.size() > 255 || q.dbrText3.size() > 255)
      fail("companion text longer than its length byte can say");
    if (neb::sjis::length(q.callSign) < 6) fail("callSign shorter than 6 characters");
  }
  db.Hamlog_Close();
}

std::string runJob(MemoryFileSystem& fs, std::uint8_t options) {
  static const std::vector<std::string> prefixes = {"JA", "JH", "1", "", "\x82\xa0"};
  static const neb::ModeTable modes = [] {
    neb::ModeTable t;
    t.load("SSB,LSB,USB\r\nCW,A1A\r\nFM,F3E,\r\n");
    return t;
  }();
  neb::ExtractJob job;
  job.hamlogPath = "LOG.DBS";
  job.conversions.areaSuffix = (options & 1) != 0;
  job.conversions.areaPrefixes = &prefixes;
  job.conversions.mode = (options & 2) != 0;
  job.conversions.modeTable = &modes;
  job.tempPath = "nebwdw.tmp";
  job.workPath = "data/Work.Txt";
  CountingSink sink;
  CapObserver cap;
  fs.removeFile(job.workPath);
  neb::JobResult r;
  try {
    r = neb::runExtraction(fs, sink, job, &cap);
  } catch (const StopAt&) {
    return {};
  } catch (const neb::IoError&) {
    if (fs.has(job.tempPath)) fail("temporary work file left after a failed run");
    return {};
  }
  if (fs.has(job.tempPath)) fail("temporary work file left after a run");
  if (!r.opened) {
    if (fs.has(job.workPath)) fail("work file written after a failed open");
    return {};
  }
  if (!fs.has(job.workPath)) fail("no work file after a run");
  const std::string work = fs.get(job.workPath);
  const auto& e = r.extract;
  if (e.written < 0 || e.written > e.announced) fail("more lines than the header announced");
  if (!e.truncated && e.written != e.announced) fail("lines missing without truncation");
  if ((e.written == 0) != work.empty()) fail("work file size disagrees with the line count");
  if (!work.empty() && work.compare(work.size() - 2, 2, "\r\n") != 0) fail("last line not ended");
  // Every line begins with the tag and carries its own number: count them.
  std::size_t tags = 0;
  for (std::size_t at = 0; (at = work.find("\"NEBWD\",\"", at)) != std::string::npos; ++at) ++tags;
  if (tags < static_cast<std::size_t>(e.written)) fail("fewer tagged lines than written");
  return work;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::uint8_t options = data[0];
  std::uint32_t dbsLen = 0;
  std::memcpy(&dbsLen, data + 1, 4);
  const std::size_t rest = size - 5;
  if (dbsLen > rest) dbsLen = static_cast<std::uint32_t>(rest);
  std::string dbs(reinterpret_cast<const char*>(data + 5), dbsLen);
  std::string dbr(reinterpret_cast<const char*>(data + 5 + dbsLen), rest - dbsLen);

  MemoryFileSystem fs;
  fs.put("LOG.DBS", dbs);
  if (!(options & 4)) fs.put("LOG.DBR", dbr);

  if (options & 32) {
    decodeRecords(fs, dbs.size());
  } else {
    const std::string first = runJob(fs, options);
    // Nothing may depend on state left from the run before.
    if ((options & 16) && runJob(fs, options) != first) fail("two runs over the same files differ");
  }

  if (options & 8) {
    // File names derived from arbitrary bytes: never a crash.
    std::string_view path(dbr.data(), dbr.size() < 64 ? dbr.size() : 64);
    (void)neb::HamlogDatabase::recordFileName(path);
    (void)neb::HamlogDatabase::companionFileName(path);
    MemoryFileSystem empty;
    CountingSink sink;
    neb::HamlogDatabase db(empty, sink);
    try {
      if (db.Hamlog_Open(path)) fail("opened a database that does not exist");
    } catch (const neb::IoError&) {
    }
  }
  return 0;
}
