// The window's logic driven through a scripted platform: each session is a
// start-up, some clicks and the transcript of everything the window did.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "env_rewrite.hpp"
#include "fault_fs.hpp"
#include "form1.hpp"
#include "hamlog_gen.hpp"
#include "test_files.hpp"

namespace neb::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Texts as the window shows them (Shift_JIS).
#define ASK "HAMLOG \x83t\x83@\x83""C\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x92T\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81H"
#define UNDEFINED "HAMLOG \x83t\x83@\x83""C\x83\x8b\x82\xaa\x92\xe8\x8b`\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1"
#define NO_ARGUMENT "\x8a\xc2\x8b\xab\x95\xcf\x90\x94\x82\xaa\x82\xc8\x82\xa2\x88\xd7\x8e\xc0\x8ds\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
#define NO_ENV "\x8a\xc2\x8b\xab\xcc\xa7\xb2\xd9\x82\xaa\x8c\xa9\x93\x96\x82\xbd\x82\xe8\x82\xdc\x82\xb9\x82\xf1"
#define COPYING "\x83t\x83@\x83""C\x83\x8b\x83R\x83s\x81[\x92\x86"
#define MARKER "###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###"
#define DIALOG "dialog:HamLog \xcc\xa7\xb2\xd9\x82\xf0\x92\xe8\x8b`\x82\xb5\x82\xdc\x82\xb7|Hamlog (*.DBS)|*.DBS|6148"
#define CANNOT(step) " \x82\xf0" step "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1: injected"  // " を…できません: "
#define UNREPRESENTABLE                                                                                  \
  "\x83t\x83@\x83""C\x83\x8b\x96\xbc\x82\xc9 Shift_JIS \x82\xc5\x95\\\x82\xb9\x82\xc8\x82\xa2\x95\xb6\x8e\x9a\x82\xaa" \
  "\x82\xa0\x82\xe9\x82\xbd\x82\xdf\x8eg\x82\xa6\x82\xdc\x82\xb9\x82\xf1\x81""B\x95\xca\x82\xcc\x83t\x83@\x83""C\x83\x8b" \
  "\x82\xf0\x91I\x82\xf1\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81""B"
// "交信番号 2 の交信周波数は 無効です" and the frequency text
#define INVALID(n) "\x8c\xf0\x90M\x94\xd4\x8d\x86 " n " \x82\xcc\x8c\xf0\x90M\x8e\xfc\x94g\x90\x94\x82\xcd \x96\xb3\x8c\xf8\x82\xc5\x82\xb7\n9"
#define HANDOFF "help:%/app/neb01.hlp\nstart:%/app/nebmenu.exe  %/ENV.DAT\nend\n"

struct Ended {};

// Controls by name, so that a transcript reads without a legend.
const std::map<Control, std::string> kControlNames = {
    {Control::Command1, "Command1"}, {Control::Command2, "Command2"}, {Control::Check1, "Check1"}, {Control::Check2, "Check2"},
    {Control::Op, "Op"}, {Control::Label1, "Label1"}, {Control::Label2, "Label2"}, {Control::Label3, "Label3"}};

// Records every call as one transcript line; answers from the script.
class ScriptedUi final : public Platform {
public:
  // The suite at root: the program in root/app, the environment file named on the command line.
  ScriptedUi(FileSystem& files, const std::string& root)
      : appDir(root + "/app"), argument(" " + root + "/ENV.DAT"), files_(files) {}
  NativeString appDir, argument;
  std::string log;
  std::vector<Answer> answers;        // to the Yes/No boxes in turn; then No
  std::vector<OpenFileResult> picks;  // in the Open dialogs in turn; then a cancel
  std::size_t answered = 0, picked = 0;
  bool check1 = false, check2 = false, failStart = false;
  std::function<void(int)> onPump;
  int pumps = 0;
  std::uint64_t msPerTick = 0;  // a still clock: a quick run

