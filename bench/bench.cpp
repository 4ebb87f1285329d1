// Times neb01-extract on a 1,000,000-QSO log against the copy floor: reading
// both HAMLOG files and writing (and syncing) a file as large as the work
// file, alternating the two. Prints the median times, their ratio, QSOs per
// second and the extractor's peak memory.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hamlog_gen.hpp"
#include "random_log.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint64_t kSeed = 20240601;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "neb01-bench: %s\n", what.c_str());
  std::exit(1);
}

// The log is made once per count and seed and kept in the cache directory.
fs::path ensureDatabase(const fs::path& cache, std::uint32_t count) {
  const fs::path dir = cache / ("log-" + std::to_string(count) + "-" + std::to_string(kSeed));
  const fs::path dbs = dir / "HAMLOG.DBS";
  const fs::path done = dir / "complete";
  if (fs::exists(done)) return dbs;
  fs::create_directories(dir);
  std::printf("generating %u QSOs in %s ...\n", count, dir.c_str());
  std::fflush(stdout);
  neb::gen::DatabaseWriter w(dbs, neb::gen::companionPath(dbs));
  neb::gen::RandomLog log(kSeed);
  for (std::uint32_t i = 0; i < count; ++i) w.add(log.next());
  w.finish();
  std::ofstream(done) << "ok\n";
  return dbs;
}

struct ChildRun {
  double seconds = 0;
  double userSeconds = 0;
  double cpuSeconds = 0;
  long maxRssKiB = 0;
  int status = -1;
};

ChildRun runExtractor(const fs::path& exe, const std::vector<std::string>& args, const fs::path& errLog) {
  std::vector<std::string> all = {exe.string()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) die("fork failed");
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    const int err = open(errLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
    if (err >= 0) dup2(err, STDERR_FILENO);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) < 0) die("wait4 failed");
  ChildRun r;
  r.seconds = seconds(Clock::now() - start);
  r.maxRssKiB = usage.ru_maxrss;
  r.userSeconds = static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
  r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::uint64_t readAll(const fs::path& p, std::vector<char>& buffer) {
  const int fd = open(p.c_str(), O_RDONLY);
  if (fd < 0) die("cannot read " + p.string());
  std::uint64_t total = 0;
  for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::uint64_t>(n);
  close(fd);
  return total;
}

// What any extractor must at least do: read both files, write the output and
// make it durable. Like the work file, the output is written as a new file
// that then replaces the previous one, so both sides pay for freeing the old
// file's blocks.
double copyFloor(const fs::path& dbs, const fs::path& dbr, const fs::path& out, std::uint64_t outSize) {
  std::vector<char> buffer(1 << 20, 'x');
  const auto start = Clock::now();
  readAll(dbs, buffer);
  readAll(dbr, buffer);
  const fs::path temp = out.string() + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) die("cannot create " + temp.string());
  for (std::uint64_t left = outSize; left > 0;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    if (write(fd, buffer.data(), n) != static_cast<ssize_t>(n)) die("cannot write " + temp.string());
    left -= n;
  }
  if (fsync(fd) != 0) die("cannot sync " + temp.string());
  close(fd);
  if (std::rename(temp.c_str(), out.c_str()) != 0) die("cannot rename " + temp.string());
  return seconds(Clock::now() - start);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: neb01-bench NEB01_EXTRACT CACHE_DIR [COUNT [RUNS]]\n");
    return 2;
  }
  const fs::path extractor = fs::absolute(argv[1]);
  const fs::path cache = fs::absolute(argv[2]);
  const auto count = static_cast<std::uint32_t>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000000);
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

  const fs::path dbs = ensureDatabase(cache, count);
  const fs::path dbr = neb::gen::companionPath(dbs);
  const fs::path app = cache / "app";
  fs::create_directories(app);
  const fs::path work = app / "data" / "Work.Txt";
  const std::vector<std::string> args = {"-q", "--app-dir", app.string(), "--hamlog", dbs.string()};

  // One run to warm the page cache for both sides, then both in turn.
  runExtractor(extractor, args, cache / "stderr.txt");
  const fs::path floorFile = app / "floor.out";
  copyFloor(dbs, dbr, floorFile, fs::file_size(work));
  std::vector<double> extractTimes, floorTimes, userTimes, cpuTimes;
  long rssMax = 0;
  for (int i = 0; i < runs; ++i) {
    const ChildRun r = runExtractor(extractor, args, cache / "stderr.txt");
    if (r.status != 0) die("neb01-extract failed with status " + std::to_string(r.status) + "; see " +
                           (cache / "stderr.txt").string());
    extractTimes.push_back(r.seconds);
    userTimes.push_back(r.userSeconds);
    cpuTimes.push_back(r.cpuSeconds);
    rssMax = std::max(rssMax, r.maxRssKiB);
    floorTimes.push_back(copyFloor(dbs, dbr, floorFile, fs::file_size(work)));
  }
  if (fs::file_size(cache / "stderr.txt") != 0) std::printf("note: the extractor printed messages, see %s\n",
                                                            (cache / "stderr.txt").c_str());

  const double extractMedian = median(extractTimes), floorMedian = median(floorTimes);
  const double ratio = extractMedian / floorMedian;
  const double rssMiB = static_cast<double>(rssMax) / 1024.0;
  std::printf("QSOs                 %u\n", count);
  std::printf("input                %.1f MiB (DBS) + %.1f MiB (DBR)\n",
              static_cast<double>(fs::file_size(dbs)) / 1048576.0, static_cast<double>(fs::file_size(dbr)) / 1048576.0);
  std::printf("work file            %.1f MiB\n", static_cast<double>(fs::file_size(work)) / 1048576.0);
  std::printf("extraction           %.3f s (median of %d)\n", extractMedian, runs);
  std::printf("extractor CPU        %.3f s user, %.3f s user + system (medians)\n", median(userTimes), median(cpuTimes));
  std::printf("copy floor           %.3f s (median of %d)\n", floorMedian, runs);
  std::printf("ratio                %.2f (target <= 1.5)\n", ratio);
  std::printf("QSOs per second      %.0f\n", count / extractMedian);
  std::printf("peak memory          %.1f MiB (target < 32)\n", rssMiB);
  const bool ok = ratio <= 1.5 && rssMiB < 32.0;
  std::printf("%s\n", ok ? "targets met" : "TARGETS MISSED");
  return ok ? 0 : 3;
}
