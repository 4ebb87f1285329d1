// neb01-extract as a user runs it: a real process on generated databases,
// judged by its exit status, its output and the files it leaves behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "hamlog_gen.hpp"
#include "qso_list.hpp"
#include "random_log.hpp"

extern char** environ;

namespace fs = std::filesystem;
using namespace neb::gen;

namespace {

// Shift_JIS texts (octal escapes: a following letter is never part of one).
#define TARO "\221\276\230Y"                     // 太郎
#define TOKYO_MINATO "\223\214\213\236\223s\215`\213\346"  // 東京都港区
#define YAMADA_TARO "\216R\223c \221\276\230Y"   // 山田 太郎
#define KANJI "\212\277\216\232"                 // 漢字
#define HANKAKU "\312\335\266\270"               // ﾊﾝｶｸ (half-width)
#define RQUOTE "\201h"                           // ”
#define LQUOTE "\201g"                           // “

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
    lines.push_back(text.substr(start, pos - start));
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  return lines;
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  if (line.size() < 2 || line.front() != '"' || line.back() != '"') return fields;
  const std::string inner = line.substr(1, line.size() - 2);
  std::size_t start = 0;
  for (std::size_t pos; (pos = inner.find("\",\"", start)) != std::string::npos; start = pos + 3)
    fields.push_back(inner.substr(start, pos - start));
  fields.push_back(inner.substr(start));
  return fields;
}

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

