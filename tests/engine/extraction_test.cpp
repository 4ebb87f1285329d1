#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_support.hpp"
#include "extraction.hpp"
#include "messages.hpp"

namespace neb::test {
namespace {

const std::string kOldWork = "\"NEBWD\",\"old\"\r\n";

struct Fixture {
  MemFileSystem fs;
  RecordingSink sink;
  ExtractJob job;
  std::vector<std::string> prefixes{"JA"};
  ModeTable modes;

  Fixture() {
    job.hamlogPath = "/h/LOG.DBS";
    job.tempPath = "/app/nebwdw.tmp";
    job.workPath = "/app/data/Work.Txt";
    fs.put(job.workPath, kOldWork);
    modes.load("SSB,LSB\r\n");
    job.conversions = {true, &prefixes, true, &modes};
  }
  JobResult run(QsoObserver* observer = nullptr) { return runExtraction(fs, sink, job, observer); }
  std::vector<std::string> workLines() const {
    std::vector<std::string> lines;
    std::string all = fs.get(job.workPath);
    for (std::size_t pos = 0; pos < all.size();) {
      const std::size_t end = all.find("\r\n", pos);
      lines.push_back(all.substr(pos, end - pos));
      pos = end + 2;
    }
    return lines;
  }
};

struct Counter : QsoObserver {
  std::vector<std::int32_t> seen;
  std::int32_t throwAt = 0;
  void beforeQso(std::int32_t n) override {
    if (n == throwAt) throw std::runtime_error("stopped");
    seen.push_back(n);
  }
};

TEST(Extraction, WritesOneLinePerQsoWithConversions) {
  Fixture f;
  DbBuilder db;
  Rec& a = db.add();
  a.call = "JA1AB";
  a.portable = "JA1";
  a.mode = "LSB";
  Rec& b = db.add();
  b.call = "7K1XYZ";
  b.portable = "Q";
  b.mode = "lsb";
  db.records[1].textPointer = db.addTexts("t1", "$DX", "");
  db.install(f.fs);
  Counter counter;
  const JobResult r = f.run(&counter);
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(r.extract.written, 2);
  EXPECT_EQ(r.extract.announced, 2);
  EXPECT_FALSE(r.extract.truncated);
  EXPECT_EQ(counter.seen, (std::vector<std::int32_t>{1, 2}));
  const auto lines = f.workLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "\"NEBWD\",\"JA1AB\",\"1\",\"\",\"\",\"7\",\"SSB\",\"\",\"\",\"\",\"\",\"20040705\","
            "\"0905J\",\"59\",\"59\",\"\",\"\",\"\",\"0000000001\",\"JA1AB /JA1\"");
  EXPECT_EQ(lines[1],
            "\"NEBWD\",\"7K1XYZ\",\"\",\"\",\"\",\"7\",\"lsb\",\"\",\"\",\"\",\"\",\"20040705\","
            "\"0905J\",\"59\",\"59\",\"t1\",\"$DX\",\"\",\"0000000002\",\"Q/7K1XYZ\"");
  EXPECT_FALSE(f.fs.has(f.job.tempPath));
  EXPECT_TRUE(f.sink.messages.empty());
}

// A converted mode longer than the write buffer still makes whole lines.
TEST(Extraction, LineLongerThanTheWriteBuffer) {
  Fixture f;
  const std::string longMode(400 * 1024, 'M');
  f.modes.add("SSB", longMode);
  DbBuilder db;
  db.add();
  db.add().mode = "CW";
  db.add();
  db.install(f.fs);
  f.run();
  const auto lines = f.workLines();
  ASSERT_EQ(lines.size(), 3u);
  for (std::size_t i : {0u, 2u}) {
    EXPECT_EQ(lines[i].size() - longMode.size(), lines[1].size() - 2) << i;
    EXPECT_NE(lines[i].find("\"7\",\"" + longMode + "\",\"\","), std::string::npos) << i;
  }
  EXPECT_NE(lines[1].find("\"7\",\"CW\",\"\","), std::string::npos);
}

TEST(Extraction, EmptyDatabaseReplacesTheWorkFileWithAnEmptyOne) {
  Fixture f;
  DbBuilder().install(f.fs);
  const JobResult r = f.run();
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(r.extract.written, 0);
  EXPECT_EQ(f.fs.get(f.job.workPath), "");
  EXPECT_FALSE(f.fs.has(f.job.tempPath));
}

TEST(Extraction, ShortRecordFileStopsAndSaysHowManyWereWritten) {
  Fixture f;
  DbBuilder db;
  db.add().call = "JA1AAA";
  db.add().call = "JA1BBB";
  db.countOverride = 5;
  db.install(f.fs);
  f.fs.files["/h/LOG.DBS"]->append(57, ' ');  // one byte short of a third record
  const JobResult r = f.run();
  EXPECT_EQ(r.extract.written, 2);
  EXPECT_EQ(r.extract.announced, 5);
  EXPECT_TRUE(r.extract.truncated);
  const auto lines = f.workLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("JA1BBB"), std::string::npos);
  ASSERT_EQ(f.sink.messages.size(), 1u);
  EXPECT_EQ(f.sink.messages[0].first, std::string(msg::recordFileEnded) + "\n" +
                                          std::string(msg::headerCount) + "5" + std::string(msg::countOf) +
                                          "2" + std::string(msg::countWritten));
  EXPECT_EQ(f.sink.messages[0].second, "NEB01");
}

