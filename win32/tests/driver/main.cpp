// End-to-end scenarios for neb01.exe under Wine or Windows, driven from
// outside like a user: a table of steps per scenario over a few UI helpers.
//   neb01-e2e list
//   neb01-e2e SCENARIO --neb01 EXE --nebmenu EXE --extract EXE [--root DIR] [--shots DIR]
// Each scenario gets its own suite directory under the root and prints one
// PASS or FAIL line per check; the exit code is the number of failures.
// Paths in the steps: %D is the suite directory, %S a directory shared by
// the scenarios, %X neb01-extract. File texts are written and compared as
// Shift_JIS, each "\n" standing for CR LF.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../../control_ids.hpp"
#include "hamlog_gen.hpp"
#include "random_log.hpp"
#include "text_codec.hpp"

using namespace neb::win32;
namespace fs = std::filesystem;

namespace {

constexpr DWORD kWaitMs = 15000;

// A file text of a step: Shift_JIS, "\n" as CR LF.
std::string fileText(const std::wstring& text) {
  std::wstring crlf;
  for (wchar_t c : text) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
  return neb::nativeToSjisLossy(crlf);
}

std::optional<std::string> readFile(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Another program's hold of a moment, as a virus scanner's: the file open
// for ms with read and write sharing but no delete sharing.
bool hold(const std::wstring& path, int ms) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::thread([h, ms] {
    Sleep(static_cast<DWORD>(ms));
    CloseHandle(h);
  }).detach();
  return true;
}

std::string escaped(const std::string& bytes) {  // all but printable ASCII as \xNN
  std::string text;
  for (const unsigned char c : bytes)
    text += c >= 0x20 && c < 0x7f ? std::string(1, static_cast<char>(c))
                                  : std::string{'\\', 'x', "0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  return "\"" + text + "\"";
}

bool waitFor(const std::function<bool()>& cond, DWORD ms = kWaitMs) {
  for (const ULONGLONG end = GetTickCount64() + ms;; Sleep(10)) {
    if (cond()) return true;
    if (GetTickCount64() >= end) return false;
  }
}

std::wstring textOf(HWND hwnd) {  // one round trip with a deadline
  wchar_t buf[4096] = {};
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &n))
    return L"<no answer>";
  return std::wstring(buf, n < 4096 ? n : 4095);
}

std::vector<HWND> windowsOf(DWORD pid) {  // visible top-level windows
  std::pair<DWORD, std::vector<HWND>> d{pid, {}};
  EnumWindows(
      [](HWND h, LPARAM lp) {
        auto* p = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == p->first && IsWindowVisible(h)) p->second.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&d));
  return d.second;
}

// The Explorer-style Open dialog's file-name field: an Edit below id 0x47c.
HWND fileNameEdit(HWND dialog) {
  auto child = [](HWND parent, const wchar_t* cls) { return parent ? FindWindowExW(parent, nullptr, cls, nullptr) : nullptr; };
  return child(child(GetDlgItem(dialog, 0x47c), L"ComboBox"), L"Edit");
}

