// neb01-extract as a user runs it: a real process on generated databases,
// judged by its exit status, its output and the files it leaves behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "hamlog_gen.hpp"
#include "test_files.hpp"

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

// The language settings of the programs started next ("LANG=C", ...), so
// that no test depends on the machine's language.
void setLocale(const std::vector<std::string>& locale) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
  for (const std::string& v : locale) setenv(v.substr(0, v.find('=')).c_str(), v.substr(v.find('=') + 1).c_str(), 1);
}

struct Result {
  int code = -1;
  std::string out, err;
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
    setLocale(locale_);
    if (posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
      pid_ = pid;
      int status = 0;
      waitpid(pid, &status, 0);
      r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = neb::readFile(outFile);
    r.err = neb::readFile(errFile);
    return r;
  }

  fs::path database(const std::vector<GenQso>& qsos) {
    const fs::path dbs = dir_ / "log" / "HAMLOG.DBS";
    neb::writeDatabase(dbs, qsos);
    return dbs;
  }

  fs::path envFile(const std::string& body) {
    const fs::path env = dir_ / "NEBWD.ENV";
    neb::writeFile(env, body);
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
  std::atomic<pid_t> pid_ = 0;  // of the run under way
  std::vector<std::string> locale_ = {"LANG=C"};
};

// One QSO per rule that shapes a line: padding, both call forms, NUL
// padding, both frequency forms, odd and invalid frequencies, years around
// 128, the zone bit, report extra bytes, quotes of both kinds, commas,
// half-width kana, invalid bytes and companion blocks that are short,
// missing or beyond the file.
const std::vector<GenQso> kQsos = {
    {.call = "JA1AB", .portable = "1", .shortText1 = std::string(TARO "\0\0", 6), .frequency = frequencyMhz("7.050"),
     .mode = "CW", .longText = TOKYO_MINATO, .flags = "J", .year = yearByte(2004), .month = 7, .day = 5, .hour = 9,
     .minute = minuteByte(5, true), .extra1 = 57, .extra2 = 48, .texts = {YAMADA_TARO, "", "QSL via Bureau 73"}},
    {.call = "JA1AB", .portable = "1", .frequency = {0x8A, 0x1B, 0x00, 0xA1}, .mode = "SSB", .year = 104, .month = 7,
     .day = 5, .hour = 23, .minute = 59, .extra1 = 0, .report2 = 5, .extra2 = 47, .texts = {"", "x$DXy 0123456789", ""}},
    {.call = "JR\"X", .portable = "Q", .shortText1 = RQUOTE, .shortText2 = LQUOTE,
     .frequency = frequencyPacked(1440, 3, 3), .mode = "ssb", .longText = "a" RQUOTE "b" LQUOTE "c",
     .year = yearByte(1999), .month = 12, .day = 31, .texts = {"a,b,c", "say \"hi\"", "\x81\x81h"}},
    {.call = "JA4BAD", .frequency = frequencyPacked(16777215, 8, 7), .mode = "FM", .longText = HANKAKU "\x80\xFF",
     .flags = "EBX", .year = yearByte(2127), .month = 9, .day = 2, .hour = 12, .minute = 34},
    {.call = "JA5W", .shortText1 = "ABCDEF", .shortText2 = "GHIJKL", .frequency = {0xAE, 0x01, 0x00, 0x8F},
     .mode = "AM", .longText = "Minato-ku 12", .year = yearByte(2005), .month = 10, .day = 10, .minute = 133,
     .textPointer = -7, .texts = {"ignored", "", ""}},
    {.call = "JA6CUTS", .frequency = frequencyPacked(14000000, 8, 2), .mode = "CW", .year = yearByte(2000),
     .hour = 123, .minute = 10, .texts = {"A\x82\x82\x82", "xy", KANJI}},  // a lone lead byte at the end
    {.call = KANJI, .portable = "1", .frequency = frequencyText("1.9"), .mode = "CW", .year = 127, .hour = 99,
     .minute = 2, .textPointer = 2000000000, .texts = {"far", "", ""}},
    {.call = "JA8F", .frequency = {0x37, 0x20, 0x20, 0x80}, .mode = "CW"},  // frequency byte 128: still the text form
};

const std::string kExpected =
    "\"NEBWD\",\"JA1AB\",\"1\",\"" TARO "\",\"\",\"7\",\"CW\",\"" TOKYO_MINATO
    "\",\"J\",\"\",\"\",\"20040705\",\"0905U\",\"599\",\"590\",\"" YAMADA_TARO
    "\",\"\",\"QSL via Bureau 73\",\"0000000001\",\"JA1AB /1\"\r\n"
    "\"NEBWD\",\"JA1AB\",\"1\",\"\",\"\",\"7\",\"SSB\",\"\",\"\",\"\",\"\",\"20040705\",\"2359J\",\"59-48\",\"5-1\","
    "\"\",\"x$DXy 0123456789\",\"\",\"0000000002\",\"1/JA1AB\"\r\n"
    "\"NEBWD\",\"JR X\",\"\",\" \",\"" LQUOTE "\",\"144\",\"ssb\",\"a b" LQUOTE "c\",\"\",\"\",\"\",\"19991231\","
    "\"0000J\",\"59\",\"59\",\"a,b,c\",\"say  hi \",\"\201\201h\",\"0000000003\",\"JR\"X  /Q\"\r\n"
    "\"NEBWD\",\"JA4BAD\",\"\",\"\",\"\",\"\",\"FM\",\"" HANKAKU "\200\377\",\"E\",\"B\",\"X\",\"21270902\",\"1234J\","
    "\"59\",\"59\",\"\",\"\",\"\",\"0000000004\",\"JA4BAD\"\r\n"
    "\"NEBWD\",\"JA5W\",\"\",\"ABCDEF\",\"GHIJKL\",\"430\",\"AM\",\"Minato-ku 12\",\"\",\"\",\"\",\"20051010\",\"0005U\",\"59\",\"59\","
    "\"\",\"\",\"\",\"0000000005\",\"JA5W\"\r\n"
    "\"NEBWD\",\"JA6CUTS\",\"\",\"\",\"\",\"14\",\"CW\",\"\",\"\",\"\",\"\",\"20000101\",\"12310\",\"59\",\"59\","
    "\"A\x82\x82\",\"xy\",\"" KANJI "\",\"0000000006\",\"JA6CUTS\"\r\n"
    "\"NEBWD\",\"" KANJI "\",\"1\",\"\",\"\",\"1.9\",\"CW\",\"\",\"\",\"\",\"\",\"20270101\",\"9902J\",\"59\",\"59\","
    "\"\",\"\",\"\",\"0000000007\",\"" KANJI "    /1\"\r\n"
    "\"NEBWD\",\"JA8F\",\"\",\"\",\"\",\"7\",\"CW\",\"\",\"\",\"\",\"\",\"20040101\",\"0000J\",\"59\",\"59\",\"\",\"\",\"\","
    "\"0000000008\",\"JA8F\"\r\n";

TEST_F(Cli, WorkLinesAreByteExactAndMessagesGoToStandardErrorOneLineEach) {
  const fs::path dbs = database(kQsos);
  locale_ = {"LANG=ja_JP.UTF-8"};
  const Result r = run({"-q", "--app-dir", app_.string(), "--hamlog", dbs.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(neb::readFile(workFile()), kExpected);
  EXPECT_EQ(r.err,
            "交信番号 4 の交信周波数は 無効です 1677721.\n"
            "交信番号 5 の交信周波数が変です 430 MHz と判断しました\n");
  EXPECT_EQ(r.out, "8 件の交信を " + workFile().string() + " に書き出しました\n");
  expectNoTempFiles();
}

TEST_F(Cli, AreaSuffixAndModeConversions) {
  const fs::path dbs = database({{.call = "A", .portable = "JA1", .mode = "LSB"},
                                 {.call = "A", .portable = "ja1", .mode = "usb"},
                                 {.call = "A", .portable = "JH2", .mode = "USB"},
                                 {.call = "A", .portable = "JA", .mode = "FT8"},
                                 {.call = "A", .portable = "7K3"},
                                 {.call = "A", .portable = "JR1", .mode = "CW"}});
  neb::writeFile(app_ / "Mode.txt", "ssb , lsb,USB\r\nAM,LSB\r\nDATA,FT8,\r\n,CW\r\n");
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
    const auto lines = splitLines(neb::readFile(workFile()));
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const auto f = fieldsOf(lines[i]);
      ASSERT_EQ(f.size(), 20u);
      EXPECT_EQ(f[2], c.field3[i]) << c.flags.size() << " flags, line " << i + 1;
      EXPECT_EQ(f[6], c.field7[i]) << c.flags.size() << " flags, line " << i + 1;
    }
  }
}

// The error is one line, then the usage, both in the language of the first
// of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
TEST_F(Cli, UsageErrorsExitTwoWithTheUsageText) {
  const fs::path dbs = database({{.call = "JA1AB"}});
  const std::string a = app_.string(), d = dbs.string(), ja = "ENV_FILE か --hamlog DBS_PATH を指定してください";
  const struct Case {
    std::vector<std::string> args;
    std::string error;
    std::vector<std::string> locale = {"LANG=C"};
  } cases[] = {
      {{}, "no ENV_FILE and no --hamlog"},
      {{"--bogus", d}, "unknown option --bogus"},
      {{"-amx", d}, "unknown option -amx"},
      {{"--app-dir"}, "--app-dir needs a value"},
      {{"-o", "x", "--output", "y", d}, "--output given twice"},
      {{"--hamlog", d, "env.txt"}, "ENV_FILE and --hamlog exclude each other"},
      {{"-a", "--app-dir", a, "--hamlog", d}, "-a needs the area prefixes of an ENV_FILE"},
      {{"-m", "--app-dir", a, "--hamlog", d}, "-m needs the mode table " + a + "/Mode.txt, which does not exist"},
      {{"-o", "", "--hamlog", d}, "--output is empty"},
      {{"--app-dir", "", "--hamlog", d}, "--app-dir is empty"},
      {{"one", "two"}, "more than one ENV_FILE"},
      {{"--", "-a", d}, "more than one ENV_FILE"},  // after "--" every argument is a file
      {{}, ja, {"LANG=ja_JP.UTF-8"}},
      {{}, "no ENV_FILE and no --hamlog", {"LC_ALL=C", "LC_MESSAGES=ja_JP.UTF-8", "LANG=ja_JP.UTF-8"}},
      {{}, ja, {"LC_ALL=", "LC_MESSAGES=ja_JP.UTF-8", "LANG=C"}},
      {{}, ja, {"LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=C"}},
  };
  for (const auto& c : cases) {
    locale_ = c.locale;
    const Result r = run(c.args);
    EXPECT_EQ(r.code, 2) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err.substr(0, r.err.find(" neb01-extract [-a|--area-suffix]")),
              "neb01-extract: " + c.error + (c.error == ja ? "\n使い方:" : "\nusage:"));
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(app_ / "data"));
}