  Answer messageBox(std::string_view text, std::string_view caption, Buttons b, Icon i) override {
    log += std::string(b == Buttons::YesNo && i == Icon::Exclamation ? "ask:" : b == Buttons::Ok && i == Icon::None ? "box:" : "odd:") +
           std::string(caption) + ":" + std::string(text) + "\n";
    if (b == Buttons::Ok) return Answer::Ok;
    return answered < answers.size() ? answers[answered++] : Answer::No;
  }
  OpenFileResult openFileDialog(const OpenFileRequest& r) override {
    log += "dialog:" + r.title + "|" + r.filter + "|" + std::to_string(r.flags) + "\n";
    return picked < picks.size() ? picks[picked++] : OpenFileResult{};
  }
  void setCaption(Control c, std::string_view text) override { log += kControlNames.at(c) + ":" + std::string(text) + "\n"; }
  void setEnabled(Control c, bool on) override { log += (on ? "on " : "off ") + kControlNames.at(c) + "\n"; }
  bool isChecked(Control c) override { return c == Control::Check1 ? check1 : c == Control::Check2 && check2; }
  void setBusyCursor(bool busy) override { log += busy ? "busy\n" : "idle\n"; }
  void processMessages() override {
    // Pumps with nothing shown between read and count as one (0 for a
    // repeat): how often the window answers while nothing changes is the
    // machine's speed, not the logic's.
    const bool again = log.ends_with("pump\n");
    if (!again) log += "pump\n", ++pumps;
    if (onPump) onPump(again ? 0 : pumps);
  }
  std::uint64_t tickMs() override { return clock_ += msPerTick; }
  void startProcess(const NativeString& commandLine) override {
    if (failStart) throw std::runtime_error("no");
    log += "start:" + commandLine + "\n";
  }
  [[noreturn]] void endProcess() override { log += "end\n"; throw Ended{}; }
  void dismissHelp(const NativeString& helpFile) override { log += "help:" + helpFile + "\n"; }
  NativeString applicationDirectory() override { return appDir; }
  NativeString argumentText() override { return argument; }
  FileSystem& fileSystem() override { return files_; }

private:
  FileSystem& files_;
  std::uint64_t clock_ = 0;
};

std::string expand(std::string s, const std::string& root) {
  for (std::size_t at; (at = s.find('%')) != std::string::npos;) s.replace(at, 1, root);
  return s;
}

// What a session makes go wrong: its step on its file fails (Io) or runs out
// of memory; the menu program does not start; another run holds the
// temporary file; the log's records read only once the window has pumped; the
// final flush and the replace take 400 ms each, and the window answers all
// the same, far more often than that.
enum class Fault { None, Io, OutOfMemory, MenuStart, Held, SlowLog, SlowDisk };

// Clicks: L load, S start, H hamlog definition, X marker removal, U unload,
// R remove the log, C its companion file, D write both.
struct Session {
  const char* name;
  std::string env;  // ENV.DAT ("-" none); "%" is the scratch directory
  int qsos;         // LOG.DBS with this many QSOs (-1: none)
  std::string clicks;
  std::string transcript;
  struct With {
    std::string envAfter = "=";  // "=": as before
    std::vector<Answer> answers = {};
    std::vector<std::string> picks = {};  // native full paths
    Fault fault = Fault::None;
    std::string step = "", file = "";  // what an Io or OutOfMemory fault strikes: "write", "nebwdw.tmp"
    int unloadAtPump = 0;  // Stop at the first pump (-1: the first that shows nothing new), the close box at a later one
    const char* argument = " %/ENV.DAT";
    bool modeFile = false;
    int msPerTick = 0;
  } with = {};
};

#define LOG_ENV "#01,%/LOG.DBS\r\n"
#define STARTED(count) "Label2:" count "\noff Command1\noff Op\noff Check1\noff Check2\nbusy\npump\n"
const std::string kLoaded = "Label1:%/LOG.DBS\noff Check2\n";
const std::string kRunStart = STARTED("2") "Label3:1\npump\n";
#define COPIED(count) "Label3:" count "\noff Command2\nLabel1:" COPYING "\npump\n"