// The pixels of a window as the screen shows them (BGRA, top row first).
std::vector<DWORD> screenPixels(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return {};
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  GetDIBits(mem, bmp, 0, static_cast<UINT>(h), px.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return px;
}

void saveBmp(const RECT& r, const std::wstring& path) {
  std::vector<DWORD> px = screenPixels(r);
  if (px.empty()) return;
  for (DWORD& p : px) p |= 0xFF000000;  // opaque: the bitmap's fourth byte reads as alpha
  const DWORD size = static_cast<DWORD>(px.size() * 4);
  BITMAPFILEHEADER fh{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  fh.bfSize = fh.bfOffBits + size;
  BITMAPINFOHEADER ih{sizeof ih, r.right - r.left, -(r.bottom - r.top), 1, 32, BI_RGB, size, 0, 0, 0, 0};
  std::ofstream out(fs::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
  out.write(reinterpret_cast<const char*>(px.data()), size);
}

struct Options {
  std::wstring neb01, nebmenu, extract, root = L"C:\\neb-e2e", shots;
};

// Writes a log of count random QSOs (seeded by the count); plants such as
// "120=9" or "4=p430/1/7" make QSO n a plain one with a text or packed
// frequency, whose work line plainLine states.
bool writeLog(const std::wstring& dbs, std::uint32_t count, const std::wstring& plants) {
  fs::create_directories(fs::path(dbs).parent_path());
  neb::gen::DatabaseWriter out(dbs, neb::gen::companionPath(dbs));
  neb::gen::RandomLog log(count);
  const std::string list = "," + neb::nativeToUtf8(plants) + ",";
  for (std::uint32_t i = 1; i <= count; ++i) {
    neb::gen::GenQso q = log.next();
    const std::size_t at = plants.empty() ? std::string::npos : list.find("," + std::to_string(i) + "=");
    if (at != std::string::npos) {
      const std::size_t from = list.find('=', at) + 1;
      const std::string f = list.substr(from, list.find(',', from) - from);
      unsigned n = 0, l = 0, p = 0;
      const bool packed = std::sscanf(f.c_str(), "p%u/%u/%u", &n, &l, &p) == 3;
      q = {.call = "JR1AA", .frequency = packed ? neb::gen::frequencyPacked(n, l, p) : neb::gen::frequencyText(f),
           .mode = "CW"};
    }
    out.add(q);
  }
  out.finish();
  return true;
}

enum class Op { Log, File, Launch, Main, Box, Answer, Text, Enabled, Click, Enter, Tick, Menu, Dialog, Close,
                Handoff, Ends, Bytes, Exists, Hold, Cli, Redirect, Count, Shot, Centred, EndSession };
struct Step {
  Op op;
  int n = 0;
  std::wstring a{}, b{};
  std::string out{}, err{};  // Redirect: the bytes of the two streams
};
struct Scenario {
  const char* name;
  std::wstring dir;
  std::vector<Step> steps;
};

class Runner {
public:
  Runner(const Scenario& s, const Options& o) : s_(s), o_(o) {
    dir_ = o.root + L"\\" + (s.dir.empty() ? neb::utf8ToNative(s.name) : s.dir);
    std::error_code ec;
    fs::remove_all(dir_, ec);
    fs::create_directories(dir_ + L"\\data");
    check(CopyFileW(o.neb01.c_str(), (dir_ + L"\\neb01.exe").c_str(), FALSE) &&
              CopyFileW(o.nebmenu.c_str(), (dir_ + L"\\nebmenu.exe").c_str(), FALSE),
          "suite directory " + neb::nativeToUtf8(dir_));
  }
  ~Runner() { proc_.hProcess && TerminateProcess(proc_.hProcess, 99); }
  int run() {
    for (const Step& step : s_.steps)
      if (!perform(step)) break;  // a missing window or box makes the rest meaningless
    return failures_;
  }

private:
  bool check(bool ok, const std::string& what) {
    std::printf("%s %s: %s\n", ok ? "PASS" : "FAIL", s_.name, what.c_str());
    std::fflush(stdout);
    failures_ += ok ? 0 : 1;
    return ok;
  }
  std::wstring expand(std::wstring t) const {
    for (auto [key, value] :
         {std::pair<std::wstring, std::wstring>{L"%D", dir_}, {L"%S", o_.root + L"\\shared"}, {L"%X", o_.extract}})
      for (std::size_t at; (at = t.find(key)) != std::wstring::npos;) t.replace(at, 2, value);
    return t;
  }
  HWND control(int id) const { return id ? GetDlgItem(main_, id) : main_; }
  bool running() const { return proc_.hProcess && WaitForSingleObject(proc_.hProcess, 0) == WAIT_TIMEOUT; }
  std::string quoted(const std::wstring& w) const {
    std::string s = neb::nativeToUtf8(w.substr(0, 400)), out = "\"";
    for (char c : s) out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return out + "\"";
  }

  // A message box, or the Open dialog, of the program other than the last one.
  HWND find(HWND& last, bool dialog) {
    HWND found = nullptr;
    waitFor([&] {
      for (HWND h : windowsOf(proc_.dwProcessId))
        if (h != last && (dialog ? fileNameEdit(h) != nullptr : GetDlgItem(h, 0xFFFF) && !fileNameEdit(h))) found = h;
      return found != nullptr;
    });
    return last = found;
  }
  // With out and err: standard output and error go there.
  bool start(const std::wstring& exe, std::wstring cmd, PROCESS_INFORMATION& pi, DWORD flags = 0,
             HANDLE out = nullptr, HANDLE err = nullptr) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (out) si.dwFlags = STARTF_USESTDHANDLES, si.hStdOutput = out, si.hStdError = err;
    const bool ok = CreateProcessW(exe.empty() ? nullptr : exe.c_str(), cmd.data(), nullptr, nullptr, out != nullptr,
                                   flags, nullptr, dir_.c_str(), &si, &pi);
    if (ok) CloseHandle(pi.hThread);
    return check(ok, "started " + quoted(cmd));
  }
  bool answer(int id) {
    PostMessageW(GetDlgItem(lastBox_, id), BM_CLICK, 0, 0);
    return check(waitFor([&] { return !IsWindowVisible(lastBox_); }), "box answered");
  }

  bool perform(const Step& st) {
    const std::wstring a = expand(st.a), b = expand(st.b);
    switch (st.op) {
      case Op::Log:
        return check(writeLog(a, static_cast<std::uint32_t>(st.n), b), "log of " + std::to_string(st.n) + " QSOs");
      case Op::File: {  // n = 1: then made read-only
        fs::create_directories(fs::path(a).parent_path());
        SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::ofstream(fs::path(a), std::ios::binary) << fileText(b);
        return !st.n || SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_READONLY);
      }
      case Op::Launch: {
        argText_ = a;
        return start(dir_ + L"\\neb01.exe", dir_ + L"\\neb01.exe" + (a.empty() ? L"" : L" " + a), proc_) &&
               (st.n || perform({Op::Main}));
      }
      case Op::Main:
        waitFor([&] {
          for (HWND h : windowsOf(proc_.dwProcessId))
            if (GetDlgItem(h, kCommand1)) main_ = h;
          return main_ != nullptr;
        });
        return check(main_ != nullptr, "main window shown");
      case Op::Box: {
        HWND box = find(lastBox_, false);
        if (!box) return check(false, "box " + quoted(a));
        const bool yesNo = st.n == IDYES || st.n == IDNO;
        // The icon control: 0x440 under Wine, 20 under Windows.
        const bool hasIcon = SendDlgItemMessageW(box, 0x440, STM_GETICON, 0, 0) || SendDlgItemMessageW(box, 20, STM_GETICON, 0, 0);
        const bool buttons = yesNo ? IsWindowVisible(GetDlgItem(box, IDYES)) && IsWindowVisible(GetDlgItem(box, IDNO)) &&
                                         !GetDlgItem(box, IDOK)
                                   : IsWindowVisible(GetDlgItem(box, IDOK)) && !GetDlgItem(box, IDYES);
        check(textOf(GetDlgItem(box, 0xFFFF)) == a && textOf(box) == b && buttons && hasIcon == yesNo,
              "box " + quoted(textOf(GetDlgItem(box, 0xFFFF))) + " titled " + quoted(textOf(box)) +
                  (yesNo ? " with Yes, No and the exclamation icon" : " with OK alone, no icon"));
        return st.n == 0 || answer(st.n);
      }
      case Op::Answer: return answer(st.n);
      case Op::Text: {
        std::wstring got;
        const bool ok = waitFor([&] { return (got = textOf(control(st.n))) == a; });
        return check(ok, "text of " + std::to_string(st.n) + " " + quoted(got));
      }
      case Op::Enabled:
        return check(waitFor([&] { return (IsWindowEnabled(control(st.n)) != FALSE) == (a == L"1"); }),
                     std::to_string(st.n) + (a == L"1" ? " enabled" : " disabled"));
      case Op::Click: PostMessageW(control(st.n), BM_CLICK, 0, 0); return true;
      case Op::Enter: {
        // The focus from a mouse press released off the button: it takes the
        // focus without being pressed, and is not made the default button.
        HWND button = control(st.n);
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(-40, -40));
        PostMessageW(button, WM_KEYDOWN, VK_RETURN, 1);
        return true;
      }
      case Op::Tick:
        PostMessageW(control(st.n), BM_CLICK, 0, 0);
        return check(waitFor([&] { return SendMessageW(control(st.n), BM_GETCHECK, 0, 0) == BST_CHECKED; }),
                     std::to_string(st.n) + " ticked");
      case Op::Menu: PostMessageW(main_, WM_COMMAND, MAKEWPARAM(st.n, 0), 0); return true;
      case Op::Dialog: {
        HWND dialog = find(lastDialog_, true);
        if (!check(dialog && textOf(dialog) == L"HamLog ﾌｧｲﾙを定義します", "Open dialog titled as it should be"))
          return false;
        if (!a.empty())
          SendMessageTimeoutW(fileNameEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.c_str()),
                              SMTO_ABORTIFHUNG, 5000, nullptr);
        if (st.n && !check(hold(b, st.n), "held " + neb::nativeToUtf8(b))) return false;  // from the choice on
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(a.empty() ? IDCANCEL : IDOK, BN_CLICKED), 0);
        return check(waitFor([&] { return !IsWindowVisible(dialog); }), a.empty() ? "cancelled" : "chose " + neb::nativeToUtf8(a));
      }
      case Op::Close: PostMessageW(main_, WM_CLOSE, 0, 0); return true;
      case Op::EndSession: PostMessageW(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF); return true;
      case Op::Handoff: {
        // The program ends and the menu stand-in records its exact command line, once.
        const bool ended = WaitForSingleObject(proc_.hProcess, kWaitMs) == WAIT_OBJECT_0;
        const std::wstring record = dir_ + L"\\menu-record.txt";
        waitFor([&] { return readFile(record).value_or("").ends_with("\n"); });
        Sleep(300);  // a second start would show here
        const std::wstring got = neb::utf8ToNative(readFile(record).value_or(""));
        DeleteFileW(record.c_str());
        CloseHandle(proc_.hProcess);
        proc_ = {};
        main_ = lastBox_ = lastDialog_ = nullptr;
        return check(ended && got == dir_ + L"\\nebmenu.exe " + argText_ + L"\n",
                     "ended, nebmenu.exe started once as " + quoted(got));
      }
      case Op::Ends: {  // after a failure: no hand-off
        const bool ended = WaitForSingleObject(proc_.hProcess, kWaitMs) == WAIT_OBJECT_0;
        Sleep(300);
        return check(ended && !readFile(dir_ + L"\\menu-record.txt"), "ended without starting nebmenu.exe");
      }
      case Op::Hold: return check(hold(a, st.n), "held " + neb::nativeToUtf8(a) + " for " + std::to_string(st.n) + " ms");
      case Op::Bytes: {
        std::string got;
        const bool ok = waitFor([&] { return (got = readFile(a).value_or("<none>")) == fileText(b); });
        return check(ok, neb::nativeToUtf8(a) + " holds " + quoted(neb::sjisToNativeLossy(got)));
      }
      case Op::Exists:
        return check((GetFileAttributesW(a.c_str()) != INVALID_FILE_ATTRIBUTES) == (st.n != 0),
                     neb::nativeToUtf8(a) + (st.n ? " exists" : " does not exist"));
      case Op::Cli: {  // neb01-extract on the same suite writes the same bytes
        const std::wstring out = dir_ + L"\\cli-Work.Txt";
        PROCESS_INFORMATION pi{};
        if (!start(o_.extract, L"neb01-extract.exe --quiet --app-dir " + dir_ + L" --output " + out +
                                   (st.n & 1 ? L" --area-suffix" : L"") + (st.n & 2 ? L" --mode-convert" : L"") +
                                   L" " + dir_ + L"\\ENV.DAT", pi))
          return false;
        WaitForSingleObject(pi.hProcess, 120000);
        const auto mine = readFile(dir_ + L"\\data\\Work.Txt");
        return check(mine && mine == readFile(out), "Work.Txt byte for byte as neb01-extract writes it");
      }
      case Op::Redirect: {  // standard output and error into files, as with > and 2>
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE files[2];
        for (int i : {0, 1})
          files[i] = CreateFileW((dir_ + (i ? L"\\err.txt" : L"\\out.txt")).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                 &inherit, CREATE_ALWAYS, 0, nullptr);
        PROCESS_INFORMATION pi{};
        if (start(L"", a, pi, st.n, files[0], files[1])) WaitForSingleObject(pi.hProcess, 120000), CloseHandle(pi.hProcess);
        for (HANDLE h : files) CloseHandle(h);
        const auto out = readFile(dir_ + L"\\out.txt").value_or(""), err = readFile(dir_ + L"\\err.txt").value_or("");
        return check(out == st.out && err == st.err, "stdout " + escaped(out) + ", stderr " + escaped(err));
      }
      case Op::Count: {
        // Started with Enter on button n and watched from before the run
        // begins (a short run is over in a few milliseconds): while Stop is
        // disabled (the final copy) and the program runs, the screen shows the
        // QSO count in Label3 exactly as in Label2 beside it (same size and
        // font). The digits must be there: a window over both shows one colour.
        perform({Op::Enter, st.n});
        bool same = false;
        for (const ULONGLONG end = GetTickCount64() + 60000; running() && !same && GetTickCount64() < end;) {
          RECT r2{}, r3{};
          if (IsWindowEnabled(control(kCommand2)) || !GetWindowRect(control(kLabel2), &r2) ||
              !GetWindowRect(control(kLabel3), &r3))
            continue;
          const auto p2 = screenPixels(r2);
          same = !p2.empty() && std::count(p2.begin(), p2.end(), p2.front()) != static_cast<std::ptrdiff_t>(p2.size()) &&
                 p2 == screenPixels(r3);
        }
        return check(same, "Label3 shows the QSO count on screen during the copy");
      }
      case Op::Shot: {  // the main window alone, its boxes moved off it first
        if (o_.shots.empty() || a.empty()) return true;
        RECT r{}, part;
        GetWindowRect(main_, &r);
        for (HWND h : windowsOf(proc_.dwProcessId))
          if (h != main_ && GetWindowRect(h, &part) && IntersectRect(&part, &part, &r)) {
            SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            waitFor([&] { return GetWindowRect(h, &part) && part.left == 0 && part.top == 0; });
          }
        Sleep(400);  // a window just found or uncovered may not have painted yet
        saveBmp(r, o_.shots + L"\\" + a + L".bmp");
        return true;
      }
      case Op::Centred: {
        RECT r;
        GetWindowRect(main_, &r);
        return check(std::abs(r.left + r.right - GetSystemMetrics(SM_CXSCREEN)) <= 8 &&
                         std::abs(r.top + r.bottom - GetSystemMetrics(SM_CYSCREEN)) <= 8,
                     "window centred on the screen");
      }
    }
    return false;
  }

  const Scenario& s_;
  const Options& o_;
  std::wstring dir_, argText_;
  PROCESS_INFORMATION proc_{};
  HWND main_ = nullptr, lastBox_ = nullptr, lastDialog_ = nullptr;
  int failures_ = 0;
};

