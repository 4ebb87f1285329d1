#include <gtest/gtest.h>

#include "fake_platform.hpp"
#include "texts.hpp"

namespace neb::app::test {
namespace {

using RunTest = AppTest;

std::vector<QsoBytes> manyQsos(int n) {
  std::vector<QsoBytes> qsos(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) qsos[static_cast<std::size_t>(i)].call = "JA" + std::to_string(i % 10) + "XYZ";
  return qsos;
}

// Field n (1-based) of the first line of a work file.
std::string field(const std::string& work, int n) {
  std::size_t pos = 1;
  for (int i = 1; i < n; ++i) pos = work.find("\",\"", pos) + 3;
  return work.substr(pos, work.find('"', pos) - pos);
}

TEST_F(RunTest, FullRunShowsProgressReplacesTheWorkFileAndHandsOff) {
  ready(manyQsos(120));
  writeFile(dir.workFile, "old\r\n");
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);

  EXPECT_EQ(ui.captions[Control::Label2], std::vector<std::string>{"120"});
  std::vector<std::string> progress;
  for (int n = 1; n <= 49; ++n) progress.push_back(std::to_string(n));
  progress.insert(progress.end(), {"50", "100", "120"});
  EXPECT_EQ(ui.captions[Control::Label3], progress);
  EXPECT_EQ(ui.caption(Control::Label1), text::copying);
  for (Control c : {Control::Command1, Control::Op, Control::Check1, Control::Check2, Control::Command2})
    EXPECT_FALSE(ui.isEnabled(c));
  EXPECT_EQ(ui.busy, (std::vector<bool>{true, false}));

  EXPECT_EQ(readFile(dir.workFile), reference(false, false));
  EXPECT_FALSE(std::filesystem::exists(dir.tempFile));
  EXPECT_EQ(ui.started, std::vector<NativeString>{menuCommand()});
  EXPECT_EQ(ui.helpDismissed, std::vector<NativeString>{dir.appDir.native() + nat("|neb01.hlp")});
  EXPECT_EQ(ui.ends, 1);
}

TEST_F(RunTest, EmptyDatabaseGivesAnEmptyWorkFile) {
  ready({});
  writeFile(dir.workFile, "old\r\n");
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);
  EXPECT_EQ(ui.captions[Control::Label3], std::vector<std::string>{"0"});
  EXPECT_EQ(readFile(dir.workFile), "");
  EXPECT_EQ(ui.started.size(), 1u);
}

TEST_F(RunTest, SlowPumpingStillShowsOnlyProgressValues) {
  ready(manyQsos(1000));
  ui.tickStep = 1;  // 50 QSOs pass between two pumps
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);
  EXPECT_LT(ui.pumps, 40);
  int last = 0;
  for (const std::string& s : ui.captions[Control::Label3]) {
    const int n = std::stoi(s);
    EXPECT_TRUE(n < 50 || n % 50 == 0) << n;
    EXPECT_GT(n, last);
    last = n;
  }
  EXPECT_EQ(last, 1000);
}

TEST_F(RunTest, FrequencyBoxShowsWithTheProgressOfItsQso) {
  // The clock stands still after the first pump: Label3 would lag behind.
  auto qsos = manyQsos(80);
  qsos[2].frequency = "9   ";
  qsos[69].frequency = "9   ";
  ready(qsos);
  ui.tickStep = 0;
  ui.boxes = {okBox(std::nullopt, "NEB01"), okBox(std::nullopt, "NEB01")};
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);
  ASSERT_EQ(ui.shown.size(), 2u);
  EXPECT_EQ(ui.shown[0].label3, "3");
  EXPECT_EQ(ui.shown[1].label3, "50");  // past 49 the label moves in steps of 50
}

TEST_F(RunTest, MissingHamlogFileShowsOnlyTheBox) {
  ready({QsoBytes{}});
  std::filesystem::remove(dbs());
  const auto enabledBefore = ui.enabled;
  ui.boxes = {okBox(std::string(text::hamlogUndefined), "NEB01")};
  form.Command1_Click();
  EXPECT_EQ(ui.enabled, enabledBefore);
  EXPECT_TRUE(ui.captions[Control::Label2].empty());
  EXPECT_FALSE(std::filesystem::exists(dir.tempFile));
}

TEST_F(RunTest, FailedOpenReturnsToIdleAndAllowsAnotherStart) {
  ready({QsoBytes{}});
  writeFile(dir.workFile, "old\r\n");
  auto dbr = dbs();
  dbr.replace_extension(".DBR");
  std::filesystem::remove(dbr);
  const auto enabledBefore = ui.enabled;
  ui.boxes = {okBox(std::nullopt, "HamlogOpen")};
  form.Command1_Click();
  EXPECT_EQ(ui.enabled, enabledBefore);
  EXPECT_TRUE(ui.busy.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.tempFile));
  EXPECT_EQ(readFile(dir.workFile), "old\r\n");
  EXPECT_TRUE(ui.started.empty());

  writeFile(dbr, "");
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);
  EXPECT_EQ(readFile(dir.workFile), reference(false, false));
}

TEST_F(RunTest, ShortRecordFileIsReportedAndTheReadQsosAreKept) {
  writeDatabase(dbs(), manyQsos(3), 5);
  writeFile(dir.envFile, "#01," + sjisPath(dbs()) + "\r\n");
  form.Form_Load();
  ui.boxes = {okBox(std::nullopt, "NEB01")};
  EXPECT_THROW(form.Command1_Click(), ProcessEnded);
  const std::string work = readFile(dir.workFile);
  EXPECT_EQ(std::count(work.begin(), work.end(), '\n'), 3);
  EXPECT_EQ(ui.started.size(), 1u);
}

TEST_F(RunTest, CheckBoxesChooseTheConversions) {
  const struct {
    bool check1, check2;
    const char* suffix;
    const char* mode;
  } cases[] = {
      {false, false, "JA1", "LSB"},
      {true, false, "1", "LSB"},
      {false, true, "JA1", "SSB"},
      {true, true, "1", "SSB"},
  };
  for (const auto& c : cases) {
    Scratch d;
    FakePlatform p(fs, d.appDir.native(), d.argument());
    Form1 f(p);
    writeFile(d.appDir / "Mode.txt", "ssb, lsb\r\nAM,LSB\r\nFM,F3E\r\n");
    const auto db = d.root / "LOG.DBS";
    writeDatabase(db, {{"JA1ABC", "JA1", "7   ", "LSB"}, {"7K1XYZ", "7K3", "430 ", "F3E"}, {"JA2Q", "Q", "14  ", ""}});
    writeFile(d.envFile, "#01," + sjisPath(db) + "\r\n$7K\r\n$JA\r\n");
    f.Form_Load();
    p.checked = {{Control::Check1, c.check1}, {Control::Check2, c.check2}};
    EXPECT_THROW(f.Command1_Click(), ProcessEnded);
    const std::string work = readFile(d.workFile);
    EXPECT_EQ(field(work, 3), c.suffix);
    EXPECT_EQ(field(work, 7), c.mode);
    EXPECT_EQ(work, test::reference(d, c.check1, c.check2));
  }
}

}  // namespace
}  // namespace neb::app::test