const Session kSessions[] = {
    {"no argument", "-", -1, "L", "box:NEBWD:" NO_ARGUMENT "\nhelp:\nstart:%/app/nebmenu.exe X\nend\n", {.argument = "X"}},
    {"no environment file", "-", -1, "L", "box:NEBWD:" NO_ENV "\n" HANDOFF},
    {"argument without its blank", "", -1, "L",
     "box:NEBWD:" NO_ENV "\nhelp:%/app/neb01.hlp\nstart:%/app/nebmenu.exe %/ENV.DAT\nend\n", {.argument = "%/ENV.DAT"}},
    {"missing log, No: Start converts no mode even with Mode.txt", LOG_ENV, 2, "RLDS",
     "Label1:%/LOG.DBS\nbox:NEB01:%/LOG.DBS\nask:NEB01:" ASK "\noff Command1\n" + kRunStart + COPIED("2") "idle\n" HANDOFF,
     {.answers = {Answer::No}, .modeFile = true}},
    {"no log at Start", LOG_ENV, -1, "LS",
     "Label1:%/LOG.DBS\nbox:NEB01:%/LOG.DBS\nask:NEB01:" ASK "\noff Command1\nbox:NEB01:" UNDEFINED "\n", {.answers = {Answer::No}}},
    {"Yes, cancel, then No", "", -1, "L", "box:NEB01:\nask:NEB01:" ASK "\n" DIALOG "\nbox:NEB01:\nask:NEB01:" ASK "\noff Command1\n",
     {.answers = {Answer::Yes, Answer::No}}},
    {"Yes, a name Shift_JIS cannot hold, two non-DBS, then the log", "$JA\r\n#01,C:/OLD.DBS\r\n", 0, "L",
     "Label1:C:/OLD.DBS\nbox:NEB01:C:/OLD.DBS\nask:NEB01:" ASK "\n" DIALOG "\nbox:NEB01:%/?.DBS\n" UNREPRESENTABLE "\n" DIALOG
     "\n" DIALOG "\n" DIALOG "\nLabel1:%/LOG.DBS\n" + kLoaded,
     {.envAfter = "$JA\r\n#01,%/LOG.DBS\r\n", .answers = {Answer::Yes}, .picks = {"%/\xe2\x98\x83.DBS", "%/LOG.TXT", "%/DBS", "%/LOG.DBS"}}},
    {"run without conversions, each QSO as long as the pumping interval", LOG_ENV, 2, "LS",
     kLoaded + kRunStart + "Label3:2\npump\n" COPIED("2") "idle\n" HANDOFF, {.msPerTick = 50}},
    {"packed frequency with no band (three boxes), then a record file shorter than its header", LOG_ENV, 3, "LS",
     kLoaded + STARTED("5000") "Label3:1\npump\nLabel3:2\nbox:NEB01:" INVALID("2") "\nbox:NEB01:"
     "\x8c\xf0\x90M\x94\xd4\x8d\x86 2 \x82\xcc\x8c\xf0\x90M\x8e\xfc\x94g\x90\x94\x82\xaa\x95\xcf\x82\xc5\x82\xb7\n MHz "
     "\x82\xc6\x94\xbb\x92""f\x82\xb5\x82\xdc\x82\xb5\x82\xbd\nbox:NEB01:" INVALID("2") "\nLabel3:4\nbox:NEB01:HAMLOG \x82\xcc"
     "\x83\x8c\x83R\x81[\x83h\x83t\x83@\x83""C\x83\x8b\x82\xaa\x93r\x92\x86\x82\xc5\x8fI\x82\xed\x82\xc1\x82\xc4\x82\xa2"
     "\x82\xdc\x82\xb7\x81""B\n\x83w\x83""b\x83_\x81[\x82\xcc\x8c\x8f\x90\x94 5000 \x8c\x8f\x82\xcc\x82\xa4\x82\xbf 3 "
     "\x8c\x8f\x82\xf0\x8f\x91\x82\xab\x8fo\x82\xb5\x82\xdc\x82\xb5\x82\xbd\n" COPIED("5000") "idle\n" HANDOFF},
    {"a long run shows QSOs 1 to 49 as they come, then the fiftieths", LOG_ENV, 120, "LS", kLoaded + STARTED("120")
     "Label3:1\npump\nLabel3:26\npump\nLabel3:49\nbox:NEB01:" INVALID("49") "\nLabel3:50\npump\nLabel3:100\npump\n" COPIED("120")
     "idle\n" HANDOFF, {.msPerTick = 2}},
    {"run on an empty log", LOG_ENV, 0, "LS", kLoaded + STARTED("0") COPIED("0") "idle\n" HANDOFF},
    {"log gone before Start", LOG_ENV, 2, "LRS", kLoaded + "box:NEB01:" UNDEFINED "\n"},
    {"companion file gone before Start", LOG_ENV, 2, "LCS",
     kLoaded + "box:HamlogOpen:%/LOG.DBR  \x82\xaa\x81\x40\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\n"},
    {"Stop as the run starts", LOG_ENV, 2, "LS", kLoaded + STARTED("2") HANDOFF, {.unloadAtPump = 1}},
    {"unload while copying", LOG_ENV, 2, "LS", kLoaded + kRunStart + COPIED("2") HANDOFF, {.unloadAtPump = 3}},
    {"unload before a run", LOG_ENV, 2, "LU", kLoaded + HANDOFF},
    {"menu that cannot start", LOG_ENV, 2, "LU", kLoaded + "help:%/app/neb01.hlp\nbox:NEB01:%/app/nebmenu.exe  %/ENV.DAT"
     " \x82\xf0\x8bN\x93\xae\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\nend\n", {.fault = Fault::MenuStart}},
    {"temporary file cannot be created", LOG_ENV, 2, "LS", kLoaded + "Label2:2\nidle\nbox:NEB01:%/app/nebwdw.tmp"
     CANNOT("create") "\nend\n", {.fault = Fault::Io, .step = "create", .file = "nebwdw.tmp"}},
    {"temporary file cannot be written", LOG_ENV, 2, "LS", kLoaded + kRunStart + "idle\nbox:NEB01:%/app/nebwdw.tmp"
     CANNOT("write") "\nend\n", {.fault = Fault::Io, .step = "write", .file = "nebwdw.tmp"}},
    {"work file cannot be replaced", LOG_ENV, 2, "LS",
     kLoaded + kRunStart + COPIED("2") "idle\nbox:NEB01:%/app/data/Work.Txt" CANNOT("replace") "\nend\n",
     {.fault = Fault::Io, .step = "replace", .file = "Work.Txt"}},
    {"temporary file held by another run", LOG_ENV, 2, "LS",
     kLoaded + "Label2:2\nidle\nbox:NEB01:%/app/nebwdw.tmp" " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1: "
               "\x82\xd9\x82\xa9\x82\xcc\x92\x8a\x8f\x6f\x8f\x88\x97\x9d\x82\xaa\x8e\x67\x97\x70\x92\x86\x82\xc5\x82\xb7\nend\n",
     {.fault = Fault::Held}},
    {"out of memory while writing", LOG_ENV, 2, "LS",
     kLoaded + kRunStart + "idle\nbox:NEB01:\x83\x81\x83\x82\x83\x8a\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1\nend\n",
     {.fault = Fault::OutOfMemory, .step = "write", .file = "nebwdw.tmp"}},
    {"Stop while the log reads slowly", LOG_ENV, 2, "LS", kLoaded + STARTED("2") HANDOFF,
     {.fault = Fault::SlowLog, .unloadAtPump = -1}},
    {"slow disk", LOG_ENV, 1, "LS", kLoaded + STARTED("1") "Label3:1\npump\n" COPIED("1") "idle\n" HANDOFF, {.fault = Fault::SlowDisk}},
    {"temporary file cannot be removed at unload", LOG_ENV, 2, "LS",
     kLoaded + kRunStart + "box:NEB01:%/app/nebwdw.tmp" CANNOT("remove") "\nend\n",
     {.fault = Fault::Io, .step = "remove", .file = "nebwdw.tmp", .unloadAtPump = 2}},
    {"marker lines removed, even after No", MARKER "\r\n#01,X\r\n  " MARKER "  \r\n" MARKER "x\r\n$JA", -1, "LX",
     "Label1:X\nbox:NEB01:X\nask:NEB01:" ASK "\noff Command1\noff Command1\noff Command2\non Command1\non Command2\n",
     {.envAfter = "#01,X\r\n" MARKER "x\r\n$JA\r\n"}},
    {"marker removal fails", MARKER "\r\n", 2, "LX",
     "box:NEB01:\nask:NEB01:" ASK "\noff Command1\noff Command1\noff Command2\nbox:NEB01:%/ENV.DAT" CANNOT("replace") "\nend\n",
     {.fault = Fault::Io, .step = "replace", .file = "ENV.DAT"}},
    {"definition rewrites every #01 line", "#01,X\r\n$JA\r\n#01,C:/A.DBS,Y", -1, "LH",
     "Label1:C:/A.DBS\nbox:NEB01:C:/A.DBS\nask:NEB01:" ASK "\noff Command1\n" DIALOG "\nLabel1:%/\x95\\/L.DBS\n",
     {.envAfter = "#01,%/\x95\\/L.DBS\r\n$JA\r\n#01,%/\x95\\/L.DBS\r\n", .picks = {"%/\xe8\xa1\xa8/L.DBS"}}},
    {"definition whose rewrite fails says why", "#01,X\r\n", -1, "LH",
     "Label1:X\nbox:NEB01:X\nask:NEB01:" ASK "\noff Command1\n" DIALOG "\nbox:NEB01:%/ENV.tmp" CANNOT("commit") "\nLabel1:X\n",
     {.picks = {"%/A.DBS"}, .fault = Fault::Io, .step = "commit", .file = "ENV.tmp"}},
};

