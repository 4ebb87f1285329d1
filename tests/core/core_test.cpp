// The portable core's contracts on every system it runs on, Windows (under
// Wine) included: the codec, the file layer and the decoder on a small log.
#include <gtest/gtest.h>

#include <cerrno>

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
  toSjis.insert(toSjis.end(), {{"a\x80\x80" "b", "a?b"}, {"a\xE4\xBA", "a?"}});
#endif
  for (const auto& [in, out] : toSjis) EXPECT_EQ(nativeToSjisLossy(native(in)), out) << in;
  // One U+FFFD for each bad character: a lone lead byte, an unassigned pair.
  EXPECT_EQ(sjisToUtf8Lossy("a\x81 b\x8C\xF0\x81"), "a\xEF\xBF\xBD b\xE4\xBA\xA4\xEF\xBF\xBD");
  EXPECT_EQ(sjisToUtf8Lossy("A\x85\x40Z"), "A\xEF\xBF\xBDZ");
  EXPECT_EQ(pathToSjisLossy(Path(native("/\xE3\x83\x8F\xF0\x9F\x98\x80"))), "/\x83n?");
}

// At a drive root the directory already ends in its separator.
TEST(SuiteLayout, TemporaryFileAndMenuAtADriveRoot) {
  const NativeString root = nativeAscii("C:") + kSeparator;
  const SuiteLayout layout(root);
  EXPECT_EQ(layout.tempFile(), root + nativeAscii("nebwdw.tmp"));
  EXPECT_EQ(layout.menuCommandLine(nativeAscii(" C:") + kSeparator + nativeAscii("ENV.DAT")),
            root + nativeAscii("nebmenu.exe  C:") + kSeparator + nativeAscii("ENV.DAT"));
}

TEST(HamlogOpen, NamesCountAndMissingFiles) {
  const std::pair<std::string, std::string> names[] = {
      {"D:\\HAM\\LOG.dbs", "D:\\HAM\\LOG."}, {"C:\\LOG\\HAMLOG.TXT", "C:\\LOG\\HAMLOG."},
      {"D:\\\x8C\xF0\x90\x4D.\x8C\xF0\x90\x4D" "a", "D:\\\x8C\xF0\x90\x4D."}, {"ab", ""}};
  for (const auto& [path, stem] : names) {
    EXPECT_EQ(HamlogDatabase::recordFileName(path), stem + "DBS") << path;
    EXPECT_EQ(HamlogDatabase::companionFileName(path), stem + "DBR") << path;
  }
  TempDir dir;
  const std::string base = (dir.path / "LOG.").string();
  writeDatabase(base + "DBS", {}, 0xABCDEF);
  std::fstream(base + "DBS", std::ios::in | std::ios::out | std::ios::binary).seekp(7).put('\x05');  // not the count
  OsFileSystem files;
  Sink sink;
  HamlogDatabase db(files, sink);
  ASSERT_TRUE(db.Hamlog_Open(base + "xyz"));
  EXPECT_EQ(db.recordCount, 0xABCDEF);
  EXPECT_TRUE(sink.shown.empty());
  db.Hamlog_Close();
  fs::remove(base + "DBR");
  EXPECT_FALSE(db.Hamlog_Open(base + "DBS"));
  fs::remove(base + "DBS");
  EXPECT_FALSE(db.Hamlog_Open(base + "DBS"));
  EXPECT_EQ(db.newDecoder(sink), nullptr);
  // Text pointers of 1, the first byte that can hold a block, and 0x01020001
  // (its upper bytes set, and not alike): the lengths past 16 MiB, the third
  // text cut by the end.
  gen::GenQso one, two;
  one.textPointer = 1;
  two.textPointer = 0x1020001;
  writeDatabase(base + "DBS", {one, two});
  writeFile(base + "DBR", std::string("\x00\x01\x01\x01" "abc", 7) + std::string(0x1020001 - 7, 'x') + "\x02\x03\x09" "abcdef");
  ASSERT_TRUE(db.Hamlog_Open(base + "DBS"));
  QsoView v;
  const auto decoder = db.newDecoder(sink);
  for (const auto& [n, texts] : {std::pair{1, "a|b|c"}, {2, "ab|cde|f"}}) {
    ASSERT_TRUE(decoder->decode(n, v));
    EXPECT_EQ(std::string(v.dbrText1) + "|" + std::string(v.dbrText2) + "|" + std::string(v.dbrText3), texts);
  }
  EXPECT_FALSE(decoder->decode(3, v));  // past the last record
  db.Hamlog_Close();
  const std::string notFound = "  \x82\xAA\x81\x40\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
  EXPECT_EQ(sink.shown, (std::vector<std::string>{"HamlogOpen|" + base + "DBR" + notFound,
                                                  "HamlogOpen|" + base + "DBS" + notFound}));
}