TEST_F(Cli, FailuresExitOneAndKeepTheOldWorkFile) {
  const fs::path dbs = database({{.call = "JA1AB"}});
  const fs::path lonely = dir_ / "log" / "LONELY.DBS";
  neb::writeFile(lonely, encodeHeader(0));
  const std::string base = (dir_ / "log").string() + "/";
  fs::create_directories(app_ / "data");
  const std::string old = "\"old\"\r\n";
  const std::string dbsBytes = neb::readFile(dbs), dbrBytes = neb::readFile(companionPath(dbs));
  neb::writeFile(dir_ / "log" / "SHORT.DBS", "abc");  // not even a full header
  neb::writeFile(dir_ / "log" / "SHORT.DBR", "");
  struct Case {
    std::vector<std::string> args;
    std::string message;  // part of standard error
  } cases[] = {
      {{"--hamlog", base + "NONE.DBS"}, base + "NONE.DBS  が　見つかりません\n"},
      {{"--hamlog", lonely.string()}, base + "LONELY.DBR  が　見つかりません\n"},
      {{"--hamlog", base + "\xF0\x9F\x98\x80.DBS"}, "Shift_JIS"},  // no Shift_JIS form
      {{(dir_ / "missing.env").string()}, "missing.env: the environment file does not exist\n"},
      {{"-o", dbs.string(), "--hamlog", dbs.string()}, "input file"},
      {{"-o", companionPath(dbs).string(), "--hamlog", dbs.string()}, "input file"},
      {{"-o", base + "none/w.txt", "--hamlog", dbs.string()}, base + "none/w.txt.nebwdw.tmp "},  // no folder made
      {{"--hamlog", base + "SHORT.DBS"}, "SHORT.DBS"},
  };
  for (const auto& c : cases) {
    neb::writeFile(workFile(), old);
    std::vector<std::string> args = {"--app-dir", app_.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    EXPECT_EQ(r.code, 1) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(neb::readFile(workFile()), old);
  }
  EXPECT_EQ(neb::readFile(dbs), dbsBytes);
  EXPECT_EQ(neb::readFile(companionPath(dbs)), dbrBytes);
  // The work file cannot be replaced: a directory stands in its place.
  fs::remove(workFile());
  fs::create_directories(workFile() / "keep");
  const Result r = run({"--app-dir", app_.string(), "--hamlog", dbs.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Work.Txt"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(workFile() / "keep"));
  expectNoTempFiles();
}

// Where the program reads and writes: a Japanese HAMLOG path from the
// environment file or the command line, its own directory without
// --app-dir, and only the -o file with it (written over whole).
TEST_F(Cli, WhereItReadsAndWrites) {
  const fs::path dir = dir_ / "\xE3\x83\x8F\xE3\x83\xA0";  // ハム
  fs::create_directories(dir);
  const fs::path dbs = dir / "HAMLOG.DBS", out = dir_ / "mine.txt";
  neb::writeDatabase(dbs, {{.call = "JA1AB"}});
  neb::writeFile(out, "previous contents, much longer than the new file\r\n");
  const std::string env = envFile("#01," + dir_.string() + "/\x83n\x83\x80/HAMLOG.DBS\r\n").string();
  program_ = (app_ / "neb01-extract").string();
  fs::copy_file(NEB01_EXTRACT, program_);
  const std::pair<std::vector<std::string>, fs::path> cases[] = {
      {{"-q", env}, workFile()},
      {{"-q", "--hamlog", dbs.string()}, workFile()},
      {{"--app-dir", (dir_ / "other").string(), "-o", out.string(), "--quiet", "--hamlog", dbs.string()}, out},
  };
  for (const auto& [args, written] : cases) {
    fs::remove(workFile());
    const Result r = run(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(splitLines(neb::readFile(written)).size(), 1u);
    EXPECT_EQ(r.out, "1 QSO written to " + written.string() + "\n");
  }
  EXPECT_FALSE(fs::exists(dir_ / "other"));
  expectNoTempFiles();
}

TEST_F(Cli, RandomBytesNeverCrashAndGiveOneLinePerQso) {
  constexpr std::uint32_t kCount = 9000;  // more chunks than slots: each slot is filled again
  for (std::uint64_t seed : {1u, 2u}) {
    const fs::path dbs = dir_ / "log" / "ODD.DBS";
    neb::writeNoiseLog(dbs, seed, kCount);
    const Result r = run({"--app-dir", app_.string(), "--hamlog", dbs.string()});
    ASSERT_EQ(r.code, 0) << r.err.substr(0, 2000);
    const auto lines = splitLines(neb::readFile(workFile()));
    ASSERT_EQ(lines.size(), kCount);
    for (std::uint32_t i = 0; i < kCount; ++i) {
      const auto f = fieldsOf(lines[i]);
      ASSERT_EQ(f.size(), 20u) << "line " << i + 1;
      EXPECT_EQ(f[0] + f[18], "NEBWD" + std::to_string(10000000000 + i + 1).substr(1));
    }
  }
}

// Ctrl+C once the run has begun: exit 130 with the reason, nothing replaced.
TEST_F(Cli, InterruptedRunKeepsTheOldWorkFile) {
  const fs::path dbs = dir_ / "log" / "BIG.DBS";
  DatabaseWriter big(dbs, companionPath(dbs));
  RandomLog log(5);
  for (int i = 0; i < 300000; ++i) big.add(log.next());  // a quarter of a second, even in a debug build
  big.finish();
  fs::create_directories(workFile().parent_path());
  neb::writeFile(workFile(), "old\r\n");
  std::thread interrupt([&] {
    while (!fs::exists(app_ / "nebwdw.tmp") || pid_ == 0) std::this_thread::yield();
    kill(pid_, SIGINT);
  });
  const Result r = run({"-q", "--app-dir", app_.string(), "--hamlog", dbs.string()});
  interrupt.join();
  EXPECT_EQ(r.code, 130);
  EXPECT_EQ(r.err, "neb01-extract: interrupted; the work file is unchanged\n");
  EXPECT_TRUE(neb::readFile(workFile()) == "old\r\n");  // not the whole new file on failure
  expectNoTempFiles();
}

TEST_F(Cli, ProgressBarOnlyOnATerminalAndNotWhenQuiet) {
  constexpr std::uint32_t kCount = 5000;
  const fs::path dbs = dir_ / "log" / "BIG.DBS";
  neb::writeRandomLog(dbs, 3, kCount);

  // Everything the program writes to its terminal.
  auto onTerminal = [&](std::vector<std::string> args, int code = 0) {
    args.insert(args.begin(), NEB01_EXTRACT);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    setLocale({"LANG=C"});
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
    // No escape codes: a console without virtual-terminal processing shows them.
    EXPECT_EQ(seen.find('\x1B'), std::string::npos) << seen;
    return seen;
  };
  // Whether the bar drawn last before `next` was blanked out in full first.
  auto wipedBefore = [](const std::string& seen, const std::string& next) {
    const auto at = seen.find("\r" + next);
    const auto wipe = at == std::string::npos ? at : seen.rfind('\r', at - 1);
    const auto bar = wipe == std::string::npos ? wipe : seen.rfind('\r', wipe - 1);
    if (bar == std::string::npos) return false;
    const std::string blanks = seen.substr(wipe + 1, at - wipe - 1), drawn = seen.substr(bar + 1, wipe - bar - 1);
    return drawn.starts_with('[') && blanks == std::string(drawn.size(), ' ');
  };
  const std::string withBar = onTerminal({"--app-dir", app_.string(), "--hamlog", dbs.string()});
  EXPECT_NE(withBar.find("\r[" + std::string(30, ' ') + "] 1 / 5000"), std::string::npos) << withBar;
  EXPECT_TRUE(wipedBefore(withBar, std::to_string(kCount) + " QSOs written")) << withBar;
  // A message wipes the bar first, and only once.
  const std::string messages = onTerminal({"--app-dir", app_.string(), "--hamlog", database(kQsos).string()});
  EXPECT_TRUE(wipedBefore(messages, "\xE4\xBA\xA4")) << messages;
  EXPECT_NE(messages.find("\r[###" + std::string(27, ' ') + "] 1 / 8"), std::string::npos) << messages;
  EXPECT_NE(messages.find("1677721.\r\n\xE4\xBA\xA4"), std::string::npos) << messages;
  // A run that fails at its end wipes the bar before the reason.
  fs::create_directories(dir_ / "taken");
  const std::string failed =
      onTerminal({"--app-dir", app_.string(), "--output", (dir_ / "taken").string(), "--hamlog", dbs.string()}, 1);
  EXPECT_TRUE(wipedBefore(failed, dir_.string())) << failed;
  // A log of one QSO: the bar full at once.
  EXPECT_NE(onTerminal({"--app-dir", app_.string(), "--hamlog", database({{.call = "A"}}).string()}).find("\r[" + std::string(30, '#') + "] 1 / 1\r"), std::string::npos);
  for (const char* quiet : {"-q", "--quiet"})
    EXPECT_EQ(onTerminal({quiet, "--app-dir", app_.string(), "--hamlog", dbs.string()}),
              std::to_string(kCount) + " QSOs written to " + workFile().string() + "\r\n");
}

}  // namespace
