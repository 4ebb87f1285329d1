// The run decodes on worker threads: its bytes, messages and observer calls
// must be those of the one-thread decoder, in the same order.
#include <gtest/gtest.h>

#include <filesystem>

#include "extraction.hpp"
#include "hamlog_gen.hpp"
#include "random_log.hpp"

namespace neb {
namespace {

namespace fs = std::filesystem;

// Observer calls and messages in one sequence, as the user sees them.
struct Trace final : QsoObserver, MessageSink {
  std::vector<std::string> events;
  std::int32_t stopAt = 0;
  void beforeQso(std::int32_t n) override {
    if (n == stopAt) throw std::runtime_error("stop");
    events.push_back("before " + std::to_string(n));
  }
  void showMessage(std::string_view text, std::string_view caption) override {
    events.push_back(std::string(caption) + ": " + std::string(text));
  }
};

// A disk whose companion file fails once the run is well under way.
struct FailingDisk final : OsFileSystem {
  std::uint64_t failFrom = 0;
  struct Read final : ReadFile {
    std::unique_ptr<ReadFile> file;
    std::uint64_t failFrom = 0;
    std::size_t readAt(std::uint64_t offset, void* b, std::size_t n) override {
      if (offset > failFrom) throw IoError("x.DBR", "read", "broken");
      return file->readAt(offset, b, n);
    }
  };
  std::unique_ptr<ReadFile> openRead(const Path& p) override {
    auto r = std::make_unique<Read>();
    r->file = OsFileSystem::openRead(p);
    r->failFrom = failFrom;
    if (p.extension() != ".DBR") return std::move(r->file);
    return r;
  }
};

struct Case {
  std::uint64_t seed;
  std::uint32_t records, header;  // header > records: the record file ends early
  bool convert;
};

TEST(Parallel, SameBytesAndMessagesAsOneThread) {
  const fs::path dir = fs::path(::testing::TempDir()) / "neb_parallel";
  const std::vector<std::string> prefixes{"JA", "1"};
  for (const Case c : {Case{1, 9000, 9000, true}, Case{2, 4100, 4500, false}, Case{3, 2049, 2049, false}}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    gen::DatabaseWriter w(dir / "L.DBS", dir / "L.DBR");
    gen::RandomLog log(c.seed, true);
    for (std::uint32_t i = 0; i < c.records; ++i) w.add(log.next());
    w.finish(c.header);
    OsFileSystem disk;
    Trace expected, got;
    HamlogDatabase db(disk, expected);
    ASSERT_TRUE(db.Hamlog_Open((dir / "L.DBS").string()));
    std::string lines;
    for (std::int32_t n = 1; n <= static_cast<std::int32_t>(c.records); ++n) {
      expected.beforeQso(db.qsoNumber = n);
      db.Qso_Read();
      appendWorkLine(lines, db.qso, n, c.convert ? &prefixes : nullptr, nullptr);
    }
    const ExtractJob job{(dir / "L.DBS").string(), {c.convert, &prefixes, false, nullptr}, dir / "t", dir / "W"};
    const JobResult r = runExtraction(disk, got, job, &got);
    EXPECT_EQ(r.extract.written, static_cast<std::int32_t>(c.records));
    EXPECT_EQ(disk.readAll(dir / "W"), lines) << c.seed;
    if (c.header > c.records) {  // the record file ends early
      EXPECT_EQ(got.events[got.events.size() - 2], "before " + std::to_string(c.records + 1));
      got.events.resize(got.events.size() - 2);
    }
    EXPECT_EQ(got.events, expected.events) << c.seed;

    // A Stop or a failure in the middle leaves the old work file alone.
    got.stopAt = static_cast<std::int32_t>(c.records / 2);
    EXPECT_ANY_THROW(runExtraction(disk, got, job, &got));
    FailingDisk failing;
    failing.failFrom = w.companionSize() / 2;
    EXPECT_THROW(runExtraction(failing, got, job), IoError);
    EXPECT_EQ(disk.readAll(dir / "W"), lines);
    EXPECT_FALSE(fs::exists(dir / "t"));
  }
}

}  // namespace
}  // namespace neb
