// The extraction job under injected faults: every failing step of writing the
// temporary work file and replacing the work file, vanished and unreadable
// HAMLOG files, and a log that another program changes during the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbs_builder.hpp"
#include "extraction.hpp"
#include "faulty_file_system.hpp"
#include "memory_file_system.hpp"

namespace neb::testing {
namespace {

const Path kDbs = "log/LOG.DBS";
const Path kDbr = "log/LOG.DBR";
const Path kTemp = "app/nebwdw.tmp";
const Path kWork = "app/data/Work.Txt";
const std::string kOldWork = "\"NEBWD\",\"OLD\"\r\n";

int gInjected = 0;  // faults injected over the whole program, for the summary

struct RecordingSink final : MessageSink {
  std::vector<std::string> texts;
  void showMessage(std::string_view text, std::string_view) override { texts.emplace_back(text); }
};

ExtractJob makeJob() {
  ExtractJob job;
  job.hamlogPath = kDbs.string();
  job.tempPath = kTemp;
  job.workPath = kWork;
  return job;
}

MemoryFileSystem makeDisk(const DbsBuilder& db) {
  MemoryFileSystem disk;
  disk.requireDirectories = true;
  disk.put(kDbs, db.dbs());
  disk.put(kDbr, db.dbr());
  disk.addDirectory("log");
  disk.addDirectory("app");
  disk.addDirectory("app/data");
  disk.put(kWork, kOldWork);
  return disk;
}

// The work file a clean run writes.
std::string cleanRun(const DbsBuilder& db) {
  MemoryFileSystem disk = makeDisk(db);
  RecordingSink sink;
  JobResult r = runExtraction(disk, sink, makeJob());
  EXPECT_TRUE(r.opened);
  return disk.get(kWork);
}

bool mentions(const IoError& e, const Path& file) {
  return e.path().filename() == file.filename() &&
         e.message().find(file.filename().string()) != std::string::npos;
}

// Whatever step fails, the old work file stays as it was, no temporary file
// is left and the error names the file it failed on.
struct FailingStep {
  const char* name;
  Op op;
  Path file;
  std::size_t partialBytes;
};

class StepFailure : public ::testing::TestWithParam<FailingStep> {};

TEST_P(StepFailure, LeavesOldWorkFileAndNoTemporaryFile) {
  const FailingStep& step = GetParam();
  DbsBuilder db;
  db.addMany(20000);  // many buffer flushes and block reads

  // How often the job performs this step on this file: a fault that never
  // fires counts the calls.
  int total = 0;
  {
    MemoryFileSystem disk = makeDisk(db);
    FaultyFileSystem fs(disk);
    Fault& probe = fs.fail(step.op, 1 << 30, step.file.generic_string());
    RecordingSink sink;
    runExtraction(fs, sink, makeJob());
    total = probe.seen;
  }
  ASSERT_GT(total, 0) << step.name << " never happens";

  for (int n = 1; n <= total; ++n) {
    MemoryFileSystem disk = makeDisk(db);
    FaultyFileSystem fs(disk);
    Fault& fault = fs.fail(step.op, n, step.file.generic_string());
    fault.partialBytes = step.partialBytes;
    // A failed rename is tried once more through a copy; a real failure
    // fails both.
    fault.sticky = step.op == Op::Replace;
    RecordingSink sink;
    try {
      runExtraction(fs, sink, makeJob());
      ADD_FAILURE() << step.name << " #" << n << ": failure reported as success";
    } catch (const IoError& e) {
      EXPECT_TRUE(mentions(e, step.file)) << step.name << " #" << n << ": " << e.what();
    }
    EXPECT_EQ(fs.injected(), step.op == Op::Replace ? 2 : 1);
    gInjected += fs.injected();
    EXPECT_EQ(disk.get(kWork), kOldWork) << step.name << " #" << n;
    EXPECT_FALSE(disk.has(kTemp)) << step.name << " #" << n;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, StepFailure,
    ::testing::Values(FailingStep{"create temporary", Op::Create, kTemp, 0},
                      FailingStep{"write temporary", Op::Write, kTemp, 0},
                      FailingStep{"write temporary, part written", Op::Write, kTemp, 100},
                      FailingStep{"commit temporary", Op::Commit, kTemp, 0},
                      FailingStep{"replace work file", Op::Replace, kWork, 0},
                      FailingStep{"open record file", Op::Open, kDbs, 0},
                      FailingStep{"open companion file", Op::Open, kDbr, 0},
                      FailingStep{"read record file", Op::Read, kDbs, 0},
                      FailingStep{"read companion file", Op::Read, kDbr, 0}),
    [](const auto& p) { return std::to_string(p.index); });

// A rename that fails once, as it does onto another volume, still puts the
// new work file in place through a copy beside it; when the copy cannot be
// made either, the old work file stays and the rename's error is reported.
TEST(WorkFileOnAnotherVolume, ReplacedThroughACopyBesideIt) {
  DbsBuilder db;
  db.addMany(3000);
  const std::string expected = cleanRun(db);
  const Path beside = "app/data/Work.Txt.nebwdw.tmp";
  struct Case {
    const char* name;
    bool copyFails;
  };
  for (const Case c : {Case{"copy works", false}, Case{"copy fails", true}}) {
    MemoryFileSystem disk = makeDisk(db);
    FaultyFileSystem fs(disk);
    fs.fail(Op::Replace, 1, kWork.generic_string()).reason = "Invalid cross-device link";
    if (c.copyFails) fs.fail(Op::Write, 1, beside.generic_string());
    RecordingSink sink;
    try {
      runExtraction(fs, sink, makeJob());
      EXPECT_FALSE(c.copyFails) << c.name << ": failure reported as success";
      EXPECT_EQ(disk.get(kWork), expected) << c.name;
    } catch (const IoError& e) {
      EXPECT_TRUE(c.copyFails) << c.name << ": " << e.what();
      EXPECT_NE(e.reason().find("cross-device"), std::string::npos) << e.what();
      EXPECT_EQ(disk.get(kWork), kOldWork) << c.name;
    }
    gInjected += fs.injected();
    EXPECT_FALSE(disk.has(kTemp)) << c.name;
    EXPECT_FALSE(disk.has(beside)) << c.name;
  }
}

TEST(CleanupFailure, KeepsTheFirstErrorAndTheWorkFile) {
  DbsBuilder db;
  db.addMany(50);
  MemoryFileSystem disk = makeDisk(db);
  FaultyFileSystem fs(disk);
  fs.fail(Op::Commit, 1, kTemp.generic_string());
  fs.fail(Op::Remove, 1, kTemp.generic_string()).sticky = true;
  RecordingSink sink;
  try {
    runExtraction(fs, sink, makeJob());
    ADD_FAILURE() << "failure reported as success";
  } catch (const IoError& e) {
    EXPECT_EQ(e.operation(), "commit") << e.what();
  }
  gInjected += fs.injected();
  EXPECT_EQ(disk.get(kWork), kOldWork);
}

TEST(DataDirectory, MissingIsCreated) {
  DbsBuilder db;
  db.addMany(10);
  const std::string expected = cleanRun(db);
  MemoryFileSystem disk;
  disk.requireDirectories = true;
  disk.put(kDbs, db.dbs());
  disk.put(kDbr, db.dbr());
  disk.addDirectory("app");
  RecordingSink sink;
  runExtraction(disk, sink, makeJob());
  EXPECT_EQ(disk.get(kWork), expected);
  EXPECT_FALSE(disk.has(kTemp));
}

TEST(DataDirectory, CannotBeCreated) {
  DbsBuilder db;
  db.addMany(10);
  MemoryFileSystem disk;
  disk.requireDirectories = true;
  disk.put(kDbs, db.dbs());
  disk.put(kDbr, db.dbr());
  disk.addDirectory("app");
  FaultyFileSystem fs(disk);
  fs.fail(Op::CreateDirs, 1).sticky = true;
  fs.fail(Op::Replace, 1).sticky = true;  // what a read-only directory does
  RecordingSink sink;
  EXPECT_THROW(runExtraction(fs, sink, makeJob()), IoError);
  gInjected += fs.injected();
  EXPECT_FALSE(disk.has(kWork));
  EXPECT_FALSE(disk.has(kTemp));
}

// A HAMLOG file that vanishes right after its existence test.
class HamlogFileVanishes : public ::testing::TestWithParam<Path> {};

TEST_P(HamlogFileVanishes, IsAnErrorNamingTheFileAndChangesNothing) {
  const Path file = GetParam();
  DbsBuilder db;
  db.addMany(20);
  MemoryFileSystem disk = makeDisk(db);
  FaultyFileSystem fs(disk);
  fs.afterExists = [&](const Path& p) {
    if (p.filename() == file.filename()) disk.removeFile(p);
  };
  RecordingSink sink;
  try {
    runExtraction(fs, sink, makeJob());
    ADD_FAILURE() << file << ": failure reported as success";
  } catch (const IoError& e) {
    EXPECT_TRUE(mentions(e, file)) << e.what();
  }
  ++gInjected;
  EXPECT_EQ(disk.get(kWork), kOldWork);
  EXPECT_FALSE(disk.has(kTemp));
}

INSTANTIATE_TEST_SUITE_P(AfterTheExistenceTest, HamlogFileVanishes, ::testing::Values(kDbs, kDbr));

// Another program rewrites the log while the run reads it.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find("\r\n\"NEBWD\"", at);
    end = end == std::string::npos ? text.size() : end + 2;
    out.push_back(text.substr(at, end - at));
    at = end;
  }
  return out;
}

struct Change {
  const char* name;
  Path file;
  int afterReads;
  long long newSize;  // bytes; negative: grow by that many records' worth
};

class LogChangesDuringRun : public ::testing::TestWithParam<Change> {};

TEST_P(LogChangesDuringRun, WritesOnlyWholeLinesOfTheQsosRead) {
  const Change& c = GetParam();
  DbsBuilder db;
  db.addMany(5000);
  const std::vector<std::string> full = lines(cleanRun(db));
  ASSERT_EQ(full.size(), 5000u);

  MemoryFileSystem disk = makeDisk(db);
  FaultyFileSystem fs(disk);
  fs.beforeRead = [&](const Path& p, int index) {
    if (p.filename() != c.file.filename() || index != c.afterReads) return;
    auto content = disk.content(p);
    if (c.newSize >= 0)
      content->resize(static_cast<std::size_t>(c.newSize));
    else
      content->append(static_cast<std::size_t>(-c.newSize) * 58, 'X');
  };
  RecordingSink sink;
  JobResult r = runExtraction(fs, sink, makeJob());
  ++gInjected;
  const std::vector<std::string> got = lines(disk.get(kWork));
  ASSERT_EQ(got.size(), static_cast<std::size_t>(r.extract.written)) << c.name;
  EXPECT_EQ(r.extract.announced, 5000);
  if (c.file == kDbs) {
    // Every line is the line a clean run writes for that QSO.
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], full[i]) << c.name << " line " << i + 1;
  } else {
    for (const std::string& line : got) ASSERT_EQ(line.substr(line.size() - 2), "\r\n") << c.name;
  }
  if (r.extract.written < 5000) {
    EXPECT_TRUE(r.extract.truncated) << c.name;
    EXPECT_FALSE(sink.texts.empty()) << c.name << ": shortened log not reported";
  }
  EXPECT_FALSE(disk.has(kTemp));
}

INSTANTIATE_TEST_SUITE_P(
    AnotherProgramWrites, LogChangesDuringRun,
    ::testing::Values(Change{"record file cut to its header", kDbs, 2, 449},
                      Change{"record file cut at a record", kDbs, 3, 449 + 58 * 1200},
                      Change{"record file cut inside a record", kDbs, 3, 449 + 58 * 1200 + 30},
                      Change{"record file cut to nothing", kDbs, 2, 0},
                      Change{"record file grows", kDbs, 2, -3000},
                      Change{"companion file cut", kDbr, 1, 200},
                      Change{"companion file emptied", kDbr, 2, 0}),
    [](const auto& p) { return std::to_string(p.index); });

class Summary : public ::testing::Environment {
  void TearDown() override { std::printf("[faults] engine: %d faults injected\n", gInjected); }
};
const auto* const kSummary = ::testing::AddGlobalTestEnvironment(new Summary);

}  // namespace
}  // namespace neb::testing
