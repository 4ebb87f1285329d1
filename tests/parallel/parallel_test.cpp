// The run decodes on worker threads: its bytes, messages and observer calls
// must be those of the one-thread decoder, in the same order.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <filesystem>
#include <random>

#include "extraction.hpp"
#include "fault_fs.hpp"
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

// A disk whose companion file fails past failFrom.
struct FailingDisk final : OsFileSystem {
  struct Read final : ReadFile {
    Read(std::unique_ptr<ReadFile> f, std::uint64_t from) : file(std::move(f)), failFrom(from) {}
    std::size_t readAt(std::uint64_t offset, void* b, std::size_t n) override {
      return offset > failFrom ? throw IoError("L.DBR", "read", "broken") : file->readAt(offset, b, n);
    }
    std::unique_ptr<ReadFile> file;
    std::uint64_t failFrom;
  };
  std::unique_ptr<ReadFile> openRead(const Path& p) override {
    auto file = OsFileSystem::openRead(p);
    return p.extension() == ".DBR" ? std::make_unique<Read>(std::move(file), failFrom) : std::move(file);
  }
  std::uint64_t failFrom = 0;
};

TEST(Parallel, SameBytesAndMessagesAsOneThread) {
  const fs::path dir = fs::path(::testing::TempDir()) / ("neb_parallel_" + std::to_string(std::random_device{}()));
  const std::vector<std::string> prefixes{"JA", "1"};
  // Seed, QSOs, header count (more: the record file ends early), area conversion.
  for (const auto& [seed, records, header, convert] :
       {std::array{1u, 9000u, 9000u, 1u}, std::array{2u, 4100u, 4500u, 0u}, std::array{3u, 2049u, 2049u, 0u}}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    gen::DatabaseWriter w(dir / "L.DBS", dir / "L.DBR");
    gen::RandomLog log(seed, true);
    for (std::uint32_t i = 0; i < records; ++i) w.add(log.next());
    w.finish(header);
    OsFileSystem disk;
    Trace expected, got;
    HamlogDatabase db(disk, expected);
    db.Hamlog_Open((dir / "L.DBS").string());
    std::string lines;
    for (std::int32_t n = 1; n <= static_cast<std::int32_t>(records); ++n) {
      expected.beforeQso(db.qsoNumber = n);
      db.Qso_Read();
      appendWorkLine(lines, db.qso, n, convert != 0 ? &prefixes : nullptr, nullptr);
    }
    const ExtractJob job{(dir / "L.DBS").string(), {convert != 0, &prefixes, false, nullptr}, dir / "t", dir / "W"};
    EXPECT_EQ(runExtraction(disk, got, job, &got).extract.written, static_cast<std::int32_t>(records));
    EXPECT_EQ(disk.readAll(dir / "W"), lines) << seed;
    if (header > records) {  // then the end is announced and reported
      EXPECT_EQ(got.events[got.events.size() - 2], "before " + std::to_string(records + 1));
      got.events.resize(got.events.size() - 2);
    }
    EXPECT_EQ(got.events, expected.events) << seed;

    // A Stop or a failure in the middle leaves the old work file alone.
    got.stopAt = static_cast<std::int32_t>(records / 2);
    EXPECT_ANY_THROW(runExtraction(disk, got, job, &got));
    FailingDisk failing;
    failing.failFrom = w.companionSize() / 2;
    EXPECT_THROW(runExtraction(failing, got, job), IoError);
    EXPECT_EQ(disk.readAll(dir / "W"), lines);
    EXPECT_FALSE(fs::exists(dir / "t"));
  }
}

// A chunk that reads slowly never keeps the calling thread from answering:
// it is asked to wait again and again, and a Stop taken there ends the run at
// once with the old work file kept.
TEST(Parallel, TheCallerAnswersWhileAChunkReadsSlowly) {
  struct Stop {};
  struct Waiter final : QsoObserver, MessageSink {
    std::mutex lock;
    std::condition_variable changed;
    int waits = 0;
    void beforeQso(std::int32_t) override {}
    void waiting() override {
      {
        const std::lock_guard<std::mutex> hold(lock);
        ++waits;
      }
      changed.notify_all();
      if (waits == 3) throw Stop{};
    }
    void showMessage(std::string_view, std::string_view) override {}
  } waiter;
  const fs::path dir = fs::path(::testing::TempDir()) / ("neb_slow_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  gen::DatabaseWriter w(dir / "L.DBS", dir / "L.DBR");
  gen::RandomLog log(4, false);
  for (int i = 0; i < 3000; ++i) w.add(log.next());
  w.finish();
  std::ofstream(dir / "W") << "old";
  test::FaultFs files;
  files.beforeRead = [&](const fs::path& p, std::uint64_t offset) {
    std::unique_lock<std::mutex> hold(waiter.lock);
    if (p.extension() == ".DBS" && offset > 0)
      waiter.changed.wait_for(hold, std::chrono::seconds(20), [&] { return waiter.waits >= 3; });
  };
  const ExtractJob job{(dir / "L.DBS").string(), {}, dir / "t", dir / "W"};
  EXPECT_THROW(runExtraction(files, waiter, job, &waiter), Stop);
  EXPECT_EQ(waiter.waits, 3);
  EXPECT_EQ(files.readAll(dir / "W"), "old");
  EXPECT_FALSE(fs::exists(dir / "t"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace neb
