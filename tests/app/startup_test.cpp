#include <gtest/gtest.h>

#include "fake_platform.hpp"
#include "texts.hpp"

namespace neb::app::test {
namespace {

using StartupTest = AppTest;

TEST(StartupArgument, TooShortEndsInTheMenuWithTheSuiteCaption) {
  const NativeString arguments[] = {
      NEB_NATIVE(""), NEB_NATIVE("X"),
#ifndef _WIN32
      "\xc3\xa9",  // one character of two bytes
#endif
  };
  for (const NativeString& argument : arguments) {
    Scratch dir;
    OsFileSystem fs;
    FakePlatform ui(fs, dir.appDir.native(), argument);
    Form1 form(ui);
    ui.boxes = {okBox(std::string(text::noArgument), "NEBWD")};
    EXPECT_THROW(form.Form_Load(), ProcessEnded);
    // The help file is not known yet; the menu gets the text unchanged.
    EXPECT_EQ(ui.helpDismissed, std::vector<NativeString>{NativeString()});
    EXPECT_EQ(ui.started, std::vector<NativeString>{dir.appDir.native() + nat("|nebmenu.exe ") + argument});
  }
}

TEST_F(StartupTest, EnvironmentPathStartsAtTheSecondCharacter) {
  // Without the leading blank the first character of the path is lost.
  writeFile(dir.envFile, "#01,X\r\n");
  const NativeString argument = dir.envFile.native();
  FakePlatform noBlank(fs, dir.appDir.native(), argument);
  Form1 other(noBlank);
  noBlank.boxes = {okBox(std::string(text::noEnvFile), "NEBWD")};
  EXPECT_THROW(other.Form_Load(), ProcessEnded);
  EXPECT_EQ(noBlank.helpDismissed, std::vector<NativeString>{dir.appDir.native() + nat("|neb01.hlp")});
  EXPECT_EQ(noBlank.started, std::vector<NativeString>{dir.appDir.native() + nat("|nebmenu.exe ") + argument});
}

#ifndef _WIN32
TEST(StartupArgument, JapaneseNamesReachTheFiles) {
  Scratch dir;
  OsFileSystem fs;
  const auto folder = dir.root / "\xe3\x83\xad\xe3\x82\xb0";  // ログ
  std::filesystem::create_directories(folder);
  const auto env = dir.root / "\xe7\x92\xb0\xe5\xa2\x83.DAT";  // 環境.DAT
  writeDatabase(folder / "LOG.DBS", {QsoBytes{}});
  writeFile(env, "#01," + sjisPath(folder / "LOG.DBS") + "\r\n");
  FakePlatform ui(fs, dir.appDir.native(), "\xe2\x98\x85" + env.native());  // ★ is skipped whole
  Form1 form(ui);
  form.Form_Load();
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(ui.caption(Control::Label1), sjisPath(folder / "LOG.DBS"));
}
#endif

TEST_F(StartupTest, MissingHamlogFileAndNoDisablesStartOnly) {
  writeFile(dir.envFile, sep("#01,C:|NONE|HAMLOG.DBS\r\n"));
  ui.boxes = {okBox(sep("C:|NONE|HAMLOG.DBS"), "NEB01"), question(Answer::No)};
  form.Form_Load();
  EXPECT_FALSE(ui.isEnabled(Control::Command1));
  // The mode table is not looked at: Check2 stays enabled without Mode.txt.
  EXPECT_TRUE(ui.isEnabled(Control::Check2));
  EXPECT_EQ(ui.caption(Control::Label1), sep("C:|NONE|HAMLOG.DBS"));
  EXPECT_TRUE(ui.started.empty());
}

TEST_F(StartupTest, EnvironmentItemsGiveTheHamlogPath) {
  const struct {
    const char* env;
    const char* path;
  } cases[] = {
      {"#01,A.DBS\r\n#01,B.DBS\r\n", "B.DBS"},
      {"#01\r\nC:|H|H.DBS\r\n", "C:|H|H.DBS"},
      {"#01,\"D:|A,B.DBS\"\r\n", "D:|A,B.DBS"},
      {"#01,D:|A,B.DBS\r\n", "D:|A"},
      {"$JA\r\n$JD1\r\n", ""},
  };
  for (const auto& c : cases) {
    Scratch d;
    writeFile(d.envFile, sep(c.env));
    FakePlatform p(fs, d.appDir.native(), d.argument());
    Form1 f(p);
    p.boxes = {okBox(sep(c.path), "NEB01"), question(Answer::No)};
    f.Form_Load();
  }
}

TEST_F(StartupTest, YesDefinesTheFileAndTheLoopEnds) {
  writeDatabase(dbs(), {QsoBytes{}});
  writeFile(dir.envFile, sep("$JA\r\n#01,C:|OLD.DBS\r\n"));
  ui.boxes = {okBox(sep("C:|OLD.DBS"), "NEB01"), question(Answer::Yes)};
  ui.dialogs = {OpenFileResult{false, sjisPath(dbs()), "LOG.DBS", true, {}}};
  form.Form_Load();
  EXPECT_EQ(readFile(dir.envFile), "$JA\r\n#01," + sjisPath(dbs()) + "\r\n");
  EXPECT_EQ(ui.caption(Control::Label1), sjisPath(dbs()));
  EXPECT_TRUE(ui.isEnabled(Control::Command1));
  EXPECT_FALSE(ui.isEnabled(Control::Check2));  // found now, and there is no Mode.txt
}

TEST_F(StartupTest, CancelAsksAgainUntilNo) {
  writeFile(dir.envFile, "");
  OpenFileResult cancel;
  ui.boxes = {okBox("", "NEB01"), question(Answer::Yes), okBox("", "NEB01"), question(Answer::No)};
  ui.dialogs = {cancel};
  form.Form_Load();
  EXPECT_EQ(readFile(dir.envFile), "");
  EXPECT_FALSE(ui.isEnabled(Control::Command1));
}

TEST_F(StartupTest, ModeTableFileDecidesCheck2) {
  writeFile(dir.appDir / "Mode.txt", "SSB,LSB\r\n");
  ready({QsoBytes{}});
  EXPECT_TRUE(ui.isEnabled(Control::Check2));
  EXPECT_EQ(ui.caption(Control::Label1), sjisPath(dbs()));
}

}  // namespace
}  // namespace neb::app::test
