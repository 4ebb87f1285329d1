// The run decodes on worker threads: its bytes, messages and observer calls
// must be those of the one-thread decoder, in the same order.
#include <gtest/gtest.h>

#include <array>
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
    test::FaultFs failing;  // the companion file fails half-way
    failing.fail = [reads = 0](std::string_view step, const fs::path& p) mutable {
      return step == "read" && p.extension() == ".DBR" && ++reads == 3;
    };
    EXPECT_THROW(runExtraction(failing, got, job), IoError);
    EXPECT_EQ(disk.readAll(dir / "W"), lines);
    EXPECT_FALSE(fs::exists(dir / "t"));
  }
}

}  // namespace
}  // namespace neb