TEST(Extraction, FailedOpenChangesNothing) {
  Fixture f;
  const JobResult r = f.run();
  EXPECT_FALSE(r.opened);
  EXPECT_EQ(f.fs.get(f.job.workPath), kOldWork);
  EXPECT_FALSE(f.fs.has(f.job.tempPath));
  ASSERT_EQ(f.sink.messages.size(), 1u);
  EXPECT_EQ(f.sink.messages[0].second, "HamlogOpen");
}

TEST(Extraction, AnyFailureLeavesTheOldWorkFileAndNoTemporaryFile) {
  struct Case {
    const char* name;
    void (*arm)(MemFileSystem&, Counter&);
  };
  const Case cases[] = {
      {"create fails", [](MemFileSystem& fs, Counter&) { fs.failCreate = true; }},
      {"write fails midway", [](MemFileSystem& fs, Counter&) { fs.failWriteAfter = 300000; }},
      {"write fails at the end", [](MemFileSystem& fs, Counter&) { fs.failWriteAfter = 0; }},
      {"commit fails", [](MemFileSystem& fs, Counter&) { fs.failCommit = true; }},
      {"replace fails", [](MemFileSystem& fs, Counter&) { fs.failReplace = true; }},
      {"stopped during the run", [](MemFileSystem&, Counter& c) { c.throwAt = 3000; }},
  };
  for (const Case& c : cases) {
    Fixture f;
    DbBuilder db;
    for (int i = 0; i < 5000; ++i) db.add();
    db.install(f.fs);
    Counter counter;
    c.arm(f.fs, counter);
    EXPECT_ANY_THROW(f.run(&counter)) << c.name;
    EXPECT_EQ(f.fs.get(f.job.workPath), kOldWork) << c.name;
    EXPECT_FALSE(f.fs.has(f.job.tempPath)) << c.name;
  }
}

TEST(Extraction, LargeCountsUseNoSixteenBitCounters) {
  Fixture f;
  DbBuilder db;
  for (int i = 0; i < 33000; ++i) db.add();
  db.install(f.fs);
  const JobResult r = f.run();
  EXPECT_EQ(r.extract.written, 33000);
  const auto lines = f.workLines();
  ASSERT_EQ(lines.size(), 33000u);
  EXPECT_NE(lines.back().find("\"0000033000\""), std::string::npos);
}

// The real file system: rename over, the directory made, nothing left over.
class OsFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("neb-engine-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  static void write(const Path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  static std::string read(const Path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  Path dir;
};

TEST_F(OsFiles, ExtractionReplacesTheWorkFile) {
  OsFileSystem fs;
  RecordingSink sink;
  DbBuilder db;
  for (int i = 0; i < 3; ++i) db.add();
  write(dir / "LOG.DBS", db.dbs());
  write(dir / "LOG.DBR", db.dbr);
  ExtractJob job;
  job.hamlogPath = (dir / "LOG.dbs").string();
  job.tempPath = dir / "nebwdw.tmp";
  job.workPath = dir / "data" / "Work.Txt";
  const JobResult r = runExtraction(fs, sink, job);
  EXPECT_EQ(r.extract.written, 3);
  const std::string work = read(job.workPath);
  EXPECT_EQ(std::count(work.begin(), work.end(), '\n'), 3);
  EXPECT_FALSE(std::filesystem::exists(job.tempPath));
}

TEST_F(OsFiles, FileExistsOnlyForReadableFiles) {
  OsFileSystem fs;
  write(dir / "f", "x");
  EXPECT_TRUE(fs.fileExists(dir / "f"));
  EXPECT_FALSE(fs.fileExists(dir));
  EXPECT_FALSE(fs.fileExists(dir / "missing"));
  EXPECT_FALSE(fs.fileExists(""));
  EXPECT_THROW(fs.openRead(dir / "missing"), IoError);
  EXPECT_NO_THROW(fs.removeFile(dir / "missing"));
}

TEST_F(OsFiles, ReadFileSeesBytesAppendedAfterOpening) {
  // A short read near the end must not hide data written since.
  OsFileSystem fs;
  DbBuilder db;
  db.add().call = "JA1AAA";
  db.countOverride = 2;
  write(dir / "LOG.DBS", db.dbs());
  write(dir / "LOG.DBR", db.dbr);
  RecordingSink sink;
  HamlogDatabase hamlog(fs, sink);
  ASSERT_TRUE(hamlog.Hamlog_Open((dir / "LOG.DBS").string()));
  hamlog.qsoNumber = 1;
  hamlog.Qso_Read();
  Rec second;
  second.call = "JA2BBB";
  std::ofstream(dir / "LOG.DBS", std::ios::binary | std::ios::app) << second.bytes();
  hamlog.qsoNumber = 2;
  hamlog.Qso_Read();
  EXPECT_EQ(hamlog.qsoNumber, 2);
  EXPECT_EQ(hamlog.qso.callSign, "JA2BBB");
}

}  // namespace
}  // namespace neb::test
