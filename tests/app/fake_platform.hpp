// A scripted stand-in for the window system, and the helpers the shell's
// tests share: a scratch directory, a fault-injecting file system and a
// builder of small HAMLOG databases.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_system.hpp"
#include "form1.hpp"
#include "platform.hpp"

namespace neb::app::test {

// What endProcess throws so that a test can see the program end.
struct ProcessEnded {};

struct ExpectedBox {
  std::optional<std::string> text;  // nullopt: any text
  std::string caption;
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  Answer answer = Answer::Ok;
};
ExpectedBox okBox(std::optional<std::string> text, std::string caption);
ExpectedBox question(Answer answer);  // the start-up's "look for the file?"

struct ShownBox {
  std::string text;
  std::string caption;
  std::string label3;  // the progress label while the box was open
};

class FakePlatform final : public Platform {
public:
  FakePlatform(FileSystem& fs, NativeString appDir, NativeString argument);
  ~FakePlatform() override;

  std::deque<ExpectedBox> boxes;       // to come, in order
  std::vector<ShownBox> shown;         // all shown
  std::deque<OpenFileResult> dialogs;  // answers of the Open-file dialog
  std::vector<OpenFileRequest> dialogRequests;
  std::map<Control, std::vector<std::string>> captions;
  std::map<Control, bool> enabled;  // a control never set counts as enabled
  std::map<Control, bool> checked;
  std::vector<bool> busy;
  int pumps = 0;
  std::function<void(int pump)> onPump;
  std::uint64_t clock = 1000;
  std::uint64_t tickStep = 50;  // added at every read of the clock
  std::vector<NativeString> started;
  bool failStart = false;
  std::vector<NativeString> helpDismissed;
  int ends = 0;

  bool isEnabled(Control c) const;
  std::string caption(Control c) const;  // the last one set

  Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons,
                    Icon icon) override;
  OpenFileResult openFileDialog(const OpenFileRequest& request) override;
  void setCaption(Control control, std::string_view sjisText) override;
  void setEnabled(Control control, bool on) override;
  bool isChecked(Control control) override;
  void setBusyCursor(bool on) override;
  void processMessages() override;
  std::uint64_t tickMs() override;
  void startProcess(const NativeString& commandLine) override;
  [[noreturn]] void endProcess() override;
  void dismissHelp(const NativeString& helpFile) override;
  NativeString applicationDirectory() override { return appDir_; }
  NativeString argumentText() override { return argument_; }
  FileSystem& fileSystem() override { return fs_; }

private:
  FileSystem& fs_;
  NativeString appDir_;
  NativeString argument_;
};

// Operating-system files, with a failure injected into the chosen step.
class FaultFs final : public FileSystem {
public:
  enum class Step { None, Create, Write, Commit, Replace, Remove };
  Step step = Step::None;
  std::string fileName;  // the step fails only for this file name (or any when empty)

  bool fileExists(const Path& path) noexcept override { return os_.fileExists(path); }
  std::unique_ptr<ReadFile> openRead(const Path& path) override { return os_.openRead(path); }
  std::unique_ptr<WriteFile> createTruncate(const Path& path) override;
  void removeFile(const Path& path) override;
  void replaceFile(const Path& source, const Path& target) override;
  void createDirectories(const Path& path) override { os_.createDirectories(path); }

  bool hits(Step s, const Path& path) const;

private:
  OsFileSystem os_;
};

// A fresh directory with the program's directory "app" (holding "data")
// and the environment file ENV.DAT beside it.
struct Scratch {
  Scratch();
  ~Scratch();
  std::filesystem::path root;
  std::filesystem::path appDir;
  std::filesystem::path envFile;
  std::filesystem::path workFile;
  std::filesystem::path tempFile;
  NativeString argument() const;  // one blank, then the environment file path
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// A path as the Shift_JIS text the environment file holds.
std::string sjisPath(const std::filesystem::path& path);

// One QSO as the record file stores it (only what the tests vary).
struct QsoBytes {
  std::string call = "JA1ABC";
  std::string portable;
  std::string frequency = "7   ";  // text form
  std::string mode = "CW";
};

// Writes NAME.DBS and NAME.DBR; the header states headerCount (default: the
// number of records).
void writeDatabase(const std::filesystem::path& dbs, const std::vector<QsoBytes>& qsos,
                   std::optional<std::uint32_t> headerCount = std::nullopt);

// ASCII text with '|' standing for the platform's separator.
NativeString nat(std::string_view ascii);
std::string sep(std::string_view ascii);  // the same as Shift_JIS bytes

// What the command-line twin writes for the database LOG.DBS of the scratch
// directory, its environment file and Mode.txt, with the same flags.
std::string reference(const Scratch& dir, bool check1, bool check2);

// One start of the program over a scratch directory.
class AppTest : public ::testing::Test {
protected:
  Scratch dir;
  FaultFs fs;
  FakePlatform ui{fs, dir.appDir.native(), dir.argument()};
  Form1 form{ui};

  std::filesystem::path dbs() const { return dir.root / "LOG.DBS"; }
  // The environment file naming dbs() followed by more lines; start-up then
  // finds the database and shows no box.
  void ready(const std::vector<QsoBytes>& qsos, std::string moreEnv = "");
  // The environment file as given, the database missing: start-up shows the
  // path and the user declines to look for it.
  void declined(std::string env);
  NativeString menuCommand() const;
  std::string reference(bool check1, bool check2) const;
};

}  // namespace neb::app::test