const std::wstring kAsk = L"HAMLOG ファイルが見つかりません探しますか？";
const std::wstring kMarker = L"###初期設定済み###";
const std::wstring kOld = L"\"NEBWD\",\"old\"\n";
const std::wstring kDeniedHint =
    L"コントロールされたフォルダー アクセスか、Program Files の下のフォルダーが原因かもしれません。"
    L"ガイドの「書き込みが拒否されるとき」をご覧ください。";

// The work line of planted QSO n (1-9): no texts, the 2004-01-01 00:00 JST
// the record's zero bytes give, reports 59.
std::wstring plainLine(const std::wstring& band, int n) {
  return L"\"NEBWD\",\"JR1AA\",\"\",\"\",\"\",\"" + band + L"\",\"CW\",\"\",\"\",\"\",\"\",\"20040101\",\"0000J\",\"59\",\"59\","
         L"\"\",\"\",\"\",\"000000000" + std::to_wstring(n) + L"\",\"JR1AA\"\n";
}

// A run held on the box of QSO 120 of a large log, then ended by `end`;
// a shot of the window at that moment when `shot` names one.
std::vector<Step> interrupted(Step end, const std::wstring& shot = L"") {
  return {{Op::Log, 1000000, L"%S\\BIG.DBS", L"120=9"},
          {Op::File, 0, L"%D\\ENV.DAT", L"#01,%S\\BIG.DBS\n$JA\n"},
          {Op::File, 0, L"%D\\data\\Work.Txt", kOld},
          {Op::Launch, 0, L" %D\\ENV.DAT"},
          {Op::Click, kCommand1},
          {Op::Box, 0, L"交信番号 120 の交信周波数は 無効です\n9", L"NEB01"},
          {Op::Text, kLabel3, L"100"}, {Op::Text, kLabel2, L"1000000"}, {Op::Exists, 1, L"%D\\nebwdw.tmp"},
          {Op::Enabled, kCommand1, L"0"}, {Op::Enabled, kCheck1, L"0"}, {Op::Enabled, kCheck2, L"0"},
          {Op::Enabled, kCommand2, L"1"},
          {Op::Shot, 0, shot},
          {Op::Answer, IDOK},
          end,
          {Op::Handoff},
          {Op::Bytes, 0, L"%D\\data\\Work.Txt", kOld}, {Op::Exists, 0, L"%D\\nebwdw.tmp"}};
}