TEST(Shell, ScriptedSessions) {
  for (const Session& s : kSessions) {
    const Session::With& with = s.with;
    const TempDir dir;
    const fs::path& root = dir.path;
    fs::create_directories(root / "app" / "data");
    const std::string r = root.string();
    if (s.env != "-") writeFile(root / "ENV.DAT", expand(s.env, r));
    writeFile(root / "app" / "data" / "Work.Txt", "old\r\n");
    if (with.modeFile) writeFile(root / "app" / "Mode.txt", "SSB,LSB\r\n");
    const auto makeLog = [&] {
      std::vector<gen::GenQso> qsos;
      for (int i = 0; i < s.qsos; ++i) qsos.push_back({.call = "JA" + std::to_string(i), .mode = "LSB"});
      if (s.qsos == 3) qsos[1].frequency = gen::frequencyPacked(9, 1, 5);  // the point past the digit
      if (s.qsos == 120) qsos[48].frequency = gen::frequencyText("9");    // a box that shows QSO 49 on the label
      writeDatabase(root / "LOG.DBS", qsos, s.qsos == 3 ? std::optional<std::uint32_t>(5000) : std::nullopt);
    };
    if (s.qsos >= 0) makeLog();
    test::FaultFs files;
    std::unique_ptr<WriteFile> held;
    if (with.fault == Fault::Held) (held = OsFileSystem().createLocked(root / "app" / "nebwdw.tmp"))->write("first", 5);
    std::atomic<bool> readable = with.fault != Fault::SlowLog;
    files.beforeRead = [&](const fs::path& p, std::uint64_t offset) {
      for (int ms = 0; !readable && p.filename() == "LOG.DBS" && offset > 0 && ms < 10000; ++ms)
        std::this_thread::sleep_for(1ms);
    };
    if (with.fault == Fault::OutOfMemory) files.failure = test::FaultFs::Failure::OutOfMemory;
    if (with.fault == Fault::SlowDisk)
      files.slow = [](std::string_view step) { if (step == "commit" || step == "replace") std::this_thread::sleep_for(400ms); };
    ScriptedUi ui(files, r);
    ui.argument = expand(with.argument, r);
    ui.check2 = with.modeFile;
    ui.msPerTick = with.msPerTick;
    ui.failStart = with.fault == Fault::MenuStart;
    ui.answers = with.answers;
    for (const std::string& p : with.picks) ui.picks.push_back({false, expand(p, r), fs::path(p).filename().string()});
    Form1 form(ui);
    auto lastPump = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration unanswered{};  // the longest time without pumping
    ui.onPump = [&](int pump) {
      unanswered = std::max(unanswered, std::chrono::steady_clock::now() - lastPump);
      lastPump = std::chrono::steady_clock::now();
      readable = readable || pump != 1;  // once the run waits, not at its start
      if ((pump ? pump : -1) == with.unloadAtPump) pump < 2 ? form.Command2_Click() : form.Form_Unload();
    };
    for (char c : s.clicks) {
      // Faults strike after the start-up.
      if (c != 'L') files.fail = [&](std::string_view step, const fs::path& p) { return step == with.step && p.filename() == with.file; };
      try {
        switch (c) {
          case 'L': form.Form_Load(); break;
          case 'S': form.Command1_Click(); break;
          case 'H': form.hamlog_set_Click(); break;
          case 'X': form.MENU_X_Click(); break;
          case 'R': fs::remove(root / "LOG.DBS"); break;
          case 'C': fs::remove(root / "LOG.DBR"); break;
          case 'D': makeLog(); break;
          case 'U': form.Form_Unload();
        }
      } catch (const Ended&) {
      }
    }
    unanswered = std::max(unanswered, std::chrono::steady_clock::now() - lastPump);
    EXPECT_TRUE(with.fault != Fault::SlowDisk || unanswered < 250ms) << s.name << ": " << unanswered / 1ms << " ms without pumping";
    EXPECT_EQ(ui.log, expand(s.transcript, r)) << s.name;
    EXPECT_EQ(readFile(root / "ENV.DAT"), expand(with.envAfter == "=" ? (s.env == "-" ? "" : s.env) : with.envAfter, r)) << s.name;
    EXPECT_EQ(fs::exists(root / "app" / "nebwdw.tmp"), with.step == "remove" || held) << s.name;
    EXPECT_EQ(held ? readFile(root / "app" / "nebwdw.tmp") : "first", "first") << s.name;
    EXPECT_FALSE(fs::exists(root / "ENV.tmp")) << s.name;
    const bool ran = s.clicks.find('S') != std::string::npos && ui.log.find("start:") != std::string::npos && !with.unloadAtPump;
    const std::string work = readFile(root / "app" / "data" / "Work.Txt");
    EXPECT_EQ(work.substr(0, 9), ran ? (s.qsos ? "\"NEBWD\",\"" : "") : "old\r\n") << s.name;
    EXPECT_EQ(std::count(work.begin(), work.end(), '\n'), ran ? s.qsos : 1) << s.name;
    EXPECT_EQ(work.find("\"SSB\""), std::string::npos) << s.name;
  }
}

