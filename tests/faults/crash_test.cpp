// Crash safety: every file step of a run and of a rewrite fails in turn, and
// real runs are killed at random moments. The file is then the whole old one
// or the whole new one, never a mix, never missing.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "env_rewrite.hpp"
#include "extraction.hpp"
#include "fault_fs.hpp"
#include "hamlog_gen.hpp"
#include "test_files.hpp"

extern char** environ;

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

struct Scratch : TempDir {
  fs::path root = path, work = root / "app" / "data" / "Work.Txt";
  Scratch() { fs::create_directories(root / "app" / "data"); }
};

// A log of qsos QSOs, the job that extracts it, and what a plain run of it
// writes and shows.
struct Extracted : Scratch {
  ExtractJob job;
  Sink shown;
  std::string fresh;
  Extracted(std::uint64_t seed, std::uint32_t qsos, bool noise = false)
      : job{(root / "LOG.DBS").string(), {}, root / "app" / "nebwdw.tmp", work} {
    (noise ? writeNoiseLog : writeRandomLog)(root / "LOG.DBS", seed, qsos);
    OsFileSystem os;
    runExtraction(os, job, shown);
    fresh = readFile(work);
  }
};

int kills() {
  const char* n = std::getenv("NEB_KILLS");  // more for a long run by hand
  return n ? std::atoi(n) : 20;
}

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

// A worker that cannot start is no failure: the calling thread decodes its
// share, with the same bytes and messages.
TEST(ThreadsRefused, TheCallingThreadDecodesInstead) {
  Extracted d(3, kQsos, true);
  ASSERT_FALSE(d.shown.shown.empty());
  OsFileSystem os;
  for (const int refused : {1, 2}) {
    fs::remove(d.work);
    threadsToRefuse = refused;
    Sink again;
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
  for (const bool acrossVolumes : {false, true}) {
    writeFile(d.work, "old\r\n");
    test::FaultFs files;
    if (acrossVolumes) {  // the first rename fails; a copy beside the work file takes its place
      files.failure = test::FaultFs::Failure::AcrossVolumes;
      files.fail = [n = 0](std::string_view step, const fs::path&) mutable { return step == "replace" && n++ == 0; };
    }
    int cuts = 0, bad = 0;
    files.afterChange = [&] {
      const auto now = files.durable(d.work);
      ++cuts;
      bad += now != "old\r\n" && now != d.fresh;
    };
    runExtraction(files, d.job, sink);
    EXPECT_EQ(bad, 0) << "of " << cuts << " cuts" << (acrossVolumes ? ", across volumes" : "");
    EXPECT_TRUE(files.durable(d.work) == d.fresh) << "a cut after success" << (acrossVolumes ? ", across volumes" : "");
  }

  const fs::path env = d.root / "ENV.DAT";
  writeFile(env, "#01,A\r\n$JA");
  test::FaultFs files;
  int bad = 0;
  files.afterChange = [&] {
    const auto now = files.durable(env);
    bad += now != "#01,A\r\n$JA" && now != "#01,A!\r\n$JA!\r\n";
  };
  Env_Rewrite(files, env.native(), [](std::string_view line) { return std::optional<std::string>(std::string(line) + "!"); });
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(files.durable(env), "#01,A!\r\n$JA!\r\n");
}

// SIGKILL at a random moment of each run, more often near its end where the
// work file is replaced.
TEST(Kill, ExtractionLeavesTheOldOrTheNewWorkFile) {
  Scratch d;
  writeRandomLog(d.root / "OLD.DBS", 1, 10000);
  writeRandomLog(d.root / "NEW.DBS", 2, 20000);
  const std::string app = (d.root / "app").string();
  auto start = [&](std::string dbs) {
    std::string a[] = {"neb01-extract", "-q", "--app-dir", app, "--hamlog", dbs};
    char* argv[] = {a[0].data(), a[1].data(), a[2].data(), a[3].data(), a[4].data(), a[5].data(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    for (int fd : {1, 2}) posix_spawn_file_actions_addopen(&quiet, fd, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, NEB_EXTRACT_PROGRAM, &quiet, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&quiet);
    return pid;
  };
  auto finish = [](pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  };
  ASSERT_EQ(finish(start((d.root / "OLD.DBS").string())), 0);
  const std::string old = readFile(d.work);
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(finish(start((d.root / "NEW.DBS").string())), 0);
  const auto runUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
  const std::string fresh = readFile(d.work);
  ASSERT_NE(old, fresh);
  const unsigned seed = std::random_device{}();
  std::mt19937 rng(seed);
  int sawOld = 0, sawNew = 0;
  // Until kills have landed both before and after the rename (within reason).
  for (int i = 0; i < 200 && (i < kills() || !sawOld || !sawNew); ++i) {
    writeFile(d.root / "restore", old);
    fs::rename(d.root / "restore", d.work);
    const pid_t pid = start((d.root / "NEW.DBS").string());
    ASSERT_GT(pid, 0);  // never kill(0): that is the whole process group
    const auto delay = i % 2 ? rng() % (runUs * 6 / 5) : runUs * 9 / 10 + rng() % (runUs / 5 + 1);
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    kill(pid, SIGKILL);
    finish(pid);
    const std::string now = readFile(d.work);
    EXPECT_TRUE(now == old || now == fresh) << "seed " << seed << ", kill " << i << " after " << delay << " us";
    sawOld += now == old;
    sawNew += now == fresh;
  }
  EXPECT_GT(sawOld, 0) << "seed " << seed;
  EXPECT_GT(sawNew, 0) << "seed " << seed;
}

}  // namespace
}  // namespace neb
