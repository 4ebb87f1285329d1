// End-to-end scenarios for neb01.exe, run under Wine or Windows:
//   neb01-e2e SCENARIO --neb01 EXE --nebmenu EXE [--extract EXE] [--root DIR] [--shots DIR]
//             [--drive-root R:]
//   neb01-e2e list
//   neb01-e2e gen COUNT OUT.DBS
// Each scenario builds its own suite directory under the root, starts the
// program with an exact command line, drives it like a user and prints one
// PASS or FAIL line per check. The exit code is the number of failures.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../../control_ids.hpp"
#include "fixture.hpp"
#include "ui.hpp"

namespace fs = std::filesystem;
using namespace e2e;
using neb::win32::ControlId;

namespace {

constexpr DWORD kStartMs = 30000;  // a cold Wine start can take seconds
constexpr DWORD kStepMs = 15000;

// ---------------------------------------------------------------- output

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::string shown(const std::wstring& w) {  // printable, line feeds visible
  std::string s = utf8(w), out;
  for (char c : s) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return "\"" + out + "\"";
}

std::string shownBytes(const std::string& sj) {
  int n = MultiByteToWideChar(932, 0, sj.data(), static_cast<int>(sj.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, sj.data(), static_cast<int>(sj.size()), w.data(), n);
  return shown(w);
}

void say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

struct Options {
  std::wstring neb01, nebmenu, extract, root = L"C:\\neb-e2e", shots;
  std::wstring driveRoot;          // "R:", an empty drive for drive-root
  std::uint32_t count = 1000000;  // bench only
};

class Scenario {
public:
  Scenario(std::string name, const Options& opt) : name_(std::move(name)), opt_(opt) {}

  bool check(bool ok, const std::string& what) {
    say((ok ? "PASS " : "FAIL ") + name_ + ": " + what);
    if (!ok) ++failures_;
    return ok;
  }
  bool same(const std::wstring& got, const std::wstring& want, const std::string& what) {
    return check(got == want, what + (got == want ? "" : " (got " + shown(got) + ", want " +
                                                             shown(want) + ")"));
  }
  void note(const std::string& what) { say("NOTE " + name_ + ": " + what); }
  int failures() const { return failures_; }

  // ---------------------------------------------------- the suite directory

  std::wstring dir;
  std::wstring path(const std::wstring& rel) const { return dir + L"\\" + rel; }
  std::wstring exe() const { return path(L"neb01.exe"); }
  std::wstring env() const { return path(L"ENV.DAT"); }
  std::wstring work() const { return path(L"data\\Work.Txt"); }
  std::wstring temp() const { return path(L"nebwdw.tmp"); }
  std::wstring record() const { return path(L"menu-record.txt"); }

  bool prepare(const std::wstring& dirName = L"") {
    std::error_code ec;
    if (dirName.size() == 2 && dirName[1] == L':') {
      dir = dirName;  // a drive root: the caller gives an empty drive
    } else {
      dir = opt_.root + L"\\" + (dirName.empty() ? fromUtf8(name_) : dirName);
      fs::remove_all(dir, ec);
    }
    fs::create_directories(dir + L"\\data", ec);
    bool ok = CopyFileW(opt_.neb01.c_str(), exe().c_str(), FALSE) &&
              CopyFileW(opt_.nebmenu.c_str(), path(L"nebmenu.exe").c_str(), FALSE);
    return check(ok, "suite directory prepared in " + utf8(dir));
  }

  // ---------------------------------------------------- the program

  Process proc;
  HWND main = nullptr;
  std::wstring argText;

  // Starts neb01 with the exact command line "<dir>\neb01.exe <argText>".
  bool launch(const std::wstring& argumentText) {
    argText = argumentText;
    std::wstring cmd = exe();
    if (!argText.empty()) cmd += L" " + argText;
    SetEnvironmentVariableW(L"NEB01_MENU_RECORD", record().c_str());
    return check(proc.start(exe(), cmd, dir), "started " + shown(cmd));
  }

  bool waitMain() {
    main = waitMainWindow(proc.pid(), kStartMs);
    return check(main != nullptr, "main window shown");
  }

  HWND control(int id) const { return GetDlgItem(main, id); }
  HWND control(ControlId id) const { return control(static_cast<int>(id)); }
  std::wstring textOf(ControlId id) const { return windowText(control(id)); }

  MessageBoxInfo expectBox(const std::wstring& text, const std::wstring& caption, bool yesNo,
                           const std::string& what, DWORD timeout = kStepMs) {
    MessageBoxInfo box = waitMessageBox(proc.pid(), timeout, seenBoxes_);
    if (!check(static_cast<bool>(box), what + ": box shown")) return box;
    seenBoxes_.push_back(box.hwnd);
    same(box.text, text, what + ": text");
    same(box.caption, caption, what + ": caption");
    if (yesNo) {
      check(box.yes && box.no && !box.ok, what + ": Yes and No buttons");
      check(box.icon, what + ": exclamation icon");
    } else {
      check(box.ok && !box.yes && !box.no, what + ": OK button only");
      check(!box.icon, what + ": no icon");
    }
    return box;
  }

  void answerBox(const MessageBoxInfo& box, int id, const std::string& what) {
    if (box) check(answer(box, id), what);
  }

  // The hand-off: the program ends and the menu stand-in records exactly
  // "<dir>\nebmenu.exe <argument text>", once.
  void expectHandoff(const std::string& what) {
    bool ended = proc.waitExit(kStepMs);
    check(ended, what + ": program ended");
    if (!ended) proc.kill();
    const std::wstring want = dir + L"\\nebmenu.exe " + argText;
    std::wstring got;
    waitFor(
        [&] {
          auto text = readFile(record());
          if (!text || text->empty() || text->back() != '\n') return false;
          got = fromUtf8(*text);
          return true;
        },
        kStepMs);
    Sleep(300);  // a second start would show up here
    if (auto text = readFile(record())) got = fromUtf8(*text);
    while (!got.empty() && (got.back() == L'\n' || got.back() == L'\r')) got.pop_back();
    same(got, want, what + ": nebmenu.exe started once with the exact command line");
  }

  void shot(const std::vector<HWND>& windows, const std::wstring& name) {
    if (opt_.shots.empty()) return;
    CreateDirectoryW(opt_.shots.c_str(), nullptr);
    Sleep(400);  // a window just found may not have painted yet
    check(screenshot(windows, opt_.shots + L"\\" + name + L".bmp"), "screenshot " + utf8(name));
  }

  // ---------------------------------------------------- the command-line twin

  // Start to end of the last neb01-extract run, without reading its output.
  double cliSeconds = 0;

  // Runs neb01-extract on the same files; returns its work file or nothing.
  std::optional<std::string> extractWithCli(bool check1, bool check2) {
    if (opt_.extract.empty()) {
      note("no --extract given; command-line comparison skipped");
      return std::nullopt;
    }
    const std::wstring cliDir = path(L"cli");
    CreateDirectoryW(cliDir.c_str(), nullptr);
    const std::wstring out = cliDir + L"\\Work.Txt";
    std::wstring cmd = L"neb01-extract.exe --quiet --app-dir " + dir + L" --output " + out;
    if (check1) cmd += L" --area-suffix";
    if (check2) cmd += L" --mode-convert";
    cmd += L" " + env();
    Process cli;
    const ULONGLONG started = GetTickCount64();
    if (!check(cli.start(opt_.extract, cmd, cliDir, cliDir + L"\\output.txt"),
               "neb01-extract started: " + shown(cmd))) {
      return std::nullopt;
    }
    if (!check(cli.waitExit(120000), "neb01-extract finished")) {
      cli.kill();
      return std::nullopt;
    }
    cliSeconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
    check(cli.exitCode() == 0, "neb01-extract exit code 0 (got " +
                                   std::to_string(cli.exitCode()) + ")");
    return readFile(out);
  }

  // Option > Hamlog file definition, picking the given file.
  void defineFromMenu(const std::wstring& file) {
    postMenu(main, neb::win32::kMenuHamlogSet);
    HWND dlg = waitFileDialog(proc.pid(), kStepMs);
    if (!check(dlg != nullptr, "Open-file dialog from the menu")) return;
    same(windowText(dlg), L"HamLog ﾌｧｲﾙを定義します", "dialog title");
    fileDialogOpen(dlg, file);
    check(waitFor([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); }, kStepMs),
          "dialog closed");
    waitFor([&] { return textOf(neb::win32::kLabel1) == file; }, kStepMs);
  }

  ~Scenario() { proc.kill(); }

private:
  std::string name_;
  const Options& opt_;
  std::vector<HWND> seenBoxes_;
  int failures_ = 0;
};

const std::wstring kMarker = L"###初期設定済み###";
const std::wstring kAskText = L"HAMLOG ファイルが見つかりません探しますか？";
const std::wstring kDialogTitle = L"HamLog ﾌｧｲﾙを定義します";

std::string crlf(const std::vector<std::wstring>& lines) {
  std::string out;
  for (const auto& l : lines) out += sjis(l) + "\r\n";
  return out;
}

void setCheck(Scenario& s, ControlId id, bool want, const std::string& what) {
  HWND box = s.control(id);
  if (isChecked(box) != want) click(box);
  s.check(waitFor([&] { return isChecked(box) == want; }, 5000),
          what + (want ? " ticked" : " unticked"));
}


// ======================================================================
// Scenarios

// The window as it first opens, and Stop outside a run.
int scenarioWindow(const Options& opt) {
  Scenario s("window", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring dbs = s.path(L"LOG\\HAMLOG.DBS");
  CreateDirectoryW(s.path(L"LOG").c_str(), nullptr);
  writeDatabase(dbs, {}, 10);
  writeFile(s.env(), crlf({L"#01," + dbs, L"$JA", kMarker}));  // no Mode.txt here
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();

  s.same(windowText(s.main), L"HAMLOG からの抽出", "window caption");
  s.same(s.textOf(neb::win32::kLabel1), dbs, "Label1 shows the HAMLOG path");
  s.same(s.textOf(neb::win32::kCommand1), L"開始", "Command1 caption");
  s.same(s.textOf(neb::win32::kCommand2), L"中止", "Command2 caption");
  s.same(s.textOf(neb::win32::kCheck1), L"/JA1 =>  /1  変換", "Check1 caption");
  s.same(s.textOf(neb::win32::kCheck2), L"モード 形式変換", "Check2 caption");
  s.same(s.textOf(neb::win32::kLabel2), L"", "Label2 empty before a run");
  s.same(s.textOf(neb::win32::kLabel3), L"", "Label3 empty before a run");
  s.check(isEnabled(s.control(neb::win32::kCommand1)), "Command1 enabled");
  s.check(!isEnabled(s.control(neb::win32::kCheck2)), "Check2 disabled without Mode.txt");
  std::wstring tip1 = L"<none>", tip2 = L"<none>";
  for (const auto& [tool, text] : toolTips(s.proc)) {
    if (tool == s.control(neb::win32::kCheck1)) tip1 = text;
    if (tool == s.control(neb::win32::kCheck2)) tip2 = text;
  }
  s.same(tip1, L"国内移動局が が /JA1 形式の時の時にチェックします", "Check1 tooltip");
  s.same(tip2, L"Mode が FM SSB 形式で無い時チェックします", "Check2 tooltip");

  RECT r{};
  GetWindowRect(s.main, &r);
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const int sx = GetSystemMetrics(SM_CXSCREEN) / 2, sy = GetSystemMetrics(SM_CYSCREEN) / 2;
  s.check(std::abs(cx - sx) <= 8 && std::abs(cy - sy) <= 8,
          "window centred on the screen (centre " + std::to_string(cx) + "," +
              std::to_string(cy) + ")");
  s.shot({s.main}, L"main-window");

  click(s.control(neb::win32::kCommand2));
  s.expectHandoff("Stop before any run");
  s.check(!fileExists(s.work()) && !fileExists(s.temp()), "no work file and no nebwdw.tmp");
  return s.failures();
}

// Start on a generated database; the result must equal the command-line
// twin's for the same inputs, and the conversions must show in the lines.
int scenarioExtract(const Options& opt, const std::string& name, bool check1, bool check2) {
  Scenario s(name, opt);
  if (!s.prepare()) return s.failures();
  const std::wstring dbs = s.path(L"HAMLOG.DBS");
  std::vector<Qso> first(4);
  first[0].suffix = "JR2";
  first[0].mode = "LSB";
  first[1].suffix = "ja1";  // case-sensitive: stays
  first[1].mode = "lsb";
  first[2].suffix = "JA1";  // JA -> 1, then the entry "1" -> empty
  first[2].mode = "NFM";
  first[3].suffix = "7K3";
  first[3].mode = "A1A";
  const std::uint32_t count = 2500;
  writeDatabase(dbs, first, count, 7);
  writeFile(s.env(), crlf({L"#01," + dbs, L"$JA", L"$JR", L"$JD1", L"$7K", L"$1", kMarker}));
  writeFile(s.path(L"Mode.txt"), crlf({L"SSB, LSB ,USB", L"fm,nfm", L"CW,A1A", L"AM,LSB"}));
  const std::string old = "\"OLD\",\"work file\"\r\n";
  writeFile(s.work(), old);

  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();
  s.check(isEnabled(s.control(neb::win32::kCheck2)), "Check2 enabled with Mode.txt");
  setCheck(s, neb::win32::kCheck1, check1, "Check1");
  setCheck(s, neb::win32::kCheck2, check2, "Check2");
  click(s.control(neb::win32::kCommand1));
  s.expectHandoff("finished run");
  s.check(!fileExists(s.temp()), "no nebwdw.tmp left");

  auto work = readFile(s.work());
  if (!s.check(work.has_value(), "Work.Txt written")) return s.failures();
  const auto lines = splitLines(*work);
  s.check(lines.size() == count && work->size() >= 2 && work->substr(work->size() - 2) == "\r\n",
          "one CR LF line per QSO (" + std::to_string(lines.size()) + " lines)");
  bool shapeOk = true;
  for (std::size_t i = 0; i < lines.size() && shapeOk; ++i) {
    auto f = workFields(lines[i]);
    char num[16];
    std::snprintf(num, sizeof num, "%010zu", i + 1);
    shapeOk = f.size() == 20 && f[0] == "NEBWD" && f[18] == num;
  }
  s.check(shapeOk, "every line has 20 fields, the tag and its QSO number");

  struct Want {
    std::size_t line;
    std::string field3, field7;
  };
  const Want wants[] = {
      {0, check1 ? "2" : "JR2", check2 ? "SSB" : "LSB"},
      {1, "ja1", "lsb"},
      {2, check1 ? "" : "JA1", check2 ? "FM" : "NFM"},
      {3, check1 ? "3" : "7K3", check2 ? "CW" : "A1A"},
  };
  for (const Want& w : wants) {
    if (w.line >= lines.size()) break;
    auto f = workFields(lines[w.line]);
    if (f.size() != 20) continue;
    s.check(f[2] == w.field3 && f[6] == w.field7,
            "QSO " + std::to_string(w.line + 1) + " suffix/mode " + shownBytes(f[2]) + "/" +
                shownBytes(f[6]) + ", want " + shownBytes(w.field3) + "/" + shownBytes(w.field7));
  }

  if (auto cli = s.extractWithCli(check1, check2)) {
    bool equal = *cli == *work;
    std::size_t at = 0;
    while (!equal && at < cli->size() && at < work->size() && (*cli)[at] == (*work)[at]) ++at;
    s.check(equal, "Work.Txt byte-identical to neb01-extract's" +
                       (equal ? std::string() : " (first difference at byte " + std::to_string(at) + ")"));
  }
  return s.failures();
}

// Stop (or the close box) in the middle of a long run. A QSO with an invalid
// frequency early in the log holds the run on its box, so the checks of the
// running state never race the run's end, however fast the machine is; the
// Stop click is posted together with the box's OK and taken at the next pump.
int scenarioInterrupt(const Options& opt, const std::string& name, bool closeBox) {
  Scenario s(name, opt);
  if (!s.prepare()) return s.failures();
  const std::uint32_t count = 1000000;
  const std::uint32_t held = 120;
  const std::wstring shared = opt.root + L"\\shared";
  const std::wstring dbs = shared + L"\\BIG.DBS";
  CreateDirectoryW(shared.c_str(), nullptr);
  std::vector<Qso> first(held);
  textFreq(first[held - 1], "9");
  // Written anew each time: a cached log from another scenario may lack the
  // planted QSO.
  s.check(writeDatabase(dbs, first, count, 11), "large database written");
  writeFile(s.env(), crlf({L"#01," + dbs, L"$JA"}));
  std::string old;
  for (int i = 1; i <= 3; ++i) old += "\"NEBWD\",\"old line " + std::to_string(i) + "\"\r\n";
  writeFile(s.work(), old);

  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();
  click(s.control(neb::win32::kCommand1));
  auto box = s.expectBox(L"交信番号 " + std::to_wstring(held) + L" の交信周波数は 無効です\n9",
                         L"NEB01", false, "run held on QSO " + std::to_string(held));
  if (!box) {
    s.proc.kill();
    return s.failures();
  }
  // Past 49 the label moves in steps of 50: QSO 120 shows 100.
  s.same(s.textOf(neb::win32::kLabel3), L"100", "Label3 shows the progress sequence");
  s.same(s.textOf(neb::win32::kLabel2), std::to_wstring(count), "Label2 shows the QSO count");
  s.check(fileExists(s.temp()), "nebwdw.tmp exists during the run");
  s.check(!isEnabled(s.control(neb::win32::kCommand1)) &&
              !isEnabled(s.control(neb::win32::kCheck1)) &&
              !isEnabled(s.control(neb::win32::kCheck2)),
          "Command1, Check1 and Check2 disabled during the run");
  s.check(isEnabled(s.control(neb::win32::kCommand2)), "Command2 enabled during the run");

  s.answerBox(box, IDOK, "frequency box answered OK");
  if (closeBox) {
    PostMessageW(s.main, WM_CLOSE, 0, 0);
  } else {
    click(s.control(neb::win32::kCommand2));
  }
  s.expectHandoff(closeBox ? "close box during the run" : "Stop during the run");
  s.same(fromUtf8(readFile(s.work()).value_or("<missing>")), fromUtf8(old),
         "old Work.Txt unchanged");
  s.check(!fileExists(s.temp()), "no nebwdw.tmp left");
  return s.failures();
}

// HAMLOG file missing at start-up, the user answers No; then MENU_X and Start.
int scenarioStartupNo(const Options& opt) {
  Scenario s("startup-no", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring missing = s.path(L"NOWHERE\\HAMLOG.DBS");
  const std::string envText = sjis(L"#01," + missing + L"\r\n  " + kMarker + L"  \r\n\r\n" +
                                   kMarker + L"extra\r\n$JA\r\n" + kMarker);
  writeFile(s.env(), envText);
  if (!s.launch(L" " + s.env())) return s.failures();

  auto box = s.expectBox(missing, L"NEB01", false, "path box");
  s.answerBox(box, IDOK, "path box answered OK");
  box = s.expectBox(kAskText, L"NEB01", true, "question");
  s.answerBox(box, IDNO, "question answered No");
  if (!s.waitMain()) return s.failures();
  s.check(!isEnabled(s.control(neb::win32::kCommand1)), "No leaves Command1 disabled");
  s.same(s.textOf(neb::win32::kLabel1), missing, "Label1 shows the configured path");

  postMenu(s.main, neb::win32::kMenuX);
  const std::string wantEnv = crlf({L"#01," + missing, L"", kMarker + L"extra", L"$JA"});
  std::string gotEnv;
  s.check(waitFor(
              [&] {
                gotEnv = readFile(s.env()).value_or("");
                return gotEnv == wantEnv;
              },
              kStepMs),
          "MENU_X removed every marker line and kept the rest (got " + shownBytes(gotEnv) + ")");
  s.check(waitFor(
              [&] {
                return isEnabled(s.control(neb::win32::kCommand1)) &&
                       isEnabled(s.control(neb::win32::kCommand2));
              },
              kStepMs),
          "MENU_X enabled Command1 and Command2");
  s.check(!fileExists(s.path(L"ENV.tmp")), "no ENV.tmp left");

  click(s.control(neb::win32::kCommand1));
  box = s.expectBox(L"HAMLOG ファイルが定義されていません", L"NEB01", false, "Start without file");
  s.answerBox(box, IDOK, "answered OK");
  Sleep(300);
  s.check(s.proc.running(), "window stays open");
  s.check(!fileExists(s.temp()) && !fileExists(s.work()), "no nebwdw.tmp, no Work.Txt");

  PostMessageW(s.main, WM_CLOSE, 0, 0);
  s.expectHandoff("close box");
  return s.failures();
}

// No at start-up, then the file defined from the menu: Command1 stays
// disabled until MENU_X, and the run then reads the new database.
int scenarioNoThenDefine(const Options& opt) {
  Scenario s("no-then-define", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring missing = s.path(L"GONE\\HAMLOG.DBS");
  CreateDirectoryW(s.path(L"LOG").c_str(), nullptr);
  const std::wstring chosen = s.path(L"LOG\\HAMLOG.DBS");
  writeDatabase(chosen, {}, 75, 12);
  writeFile(s.env(), crlf({L"#01," + missing, L"$JA", kMarker}));
  if (!s.launch(L" " + s.env())) return s.failures();
  s.answerBox(s.expectBox(missing, L"NEB01", false, "path box"), IDOK, "answered OK");
  s.answerBox(s.expectBox(kAskText, L"NEB01", true, "question"), IDNO, "answered No");
  if (!s.waitMain()) return s.failures();
  s.check(isEnabled(s.control(neb::win32::kCheck2)),
          "Check2 stays enabled: the mode table was never looked for");

  s.defineFromMenu(chosen);
  s.same(s.textOf(neb::win32::kLabel1), chosen, "Label1 refreshed");
  s.check(!isEnabled(s.control(neb::win32::kCommand1)), "Command1 still disabled");
  s.check(readFile(s.env()).value_or("") == crlf({L"#01," + chosen, L"$JA", kMarker}),
          "#01, line rewritten");

  postMenu(s.main, neb::win32::kMenuX);
  s.check(waitFor([&] { return isEnabled(s.control(neb::win32::kCommand1)); }, kStepMs),
          "MENU_X enabled Command1");
  s.check(waitFor([&] { return readFile(s.env()) == crlf({L"#01," + chosen, L"$JA"}); }, kStepMs),
          "marker removed");
  click(s.control(neb::win32::kCommand1));
  s.expectHandoff("run on the defined database");
  s.check(splitLines(readFile(s.work()).value_or("")).size() == 75, "Work.Txt holds 75 lines");
  return s.failures();
}

// HAMLOG file missing at start-up, the user answers Yes: cancel once, pick a
// file of the wrong kind, then the database.
int scenarioStartupYes(const Options& opt) {
  Scenario s("startup-yes", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring old1 = s.path(L"OLD\\HAMLOG.DBS");
  const std::wstring old2 = s.path(L"OLD2\\HAMLOG.DBS");
  CreateDirectoryW(s.path(L"LOG").c_str(), nullptr);
  const std::wstring chosen = s.path(L"LOG\\HAMLOG.DBS");
  writeDatabase(chosen, {}, 3);
  writeFile(s.path(L"LOG\\LOG.TXT"), "not a database\r\n");
  writeFile(s.env(), sjis(L"#01," + old1 + L"\r\n$JA\r\n" + kMarker + L"\r\n#01," + old2 +
                          L",X\r\n$JD1"));
  if (!s.launch(L" " + s.env())) return s.failures();

  auto box = s.expectBox(old2, L"NEB01", false, "path box (later #01 wins)");
  s.answerBox(box, IDOK, "path box answered OK");
  box = s.expectBox(kAskText, L"NEB01", true, "question");
  s.shot({box.hwnd}, L"question-box");
  s.answerBox(box, IDYES, "question answered Yes");
  HWND dlg = waitFileDialog(s.proc.pid(), kStepMs);
  if (!s.check(dlg != nullptr, "Open-file dialog shown")) return s.failures();
  s.same(windowText(dlg), kDialogTitle, "dialog title");
  fileDialogCancel(dlg);

  box = s.expectBox(old2, L"NEB01", false, "path box again after Cancel");
  s.answerBox(box, IDOK, "answered OK");
  box = s.expectBox(kAskText, L"NEB01", true, "question again");
  s.answerBox(box, IDYES, "answered Yes");
  dlg = waitFileDialog(s.proc.pid(), kStepMs);
  if (!s.check(dlg != nullptr, "dialog shown again")) return s.failures();
  fileDialogOpen(dlg, s.path(L"LOG\\LOG.TXT"));
  HWND again = waitFileDialog(s.proc.pid(), kStepMs, dlg);
  s.check(again != nullptr, "a file not ending in .DBS opens the dialog again");
  s.check(!currentMessageBox(s.proc.pid()), "without a message");
  if (!again) return s.failures();
  fileDialogOpen(again, chosen);

  if (!s.waitMain()) return s.failures();
  s.same(s.textOf(neb::win32::kLabel1), chosen, "Label1 shows the chosen file");
  s.check(isEnabled(s.control(neb::win32::kCommand1)), "Command1 enabled");
  const std::string wantEnv =
      crlf({L"#01," + chosen, L"$JA", kMarker, L"#01," + chosen, L"$JD1"});
  const std::string gotEnv = readFile(s.env()).value_or("");
  s.check(gotEnv == wantEnv,
          "every #01, line rewritten, the rest kept (got " + shownBytes(gotEnv) + ")");
  s.check(!fileExists(s.path(L"ENV.tmp")), "no ENV.tmp left");

  click(s.control(neb::win32::kCommand2));
  s.expectHandoff("Stop");
  return s.failures();
}

// Option > Hamlog file definition from the open window; the next Start reads
// the newly defined database.
int scenarioMenuDefine(const Options& opt) {
  Scenario s("menu-define", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring first = s.path(L"A\\HAMLOG.DBS");
  const std::wstring second = s.path(L"B\\hamlog.dbs");
  CreateDirectoryW(s.path(L"A").c_str(), nullptr);
  CreateDirectoryW(s.path(L"B").c_str(), nullptr);
  writeDatabase(first, {}, 40);
  writeDatabase(second, {}, 7);
  writeFile(s.env(), crlf({L"$JA", L"#01," + first, kMarker}));
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();

  s.defineFromMenu(second);
  s.same(s.textOf(neb::win32::kLabel1), second, "Label1 refreshed");
  const std::string gotEnv = readFile(s.env()).value_or("");
  s.check(gotEnv == crlf({L"$JA", L"#01," + second, kMarker}),
          "#01, line rewritten with the name as chosen (got " + shownBytes(gotEnv) + ")");

  click(s.control(neb::win32::kCommand1));
  s.expectHandoff("run on the new database");
  s.check(splitLines(readFile(s.work()).value_or("")).size() == 7,
          "Work.Txt holds the 7 QSOs of the newly defined database");
  return s.failures();
}

// The record file without its companion: the open reports it and the old
// work file stays.
int scenarioOpenFailure(const Options& opt) {
  Scenario s("open-failure", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring dbs = s.path(L"HAMLOG.DBS");
  writeDatabase(dbs, {}, 20);
  DeleteFileW(s.path(L"HAMLOG.DBR").c_str());
  writeFile(s.env(), crlf({L"#01," + dbs}));
  const std::string old = "\"NEBWD\",\"keep me\"\r\n";
  writeFile(s.work(), old);
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();
  click(s.control(neb::win32::kCommand1));
  auto box = s.expectBox(s.path(L"HAMLOG.DBR  が　見つかりません"), L"HamlogOpen", false,
                         "companion file missing");
  s.answerBox(box, IDOK, "answered OK");
  // Whether the window stays or hands off is the program's choice; the work
  // file must survive either way.
  waitFor([&] { return !s.proc.running() || static_cast<bool>(currentMessageBox(s.proc.pid())); },
          2000);
  if (auto more = currentMessageBox(s.proc.pid())) {
    s.note("further box: " + shown(more.text));
    answer(more, IDOK);
  }
  if (s.proc.running()) PostMessageW(s.main, WM_CLOSE, 0, 0);
  s.expectHandoff("after the failed open");
  s.same(fromUtf8(readFile(s.work()).value_or("<missing>")), fromUtf8(old),
         "old Work.Txt unchanged");
  s.check(!fileExists(s.temp()), "no nebwdw.tmp left");
  return s.failures();
}

// Japanese directory names everywhere: program, environment file, database.
int scenarioJapanesePaths(const Options& opt) {
  Scenario s("japanese-paths", opt);
  if (!s.prepare(L"交信ログ集計")) return s.failures();
  CreateDirectoryW(s.path(L"ハムログ").c_str(), nullptr);
  const std::wstring dbs = s.path(L"ハムログ\\HAMLOG.DBS");
  writeDatabase(dbs, {}, 120, 3);
  writeFile(s.env(), crlf({L"#01," + dbs, L"$JA"}));
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();
  s.same(s.textOf(neb::win32::kLabel1), dbs, "Label1 shows the Japanese path");
  click(s.control(neb::win32::kCommand1));
  s.expectHandoff("finished run");
  s.check(splitLines(readFile(s.work()).value_or("")).size() == 120, "Work.Txt holds 120 lines");
  if (auto cli = s.extractWithCli(false, false)) {
    s.check(*cli == readFile(s.work()), "Work.Txt byte-identical to neb01-extract's");
  }
  return s.failures();
}

// A log whose header promises more QSOs than the file holds: the window and
// the command line must agree on what is written.
int scenarioShortLog(const Options& opt) {
  Scenario s("short-log", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring dbs = s.path(L"HAMLOG.DBS");
  writeDatabase(dbs, {}, 60, 4, 100);
  writeFile(s.env(), crlf({L"#01," + dbs}));
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();
  click(s.control(neb::win32::kCommand1));
  for (int i = 0; i < 3; ++i) {  // a report of the short file, if the program gives one
    auto box = waitMessageBox(s.proc.pid(), 1500);
    if (!box) break;
    s.note("box " + shown(box.caption) + ": " + shown(box.text));
    answer(box, IDOK);
  }
  s.expectHandoff("run over a short log");
  const auto work = readFile(s.work());
  s.check(!fileExists(s.temp()), "no nebwdw.tmp left");
  s.note("Work.Txt lines: " + std::to_string(splitLines(work.value_or("")).size()));
  if (auto cli = s.extractWithCli(false, false)) {
    s.check(cli == work, "Work.Txt byte-identical to neb01-extract's");
  }
  return s.failures();
}

// Files held open by another program: a locked log counts as missing; a
// work file that cannot be replaced keeps its old content.
int scenarioLocked(const Options& opt) {
  Scenario s("locked", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring dbs = s.path(L"HAMLOG.DBS");
  writeDatabase(dbs, {}, 300, 6);
  writeFile(s.env(), crlf({L"#01," + dbs}));
  const std::string old = "\"NEBWD\",\"held by another tool\"\r\n";
  writeFile(s.work(), old);
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();

  HANDLE lock = CreateFileW(dbs.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  s.check(lock != INVALID_HANDLE_VALUE, "log locked");
  click(s.control(neb::win32::kCommand1));
  auto box = s.expectBox(L"HAMLOG ファイルが定義されていません", L"NEB01", false, "Start on a locked log");
  s.answerBox(box, IDOK, "answered OK");
  CloseHandle(lock);
  Sleep(300);
  s.check(s.proc.running() && isEnabled(s.control(neb::win32::kCommand1)) &&
              !fileExists(s.temp()),
          "window idle, no nebwdw.tmp");

  // Like a reader of the suite: open for reading, sharing reading only.
  HANDLE held = CreateFileW(s.work().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  s.check(held != INVALID_HANDLE_VALUE, "Work.Txt held open");
  click(s.control(neb::win32::kCommand1));
  box = waitMessageBox(s.proc.pid(), kStepMs);
  if (s.check(static_cast<bool>(box), "the failed replacement is reported")) {
    s.note("box " + shown(box.caption) + ": " + shown(box.text));
    s.check(!box.text.empty(), "the report says something");
    answer(box, IDOK);
  }
  CloseHandle(held);
  if (s.proc.waitExit(kStepMs)) {
    s.note("program ended after the report");
  } else {
    PostMessageW(s.main, WM_CLOSE, 0, 0);
    s.proc.waitExit(kStepMs);
  }
  s.same(fromUtf8(readFile(s.work()).value_or("<missing>")), fromUtf8(old),
         "old Work.Txt unchanged");
  s.check(!fileExists(s.temp()), "no nebwdw.tmp left");
  return s.failures();
}

// The program at a drive root: no doubled backslash in the hand-off.
int scenarioDriveRoot(const Options& opt) {
  Scenario s("drive-root", opt);
  if (opt.driveRoot.empty()) {
    s.note("no --drive-root given; skipped");
    return 0;
  }
  if (!s.prepare(opt.driveRoot)) return s.failures();
  const std::wstring dbs = s.path(L"HAMLOG.DBS");
  writeDatabase(dbs, {}, 60, 9);
  writeFile(s.env(), crlf({L"#01," + dbs}));
  if (!s.launch(L"X" + s.env()) || !s.waitMain()) return s.failures();
  s.same(s.textOf(neb::win32::kLabel1), dbs, "Label1 shows the path");
  click(s.control(neb::win32::kCommand1));
  s.expectHandoff("finished run");
  s.check(splitLines(readFile(s.work()).value_or("")).size() == 60, "Work.Txt holds 60 lines");
  s.check(!fileExists(s.temp()), "no nebwdw.tmp left");
  return s.failures();
}

// Start-up failures before the window: the box, then the hand-off.
int scenarioBadArgument(const Options& opt) {
  Scenario s("bad-argument", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring noEnv = L"環境ﾌｧｲﾙが見当たりません";
  struct Case {
    std::wstring argText, text;
  };
  const Case cases[] = {
      {L"", L"環境変数がない為実行できません"},
      {L"X", L"環境変数がない為実行できません"},
      {L" " + s.path(L"MISSING.DAT"), noEnv},
      {s.env(), noEnv},  // the first character is skipped: ":\..." is no file
  };
  writeFile(s.env(), crlf({L"#01,C:\\X.DBS"}));
  int failures = s.failures();
  for (const Case& c : cases) {
    DeleteFileW(s.record().c_str());
    Scenario one("bad-argument", opt);
    one.dir = s.dir;
    const std::string what = "argument " + shown(c.argText);
    if (one.launch(c.argText)) {
      auto box = one.expectBox(c.text, L"NEBWD", false, what);
      one.answerBox(box, IDOK, what + ": answered OK");
      one.expectHandoff(what);
    }
    failures += one.failures();
  }
  return failures;
}

// Invalid and doubtful frequencies: a box per QSO, the run goes on after OK.
int scenarioBadFrequency(const Options& opt) {
  Scenario s("bad-frequency", opt);
  if (!s.prepare()) return s.failures();
  const std::wstring dbs = s.path(L"HAMLOG.DBS");
  std::vector<Qso> qsos(6);
  textFreq(qsos[1], "9");           // no band
  packedFreq(qsos[3], 430, 1, 7);   // point beyond the kept digits: "43"
  textFreq(qsos[4], "5.0");         // no band
  writeDatabase(dbs, qsos, 6);
  writeFile(s.env(), crlf({L"#01," + dbs}));
  const std::string old = "\"OLD\"\r\n";
  writeFile(s.work(), old);
  if (!s.launch(L" " + s.env()) || !s.waitMain()) return s.failures();
  click(s.control(neb::win32::kCommand1));

  auto box = s.expectBox(L"交信番号 2 の交信周波数は 無効です\n9", L"NEB01", false, "QSO 2");
  s.check(s.proc.running() && readFile(s.work()) == old, "run waits; Work.Txt not yet replaced");
  // The window behind the box is painted: its progress must name this QSO.
  s.same(s.textOf(neb::win32::kLabel3), L"2", "Label3 shows the QSO of the open box");
  s.shot({s.main, box.hwnd}, L"frequency-box");
  s.answerBox(box, IDOK, "QSO 2 answered OK");
  box = s.expectBox(L"交信番号 4 の交信周波数が変です\n430 MHz と判断しました", L"NEB01", false,
                    "QSO 4 warning");
  s.answerBox(box, IDOK, "QSO 4 answered OK");
  box = s.expectBox(L"交信番号 5 の交信周波数は 無効です\n5.0", L"NEB01", false, "QSO 5");
  s.same(s.textOf(neb::win32::kLabel3), L"5", "Label3 shows the QSO of the open box");
  s.answerBox(box, IDOK, "QSO 5 answered OK");
  s.expectHandoff("run finished");

  const auto work = readFile(s.work()).value_or("");
  const auto lines = splitLines(work);
  std::string bands;
  for (const auto& l : lines) {
    auto f = workFields(l);
    bands += (f.size() == 20 ? f[5] : "?") + "|";
  }
  s.check(bands == "7||7|430||7|", "every QSO written, bands " + bands);

  if (auto cli = s.extractWithCli(false, false)) {
    s.check(*cli == work, "Work.Txt byte-identical to neb01-extract's");
  }
  return s.failures();
}

double seconds(ULONGLONG fromMs) { return static_cast<double>(GetTickCount64() - fromMs) / 1000.0; }

// Not a check: the time of a large run through the window (from the Start
// click to the end of the program) against neb01-extract on the same files.
int benchmark(const Options& opt) {
  Scenario s("bench", opt);
  if (!s.prepare() || opt.extract.empty()) return 1;
  const std::wstring shared = opt.root + L"\\shared";
  const std::wstring dbs = shared + L"\\BENCH.DBS";
  CreateDirectoryW(shared.c_str(), nullptr);
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExW(dbs.c_str(), GetFileExInfoStandard, &a) ||
      (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32 | a.nFileSizeLow) !=
          449 + 58ull * opt.count) {
    s.check(writeDatabase(dbs, {}, opt.count, 5), "database of " + std::to_string(opt.count) +
                                                      " QSOs written");
  }
  writeFile(s.env(), crlf({L"#01," + dbs, L"$JA", L"$JR"}));
  writeFile(s.path(L"Mode.txt"), crlf({L"SSB,LSB,USB", L"FM,NFM"}));

  auto cliRun = [&](double& secs) {
    auto out = s.extractWithCli(true, true);
    secs = s.cliSeconds;
    return out;
  };
  auto windowRun = [&](double& secs) {
    DeleteFileW(s.record().c_str());
    Scenario one("bench", opt);
    one.dir = s.dir;
    secs = -1;
    if (!one.launch(L" " + s.env()) || !one.waitMain()) return false;
    setCheck(one, neb::win32::kCheck1, true, "Check1");
    setCheck(one, neb::win32::kCheck2, true, "Check2");
    const ULONGLONG t0 = GetTickCount64();
    click(one.control(neb::win32::kCommand1));
    const bool ended = one.proc.waitExit(1800000);
    secs = seconds(t0);
    return one.check(ended, "window run ended");
  };

  double warm = 0, cliBest = 1e9, winBest = 1e9;
  cliRun(warm);  // fills the file cache for both
  std::optional<std::string> cliOut;
  for (int rep = 0; rep < 2; ++rep) {
    double w = 0, c = 0;
    if (!windowRun(w)) return 1;
    cliOut = cliRun(c);
    char line[120];
    std::snprintf(line, sizeof line, "RUN %d: window %.2f s, neb01-extract %.2f s", rep + 1, w, c);
    say(line);
    winBest = std::min(winBest, w);
    cliBest = std::min(cliBest, c);
  }
  s.check(cliOut && readFile(s.work()) == cliOut, "window and neb01-extract wrote the same file");
  char line[200];
  std::snprintf(line, sizeof line,
                "BENCH %u QSOs: window %.2f s, neb01-extract %.2f s, ratio %.2f (target <= 1.5)",
                opt.count, winBest, cliBest, winBest / cliBest);
  say(line);
  return s.failures();
}

}  // namespace

// ======================================================================

int wmain(int argc, wchar_t** argv) {
  const std::map<std::string, std::function<int(const Options&)>> scenarios = {
      {"window", scenarioWindow},
      {"extract", [](const Options& o) { return scenarioExtract(o, "extract", false, false); }},
      {"extract-check1", [](const Options& o) { return scenarioExtract(o, "extract-check1", true, false); }},
      {"extract-check2", [](const Options& o) { return scenarioExtract(o, "extract-check2", false, true); }},
      {"extract-both", [](const Options& o) { return scenarioExtract(o, "extract-both", true, true); }},
      {"stop", [](const Options& o) { return scenarioInterrupt(o, "stop", false); }},
      {"close-box", [](const Options& o) { return scenarioInterrupt(o, "close-box", true); }},
      {"startup-no", scenarioStartupNo},
      {"startup-yes", scenarioStartupYes},
      {"no-then-define", scenarioNoThenDefine},
      {"menu-define", scenarioMenuDefine},
      {"bad-argument", scenarioBadArgument},
      {"bad-frequency", scenarioBadFrequency},
      {"open-failure", scenarioOpenFailure},
      {"japanese-paths", scenarioJapanesePaths},
      {"drive-root", scenarioDriveRoot},
      {"short-log", scenarioShortLog},
      {"locked", scenarioLocked},
  };
  if (argc < 2) {
    say("usage: neb01-e2e SCENARIO|list|gen ...");
    return 2;
  }
  const std::string what = utf8(argv[1]);
  if (what == "list") {
    for (const auto& [name, fn] : scenarios) say(name);
    return 0;
  }
  if (what == "gen" && argc == 4) {
    return writeDatabase(windowsPath(argv[3]), {}, static_cast<std::uint32_t>(std::wcstoul(argv[2], nullptr, 10)), 3) ? 0 : 1;
  }
  Options opt;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::wstring key = argv[i], value = windowsPath(argv[i + 1]);
    if (key == L"--neb01") opt.neb01 = value;
    else if (key == L"--nebmenu") opt.nebmenu = value;
    else if (key == L"--extract") opt.extract = value;
    else if (key == L"--root") opt.root = value;
    else if (key == L"--shots") opt.shots = value;
    else if (key == L"--drive-root") opt.driveRoot = value;
    else if (key == L"--count") opt.count = static_cast<std::uint32_t>(std::wcstoul(value.c_str(), nullptr, 10));
  }
  if (what == "bench") return benchmark(opt);
  auto it = scenarios.find(what);
  if (it == scenarios.end() || opt.neb01.empty() || opt.nebmenu.empty()) {
    say("unknown scenario or missing --neb01/--nebmenu: " + what);
    return 2;
  }
  std::error_code ec;
  fs::create_directories(opt.root, ec);
  const int failures = it->second(opt);
  say(std::string(failures ? "FAILED " : "PASSED ") + what);
  return failures;
}