TEST(Shell, CheckBoxesChooseTheConversions) {
  const TempDir dir;
  const std::string r = dir.path.string();
  fs::create_directories(dir.path / "app");
  writeFile(dir.path / "app" / "Mode.txt", "ssb, lsb\r\nAM,LSB\r\n");
  writeFile(dir.path / "ENV.DAT", "#01," + r + "/LOG.DBS\r\n$7K\r\n$JA\r\n");
  writeDatabase(dir.path / "LOG.DBS", {{.call = "JA1ABC", .portable = "JA1", .mode = "LSB"}});
  for (const auto& [area, mode] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    test::FaultFs files;
    ScriptedUi ui(files, r);
    ui.check1 = area, ui.check2 = mode;
    Form1 form(ui);
    form.Form_Load();
    EXPECT_THROW(form.Command1_Click(), Ended);
    EXPECT_EQ(readFile(dir.path / "app" / "data" / "Work.Txt"),
              std::string("\"NEBWD\",\"JA1ABC\",\"") + (area ? "1" : "JA1") + "\",\"\",\"\",\"7\",\"" + (mode ? "SSB" : "LSB") +
                  "\",\"\",\"\",\"\",\"\",\"20040101\",\"0000J\",\"59\",\"59\",\"\",\"\",\"\",\"0000000001\",\"JA1ABC/JA1\"\r\n");
  }
}

