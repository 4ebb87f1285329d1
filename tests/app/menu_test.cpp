// Stop, close, failures of the run, the two Option items and the hand-off.
#include <gtest/gtest.h>

#include "fake_platform.hpp"
#include "native_text.hpp"
#include "texts.hpp"

namespace neb::app::test {
namespace {

using ShutdownTest = AppTest;
using MenuXTest = AppTest;
using HamlogSetTest = AppTest;

const std::string kMarker(text::setupMarker);

TEST_F(ShutdownTest, StopOrCloseDuringTheRunKeepsTheOldWorkFile) {
  // Stop in the QSO loop, and the close box at the pump before the copy.
  for (bool duringCopy : {false, true}) {
    Scratch d;
    FakePlatform p(fs, d.appDir.native(), d.argument());
    Form1 f(p);
    const auto db = d.root / "LOG.DBS";
    writeDatabase(db, std::vector<QsoBytes>(100));
    writeFile(d.envFile, "#01," + sjisPath(db) + "\r\n");
    writeFile(d.workFile, "old\r\n");
    f.Form_Load();
    p.onPump = [&](int pump) {
      if (!duringCopy && pump == 10) f.Command2_Click();
      if (duringCopy && p.caption(Control::Label1) == text::copying) f.Form_Unload();
    };
    EXPECT_THROW(f.Command1_Click(), ProcessEnded);
    EXPECT_EQ(readFile(d.workFile), "old\r\n");
    EXPECT_FALSE(std::filesystem::exists(d.tempFile));
    EXPECT_EQ(p.started.size(), 1u);
    EXPECT_EQ(p.ends, 1);
  }
}

TEST_F(ShutdownTest, StopBeforeARunHandsOff) {
  ready({QsoBytes{}});
  EXPECT_THROW(form.Command2_Click(), ProcessEnded);
  EXPECT_EQ(ui.started, std::vector<NativeString>{menuCommand()});
}

TEST_F(ShutdownTest, FileFailureDuringTheRunEndsWithoutTouchingTheWorkFile) {
  const struct {
    FaultFs::Step step;
    const char* file;
  } cases[] = {
      {FaultFs::Step::Create, "nebwdw.tmp"},
      {FaultFs::Step::Write, "nebwdw.tmp"},
      {FaultFs::Step::Commit, "nebwdw.tmp"},
      {FaultFs::Step::Replace, "Work.Txt"},
  };
  for (const auto& c : cases) {
    Scratch d;
    FaultFs faults;
    FakePlatform p(faults, d.appDir.native(), d.argument());
    Form1 f(p);
    const auto db = d.root / "LOG.DBS";
    writeDatabase(db, std::vector<QsoBytes>(20));
    writeFile(d.envFile, "#01," + sjisPath(db) + "\r\n");
    writeFile(d.workFile, "old\r\n");
    f.Form_Load();
    faults.step = c.step;
    faults.fileName = c.file;
    p.boxes = {okBox(std::nullopt, "NEB01")};
    EXPECT_THROW(f.Command1_Click(), ProcessEnded);
    ASSERT_FALSE(p.shown.empty());
    EXPECT_NE(p.shown.back().text.find(c.file), std::string::npos) << p.shown.back().text;
    EXPECT_EQ(readFile(d.workFile), "old\r\n");
    EXPECT_FALSE(std::filesystem::exists(d.tempFile)) << c.file;
    EXPECT_TRUE(p.started.empty());
    EXPECT_EQ(p.ends, 1);
  }
}

TEST_F(ShutdownTest, MenuThatCannotStartIsReported) {
  ready({});
  ui.failStart = true;
  ui.boxes = {okBox(std::nullopt, "NEB01")};
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);
  EXPECT_EQ(ui.ends, 1);
}

TEST(HandoffCommandLine, SeparatorOnlyWhenMissing) {
  const struct {
    const char* dir;
    const char* argument;
    const char* want;
  } cases[] = {
      {"D:|SUITE", "XD:|SUITE|ENV.DAT", "D:|SUITE|nebmenu.exe XD:|SUITE|ENV.DAT"},
      {"D:|", " D:|ENV.DAT", "D:|nebmenu.exe  D:|ENV.DAT"},
      {"D:|SUITE", "", "D:|SUITE|nebmenu.exe "},
  };
  for (const auto& c : cases) EXPECT_EQ(handoffCommandLine(nat(c.dir), nat(c.argument)), nat(c.want));
}

TEST_F(MenuXTest, DropsEveryWholeMarkerLine) {
  const struct {
    std::string before, after;
  } cases[] = {
      {"#01,X\r\n  " + kMarker + "  \r\n\r\n" + kMarker + "abc", "#01,X\r\n\r\n" + kMarker + "abc\r\n"},
      {kMarker + "\r\n$JA\r\n" + kMarker + "\r\n", "$JA\r\n"},
      {"a\rb\nc", "a\r\nb\nc\r\n"},
      {"", ""},
  };
  for (const auto& c : cases) {
    Scratch d;
    FakePlatform p(fs, d.appDir.native(), d.argument());
    Form1 f(p);
    writeFile(d.envFile, c.before);
    p.boxes = {okBox(std::nullopt, "NEB01"), question(Answer::No)};
    f.Form_Load();
    writeFile(d.root / "ENV.tmp", "left over from an earlier rewrite");
    f.MENU_X_Click();
    EXPECT_EQ(readFile(d.envFile), c.after);
    EXPECT_TRUE(p.isEnabled(Control::Command1));  // even after the No at start-up
    EXPECT_TRUE(p.isEnabled(Control::Command2));
    EXPECT_FALSE(std::filesystem::exists(d.root / "ENV.tmp"));
    EXPECT_TRUE(p.started.empty());
  }
}

TEST_F(MenuXTest, FailedRewriteIsReportedAndEndsWithoutTheMenu) {
  const std::string before = "$JA\r\n" + kMarker + "\r\n";
  declined(before);
  fs.step = FaultFs::Step::Replace;
  ui.boxes = {okBox(std::nullopt, "NEB01")};
  EXPECT_THROW(form.MENU_X_Click(), ProcessEnded);
  EXPECT_NE(ui.shown.back().text.find("ENV.DAT"), std::string::npos);
  EXPECT_EQ(readFile(dir.envFile), before);
  EXPECT_FALSE(std::filesystem::exists(dir.root / "ENV.tmp"));
  EXPECT_TRUE(ui.started.empty());
}

TEST(MenuX, EnvironmentFileNamedTmpSurvives) {
  Scratch d;
  OsFileSystem fs;
  const auto env = d.root / "ENV.TMP";
  writeFile(env, kMarker + "\r\n$JA\r\n");
  FakePlatform p(fs, d.appDir.native(), NEB_NATIVE(" ") + env.native());
  Form1 f(p);
  p.boxes = {okBox("", "NEB01"), question(Answer::No)};
  f.Form_Load();
  f.MENU_X_Click();
  EXPECT_EQ(readFile(env), "$JA\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(d.root), {}), 2);  // app and ENV.TMP
}

OpenFileResult pick(std::string fullPath, std::string title) {
  return OpenFileResult{false, sep(fullPath), std::move(title), true, {}};
}

TEST_F(HamlogSetTest, RewritesEveryHamlogLineAndRereads) {
  const struct {
    std::string before;
    std::vector<OpenFileResult> picks;
    std::string after;
    std::string label1;
  } cases[] = {
      {"#01,C:|OLD|HAMLOG.DBS\r\n$JA\r\n" + kMarker + "\r\n",
       {pick("D:|LOG|HAMLOG.DBS", "HAMLOG.DBS")},
       "#01,D:|LOG|HAMLOG.DBS\r\n$JA\r\n" + kMarker + "\r\n",
       "D:|LOG|HAMLOG.DBS"},
      {"#01,X\r\n", {pick("C:|HAMLOG.DBS", "HAMLOG.DBS")}, "#01,C:|HAMLOG.DBS\r\n", "C:|HAMLOG.DBS"},
      {"#01,X\r\n", {pick("D:|LOG|hamlog.dbs", "hamlog.dbs")}, "#01,D:|LOG|hamlog.dbs\r\n", "D:|LOG|hamlog.dbs"},
      {"#01,X\r\n",
       {pick("D:|LOG.TXT", "LOG.TXT"), pick("D:|A.DBS", "A.DBS")},
       "#01,D:|A.DBS\r\n",
       "D:|A.DBS"},
      {"#01,A\r\n$JA\r\n#01,C:|A.DBS,X", {pick("E:|B.DBS", "B.DBS")}, "#01,E:|B.DBS\r\n$JA\r\n#01,E:|B.DBS\r\n",
       "E:|B.DBS"},
      // A double-byte character whose second byte is 0x5C stays whole.
      {"#01,X\r\n", {pick("D:|\x95\x5c|L.DBS", "L.DBS")}, "#01,D:|\x95\x5c|L.DBS\r\n", "D:|\x95\x5c|L.DBS"},
      {"#01,X\r\n", {pick("D:|A,B|L.DBS", "L.DBS")}, "#01,D:|A,B|L.DBS\r\n", "D:|A"},
      {"#01\r\nC:|H.DBS\r\n", {pick("D:|A.DBS", "A.DBS")}, "#01\r\nC:|H.DBS\r\n", "C:|H.DBS"},
      {"$JA", {pick("D:|A.DBS", "A.DBS")}, "$JA\r\n", ""},
      {"$JA", {OpenFileResult{}}, "$JA", ""},
  };
  for (const auto& c : cases) {
    Scratch d;
    FakePlatform p(fs, d.appDir.native(), d.argument());
    Form1 f(p);
    writeFile(d.envFile, sep(c.before));
    p.boxes = {okBox(std::nullopt, "NEB01"), question(Answer::No)};
    f.Form_Load();
    p.dialogs.assign(c.picks.begin(), c.picks.end());
    f.hamlog_set_Click();
    EXPECT_EQ(readFile(d.envFile), sep(c.after));
    EXPECT_EQ(p.caption(Control::Label1), sep(c.label1));
    EXPECT_EQ(p.dialogRequests.size(), c.picks.size());
    EXPECT_FALSE(p.isEnabled(Control::Command1));
    EXPECT_FALSE(std::filesystem::exists(d.root / "ENV.tmp"));
  }
}

#ifdef _WIN32
// Windows drops trailing blanks of a file name: reading and rewriting, one
// with and one without them, reach the same file.
TEST(HamlogSet, TrailingBlanksOfTheArgument) {
  Scratch d;
  OsFileSystem fs;
  writeFile(d.envFile, "#01,X\r\n");
  FakePlatform p(fs, d.appDir.native(), d.argument() + L"  ");
  Form1 f(p);
  p.boxes = {okBox("X", "NEB01"), question(Answer::No)};
  f.Form_Load();
  p.dialogs = {pick("D:|A.DBS", "A.DBS")};
  f.hamlog_set_Click();
  EXPECT_EQ(readFile(d.envFile), "#01,D:\\A.DBS\r\n");
  EXPECT_EQ(p.caption(Control::Label1), "D:\\A.DBS");
}
#endif

TEST_F(HamlogSetTest, NameShiftJisCannotHoldIsRefused) {
  declined("#01,X\r\n");
  OpenFileResult odd{false, "", "", false, dir.root.native() + nat("|LOG.DBS")};
  ui.dialogs = {odd, OpenFileResult{}};
  ui.boxes = {okBox(std::nullopt, "NEB01")};
  form.hamlog_set_Click();
  EXPECT_NE(ui.shown.back().text.find(text::unrepresentableName), std::string::npos);
  EXPECT_EQ(readFile(dir.envFile), "#01,X\r\n");
}

TEST_F(HamlogSetTest, FailedRewriteLeavesTheFileAndSaysNothing) {
  for (FaultFs::Step step : {FaultFs::Step::Write, FaultFs::Step::Replace}) {
    declined("#01,X\r\n$JA");
    writeFile(dir.root / "ENV.tmp", "leftover");
    fs.step = step;
    ui.dialogs = {pick("D:|A.DBS", "A.DBS")};
    const std::size_t boxesBefore = ui.shown.size();
    form.hamlog_set_Click();
    fs.step = FaultFs::Step::None;
    EXPECT_EQ(ui.shown.size(), boxesBefore);
    EXPECT_EQ(readFile(dir.envFile), "#01,X\r\n$JA");
    EXPECT_EQ(ui.caption(Control::Label1), "X");
    EXPECT_FALSE(std::filesystem::exists(dir.root / "ENV.tmp"));
  }
}

TEST_F(HamlogSetTest, ReadOnlyEnvironmentFileStaysAsItWas) {
  declined("#01,X\r\n");
  std::filesystem::permissions(dir.envFile, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  ui.dialogs = {pick("D:|A.DBS", "A.DBS")};
  form.hamlog_set_Click();
  EXPECT_EQ(readFile(dir.envFile), "#01,X\r\n");
  std::filesystem::permissions(dir.envFile, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

}  // namespace
}  // namespace neb::app::test
