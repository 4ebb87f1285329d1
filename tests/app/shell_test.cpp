// The window's logic driven through a scripted platform: each session is a
// start-up, some clicks and the transcript of everything the window did.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <filesystem>
#include <functional>
#include <iterator>
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

// Texts as the window shows them (Shift_JIS).
#define ASK "HAMLOG \x83t\x83@\x83""C\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x92T\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81H"
#define UNDEFINED "HAMLOG \x83t\x83@\x83""C\x83\x8b\x82\xaa\x92\xe8\x8b`\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1"
#define NO_ARGUMENT "\x8a\xc2\x8b\xab\x95\xcf\x90\x94\x82\xaa\x82\xc8\x82\xa2\x88\xd7\x8e\xc0\x8ds\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
#define NO_ENV "\x8a\xc2\x8b\xab\xcc\xa7\xb2\xd9\x82\xaa\x8c\xa9\x93\x96\x82\xbd\x82\xe8\x82\xdc\x82\xb9\x82\xf1"
#define COPYING "\x83t\x83@\x83""C\x83\x8b\x83R\x83s\x81[\x92\x86"
#define MARKER "###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###"
#define DIALOG "dialog:HamLog \xcc\xa7\xb2\xd9\x82\xf0\x92\xe8\x8b`\x82\xb5\x82\xdc\x82\xb7|Hamlog (*.DBS)|*.DBS|6148"
#define CANNOT(step) " \x82\xf0" step "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1: injected"  // " を…できません: "
#define UNREPRESENTABLE                                                                            \
  "\x83t\x83@\x83""C\x83\x8b\x96\xbc\x82\xc9 Shift_JIS \x82\xc5\x95\\\x82\xb9\x82\xc8\x82\xa2\x95\xb6" \
  "\x8e\x9a\x82\xaa\x82\xa0\x82\xe9\x82\xbd\x82\xdf\x8eg\x82\xa6\x82\xdc\x82\xb9\x82\xf1\x81" \
  "B\x95\xca\x82\xcc\x83t\x83@\x83""C\x83\x8b\x82\xf0\x91I\x82\xf1\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81" \
  "B"
// "交信番号 2 の交信周波数は 無効です" and the frequency text
#define INVALID2 "\x8c\xf0\x90M\x94\xd4\x8d\x86 2 \x82\xcc\x8c\xf0\x90M\x8e\xfc\x94g\x90\x94\x82\xcd \x96\xb3\x8c\xf8\x82\xc5\x82\xb7\n9"
#define HANDOFF "help:%/app/neb01.hlp\nstart:%/app/nebmenu.exe  %/ENV.DAT\nend\n"

struct Ended {};

// Records every call as one transcript line; answers from the script.
class ScriptedUi final : public Platform {
public:
  explicit ScriptedUi(FileSystem& files) : files_(files) {}
  std::string log;
  std::deque<Answer> answers;
  std::deque<OpenFileResult> picks;
  bool check1 = false, check2 = false, failStart = false;
  std::function<void(int)> onPump;
  int pumps = 0;
  std::uint64_t msPerTick = 0;  // a still clock: a quick run
  NativeString appDir, argument;