TEST(EnvRewrite, CopyNameAndLineEnds) {
  const std::pair<const char*, const char*> names[] = {
      {"/S/ENV.DAT", "/S/ENV.tmp"}, {"/S/ENV.tmp", "/S/ENV.tmp.new"}, {"/S/ENV.Xmp", "/S/ENV.tmp"},
      {"/S/ENV.tXp", "/S/ENV.tmp"}, {"/S/ENV.TmP", "/S/ENV.TmP.new"}, {"ab", "ab.tmp"}, {"abc", "tmp"}, {"tmp", "tmp.new"},
      {"/S/\xe7\x92\xb0\xe5\xa2\x83\xe3\x83\x95", "/S/tmp"}};
  for (const auto& [env, copy] : names) EXPECT_EQ(rewriteCopyPath(env), copy) << env;
  const auto dropX = [](std::string_view line) { return line == "x" ? std::nullopt : std::optional<std::string>(std::string(line) + "!"); };
  EXPECT_EQ(rewriteText("a\rb\nc\r\nx\r\n\r\nd", dropX), "a!\r\nb\nc!\r\n!\r\nd!\r\n");
  EXPECT_EQ(rewriteText("", dropX), "");
}

// The rewrite changes the file a link names, and keeps its permissions. A
// read-only copy left by an interrupted rewrite goes first: creating over it
// fails for a user who is not root (root may write it all the same).
TEST(EnvRewrite, KeepsTheLinkAndThePermissions) {
  const TempDir dir;
  const fs::path& root = dir.path;
  fs::create_directories(root / "real");
  writeFile(root / "real" / "ENV.DAT", "#01,A\r\nx\r\n");
  const fs::perms userWritesGroupReads = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(root / "real" / "ENV.DAT", userWritesGroupReads);
  fs::create_symlink(root / "real" / "ENV.DAT", root / "ENV.DAT");
  writeFile(root / "real" / "ENV.tmp", "left over");
  fs::permissions(root / "real" / "ENV.tmp", fs::perms::owner_read);
  test::FaultFs files;
  files.fail = [](std::string_view step, const fs::path& p) {
    return step == "create" && fs::exists(p) && (fs::status(p).permissions() & fs::perms::owner_write) == fs::perms::none;
  };
  EXPECT_NO_THROW(Env_Rewrite(files, (root / "ENV.DAT").native(),
                              [](std::string_view line) { return line == "x" ? std::nullopt : std::optional<std::string>(line); }));
  EXPECT_TRUE(fs::is_symlink(root / "ENV.DAT"));
  EXPECT_EQ(readFile(root / "real" / "ENV.DAT"), "#01,A\r\n");
  EXPECT_EQ(fs::status(root / "real" / "ENV.DAT").permissions(), userWritesGroupReads);
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "real"), {}), 1);
}

}  // namespace
}  // namespace neb::app