class Cli : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("neb-cli-" + std::to_string(::getpid()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    app_ = dir_ / "app";
    fs::create_directories(app_);
    fs::create_directories(dir_ / "log");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  Result run(std::vector<std::string> args) {
    const fs::path outFile = dir_ / "stdout.txt", errFile = dir_ / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.insert(args.begin(), program_);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    Result r;
    if (posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = readBytes(outFile);
    r.err = readBytes(errFile);
    return r;
  }

  fs::path database(const std::string& list, std::optional<std::uint32_t> headerCount = std::nullopt,
                    std::uint64_t cut = 0) {
    const fs::path dbs = dir_ / "log" / "HAMLOG.DBS";
    DatabaseWriter w(dbs, companionPath(dbs));
    for (const auto& q : parseQsoList(list)) w.add(q);
    w.finish(headerCount, cut);
    return dbs;
  }

  fs::path envFile(const std::string& body) {
    const fs::path env = dir_ / "NEBWD.ENV";
    writeBytes(env, body);
    return env;
  }

  fs::path workFile() const { return app_ / "data" / "Work.Txt"; }

  // No temporary file may survive a run, successful or not.
  void expectNoTempFiles() {
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      EXPECT_EQ(e.path().string().find("nebwdw.tmp"), std::string::npos) << e.path();
  }

  fs::path dir_;
  fs::path app_;
  std::string program_ = NEB01_EXTRACT;
};

// One QSO per rule that shapes a line: padding, both call forms, NUL
// padding, both frequency forms, odd and invalid frequencies, years around
// 128, the zone bit, report extra bytes, quotes of both kinds, commas,
// half-width kana, invalid bytes and companion blocks that are short,
// missing or beyond the file.
const std::string kList =
    "JA1AB\t1\t" TARO "\\x00\\x00\t\tmhz:7.050\tCW\t" TOKYO_MINATO "\tJ\t2004-07-05\t09:05U\t59/57\t59\t" YAMADA_TARO
    "\t\tQSL via Bureau\n"
    "JA1AB\t1\t\t\thex:8A1B00A1\tSSB\t\t\t104/7/5\t23/59\t59/0\t5/47\t\tx$DXy\t\n"
    "JR\"X\tQ\t" RQUOTE "\t" LQUOTE "\tpacked:1440/3/3\tssb\ta" RQUOTE "b" LQUOTE "c\t\t1999-12-31\t00:00\t\t\ta,b,c\tsay \"hi\"\t\\x81\\x81h\n"
    "JA4BAD\t\t\t\ttext:5.35\tFM\t" HANKAKU "\\x80\\xFF\tEBX\t2127-01-02\t12:34\n"
    "JA5W\t\tABCDEF\tGHIJKL\thex:AE01008F\tAM\tMinato-ku 12\t\t2005-10-10\t0/133\t\t\tignored\t\t\t-7\n"
    "JA6CUTS\t\t\t\tpacked:14000000/8/2\tCW\t\t\t2000-01-01\t10/10\t\t\tA\\x82\txy\t" KANJI "\n"
    KANJI "\t1\t\t\ttext:1.9\tCW\t\t\t127/1/1\t1/2\t\t\tfar\t\t\t2000000000\n";

const std::string kExpected =
    "\"NEBWD\",\"JA1AB\",\"1\",\"" TARO "\",\"\",\"7\",\"CW\",\"" TOKYO_MINATO
    "\",\"J\",\"\",\"\",\"20040705\",\"0905U\",\"599\",\"59\",\"" YAMADA_TARO
    "\",\"\",\"QSL via Bureau\",\"0000000001\",\"JA1AB /1\"\r\n"
    "\"NEBWD\",\"JA1AB\",\"1\",\"\",\"\",\"7\",\"SSB\",\"\",\"\",\"\",\"\",\"20040705\",\"2359J\",\"59-48\",\"5-1\","
    "\"\",\"x$DXy\",\"\",\"0000000002\",\"1/JA1AB\"\r\n"
    "\"NEBWD\",\"JR X\",\"\",\" \",\"" LQUOTE "\",\"144\",\"ssb\",\"a b" LQUOTE "c\",\"\",\"\",\"\",\"19991231\","
    "\"0000J\",\"59\",\"59\",\"a,b,c\",\"say  hi \",\"\201\201h\",\"0000000003\",\"JR\"X  /Q\"\r\n"
    "\"NEBWD\",\"JA4BAD\",\"\",\"\",\"\",\"\",\"FM\",\"" HANKAKU "\200\377\",\"E\",\"B\",\"X\",\"21270102\",\"1234J\","
    "\"59\",\"59\",\"\",\"\",\"\",\"0000000004\",\"JA4BAD\"\r\n"
    "\"NEBWD\",\"JA5W\",\"\",\"ABCDEF\",\"GHIJKL\",\"430\",\"AM\",\"Minato-ku 12\",\"\",\"\",\"\",\"20051010\",\"0005U\",\"59\",\"59\","
    "\"\",\"\",\"\",\"0000000005\",\"JA5W\"\r\n"
    "\"NEBWD\",\"JA6CUTS\",\"\",\"\",\"\",\"14\",\"CW\",\"\",\"\",\"\",\"\",\"20000101\",\"1010J\",\"59\",\"59\","
    "\"A\",\"xy\",\"" KANJI "\",\"0000000006\",\"JA6CUTS\"\r\n"
    "\"NEBWD\",\"" KANJI "\",\"1\",\"\",\"\",\"1.9\",\"CW\",\"\",\"\",\"\",\"\",\"20270101\",\"0102J\",\"59\",\"59\","
    "\"\",\"\",\"\",\"0000000007\",\"" KANJI "    /1\"\r\n";

TEST_F(Cli, WorkLinesAreByteExactAndMessagesGoToStandardError) {
  const fs::path dbs = database(kList);
  const Result r = run({"-q", "--app-dir", app_.string(), "--hamlog", dbs.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readBytes(workFile()), kExpected);
  EXPECT_EQ(r.err,
            "交信番号 4 の交信周波数は 無効です\n5.35\n"
            "交信番号 5 の交信周波数が変です\n430 MHz と判断しました\n");
  EXPECT_EQ(r.out, "7 件の交信を " + workFile().string() + " に書き出しました\n");
  expectNoTempFiles();
}

TEST_F(Cli, AreaSuffixAndModeConversions) {
  const fs::path dbs = database(
      "A\tJA1\t\t\t\tLSB\n"
      "A\tja1\t\t\t\tusb\n"
      "A\tJH2\t\t\t\tUSB\n"
      "A\tJA\t\t\t\tFT8\n"
      "A\t7K3\t\t\t\t\n"
      "A\tJR1\t\t\t\tCW\n");
  writeBytes(app_ / "Mode.txt", "ssb , lsb,USB\r\nAM,LSB\r\nDATA,FT8,\r\n,CW\r\n");
  // "$JD" items are never prefixes; "$1" matches what JA1 and JR1 have become.
  const fs::path env = envFile("###\x8F\x89\x8A\xFA\x90\xDD\x92\xE8\x8D\xCF\x82\xDD###\r\n#01," + dbs.string() +
                               "\r\n$JA\r\n$JD1\r\n$JHx\r\n$JR\r\n$1\r\n");
  struct Case {
    std::vector<std::string> flags;
    std::vector<std::string> field3;
    std::vector<std::string> field7;
  } cases[] = {
      {{}, {"JA1", "ja1", "JH2", "JA", "7K3", "JR1"}, {"LSB", "usb", "USB", "FT8", "", "CW"}},
      {{"-a"}, {"", "ja1", "2", "JA", "7K3", ""}, {"LSB", "usb", "USB", "FT8", "", "CW"}},
      {{"-m"}, {"JA1", "ja1", "JH2", "JA", "7K3", "JR1"}, {"SSB", "usb", "SSB", "DATA", "DATA", "CW"}},
      {{"--area-suffix", "--mode-convert"}, {"", "ja1", "2", "JA", "7K3", ""}, {"SSB", "usb", "SSB", "DATA", "DATA", "CW"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.flags;
    args.insert(args.end(), {"-q", "--app-dir", app_.string(), env.string()});
    const Result r = run(args);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = splitLines(readBytes(workFile()));
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const auto f = fieldsOf(lines[i]);
      ASSERT_EQ(f.size(), 20u);
      EXPECT_EQ(f[2], c.field3[i]) << c.flags.size() << " flags, line " << i + 1;
      EXPECT_EQ(f[6], c.field7[i]) << c.flags.size() << " flags, line " << i + 1;
    }
  }
}

TEST_F(Cli, UsageErrorsExitTwoWithTheUsageText) {
  const fs::path dbs = database("JA1AB\n");
  const std::string a = app_.string(), d = dbs.string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--bogus", d},
      {"-x", d},
      {"--app-dir"},
      {"--hamlog", d, "env.txt"},
      {"-a", "--app-dir", a, "--hamlog", d},
      {"-m", "--app-dir", a, "--hamlog", d},  // no Mode.txt
      {"-o", "", "--hamlog", d},
      {"one", "two"},
      {"--", "-a", d},  // after "--" every argument is a file
  };
  for (const auto& args : cases) {
    const Result r = run(args);
    EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: neb01-extract"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(app_ / "data"));
}

TEST_F(Cli, FailuresExitOneAndKeepTheOldWorkFile) {
  const fs::path dbs = database("JA1AB\n");
  const fs::path lonely = dir_ / "log" / "LONELY.DBS";
  writeBytes(lonely, encodeHeader(0));
  const std::string base = (dir_ / "log").string() + "/";
  fs::create_directories(app_ / "data");
  const std::string old = "\"old\"\r\n";
  const std::string dbsBytes = readBytes(dbs), dbrBytes = readBytes(companionPath(dbs));
  writeBytes(dir_ / "log" / "SHORT.DBS", "abc");  // not even a full header
  writeBytes(dir_ / "log" / "SHORT.DBR", "");
  struct Case {
    std::vector<std::string> args;
    std::string message;  // part of standard error
  } cases[] = {
      {{"--hamlog", base + "NONE.DBS"}, base + "NONE.DBS  が　見つかりません\n"},
      {{"--hamlog", lonely.string()}, base + "LONELY.DBR  が　見つかりません\n"},
      {{"--hamlog", base + "\xF0\x9F\x98\x80.DBS"}, "Shift_JIS"},  // no Shift_JIS form
      {{envFile("$JA\r\n").string()}, "#01"},
      {{(dir_ / "missing.env").string()}, "環境ﾌｧｲﾙが見当たりません"},
      {{"-o", dbs.string(), "--hamlog", dbs.string()}, "input file"},
      {{"-o", companionPath(dbs).string(), "--hamlog", dbs.string()}, "input file"},
      {{"--hamlog", base + "SHORT.DBS"}, "SHORT.DBS"},
  };
  for (const auto& c : cases) {
    writeBytes(workFile(), old);
    std::vector<std::string> args = {"--app-dir", app_.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    EXPECT_EQ(r.code, 1) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readBytes(workFile()), old);
  }
  EXPECT_EQ(readBytes(dbs), dbsBytes);
  EXPECT_EQ(readBytes(companionPath(dbs)), dbrBytes);
  // The work file cannot be replaced: a directory stands in its place.
  fs::remove(workFile());
  fs::create_directories(workFile() / "keep");
  const Result r = run({"--app-dir", app_.string(), "--hamlog", dbs.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Work.Txt"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(workFile() / "keep"));
  expectNoTempFiles();
}

TEST_F(Cli, WithoutAppDirTheProgramsOwnDirectoryIsUsed) {
  const fs::path dbs = database("JA1AB\n");
  program_ = (app_ / "neb01-extract").string();
  fs::copy_file(NEB01_EXTRACT, program_);
  const Result r = run({"-q", "--hamlog", dbs.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(splitLines(readBytes(workFile())).size(), 1u);
}

TEST_F(Cli, OutputOptionWritesOnlyThatFile) {
  const fs::path dbs = database("JA1AB\nJA2CD\n");
  const fs::path out = dir_ / "out" / "mine.txt";
  fs::create_directories(out.parent_path());
  writeBytes(out, "previous contents, much longer than the new file\r\n");
  const Result r = run({"--app-dir", app_.string(), "-o", out.string(), "--quiet", "--hamlog", dbs.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(splitLines(readBytes(out)).size(), 2u);
  EXPECT_EQ(r.out, "2 件の交信を " + out.string() + " に書き出しました\n");
  EXPECT_FALSE(fs::exists(app_ / "data"));
  expectNoTempFiles();
}

TEST_F(Cli, JapaneseHamlogPathFromTheEnvironmentFileAndTheCommandLine) {
  const fs::path dir = dir_ / "\xE3\x83\x8F\xE3\x83\xA0";  // ハム
  fs::create_directories(dir);
  const fs::path dbs = dir / "HAMLOG.DBS";
  fs::rename(database("JA1AB\n"), dbs);
  fs::rename(dir_ / "log" / "HAMLOG.DBR", dir / "HAMLOG.DBR");
  const std::string sjisPath = dir_.string() + "/\x83n\x83\x80/HAMLOG.DBS";
  for (const auto& target : {envFile("#01," + sjisPath + "\r\n").string(), std::string("--hamlog")}) {
    std::vector<std::string> args = {"-q", "--app-dir", app_.string(), target};
    if (target == "--hamlog") args.push_back(dbs.string());
    const Result r = run(args);
    EXPECT_EQ(r.code, 0) << target << r.err;
    EXPECT_EQ(splitLines(readBytes(workFile())).size(), 1u);
  }
}

TEST_F(Cli, EmptyAndShortRecordFiles) {
  struct Case {
    std::string list;
    std::optional<std::uint32_t> headerCount;
    std::size_t lines;
    std::string err;
  } cases[] = {
      {"", std::nullopt, 0, ""},
      {"JA1AA\nJA1BB\nJA1CC\n", 5,  3,
       "HAMLOG のレコードファイルが途中で終わっています。\nヘッダーの件数 5 件のうち 3 件を書き出しました\n"},
      {"", 2, 0, "HAMLOG のレコードファイルが途中で終わっています。\nヘッダーの件数 2 件のうち 0 件を書き出しました\n"},
  };
  for (const auto& c : cases) {
    const fs::path dbs = database(c.list, c.headerCount);
    fs::remove_all(app_ / "data");
    const Result r = run({"-q", "--app-dir", app_.string(), "--hamlog", dbs.string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, c.err);
    const std::string work = readBytes(workFile());
    EXPECT_EQ(splitLines(work).size(), c.lines);
    if (c.lines == 0) {
      EXPECT_EQ(work.size(), 0u);
    }
  }
}

TEST_F(Cli, AdversarialLogNeverCrashesAndGivesOneLinePerQso) {
  constexpr std::uint32_t kCount = 4000;
  for (std::uint64_t seed : {1u, 2u}) {
    const fs::path dbs = dir_ / "log" / "ODD.DBS";
    DatabaseWriter w(dbs, companionPath(dbs));
    RandomLog log(seed, true);
    for (std::uint32_t i = 0; i < kCount; ++i) w.add(log.next());
    w.finish(std::nullopt, 2);  // the last block runs past the end of the file

    const Result r = run({"--app-dir", app_.string(), "--hamlog", dbs.string()});
    ASSERT_EQ(r.code, 0) << r.err.substr(0, 2000);
    const auto lines = splitLines(readBytes(workFile()));
    ASSERT_EQ(lines.size(), kCount);
    for (std::uint32_t i = 0; i < kCount; ++i) {
      const auto f = fieldsOf(lines[i]);
      ASSERT_EQ(f.size(), 20u) << "line " << i + 1;
      EXPECT_EQ(f[0], "NEBWD");
      char number[16];
      std::snprintf(number, sizeof number, "%010u", i + 1);
      EXPECT_EQ(f[18], number);
    }
  }
}

TEST_F(Cli, ProgressBarOnlyOnATerminalAndNotWhenQuiet) {
  constexpr std::uint32_t kCount = 5000;
  const fs::path dbs = dir_ / "log" / "BIG.DBS";
  DatabaseWriter w(dbs, companionPath(dbs));
  RandomLog log(3, false);
  for (std::uint32_t i = 0; i < kCount; ++i) w.add(log.next());
  w.finish();

  // Everything the program writes to its terminal.
  auto onTerminal = [&](std::vector<std::string> args, int code = 0) {
    args.insert(args.begin(), NEB01_EXTRACT);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
      execv(NEB01_EXTRACT, argv.data());
      _exit(127);
    }
    std::string seen;
    char buf[4096];
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) seen.append(buf, static_cast<std::size_t>(n));
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code) << seen;
    return seen;
  };
  const std::string withBar = onTerminal({"--app-dir", app_.string(), "--hamlog", dbs.string()});
  EXPECT_NE(withBar.find("\r[" + std::string(30, ' ') + "] 1 / 5000"), std::string::npos) << withBar;
  // The bar is wiped before the summary line.
  EXPECT_NE(withBar.find("\r\x1B[K" + std::to_string(kCount) + " "), std::string::npos) << withBar;
  // A message wipes the bar first.
  const std::string messages = onTerminal({"--app-dir", app_.string(), "--hamlog", database(kList).string()});
  EXPECT_NE(messages.find("] 1 / 7\r\x1B[K\xE4\xBA\xA4"), std::string::npos) << messages;
  EXPECT_NE(messages.find("5.35\r\n\xE4\xBA\xA4"), std::string::npos) << messages;  // wiped once only
  // A run that fails at its end wipes the bar before the reason.
  fs::create_directories(dir_ / "taken");
  const std::string failed =
      onTerminal({"--app-dir", app_.string(), "--output", (dir_ / "taken").string(), "--hamlog", dbs.string()}, 1);
  EXPECT_NE(failed.find(" / 5000\r\x1B[K"), std::string::npos) << failed;
  const std::string quiet = onTerminal({"-q", "--app-dir", app_.string(), "--hamlog", dbs.string()});
  EXPECT_EQ(quiet.find('['), std::string::npos) << quiet;
  EXPECT_EQ(quiet.find(std::to_string(kCount) + " "), 0u) << quiet;
}

}  // namespace