  Answer messageBox(std::string_view text, std::string_view caption, Buttons b, Icon i) override {
    log += std::string(b == Buttons::YesNo && i == Icon::Exclamation ? "ask:" : b == Buttons::Ok && i == Icon::None ? "box:" : "odd:") +
           std::string(caption) + ":" + std::string(text) + "\n";
    if (b == Buttons::Ok) return Answer::Ok;
    if (answers.empty()) return Answer::No;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  OpenFileResult openFileDialog(const OpenFileRequest& r) override {
    log += "dialog:" + r.title + "|" + r.filter + "|" + std::to_string(r.flags) + "\n";
    if (picks.empty()) return {};
    OpenFileResult p = picks.front();
    picks.pop_front();
    return p;
  }
  void setCaption(Control c, std::string_view text) override {
    log += "cap" + std::to_string(static_cast<int>(c)) + ":" + std::string(text) + "\n";
  }
  void setEnabled(Control c, bool on) override {
    log += (on ? "on" : "off") + std::to_string(static_cast<int>(c)) + "\n";
  }
  bool isChecked(Control c) override { return c == Control::Check1 ? check1 : c == Control::Check2 && check2; }
  void setBusyCursor(bool busy) override { log += busy ? "busy\n" : "idle\n"; }
  void processMessages() override {
    log += "pump\n";
    if (onPump) onPump(++pumps);
  }
  std::uint64_t tickMs() override { return clock_ += msPerTick; }
  void startProcess(const NativeString& commandLine) override {
    if (failStart) throw std::runtime_error("no");
    log += "start:" + commandLine + "\n";
  }
  [[noreturn]] void endProcess() override {
    log += "end\n";
    throw Ended{};
  }
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

// Clicks: L load, S start, H hamlog definition, X marker removal, U unload,
// R remove the log, C its companion file, D write both. Controls in transcripts: 0 Command1,
// 1 Command2, 2 Check1, 3 Check2, 4 Op, 5-7 Label1-3.
struct Session {
  const char* name;
  std::string env;          // ENV.DAT ("-" none); "%" is the scratch directory
  int qsos = -1;            // LOG.DBS with this many QSOs (-1: none)
  std::string clicks;
  std::string transcript;
  std::string envAfter = "=";  // "=": as before
  std::vector<Answer> answers = {};
  std::vector<std::string> picks = {};  // native full paths; "?" one Shift_JIS cannot hold
  std::string failOn = "";              // "step:file name" that fails, or "start"
  int unloadAtPump = 0;
  const char* argument = " %/ENV.DAT";
  bool modeFile = false;
  int msPerTick = 0;
};

const std::string kLoaded = "cap5:%/LOG.DBS\noff3\n";
const std::string kRunStart = "cap6:2\noff0\noff4\noff2\noff3\nbusy\ncap7:1\npump\n";

const Session kSessions[] = {
    {"no argument", "-", -1, "L", "box:NEBWD:" NO_ARGUMENT "\nhelp:\nstart:%/app/nebmenu.exe X\nend\n", "=", {}, {}, "", 0, "X"},
    {"no environment file", "-", -1, "L", "box:NEBWD:" NO_ENV "\n" HANDOFF},
    {"argument without its blank", "", -1, "L",
     "box:NEBWD:" NO_ENV "\nhelp:%/app/neb01.hlp\nstart:%/app/nebmenu.exe %/ENV.DAT\nend\n", "=", {}, {}, "", 0, "%/ENV.DAT"},
    {"missing log, No: Start converts no mode even with Mode.txt", "#01,%/LOG.DBS\r\n", 2, "RLDS",
     "cap5:%/LOG.DBS\nbox:NEB01:%/LOG.DBS\nask:NEB01:" ASK "\noff0\n" + kRunStart +
         "cap7:2\noff1\ncap5:" COPYING "\npump\nidle\n" HANDOFF,
     "=", {Answer::No}, {}, "", 0, " %/ENV.DAT", true},
    {"no log at Start", "#01,%/LOG.DBS\r\n", -1, "LS",
     "cap5:%/LOG.DBS\nbox:NEB01:%/LOG.DBS\nask:NEB01:" ASK "\noff0\nbox:NEB01:" UNDEFINED "\n", "=", {Answer::No}},
    {"Yes, cancel, then No", "", -1, "L", "box:NEB01:\nask:NEB01:" ASK "\n" DIALOG "\nbox:NEB01:\nask:NEB01:" ASK "\noff0\n",
     "=", {Answer::Yes, Answer::No}},
    {"Yes, a name Shift_JIS cannot hold, two non-DBS, then the log", "$JA\r\n#01,C:/OLD.DBS\r\n", 0, "L",
     "cap5:C:/OLD.DBS\nbox:NEB01:C:/OLD.DBS\nask:NEB01:" ASK "\n" DIALOG "\nbox:NEB01:%/?.DBS\n" UNREPRESENTABLE "\n" DIALOG
     "\n" DIALOG "\n" DIALOG "\ncap5:%/LOG.DBS\n" + kLoaded,
     "$JA\r\n#01,%/LOG.DBS\r\n", {Answer::Yes}, {"?", "%/LOG.TXT", "%/DBS", "%/LOG.DBS"}},
    {"run without conversions, each QSO as long as the pumping interval", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + kRunStart + "cap7:2\npump\ncap7:2\noff1\ncap5:" COPYING "\npump\nidle\n" HANDOFF,
     "=", {}, {}, "", 0, " %/ENV.DAT", false, 50},
    {"packed frequency with no band (three boxes), then a record file shorter than its header", "#01,%/LOG.DBS\r\n",
     3, "LS",
     kLoaded + "cap6:5000\noff0\noff4\noff2\noff3\nbusy\ncap7:1\npump\ncap7:2\nbox:NEB01:" INVALID2 "\nbox:NEB01:"
     "\x8c\xf0\x90M\x94\xd4\x8d\x86 2 \x82\xcc\x8c\xf0\x90M\x8e\xfc\x94g\x90\x94\x82\xaa\x95\xcf\x82\xc5\x82\xb7\n MHz "
     "\x82\xc6\x94\xbb\x92""f\x82\xb5\x82\xdc\x82\xb5\x82\xbd\nbox:NEB01:" INVALID2 "\ncap7:4\nbox:NEB01:HAMLOG \x82\xcc"
     "\x83\x8c\x83R\x81[\x83h\x83t\x83@\x83""C\x83\x8b\x82\xaa\x93r\x92\x86\x82\xc5\x8fI\x82\xed\x82\xc1\x82\xc4\x82\xa2"
     "\x82\xdc\x82\xb7\x81""B\n\x83w\x83""b\x83_\x81[\x82\xcc\x8c\x8f\x90\x94 5000 \x8c\x8f\x82\xcc\x82\xa4\x82\xbf 3 "
     "\x8c\x8f\x82\xf0\x8f\x91\x82\xab\x8fo\x82\xb5\x82\xdc\x82\xb5\x82\xbd\ncap7:5000\noff1\ncap5:" COPYING "\npump\nidle\n" HANDOFF},
    {"run on an empty log", "#01,%/LOG.DBS\r\n", 0, "LS",
     kLoaded + "cap6:0\noff0\noff4\noff2\noff3\nbusy\ncap7:0\noff1\ncap5:" COPYING "\npump\nidle\n" HANDOFF},
    {"log gone before Start", "#01,%/LOG.DBS\r\n", 2, "LRS", kLoaded + "box:NEB01:" UNDEFINED "\n"},
    {"companion file gone before Start", "#01,%/LOG.DBS\r\n", 2, "LCS",
     kLoaded + "box:HamlogOpen:%/LOG.DBR  \x82\xaa\x81\x40\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\n"},
    {"Stop during the run", "#01,%/LOG.DBS\r\n", 2, "LS", kLoaded + kRunStart + HANDOFF, "=", {}, {}, "", 1},
    {"unload while copying", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + kRunStart + "cap7:2\noff1\ncap5:" COPYING "\npump\n" HANDOFF, "=", {}, {}, "", 2},
    {"unload before a run", "#01,%/LOG.DBS\r\n", 2, "LU", kLoaded + HANDOFF},
    {"menu that cannot start", "#01,%/LOG.DBS\r\n", 2, "LU",
     kLoaded + "help:%/app/neb01.hlp\nbox:NEB01:%/app/nebmenu.exe  %/ENV.DAT \x82\xf0\x8bN\x93\xae\x82\xc5\x82\xab\x82\xdc"
               "\x82\xb9\x82\xf1\nend\n", "=", {}, {}, "start"},
    {"temporary file cannot be created", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + "cap6:2\nidle\nbox:NEB01:%/app/nebwdw.tmp" CANNOT("create") "\nend\n", "=", {}, {}, "create:nebwdw.tmp"},
    {"temporary file cannot be written", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + kRunStart + "idle\nbox:NEB01:%/app/nebwdw.tmp" CANNOT("write") "\nend\n", "=", {}, {}, "write:nebwdw.tmp"},
    {"work file cannot be replaced", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + kRunStart + "cap7:2\noff1\ncap5:" COPYING "\npump\nidle\nbox:NEB01:%/app/data/Work.Txt" CANNOT("replace") "\nend\n",
     "=", {}, {}, "replace:Work.Txt"},
    {"temporary file held by another run", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + "cap6:2\nidle\nbox:NEB01:%/app/nebwdw.tmp" " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1: "
               "\x82\xd9\x82\xa9\x82\xcc\x92\x8a\x8f\x6f\x8f\x88\x97\x9d\x82\xaa\x8e\x67\x97\x70\x92\x86\x82\xc5\x82\xb7\nend\n",
     "=", {}, {}, "held"},
    {"out of memory while writing", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + kRunStart + "idle\nbox:NEB01:\x83\x81\x83\x82\x83\x8a\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1\nend\n", "=", {}, {},
     "!write:nebwdw.tmp"},
    {"Stop while the log reads slowly", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + "cap6:2\noff0\noff4\noff2\noff3\nbusy\npump\n" HANDOFF, "=", {}, {}, "slow", 1},
    {"temporary file cannot be removed at unload", "#01,%/LOG.DBS\r\n", 2, "LS",
     kLoaded + kRunStart + "box:NEB01:%/app/nebwdw.tmp" CANNOT("remove") "\nend\n", "=", {}, {}, "remove:nebwdw.tmp", 1},
    {"marker lines removed, even after No", MARKER "\r\n#01,X\r\n  " MARKER "  \r\n" MARKER "x\r\n$JA", -1, "LX",
     "cap5:X\nbox:NEB01:X\nask:NEB01:" ASK "\noff0\noff0\noff1\non0\non1\n", "#01,X\r\n" MARKER "x\r\n$JA\r\n"},
    {"marker removal fails", MARKER "\r\n", 2, "LX",
     "box:NEB01:\nask:NEB01:" ASK "\noff0\noff0\noff1\nbox:NEB01:%/ENV.DAT" CANNOT("replace") "\nend\n", "=", {}, {}, "replace:ENV.DAT"},
    {"definition rewrites every #01 line", "#01,X\r\n$JA\r\n#01,C:/A.DBS,Y", -1, "LH",
     "cap5:C:/A.DBS\nbox:NEB01:C:/A.DBS\nask:NEB01:" ASK "\noff0\n" DIALOG "\ncap5:%/\x95\\/L.DBS\n",
     "#01,%/\x95\\/L.DBS\r\n$JA\r\n#01,%/\x95\\/L.DBS\r\n", {}, {"%/\xe8\xa1\xa8/L.DBS"}},
    {"definition whose rewrite fails says why", "#01,X\r\n", -1, "LH",
     "cap5:X\nbox:NEB01:X\nask:NEB01:" ASK "\noff0\n" DIALOG "\nbox:NEB01:%/ENV.tmp" CANNOT("commit") "\ncap5:X\n", "=", {},
     {"%/A.DBS"}, "commit:ENV.tmp"},
};

TEST(Shell, ScriptedSessions) {
  for (const Session& s : kSessions) {
    const TempDir dir;
    const fs::path& root = dir.path;
    fs::create_directories(root / "app" / "data");
    const std::string r = root.string();
    if (s.env != "-") writeFile(root / "ENV.DAT", expand(s.env, r));
    writeFile(root / "app" / "data" / "Work.Txt", "old\r\n");
    if (s.modeFile) writeFile(root / "app" / "Mode.txt", "SSB,LSB\r\n");
    const auto makeLog = [&] {
      gen::DatabaseWriter w(root / "LOG.DBS", root / "LOG.DBR");
      for (int i = 0; i < s.qsos; ++i) {
        gen::GenQso q{.call = "JA" + std::to_string(i), .mode = "LSB"};
        if (i == 1 && s.qsos == 3) q.frequency = gen::frequencyPacked(9, 1, 5);  // the point past the digit
        w.add(q);
      }
      w.finish(s.qsos == 3 ? std::optional<std::uint32_t>(5000) : std::nullopt);
    };
    if (s.qsos >= 0) makeLog();
    test::FaultFs files;
    // "held": another run holds the temporary file; "slow": the log's records
    // read only once the window has pumped.
    std::unique_ptr<WriteFile> held;
    if (s.failOn == "held") {
      held = OsFileSystem().createLocked(root / "app" / "nebwdw.tmp");
      held->write("first", 5);
    }
    std::mutex gate;
    std::condition_variable opened;
    bool open = s.failOn != "slow";
    files.beforeRead = [&](const fs::path& p, std::uint64_t offset) {
      std::unique_lock<std::mutex> hold(gate);
      if (p.filename() == "LOG.DBS" && offset > 0) opened.wait_for(hold, std::chrono::seconds(10), [&] { return open; });
    };
    if (s.failOn[0] == '!') files.failure = test::FaultFs::Failure::OutOfMemory;
    ScriptedUi ui(files);
    ui.appDir = r + "/app";
    ui.argument = expand(s.argument, r);
    ui.check2 = s.modeFile;
    ui.msPerTick = s.msPerTick;
    ui.failStart = s.failOn == "start";
    ui.answers.assign(s.answers.begin(), s.answers.end());
    for (const std::string& p : s.picks) {
      const std::string pick = p == "?" ? r + "/\xe2\x98\x83.DBS" : expand(p, r);
      ui.picks.push_back({false, pick, pick.substr(pick.rfind('/') + 1)});
    }
    Form1 form(ui);
    ui.onPump = [&](int pump) {
      gate.lock(), open = true, gate.unlock();
      opened.notify_all();
      // Stop at the first pump, the close box at a later one.
      if (pump == s.unloadAtPump) pump == 1 ? form.Command2_Click() : form.Form_Unload();
    };
    for (char c : s.clicks) {
      if (c != 'L' && !s.failOn.empty())
        files.fail = [&](std::string_view step, const fs::path& p) {
          const std::string at = std::string(step) + ":" + p.filename().string();
          return s.failOn == at || s.failOn == "!" + at;
        };
      try {
        c == 'L' ? form.Form_Load() : c == 'S' ? form.Command1_Click() : c == 'H' ? form.hamlog_set_Click()
        : c == 'X' ? form.MENU_X_Click() : c == 'U' ? form.Form_Unload()
        : c == 'D' ? makeLog() : void(fs::remove(root / (c == 'R' ? "LOG.DBS" : "LOG.DBR")));
      } catch (const Ended&) {
      }
    }
    EXPECT_EQ(ui.log, expand(s.transcript, r)) << s.name;
    EXPECT_EQ(readFile(root / "ENV.DAT"), expand(s.envAfter == "=" ? (s.env == "-" ? "" : s.env) : s.envAfter, r)) << s.name;
    EXPECT_EQ(fs::exists(root / "app" / "nebwdw.tmp"), s.failOn.rfind("remove", 0) == 0 || held) << s.name;
    EXPECT_EQ(held ? readFile(root / "app" / "nebwdw.tmp") : "first", "first") << s.name;
    EXPECT_FALSE(fs::exists(root / "ENV.tmp")) << s.name;
    const bool ran = ui.log.find("start:") != std::string::npos && s.clicks.find('S') != std::string::npos &&
                     s.unloadAtPump == 0;
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
    ScriptedUi ui(files);
    ui.appDir = r + "/app";
    ui.argument = " " + r + "/ENV.DAT";
    ui.check1 = area;
    ui.check2 = mode;
    Form1 form(ui);
    form.Form_Load();
    EXPECT_THROW(form.Command1_Click(), Ended);
    EXPECT_EQ(readFile(dir.path / "app" / "data" / "Work.Txt"),
              std::string("\"NEBWD\",\"JA1ABC\",\"") + (area ? "1" : "JA1") + "\",\"\",\"\",\"7\",\"" + (mode ? "SSB" : "LSB") +
                  "\",\"\",\"\",\"\",\"\",\"20040101\",\"0000J\",\"59\",\"59\",\"\",\"\",\"\",\"0000000001\",\"JA1ABC/JA1\"\r\n");
  }
}

// A slow disk: the final flush and the replace take 400 ms each. The window
// answers all the same: the longest time without pumping, during the run
// and at its end, stays far below that.
TEST(Shell, TheWindowAnswersWhileASlowDiskFinishes) {
  const TempDir dir;
  const std::string r = dir.path.string();
  writeFile(dir.path / "ENV.DAT", "#01," + r + "/LOG.DBS\r\n");
  writeDatabase(dir.path / "LOG.DBS", {{.call = "JA1ABC"}});
  fs::create_directories(dir.path / "app");
  test::FaultFs files;
  files.slow = [](std::string_view step) {
    if (step == "commit" || step == "replace") std::this_thread::sleep_for(std::chrono::milliseconds(400));
  };
  ScriptedUi ui(files);
  ui.appDir = r + "/app";
  ui.argument = " " + r + "/ENV.DAT";
  Form1 form(ui);
  form.Form_Load();
  auto last = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration longest{};
  ui.onPump = [&](int) {
    const auto now = std::chrono::steady_clock::now();
    longest = std::max(longest, now - last);
    last = now;
  };
  EXPECT_THROW(form.Command1_Click(), Ended);
  longest = std::max(longest, std::chrono::steady_clock::now() - last);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count(), 250);
  EXPECT_EQ(readFile(dir.path / "app" / "data" / "Work.Txt").substr(0, 16), "\"NEBWD\",\"JA1ABC\"");
}

TEST(EnvRewrite, CopyNameAndLineEnds) {
  const std::pair<const char*, const char*> names[] = {
      {"/S/ENV.DAT", "/S/ENV.tmp"}, {"/S/ENV.tmp", "/S/ENV.tmp.new"}, {"/S/ENV.Xmp", "/S/ENV.tmp"},
      {"/S/ENV.tXp", "/S/ENV.tmp"}, {"/S/ENV.TmP", "/S/ENV.TmP.new"}, {"ab", "ab.tmp"},
      {"/S/\xe7\x92\xb0\xe5\xa2\x83\xe3\x83\x95", "/S/tmp"}};
  for (const auto& [env, copy] : names) EXPECT_EQ(rewriteCopyPath(env), copy) << env;
  const auto dropX = [](std::string_view line) -> std::optional<std::string> {
    if (line == "x") return std::nullopt;
    return std::string(line) + "!";
  };
  EXPECT_EQ(rewriteText("a\rb\nc\r\nx\r\n\r\nd", dropX), "a!\r\nb\nc!\r\n!\r\nd!\r\n");
  EXPECT_EQ(rewriteText("", dropX), "");
}

// The rewrite changes the file a link names, and keeps its permissions.
TEST(EnvRewrite, KeepsTheLinkAndThePermissions) {
  const TempDir dir;
  const fs::path& root = dir.path;
  fs::create_directories(root / "real");
  writeFile(root / "real" / "ENV.DAT", "#01,A\r\nx\r\n");
  fs::permissions(root / "real" / "ENV.DAT", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(root / "real" / "ENV.DAT", root / "ENV.DAT");
  OsFileSystem files;
  Env_Rewrite(files, (root / "ENV.DAT").native(),
              [](std::string_view line) { return line == "x" ? std::nullopt : std::optional<std::string>(line); });
  EXPECT_TRUE(fs::is_symlink(root / "ENV.DAT"));
  EXPECT_EQ(readFile(root / "real" / "ENV.DAT"), "#01,A\r\n");
  EXPECT_EQ(fs::status(root / "real" / "ENV.DAT").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "real"), {}), 1);
}

}  // namespace
}  // namespace neb::app