// neb01-extract's two texts in Shift_JIS: 2 件の交信を caf?.txt に書き出しました
// and 交信番号 2 の交信周波数は 無効です 9 ("é" has no form in code page 932).
const std::string kSjisOut = "2 \x8c\x8f\x82\xcc\x8c\xf0\x90\x4d\x82\xf0 caf?.txt "
                             "\x82\xc9\x8f\x91\x82\xab\x8f\x6f\x82\xb5\x82\xdc\x82\xb5\x82\xbd\r\n";
const std::string kSjisErr = "\x8c\xf0\x90\x4d\x94\xd4\x8d\x86 2 \x82\xcc\x8c\xf0\x90\x4d\x8e\xfc\x94\x67\x90\x94"
                             "\x82\xcd \x96\xb3\x8c\xf8\x82\xc5\x82\xb7 9\r\n";
const std::wstring kRun = L"%X -q --hamlog %D\\HAMLOG.DBS -o café.txt";

std::vector<Scenario> scenarios() {
  return {
      {"window-and-frequency", L"",
       {{Op::Log, 4, L"%D\\HAMLOG.DBS", L"1=7,2=9,3=1.9,4=p430/1/7"},
        {Op::File, 0, L"%D\\ENV.DAT", L"#01,%D\\HAMLOG.DBS\n$JA\n$JH\n$JR\n$7K\n$JE\n"},  // and no Mode.txt
        {Op::Launch, 0, L" %D\\ENV.DAT"},
        {Op::Text, 0, L"HAMLOG からの抽出"}, {Op::Text, kLabel1, L"%D\\HAMLOG.DBS"},
        {Op::Text, kCommand1, L"開始"}, {Op::Text, kCommand2, L"中止"},
        {Op::Text, kCheck1, L"/JA1 =>  /1  変換"}, {Op::Text, kCheck2, L"モード 形式変換"},
        {Op::Text, kFrame1, L"データ抽出"}, {Op::Text, kFrame2, L"件数"},
        {Op::Text, kLabel2, L""}, {Op::Text, kLabel3, L""},
        {Op::Enabled, kCheck2, L"0"}, {Op::Centred}, {Op::Shot, 0, L"main-window"},
        {Op::Tick, kCheck1}, {Op::Click, kCommand1},
        {Op::Box, 0, L"交信番号 2 の交信周波数は 無効です\n9", L"NEB01"},
        {Op::Text, kLabel3, L"2"}, {Op::Answer, IDOK},
        {Op::Box, IDOK, L"交信番号 4 の交信周波数が変です\n430 MHz と判断しました", L"NEB01"},
        {Op::Handoff},
        {Op::Bytes, 0, L"%D\\data\\Work.Txt",
         plainLine(L"7", 1) + plainLine(L"", 2) + plainLine(L"1.9", 3) + plainLine(L"430", 4)}}},
      {"extract-both", L"交信ログ集計",
       {{Op::Log, 2525, L"%D\\ハムログ\\HAMLOG.DBS"},
        {Op::File, 0, L"%D\\ENV.DAT", L"#01,%D\\ハムログ\\HAMLOG.DBS\n$JA\n$JR\n$JD1\n$7K\n"},
        {Op::File, 0, L"%D\\Mode.txt", L"PHONE,SSB,AM\nDATA,FT8,FT4,RTT\n"},
        {Op::File, 0, L"%D\\data\\Work.Txt", kOld},
        {Op::Launch, 0, L" %D\\ENV.DAT"},
        {Op::Text, kLabel1, L"%D\\ハムログ\\HAMLOG.DBS"}, {Op::Tick, kCheck1}, {Op::Tick, kCheck2},
        {Op::Count, kCommand1},
        {Op::Handoff},
        {Op::Exists, 0, L"%D\\nebwdw.tmp"}, {Op::Cli, 3}}},
      {"stop", L"", interrupted({Op::Enter, kCommand2}, L"main-window-running")},
      {"close-box", L"", interrupted({Op::Close})},
      {"log-off", L"", interrupted({Op::EndSession})},
      {"startup-no", L"",
       {{Op::Log, 75, L"%D\\B\\hamlog.dbs"},
        {Op::File, 0, L"%D\\ENV.DAT", L"#01,%D\\GONE.DBS\n  " + kMarker + L"  \n\n" + kMarker + L"x\n$JA\n" + kMarker},
        {Op::Launch, 1, L" %D\\ENV.DAT"},
        {Op::Box, IDOK, L"%D\\GONE.DBS", L"NEB01"},
        {Op::Box, IDNO, kAsk, L"NEB01"},
        {Op::Main},
        {Op::Enabled, kCommand1, L"0"}, {Op::Enabled, kCheck2, L"1"},  // the mode table was never looked for
        {Op::Menu, kMenuX},
        {Op::Bytes, 0, L"%D\\ENV.DAT", L"#01,%D\\GONE.DBS\n\n" + kMarker + L"x\n$JA\n"},
        {Op::Enabled, kCommand1, L"1"}, {Op::Exists, 0, L"%D\\ENV.tmp"},
        {Op::Menu, kMenuHamlogSet},
        {Op::Dialog, 0, L"%D\\B\\hamlog.dbs"},
        {Op::Text, kLabel1, L"%D\\B\\hamlog.dbs"},
        {Op::Bytes, 0, L"%D\\ENV.DAT", L"#01,%D\\B\\hamlog.dbs\n\n" + kMarker + L"x\n$JA\n"},
        {Op::Click, kCommand1},
        {Op::Handoff}}},
      {"startup-yes", L"",
       {{Op::Log, 3, L"%D\\LOG\\HAMLOG.DBS"},
        {Op::Log, 3, L"%D\\café 한\\HAMLOG.DBS"},
        {Op::File, 0, L"%D\\ENV.DAT", L"#01,%D\\OLD.DBS\n$JA\n" + kMarker + L"\n#01,%D\\OLD2.DBS,X\n$JD1"},
        {Op::Launch, 1, L" %D\\ENV.DAT"},
        {Op::Box, IDOK, L"%D\\OLD2.DBS", L"NEB01"}, {Op::Box, IDYES, kAsk, L"NEB01"},
        {Op::Dialog, 0, L"%D\\café 한\\HAMLOG.DBS"},
        {Op::Box, 0,
         L"%D\\café 한\\HAMLOG.DBS\nファイル名に Shift_JIS で表せない文字があるため使えません。別のファイルを選んでください。",
         L"NEB01"},
        {Op::Answer, IDOK},
        {Op::Dialog, 0, L"%D\\LOG\\HAMLOG.DBS"},
        {Op::Main},
        {Op::Text, kLabel1, L"%D\\LOG\\HAMLOG.DBS"}, {Op::Enabled, kCommand1, L"1"},
        {Op::Bytes, 0, L"%D\\ENV.DAT",
         L"#01,%D\\LOG\\HAMLOG.DBS\n$JA\n" + kMarker + L"\n#01,%D\\LOG\\HAMLOG.DBS\n$JD1\n"},
        {Op::File, 1, L"%D\\ENV.DAT", L"#01,%D\\LOG\\HAMLOG.DBS\n"},
        // A definition that cannot rewrite the file says why, and keeps the old path.
        {Op::Menu, kMenuHamlogSet}, {Op::Dialog, 0, L"%D\\LOG\\HAMLOG.DBS"},
        {Op::Box, IDOK, L"%D\\ENV.DAT を書き込みできません: 読み取り専用のファイルです", L"NEB01"}, {Op::Text, kLabel1, L"%D\\LOG\\HAMLOG.DBS"},
        {Op::Menu, kMenuX},
        {Op::Box, IDOK, L"%D\\ENV.DAT を書き込みできません: 読み取り専用のファイルです", L"NEB01"}}},
      // A virus scanner opens the work file as Start is pressed: a hold of a
      // moment is waited for; one beyond the wait fails the run as before.
      {"held-work-file", L"",
       {{Op::Log, 2, L"%D\\LOG.DBS", L"1=7,2=7"}, {Op::File, 0, L"%D\\ENV.DAT", L"#01,%D\\LOG.DBS\n"},
        {Op::File, 0, L"%D\\data\\Work.Txt", kOld}, {Op::Launch, 0, L" %D\\ENV.DAT"},
        {Op::Hold, 700, L"%D\\data\\Work.Txt"}, {Op::Click, kCommand1}, {Op::Handoff},
        {Op::Bytes, 0, L"%D\\data\\Work.Txt", plainLine(L"7", 1) + plainLine(L"7", 2)}, {Op::Exists, 0, L"%D\\nebwdw.tmp"},
        {Op::File, 0, L"%D\\data\\Work.Txt", kOld}, {Op::Launch, 0, L" %D\\ENV.DAT"},
        {Op::Hold, 5000, L"%D\\data\\Work.Txt"}, {Op::Click, kCommand1},
        {Op::Box, IDOK, L"%D\\data\\Work.Txt を置き換えできません: Access denied.\n" + kDeniedHint, L"NEB01"}, {Op::Ends},
        {Op::Bytes, 0, L"%D\\data\\Work.Txt", kOld}, {Op::Exists, 0, L"%D\\nebwdw.tmp"}}},
      {"held-environment-file", L"",
       {{Op::Log, 3, L"%D\\B\\hamlog.dbs"}, {Op::File, 0, L"%D\\ENV.DAT", L"#01,%D\\GONE.DBS\n$JA\n"},
        {Op::Launch, 1, L" %D\\ENV.DAT"}, {Op::Box, IDOK, L"%D\\GONE.DBS", L"NEB01"}, {Op::Box, IDNO, kAsk, L"NEB01"},
        {Op::Main}, {Op::Menu, kMenuHamlogSet}, {Op::Dialog, 700, L"%D\\B\\hamlog.dbs", L"%D\\ENV.DAT"},
        {Op::Text, kLabel1, L"%D\\B\\hamlog.dbs"}, {Op::Bytes, 0, L"%D\\ENV.DAT", L"#01,%D\\B\\hamlog.dbs\n$JA\n"},
        {Op::Exists, 0, L"%D\\ENV.tmp"}, {Op::Exists, 0, L"%D\\ENV.DAT.nebwdw.bak"}}},
      // Run as on a Japanese Windows (see run-wine-tests.sh): redirected, the
      // texts take the console's output code page, 932 when there is no console.
      {"cli-redirect-ja", L"",
       {{Op::Log, 2, L"%D\\HAMLOG.DBS", L"2=9"},
        {Op::Redirect, CREATE_NO_WINDOW, kRun, L"", kSjisOut, kSjisErr},
        {Op::Redirect, DETACHED_PROCESS, kRun, L"", kSjisOut, kSjisErr},
        {Op::Redirect, CREATE_NO_WINDOW, L"cmd.exe /c chcp 65001 >nul & " + kRun, L"",
         "2 件の交信を café.txt に書き出しました\r\n", "交信番号 2 の交信周波数は 無効です 9\r\n"}}},
      {"bad-argument", L"",
       {{Op::File, 0, L"%D\\ENV.DAT", L"#01,C:\\X.DBS\n"},
        // The wiring only: the shell sessions hold the rules of the argument.
        {Op::Launch, 1, L"X"}, {Op::Box, IDOK, L"環境変数がない為実行できません", L"NEBWD"}, {Op::Handoff}}},
  };
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<Scenario> all = scenarios();
  const std::string what = argc > 1 ? neb::nativeToUtf8(argv[1]) : "";
  if (what == "list") {
    for (const Scenario& s : all) std::printf("%s\n", s.name);
    return 0;
  }
  Options o;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::wstring value = argv[i + 1];
    if (value.starts_with(L"/")) {  // a Unix path on Wine's command line: drive Z:
      value = L"Z:" + value;
      for (wchar_t& c : value) c = c == L'/' ? L'\\' : c;
    }
    const std::wstring key = argv[i];
    if (key == L"--neb01") o.neb01 = value;
    if (key == L"--nebmenu") o.nebmenu = value;
    if (key == L"--extract") o.extract = value;
    if (key == L"--root") o.root = value;
    if (key == L"--shots") o.shots = value;
  }
  for (const Scenario& s : all) {
    if (what != s.name) continue;
    const int failures = Runner(s, o).run();
    std::printf("%s %s\n", failures ? "FAILED" : "PASSED", s.name);
    return failures;
  }
  std::printf("usage: neb01-e2e list | SCENARIO --neb01 EXE --nebmenu EXE --extract EXE [--root DIR] [--shots DIR]\n");
  return 2;
}
