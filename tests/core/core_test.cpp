// The portable core's contracts on every system it runs on, Windows (under
// Wine) included: the codec, the file layer and the decoder on a small log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <tuple>

#include "block_cache.hpp"
#include "extraction.hpp"
#include "hamlog_database.hpp"
#include "native_text.hpp"
#include "suite_layout.hpp"
#include "test_files.hpp"
#include "text_codec.hpp"

namespace neb {
namespace {

namespace fs = std::filesystem;

NativeString native(std::string_view utf8) { return utf8ToNative(utf8); }

// The system's codes of a hold, of access denied, of a missing file, of a full
// disk and of a file where a folder should be.
#ifdef _WIN32
constexpr SystemCode kHeld = 32, kDenied = 5, kMissing = 2, kFull = 112, kNotFolder = 267;
#else
constexpr SystemCode kHeld = EBUSY, kDenied = EACCES, kMissing = ENOENT, kFull = ENOSPC, kNotFolder = ENOTDIR;
#endif

TEST(TextCodec, StrictRefusesAndLossyReplacesExactlyTheBadCharacter) {
  const std::string sjis = "\x8C\xF0\x90\x4D \xB1\x5C\xCC\xA7\x87\x40";  // 交信 ｱ, a backslash, ﾌｧ①
  const std::string utf8 = "\xE4\xBA\xA4\xE4\xBF\xA1 \xEF\xBD\xB1\\\xEF\xBE\x8C\xEF\xBD\xA7\xE2\x91\xA0";
  ASSERT_EQ(sjisToNative(sjis), native(utf8));
  EXPECT_EQ(nativeToUtf8(native(utf8)), utf8);
  EXPECT_EQ(nativeToSjis(native(utf8)), sjis);
  // é would quietly become e and name another file: never a look-alike.
  for (const char* text : {"caf\xC3\xA9", "\xC2\xA5", "\xC4\x81", "a\xF0\x9F\x98\x80"})
    EXPECT_EQ(nativeToSjis(native(text)), std::nullopt) << text;
  EXPECT_EQ(sjisToNative("a\x81"), std::nullopt);
  std::vector<std::pair<std::string, std::string>> toSjis = {
      {"a\xF0\x9F\x98\x80" "b", "a?b"}, {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xE4\xBA\xA4", "??\x8C\xF0"}, {"C:\\caf\xC3\xA9", "C:\\caf?"}};
#ifndef _WIN32  // native text that is not even UTF-8
  toSjis.insert(toSjis.end(), {{"a\x80\x80" "b", "a?b"}, {"a\xFF" "b", "a?b"}, {"a\xE4\xBA", "a?"}});
#endif
  for (const auto& [in, out] : toSjis) EXPECT_EQ(nativeToSjisLossy(native(in)), out) << in;
  // One U+FFFD for each bad character: a lone lead byte, an unassigned pair.
  EXPECT_EQ(sjisToUtf8Lossy("a\x81 b\x8C\xF0\x81"), "a\xEF\xBF\xBD b\xE4\xBA\xA4\xEF\xBF\xBD");
  EXPECT_EQ(sjisToUtf8Lossy("A\x85\x40Z"), "A\xEF\xBF\xBDZ");
  EXPECT_EQ(pathToSjisLossy(Path(native("/\xE3\x83\x8F\xF0\x9F\x98\x80"))), "/\x83n?");
}

// A read longer than the window goes to the file, whole.
TEST(BlockCache, ReadsLongerThanTheWindow) {
  TempDir dir;
  writeFile(dir.path / "f", "0123456789");
  BlockCache cache(OsFileSystem().openRead(dir.path / "f"), 4, 2);
  for (const auto& [offset, bytes] : {std::pair{0, std::string("0123456789")}, {3, "3456789"}, {8, "8"}, {5, ""}}) {
    char out[16];
    EXPECT_EQ(std::string(out, cache.read(offset, out, bytes.size())), bytes) << offset;
  }
}

// At a drive root the directory already ends in its separator.
TEST(SuiteLayout, TemporaryFileAndMenuAtADriveRoot) {
  const NativeString root = nativeAscii("C:") + kSeparator;
  const SuiteLayout layout(root);
  EXPECT_EQ(layout.tempFile(), root + nativeAscii("nebwdw.tmp"));
  EXPECT_EQ(layout.menuCommandLine(nativeAscii(" C:") + kSeparator + nativeAscii("ENV.DAT")),
            root + nativeAscii("nebmenu.exe  C:") + kSeparator + nativeAscii("ENV.DAT"));
  // A create refused in the suite's folder points to the guide's 「書き込みが拒否されるとき」; elsewhere not.
  const auto guide = [&](const char* path) {
    const std::string told = layout.failureText(IoError(Path(native(path)), "\x8D\xEC\x90\xAC", kDenied));  // 作成
    return told.ends_with("\x81\x75\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x82\xAA\x8B\x91\x94\xDB\x82\xB3\x82\xEA\x82\xE9\x82\xC6\x82\xAB\x81\x76"
                          "\x82\xF0\x82\xB2\x97\x97\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42");  // …をご覧ください。
  };
  EXPECT_EQ(std::pair(guide("C:" NEB_PATH_SEPARATOR "nebwdw.tmp"), guide("D:" NEB_PATH_SEPARATOR "x")), std::pair(true, false));
}

TEST(HamlogOpen, NamesCountAndMissingFiles) {
  const std::pair<std::string, std::string> names[] = {
      {"D:\\HAM\\LOG.dbs", "D:\\HAM\\LOG."}, {"C:\\LOG\\HAMLOG.TXT", "C:\\LOG\\HAMLOG."},
      {"D:\\\x8C\xF0\x90\x4D.\x8C\xF0\x90\x4D" "a", "D:\\\x8C\xF0\x90\x4D."}, {"ab", ""}};
  for (const auto& [path, stem] : names) {
    EXPECT_EQ(HamlogDatabase::recordFileName(path), stem + "DBS") << path;
    EXPECT_EQ(HamlogDatabase::companionFileName(path), stem + "DBR") << path;
  }
  // One database object opens each pair in turn, failed opens included. Columns:
  // the files of the pair that are gone, the ending of the name opened, and the
  // ending of the file said to be missing ("": it opens, with the header's count).
  const struct { const char* name; std::vector<const char*> gone; const char* opened; const char* missing; } rows[] = {
      {"no companion file", {"DBR"}, "DBS", "DBR"},
      {"neither file: the record file is named", {"DBS", "DBR"}, "DBS", "DBS"},
      {"any ending names the pair", {}, "xyz", ""},
  };
  TempDir dir;
  const std::string base = (dir.path / "LOG.").string();
  OsFileSystem files;
  Sink sink;
  HamlogDatabase db(files, sink);
  for (const auto& row : rows) {
    writeDatabase(base + "DBS", {}, 0xABCDEF);
    std::fstream(base + "DBS", std::ios::in | std::ios::out | std::ios::binary).seekp(7).put('\x05');  // not the count
    for (const char* ending : row.gone) fs::remove(base + ending);
    sink.shown.clear();
    const bool opens = !*row.missing;
    EXPECT_EQ(db.Hamlog_Open(base + row.opened), opens) << row.name;
    EXPECT_EQ(opens ? db.recordCount : 0xABCDEF, 0xABCDEF) << row.name;  // the header's count, where it opens
    EXPECT_EQ(db.newDecoder(sink) != nullptr, opens) << row.name;
    EXPECT_EQ(sink.shown, std::vector<std::string>(opens ? 0 : 1, "HamlogOpen|" + base + row.missing +
                                                   "  \x82\xAA\x81\x40\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1")) << row.name;
    db.Hamlog_Close();
  }
  // Text pointers of 1, the first byte that can hold a block, and 0x01020001
  // (its upper bytes set, and not alike): the lengths past 16 MiB, the third
  // text cut by the end.
  writeDatabase(base + "DBS", {{.textPointer = 1}, {.textPointer = 0x1020001}});
  writeFile(base + "DBR", std::string("\x00\x01\x01\x01" "abc", 7) + std::string(0x1020001 - 7, 'x') + "\x02\x03\x09" "abcdef");
  ASSERT_TRUE(db.Hamlog_Open(base + "DBS"));
  QsoView v;
  const auto decoder = db.newDecoder(sink);
  for (const auto& [n, texts] : {std::pair{1, "a|b|c"}, {2, "ab|cde|f"}}) {
    ASSERT_TRUE(decoder->decode(n, v));
    EXPECT_EQ(std::string(v.dbrText1) + "|" + std::string(v.dbrText2) + "|" + std::string(v.dbrText3), texts);
  }
  EXPECT_FALSE(decoder->decode(3, v));  // past the last record
  EXPECT_TRUE(sink.shown.empty());
}

// A step that another program holds for a moment: each row gives the codes
// the step meets in turn, the last one repeating; what it ends with, how
// often it was tried and how long it waited.
TEST(HoldRetry, WaitsAboutTwoSecondsForAHoldAndNeverForAnythingElse) {
  struct Wait final : HoldWait {
    int stopAt = 0, pauses = 0;
    std::chrono::milliseconds waited{0};
    bool pause(std::chrono::milliseconds d) override { return waited += d, ++pauses != stopAt; }
  };
  // stopAt: the wait that Ctrl+C or Stop ends (0: none).
  const struct { std::vector<SystemCode> codes; SystemCode result; int attempts; long waited; int stopAt = 0; } rows[] = {
      {{kHeld, kHeld, 0}, 0, 3, 30},           // held twice, then free
      {{kDenied, 0}, 0, 2, 10},                 // a scanner's open, for a moment
      {{kHeld}, kHeld, 9, 2000},               // held throughout: the first error
      {{kDenied, kHeld}, kDenied, 9, 2000},
      {{kMissing}, kMissing, 1, 0},                // nothing to wait for
      {{kFull}, kFull, 1, 0},
      {{kHeld, kMissing}, kMissing, 2, 10},        // the hold ended, the file is gone
      {{kHeld}, kHeld, 3, 70, 3},              // Ctrl+C or Stop during the third wait
  };
  for (const auto& row : rows) {
    Wait wait;
    wait.stopAt = row.stopAt;
    int attempts = 0;
    const SystemCode result = retryWhileHeld([&] { return row.codes[std::min<std::size_t>(attempts++, row.codes.size() - 1)]; }, wait);
    EXPECT_EQ(std::tuple(result, attempts, wait.waited), std::tuple(row.result, row.attempts, std::chrono::milliseconds(row.waited)))
        << "row " << &row - rows;
  }
}

// Each row acts on a folder that holds the files a ("abc") and b ("old") and
// tells what it saw, then what a holds ("-": gone). An IoError ends the act
// with "!" and the system's code, or else its own reason, and " across
// volumes" where it says so.
TEST(OsFileSystem, ExistenceReadingAndReplacing) {
  const struct { const char* name; std::function<std::string(OsFileSystem&, const fs::path&)> act; std::string seen; } rows[] = {
      {"a written file exists; a folder, a missing name and no name do not", [](auto& f, auto& d) {
         return std::to_string(f.fileExists(d / "a")) + std::to_string(f.fileExists(d)) + std::to_string(f.fileExists(d / "c")) +
                std::to_string(f.fileExists({}));
       }, "1000|abc"},
      {"a read sees bytes appended after opening, and nothing at the end", [](auto& f, auto& d) {
         const auto r = f.openRead(d / "a");
         std::ofstream(d / "a", std::ios::app) << "def";
         char buf[8] = {};
         return std::string(buf, r->readAt(1, buf, 8)) + std::to_string(r->readAt(6, buf, 8));
       }, "bcdef0|abcdef"},
      {"replace to a new name", [](auto& f, auto& d) { f.replaceFile(d / "a", d / "c", {}); return f.readAll(d / "c"); }, "abc|-"},
      {"replace keeping attributes, to a new name",
       [](auto& f, auto& d) { f.replaceKeepingAttributes(d / "a", d / "c", {}); return f.readAll(d / "c"); }, "abc|-"},
      {"replace keeping attributes, over a file",
       [](auto& f, auto& d) { f.replaceKeepingAttributes(d / "a", d / "b", {}); return f.readAll(d / "b"); }, "abc|-"},
      // A locked file is another run's: a second lock fails and leaves it whole.
      {"a second lock",
       [](auto& f, auto& d) { const auto held = f.createLocked(d / "a"); held->write("x", 1); f.createLocked(d / "a"); return "taken"; },
       "!\x82\xD9\x82\xA9\x82\xCC\x92\x8A\x8F\x6F\x8F\x88\x97\x9D\x82\xAA\x8E\x67\x97\x70\x92\x86\x82\xC5\x82\xB7|x"},  // ほかの抽出処理が使用中です
      {"a lock left behind is taken and emptied",
       [](auto& f, auto& d) { f.createLocked(d / "a")->write("x", 1); f.createLocked(d / "a"); return ""; }, "|"},
      {"a file removed twice, then its folder synced",
       [](auto& f, auto& d) { f.removeFile(d / "a"); f.removeFile(d / "a"); f.syncDirectory(d); return ""; }, "|-"},
      {"folders with their parents",
       [](auto& f, auto& d) { f.createDirectories(d / "x" / "y"); return std::to_string(fs::is_directory(d / "x" / "y")); }, "1|abc"},
      {"a file where a folder should be", [](auto& f, auto& d) { f.createDirectories(d / "a" / "y"); return ""; },
       "!" + std::to_string(kNotFolder) + "|abc"},
      {"a missing file to read", [](auto& f, auto& d) { f.openRead(d / "c"); return ""; }, "!" + std::to_string(kMissing) + "|abc"},
  };
  OsFileSystem files;
  const fs::path fds = "/proc/self/fd";
  auto openFiles = [&] { return fs::exists(fds) ? std::distance(fs::directory_iterator(fds), {}) : 0; };
  const auto openBefore = openFiles();
  for (const auto& row : rows) {
    const TempDir dir;
    files.createTruncate(dir.path / "a")->write("abc", 3);
    writeFile(dir.path / "b", "old");
    std::string seen;
    try {
      seen = row.act(files, dir.path);
    } catch (const IoError& e) {
      seen = "!" + (e.systemCode() ? std::to_string(e.systemCode()) : e.reason()) + (e.crossesVolumes() ? " across volumes" : "");
    }
    EXPECT_EQ(seen + "|" + (fs::exists(dir.path / "a") ? readFile(dir.path / "a") : "-"), row.seen) << row.name;
  }
  EXPECT_EQ(openFiles(), openBefore);  // nothing leaks a descriptor
#ifndef _WIN32  // new files and folders as the user's umask makes them; reasons in the user's language
  const TempDir dir;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  files.createTruncate(dir.path / "f"), files.createDirectories(dir.path / "g");
  EXPECT_EQ(fs::status(dir.path / "f").permissions(), fs::perms(0666 & ~mask));
  EXPECT_EQ(fs::status(dir.path / "g").permissions(), fs::perms(0777 & ~mask));
  EXPECT_EQ(systemReason(ENOTDIR), "\x83\x66\x83\x42\x83\x8C\x83\x4E\x83\x67\x83\x8A\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1");  // ディレクトリではありません
#endif
}

}  // namespace
}  // namespace neb
