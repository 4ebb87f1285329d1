// The window's file steps under faults, through Form1 and a small scripted
// platform, on real files: every failing step of the environment file
// rewrites, a read-only or full volume (a tmpfs mounted for the test), and a
// data directory the work file cannot be put into.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dbs_builder.hpp"
#include "extraction.hpp"
#include "faulty_file_system.hpp"
#include "form1.hpp"
#include "platform.hpp"

namespace neb::testing {
namespace {

namespace fsys = std::filesystem;
using app::Answer;
using app::Buttons;
using app::Control;
using app::Icon;

int gInjected = 0;

struct Ended {};

class MiniPlatform final : public app::Platform {
public:
  MiniPlatform(FileSystem& fs, const fsys::path& appDir, const fsys::path& envFile)
      : fs_(fs), appDir_(appDir.native()), argument_(" " + envFile.native()) {}

  std::vector<std::string> boxes;
  std::deque<app::OpenFileResult> dialogs;
  std::map<Control, std::string> captions;
  int started = 0;

  Answer messageBox(std::string_view text, std::string_view, Buttons buttons, Icon) override {
    boxes.emplace_back(text);
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  }
  app::OpenFileResult openFileDialog(const app::OpenFileRequest&) override {
    if (dialogs.empty()) return {};
    app::OpenFileResult r = dialogs.front();
    dialogs.pop_front();
    return r;
  }
  void setCaption(Control c, std::string_view text) override { captions[c] = std::string(text); }
  void setEnabled(Control, bool) override {}
  bool isChecked(Control) override { return false; }
  void setBusyCursor(bool) override {}
  void processMessages() override {}
  std::uint64_t tickMs() override { return clock_ += 50; }
  void startProcess(const NativeString&) override { ++started; }
  [[noreturn]] void endProcess() override { throw Ended{}; }
  void dismissHelp(const NativeString&) override {}
  NativeString applicationDirectory() override { return appDir_; }
  NativeString argumentText() override { return argument_; }
  FileSystem& fileSystem() override { return fs_; }

private:
  FileSystem& fs_;
  NativeString appDir_;
  NativeString argument_;
  std::uint64_t clock_ = 0;
};

std::string readFile(const fsys::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fsys::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A tmpfs of its own for one test; the test is skipped where mounting is not
// allowed.
class Mount {
public:
  Mount(const fsys::path& dir, const char* size) : dir_(dir) {
    fsys::create_directories(dir);
    const std::string cmd = "mount -t tmpfs -o size=" + std::string(size) + " neb-faults '" +
                            dir.string() + "' 2>/dev/null";
    mounted_ = std::system(cmd.c_str()) == 0;
  }
  ~Mount() {
    if (mounted_) (void)std::system(("umount -l '" + dir_.string() + "' 2>/dev/null").c_str());
  }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  bool ok() const { return mounted_; }
  bool makeReadOnly() {
    return std::system(("mount -o remount,ro '" + dir_.string() + "' 2>/dev/null").c_str()) == 0;
  }

private:
  fsys::path dir_;
  bool mounted_ = false;
};

const std::string kMarker = "###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###";

class ShellFaults : public ::testing::Test {
protected:
  void SetUp() override {
    root = fsys::temp_directory_path() /
           ("neb-shell-faults-" + std::to_string(::getpid()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fsys::remove_all(root);
    appDir = root / "app";
    fsys::create_directories(appDir / "data");
    fsys::create_directories(root / "log");
    DbsBuilder db;
    db.addMany(3000);
    writeFile(root / "log" / "LOG.DBS", db.dbs());
    writeFile(root / "log" / "LOG.DBR", db.dbr());
    work = appDir / "data" / "Work.Txt";
    writeFile(work, oldWork);
  }
  void TearDown() override {
    std::error_code ec;
    fsys::remove_all(root, ec);
  }

  // The environment file in dir, naming the database, with marker lines.
  fsys::path writeEnv(const fsys::path& dir) {
    env = dir / "ENV.DAT";
    oldEnv = "#01," + (root / "log" / "LOG.DBS").string() + "\r\n" + kMarker + "\r\n$JA\r\n  " +
             kMarker + " \r\n$JH";
    writeFile(env, oldEnv);
    return env;
  }

  fsys::path root, appDir, work, env;
  std::string oldEnv;
  const std::string oldWork = "\"NEBWD\",\"OLD\"\r\n";
  OsFileSystem os;
};

// Every step of the MENU_X rewrite fails in turn: the environment file stays
// whole, the failure is shown and the program ends.
TEST_F(ShellFaults, MenuXFailingStepKeepsEnvironmentFile) {
  writeEnv(root);
  struct Step {
    Op op;
    std::string file;
  };
  const std::vector<Step> steps = {{Op::Open, "ENV.DAT"},   {Op::Read, "ENV.DAT"},
                                   {Op::Create, "ENV.tmp"}, {Op::Write, "ENV.tmp"},
                                   {Op::Commit, "ENV.tmp"}, {Op::Replace, "ENV.DAT"}};
  for (const Step& step : steps) {
    for (int n = 1;; ++n) {
      writeFile(env, oldEnv);
      FaultyFileSystem fs(os);
      MiniPlatform ui(fs, appDir, env);
      app::Form1 form(ui);
      form.Form_Load();
      ASSERT_TRUE(ui.boxes.empty());
      fs.fail(step.op, n, step.file).partialBytes = 7;
      bool ended = false;
      try {
        form.MENU_X_Click();
      } catch (const Ended&) {
        ended = true;
      }
      if (fs.injected() == 0) {
        EXPECT_GT(n, 1) << opName(step.op) << " " << step.file << " never happens";
        break;
      }
      gInjected += fs.injected();
      const std::string what = std::string(opName(step.op)) + " " + step.file + " #" + std::to_string(n);
      EXPECT_EQ(readFile(env), oldEnv) << what;
      EXPECT_TRUE(ended) << what << ": a failed rewrite must end the program";
      ASSERT_EQ(ui.boxes.size(), 1u) << what;
      EXPECT_NE(ui.boxes[0].find("ENV."), std::string::npos) << what << ": " << ui.boxes[0];
      EXPECT_FALSE(fsys::exists(root / "ENV.tmp")) << what;
    }
  }
}

// The same for the HAMLOG file definition, which goes on silently.
TEST_F(ShellFaults, HamlogSetFailingStepKeepsEnvironmentFile) {
  writeEnv(root);
  const fsys::path other = root / "log" / "NEW.DBS";
  writeFile(other, "");
  for (Op op : {Op::Open, Op::Read, Op::Create, Op::Write, Op::Commit, Op::Replace}) {
    writeFile(env, oldEnv);
    FaultyFileSystem fs(os);
    MiniPlatform ui(fs, appDir, env);
    app::Form1 form(ui);
    form.Form_Load();
    ASSERT_TRUE(ui.boxes.empty());
    fs.fail(op, 1);
    app::OpenFileResult pick;
    pick.cancelled = false;
    pick.fullPath = other.string();
    pick.fileTitle = "NEW.DBS";
    ui.dialogs.push_back(pick);
    bool ended = false;
    try {
      form.hamlog_set_Click();
    } catch (const Ended&) {
      ended = true;
    }
    gInjected += fs.injected();
    EXPECT_EQ(fs.injected(), 1) << opName(op);
    EXPECT_FALSE(ended) << opName(op);
    EXPECT_EQ(readFile(env), oldEnv) << opName(op);
    EXPECT_TRUE(ui.boxes.empty()) << opName(op);
    EXPECT_EQ(ui.captions[Control::Label1], (root / "log" / "LOG.DBS").string()) << opName(op);
    EXPECT_FALSE(fsys::exists(root / "ENV.tmp")) << opName(op);
  }
}

// A real read-only volume, which even root cannot write.
TEST_F(ShellFaults, EnvironmentFileOnReadOnlyVolume) {
  Mount mount(root / "ro", "64k");
  if (!mount.ok()) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  writeEnv(root / "ro");
  ASSERT_TRUE(mount.makeReadOnly());
  {
    MiniPlatform ui(os, appDir, env);
    app::Form1 form(ui);
    form.Form_Load();
    app::OpenFileResult pick;
    pick.cancelled = false;
    pick.fullPath = (root / "log" / "LOG.DBS").string();
    pick.fileTitle = "LOG.DBS";
    ui.dialogs.push_back(pick);
    form.hamlog_set_Click();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(readFile(env), oldEnv);
    EXPECT_THROW(form.MENU_X_Click(), Ended);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(readFile(env), oldEnv);
    gInjected += 2;
  }
}

// A run whose temporary work file does not fit, or whose work file cannot be
// put in place: the old work file stays, the temporary file goes, the failure
// is shown, and the menu is not started.
TEST_F(ShellFaults, RunOnFullOrReadOnlyVolume) {
  struct Case {
    const char* name;
    fsys::path mountAt;
    bool readOnly;
  };
  const std::vector<Case> cases = {{"application directory full", appDir, false},
                                   {"data directory read-only", appDir / "data", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeEnv(root);
    fsys::remove_all(c.mountAt);
    Mount mount(c.mountAt, "64k");
    if (!mount.ok()) {
      GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    fsys::create_directories(appDir / "data");
    writeFile(work, oldWork);
    if (c.readOnly) {
      ASSERT_TRUE(mount.makeReadOnly());
    }
    MiniPlatform ui(os, appDir, env);
    app::Form1 form(ui);
    form.Form_Load();
    EXPECT_THROW(form.Command1_Click(), Ended);
    ++gInjected;
    EXPECT_EQ(readFile(work), oldWork);
    EXPECT_FALSE(fsys::exists(appDir / "nebwdw.tmp"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.started, 0);
  }
}

// The command line on a full volume: exit status 1, the old work file, no
// temporary file, and a message that names the file.
TEST_F(ShellFaults, CommandLineOnFullVolume) {
  fsys::remove_all(appDir);
  Mount mount(appDir, "64k");
  if (!mount.ok()) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  fsys::create_directories(appDir / "data");
  writeFile(work, oldWork);
  const fsys::path err = root / "stderr.txt";
  const std::string cmd = std::string("'") + NEB_EXTRACT_PROGRAM + "' -q --app-dir '" + appDir.string() +
                          "' --hamlog '" + (root / "log" / "LOG.DBS").string() + "' 2>'" +
                          err.string() + "' >/dev/null";
  const int status = std::system(cmd.c_str());
  ++gInjected;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(readFile(work), oldWork);
  EXPECT_FALSE(fsys::exists(appDir / "nebwdw.tmp"));
  EXPECT_NE(readFile(err).find("nebwdw.tmp"), std::string::npos) << readFile(err);
}

// The work file's directory on another volume than the temporary file: a
// rename cannot cross volumes, so the run either copes or fails cleanly.
TEST_F(ShellFaults, DataDirectoryOnAnotherVolume) {
  Mount mount(appDir / "data", "64m");
  if (!mount.ok()) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  writeFile(work, oldWork);
  ExtractJob job;
  job.hamlogPath = (root / "log" / "LOG.DBS").string();
  job.tempPath = appDir / "nebwdw.tmp";
  job.workPath = work;
  struct Sink final : MessageSink {
    void showMessage(std::string_view, std::string_view) override {}
  } sink;
  bool replaced = false;
  try {
    replaced = runExtraction(os, sink, job).opened;
  } catch (const IoError& e) {
    EXPECT_NE(e.message().find("Work.Txt"), std::string::npos) << e.what();
  }
  ++gInjected;
  if (replaced) {
    const std::string text = readFile(work);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3000);
  } else {
    EXPECT_EQ(readFile(work), oldWork);
  }
  EXPECT_FALSE(fsys::exists(job.tempPath));
}

class Summary : public ::testing::Environment {
  void TearDown() override { std::printf("[faults] shell and volumes: %d faults injected\n", gInjected); }
};
const auto* const kSummary = ::testing::AddGlobalTestEnvironment(new Summary);

}  // namespace
}  // namespace neb::testing
