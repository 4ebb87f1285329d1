// Crash safety: every file step of a run and of a rewrite fails in turn, and
// a power cut after every step keeps only what was synced. The file is then
// the whole old one or the whole new one, never a mix, never missing.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "env_rewrite.hpp"
#include "extraction.hpp"
#include "fault_fs.hpp"
#include "test_files.hpp"

namespace neb {
std::atomic<int> threadsToRefuse{0};  // the next thread starts fail with EAGAIN
}  // namespace neb

// Every thread start of this program passes here.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) noexcept {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  for (int n = neb::threadsToRefuse; n > 0;)
    if (neb::threadsToRefuse.compare_exchange_weak(n, n - 1)) return EAGAIN;
  return real(thread, attr, start, arg);
}

namespace neb {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A log of qsos QSOs, the job that extracts it, and what a plain run of it
// writes and shows.
struct Extracted : TempDir {
  fs::path root = path, work = root / "app" / "data" / "Work.Txt";
  ExtractJob job;
  Sink shown;
  std::string fresh;
  Extracted(std::uint64_t seed, std::uint32_t qsos, bool noise = false)
      : job{(root / "LOG.DBS").string(), {}, root / "app" / "nebwdw.tmp", work} {
    fs::create_directories(root / "app" / "data");
    (noise ? writeNoiseLog : writeRandomLog)(root / "LOG.DBS", seed, qsos);
    std::atomic<int> reads{0};
    test::FaultFs slow;  // the first records come late: the run waits for them, and goes on or stops
    slow.beforeRead = [&reads](const fs::path&, std::uint64_t) {
      if (reads++ == 1) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    struct : Sink { bool waiting() override { return false; } } stopping;
    EXPECT_EQ(runExtraction(slow, job, stopping).outcome, RunResult::Outcome::Stopped);
    EXPECT_FALSE(fs::exists(work));
    reads = 0;
    runExtraction(slow, job, shown);
    fresh = readFile(work);
  }
};

// A log of several chunks, so that both workers decode.
constexpr int kQsos = 5000;

// Every file step of a run and of a rewrite fails in turn. Each failure is
// reported; the file is then the old one (the new one when only its
// directory's sync failed), and nothing temporary is left.
TEST(EveryFileStepFails, TheFileIsTheOldOneOrTheNewOne) {
  Extracted d(1, kQsos);
  Sink sink;
  const fs::path env = d.root / "ENV.DAT";
  const LineRule rule = [](std::string_view line) {
    return line == "drop" ? std::nullopt : std::optional<std::string>(std::string(line) + "+");
  };
  const struct {
    fs::path file;
    std::string old, fresh;
    std::function<void(FileSystem&)> change;
  } cases[] = {{d.work, "old\r\n", d.fresh, [&](FileSystem& f) { runExtraction(f, d.job, sink); }},
               {env, "#01,A\r\ndrop\r\n$JA", "#01,A+\r\n$JA+\r\n", [&](FileSystem& f) { Env_Rewrite(f, env.native(), rule); }}};
  for (const auto& c : cases) {
    for (int k = 0;; ++k) {
      writeFile(c.file, c.old);
      test::FaultFs files;
      std::string step, trail;
      int seen = 0;
      files.fail = [&](std::string_view name, const fs::path& p) {
        trail += p.filename().string() + " ";
        return seen++ == k && (step = name, true);
      };
      bool failed = false;
      try {
        c.change(files);
      } catch (const IoError& e) {
        failed = true;
        EXPECT_EQ(e.reason(), "injected") << k;
      }
      const std::string at = c.file.filename().string() + " step " + std::to_string(k) + " " + step;
      EXPECT_EQ(failed, !step.empty()) << at;
      EXPECT_TRUE(readFile(c.file) == (failed && step != "dirsync" ? c.old : c.fresh)) << at;
      // Only a move to another volume is worth a copy.
      EXPECT_EQ(trail.find("Work.Txt.nebwdw.tmp"), std::string::npos) << at;
      for (const auto& e : fs::recursive_directory_iterator(d.root)) EXPECT_NE(e.path().extension(), ".tmp") << at;
      if (files.steps() <= k) break;  // no step k: the change met no failure
    }
  }
}

// Each outcome of a replace that fails, on both replaces: what the target's
// name then holds (old, new, or nothing), what the user is told, and which
// file is left beside it with a whole text. Ctrl+C while the replace waits
// for a held work file is a stop like any other.
TEST(ReplaceOutcomes, TheTargetHoldsAWholeTextAndTheUserIsToldWhich) {
  Extracted d(5, 10);
  const fs::path env = d.root / "ENV.DAT";
  using Left = IoError::Left;
  const std::string cannot = " \x82\xF0replace\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1: injected";  // " を…できません: "
  const std::string unconfirmed =  // " は新しい内容に置き換えましたが、ディスクへの書き込みを確認できません: "
      " \x82\xCD\x90\x56\x82\xB5\x82\xA2\x93\xE0\x97\x65\x82\xC9\x92\x75\x82\xAB\x8A\xB7\x82\xA6\x82\xDC\x82\xB5"
      "\x82\xBD\x82\xAA\x81\x41\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xD6\x82\xCC\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x82"
      "\xF0\x8A\x6D\x94\x46\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1: injected";
  // "\nファイルの内容は $ に残っています"
  const std::string kept = cannot + "\n\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x93\xE0\x97\x65\x82\xCD $"
                                    " \x82\xC9\x8E\x63\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
  const struct {
    const char* name;
    Left leaves;
    int replacesFailing;      // the first ones; 9: every one
    bool dirsyncFails, stop;  // stop: Ctrl+C as the replace begins (the work file only)
    int target;               // what the target then holds: 0 old, 1 new, -1 nothing
    std::string told;         // % the target, $ the file left beside it
    char beside;              // the file with the other text: 't' temporary, 'b' backup, 0 none
  } rows[] = {
      {"both unchanged", Left::Old, 1, false, false, 0, "%" + cannot, 0},
      {"target gone, replacement moved in", Left::NoTarget, 1, false, false, 1, "", 0},
      {"target gone, replacement kept", Left::NoTarget, 9, false, false, -1, "%" + kept, 't'},
      {"target aside, put back", Left::OldAside, 1, false, false, 0, "%" + cannot, 0},
      {"target aside, kept there", Left::OldAside, 9, false, false, -1, "%" + kept, 'b'},
      {"replaced, unconfirmed", Left::New, 1, false, false, 1, "%" + unconfirmed, 0},
      {"replaced, directory not synced", Left::Old, 0, true, false, 1, "%" + unconfirmed, 0},
      {"stopped while the replace waits", Left::Old, 9, false, true, 0, "", 0},
  };
  for (const auto& row : rows) {
    for (const bool work : {true, false}) {
      if (row.stop && !work) continue;
      const fs::path target = work ? d.work : env, temp = work ? d.job.tempPath : d.root / "ENV.tmp";
      const fs::path backup = target.string() + ".nebwdw.bak", beside = row.beside == 't' ? temp : backup;
      const std::string old = "old\r\n", fresh = work ? d.fresh : "old!\r\n";
      writeFile(target, old);
      test::FaultFs files;
      files.replaceLeaves = row.leaves;
      int replaces = 0;
      files.fail = [&](std::string_view step, const fs::path&) {
        return (step == "replace" && replaces++ < row.replacesFailing) || (step == "dirsync" && row.dirsyncFails);
      };
      files.slow = [&](std::string_view step) { if (row.stop && step == "replace") std::this_thread::sleep_for(100ms); };
      struct : Sink {
        bool stop = false, late = false;
        void beforeReplace() override { late = true; }
        bool waiting() override { return !(stop && late); }
      } observer;
      observer.stop = row.stop;
      std::string told;
      try {
        if (work && runExtraction(files, d.job, observer).outcome != RunResult::Outcome::Replaced) told = "stopped";
        if (!work) Env_Rewrite(files, env.native(), [](std::string_view line) { return std::string(line) + "!"; });
      } catch (const IoError& e) {
        told = e.message();
      }
      std::string expected = row.stop ? "stopped" : row.told;
      for (const auto& [key, path] : {std::pair{'%', target}, {'$', beside}})
        for (std::size_t p; (p = expected.find(key)) != std::string::npos;) expected.replace(p, 1, path.string());
      const std::string at = std::string(row.name) + (work ? ", work file" : ", environment file");
      EXPECT_EQ(told, expected) << at;
      EXPECT_EQ(fs::exists(target) ? readFile(target) : "none", row.target < 0 ? "none" : row.target ? fresh : old) << at;
      EXPECT_EQ(row.beside && fs::exists(beside) ? readFile(beside) : "", row.beside ? (row.beside == 't' ? fresh : old) : "") << at;
      EXPECT_FALSE(fs::exists(row.beside == 't' ? backup : temp)) << at;
      fs::remove(temp), fs::remove(backup);
    }
  }
}

// The data directory on another volume: a copy beside the work file takes the
// temporary file's place. Once it is in place the run has succeeded; when the
// copy fails, the reason given is the first one.
TEST(ReplaceAcrossVolumes, SucceedsOnceTheCopyIsInPlaceAndReportsTheFirstError) {
  Extracted d(4, 100);
  Sink sink;
  const std::pair<const char*, bool> rows[] = {
      {"", false}, {"remove:nebwdw.tmp", false}, {"write:Work.Txt.nebwdw.tmp", true}, {"replace:Work.Txt", true}};
  for (const auto& [failOn, fails] : rows) {
    writeFile(d.work, "old\r\n");
    test::FaultFs files;
    bool first = true;
    files.fail = [&](std::string_view step, const fs::path& p) {
      const bool moved = step == "replace" && std::exchange(first, false);
      files.failure = moved ? test::FaultFs::Failure::AcrossVolumes : test::FaultFs::Failure::Io;
      return moved || std::string(step) + ":" + p.filename().string() == failOn;
    };
    try {
      runExtraction(files, d.job, sink);
      EXPECT_FALSE(fails) << failOn;
    } catch (const IoError& e) {
      EXPECT_TRUE(fails) << failOn;
      EXPECT_TRUE(e.crossesVolumes()) << failOn;
    }
    EXPECT_TRUE(readFile(d.work) == (fails ? "old\r\n" : d.fresh)) << failOn;
    EXPECT_FALSE(fs::exists(d.root / "app" / "data" / "Work.Txt.nebwdw.tmp")) << failOn;
  }
}

// A worker that cannot start is no failure: the other one decodes every
// chunk, or with neither the calling thread does, with the same bytes and
// messages. So is a caller slower than the workers, on a log of more chunks
// than slots: they wait for it, and fill no slot before it is done with it.
TEST(ThreadsRefused, TheOtherWorkerOrTheCallingThreadDecodesInstead) {
  Extracted d(3, 10 * 2048, true);
  ASSERT_FALSE(d.shown.shown.empty());
  OsFileSystem os;
  for (const int refused : {0, 1, 2}) {
    fs::remove(d.work);
    threadsToRefuse = refused;
    struct : Sink { bool beforeQso(std::int32_t n) override { return (n == 1 || n == 2049) ? (std::this_thread::sleep_for(std::chrono::milliseconds(200)), true) : true; } } again;
    runExtraction(os, d.job, again);
    EXPECT_EQ(threadsToRefuse, 0) << refused;
    EXPECT_TRUE(readFile(d.work) == d.fresh) << refused;
    EXPECT_EQ(again.shown, d.shown.shown) << refused;
  }
}

// A power cut keeps only what was synced. After every step of a run and of a
// rewrite a cut leaves the old file or the new one, and once they have
// succeeded, the new one.
TEST(PowerCut, EveryStepLeavesTheOldOrTheNewFile) {
  Extracted d(2, kQsos);
  Sink sink;
  const fs::path env = d.root / "ENV.DAT";
  // The run, the run whose first rename fails (a copy beside the work file takes its place), the rewrite.
  for (const int change : {0, 1, 2}) {
    const fs::path& file = change < 2 ? d.work : env;
    const std::string old = "old\r\n", fresh = change < 2 ? d.fresh : "old!\r\n";
    writeFile(file, old);
    test::FaultFs files;
    if (change == 1) {
      files.failure = test::FaultFs::Failure::AcrossVolumes;
      files.fail = [n = 0](std::string_view step, const fs::path&) mutable { return step == "replace" && n++ == 0; };
    }
    int cuts = 0, bad = 0;
    files.afterChange = [&] { ++cuts, bad += files.durable(file) != old && files.durable(file) != fresh; };
    if (change < 2) runExtraction(files, d.job, sink);
    if (change == 2) Env_Rewrite(files, env.native(), [](std::string_view line) { return std::string(line) + "!"; });
    EXPECT_EQ(bad, 0) << "of " << cuts << " cuts, change " << change;
    EXPECT_TRUE(files.durable(file) == fresh) << "a cut after success, change " << change;
  }
}

}  // namespace
}  // namespace neb