// A step that another program holds for a moment: each row gives the codes
// the step meets in turn, the last one repeating; what it ends with, how
// often it was tried and how long it waited.
// The system's codes of a hold, of access denied, of a missing file and of a full disk.
#ifdef _WIN32
constexpr SystemCode kHeld = 32, kDenied = 5, kMissing = 2, kFull = 112;
#else
constexpr SystemCode kHeld = EBUSY, kDenied = EACCES, kMissing = ENOENT, kFull = ENOSPC;
#endif

TEST(HoldRetry, WaitsAboutTwoSecondsForAHoldAndNeverForAnythingElse) {
  struct Wait final : HoldWait {
    int stopAt = 0, pauses = 0;
    std::chrono::milliseconds waited{0};
    bool pause(std::chrono::milliseconds d) override { return waited += d, ++pauses != stopAt; }
  };
  const struct {
    std::vector<SystemCode> codes;
    SystemCode result;
    int attempts;
    long waited;
    int stopAt = 0;
  } rows[] = {
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
    const SystemCode result = retryWhileHeld(
        [&] { return row.codes[std::min<std::size_t>(attempts++, row.codes.size() - 1)]; }, wait);
    const std::string at = "row " + std::to_string(&row - rows);
    EXPECT_EQ(result, row.result) << at;
    EXPECT_EQ(attempts, row.attempts) << at;
    EXPECT_EQ(wait.waited, std::chrono::milliseconds(row.waited)) << at;
  }
}

TEST(OsFileSystem, ExistenceReadingAndReplacing) {
  TempDir dir;
  OsFileSystem files;
  const fs::path fds = "/proc/self/fd";
  auto openFiles = [&] { return fs::exists(fds) ? std::distance(fs::directory_iterator(fds), {}) : 0; };
  const auto openBefore = openFiles();
  const fs::path file = dir.path / "a";
  EXPECT_FALSE(files.fileExists(file));
  EXPECT_FALSE(files.fileExists(dir.path));
  auto w = files.createTruncate(file);
  w->write("abc", 3);
  w->commit();
  EXPECT_TRUE(files.fileExists(file));
  auto r = files.openRead(file);
  std::ofstream(file, std::ios::app) << "def";
  char buf[8] = {};
  EXPECT_EQ(r->readAt(1, buf, 8), 5u);  // bytes appended after opening
  EXPECT_EQ(std::string(buf, 5), "bcdef");
  EXPECT_EQ(r->readAt(6, buf, 8), 0u);  // at the end
  files.replaceFile(file, dir.path / "b", {});
  EXPECT_EQ(files.readAll(dir.path / "b"), "abcdef");
  // A locked file is another run's: a second lock fails and leaves it whole;
  // one left behind is taken and emptied.
  auto locked = files.createLocked(dir.path / "b");
  locked->write("x", 1);
  try {
    files.createLocked(dir.path / "b");
    ADD_FAILURE() << "a second lock";
  } catch (const IoError& e) {
    EXPECT_EQ(e.reason(), "\x82\xD9\x82\xA9\x82\xCC\x92\x8A\x8F\x6F\x8F\x88\x97\x9D\x82\xAA\x8E\x67\x97\x70\x92\x86\x82\xC5\x82\xB7");  // ほかの抽出処理が使用中です
  }
  EXPECT_EQ(files.readAll(dir.path / "b"), "x");
  locked.reset();
  files.createLocked(dir.path / "b");
  EXPECT_EQ(files.readAll(dir.path / "b"), "");
  EXPECT_FALSE(files.fileExists(file));
  // Over an existing target and where there is none.
  for (const char* target : {"b", "c"}) {
    files.createTruncate(file)->write(target, 1);
    files.replaceKeepingAttributes(file, dir.path / target, {});
    EXPECT_EQ(files.readAll(dir.path / target), target);
    EXPECT_FALSE(files.fileExists(file));
  }
  files.syncDirectory(dir.path);
  files.removeFile(dir.path / "b");
  files.removeFile(dir.path / "b");
  files.createDirectories(dir.path / "x" / "y");
  EXPECT_TRUE(fs::is_directory(dir.path / "x" / "y"));
  try {  // a file where a folder should be, said in the user's language
    files.createDirectories(dir.path / "c" / "d");
    ADD_FAILURE() << "a folder in a file";
  } catch (const IoError& e) {
#ifndef _WIN32
    EXPECT_EQ(e.reason(), "\x83\x66\x83\x42\x83\x8C\x83\x4E\x83\x67\x83\x8A\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1");  // ディレクトリではありません
#endif
    EXPECT_NE(e.systemCode(), 0u);
  }
  EXPECT_THROW(files.openRead(dir.path / "none"), IoError);
  w.reset();
  r.reset();
  EXPECT_EQ(openFiles(), openBefore);  // nothing leaks a descriptor
}

}  // namespace
}  // namespace neb
