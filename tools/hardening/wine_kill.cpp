// Ends neb01.exe from outside while it extracts, and checks that Work.Txt is
// always the complete old file or the complete new one:
//   - TerminateProcess at random moments of a run;
//   - the close box at the final replacement (as soon as Label1 shows
//     "ファイルコピー中").
//
//   neb-wine-kill --neb01 EXE --nebmenu EXE --root DIR [--kills N] [--closes N] [--count QSOS]
//
// Prints the figures; exit status 1 when a work file was ever neither.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "control_ids.hpp"
#include "driver/fixture.hpp"
#include "driver/ui.hpp"

namespace {

using namespace e2e;
namespace fs = std::filesystem;

std::string utf8(const std::wstring& w) {
  std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  if (!out.empty()) out.pop_back();
  return out;
}

struct Suite {
  std::wstring dir, exe, env, work, temp, record;
  std::string oldWork;
};

// Starts the program and clicks Start; clickedAt gets the moment of the click.
bool startRun(const Suite& s, Process& proc, HWND& main, DWORD* clickedAt = nullptr) {
  SetEnvironmentVariableW(L"NEB01_MENU_RECORD", s.record.c_str());
  if (!proc.start(s.exe, s.exe + L" " + L" " + s.env, s.dir)) return false;
  main = waitMainWindow(proc.pid(), 30000);
  if (!main) return false;
  if (clickedAt) *clickedAt = GetTickCount();
  click(GetDlgItem(main, static_cast<int>(neb::win32::kCommand1)));
  return true;
}

void putOld(const Suite& s) {
  const std::wstring side = s.work + L".restore";
  writeFile(side, s.oldWork);
  MoveFileExW(side.c_str(), s.work.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring neb01, nebmenu, root;
  int kills = 30, closes = 10;
  std::uint32_t count = 100000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring key = argv[i], value = argv[i + 1];
    if (key == L"--neb01") neb01 = windowsPath(value);
    else if (key == L"--nebmenu") nebmenu = windowsPath(value);
    else if (key == L"--root") root = value;
    else if (key == L"--kills") kills = std::stoi(value);
    else if (key == L"--closes") closes = std::stoi(value);
    else if (key == L"--count") count = static_cast<std::uint32_t>(std::stoul(value));
  }
  if (neb01.empty() || nebmenu.empty() || root.empty()) {
    std::puts("usage: neb-wine-kill --neb01 EXE --nebmenu EXE --root DIR [--kills N] [--closes N] [--count QSOS]");
    return 2;
  }

  Suite s;
  s.dir = root + L"\\kill";
  std::error_code ec;
  fs::remove_all(s.dir, ec);
  fs::create_directories(s.dir + L"\\data", ec);
  s.exe = s.dir + L"\\neb01.exe";
  s.env = s.dir + L"\\NEBWD.ENV";
  s.work = s.dir + L"\\data\\Work.Txt";
  s.temp = s.dir + L"\\nebwdw.tmp";
  s.record = s.dir + L"\\menu-record.txt";
  if (!CopyFileW(neb01.c_str(), s.exe.c_str(), FALSE) ||
      !CopyFileW(nebmenu.c_str(), (s.dir + L"\\nebmenu.exe").c_str(), FALSE) ||
      !writeDatabase(s.dir + L"\\LOG.DBS", {}, count, 5)) {
    std::puts("cannot prepare the suite directory");
    return 2;
  }
  writeFile(s.env, sjis(L"#01," + s.dir + L"\\LOG.DBS\r\n$JA\r\n"));
  for (int i = 1; i <= 3; ++i) s.oldWork += "\"NEBWD\",\"old line " + std::to_string(i) + "\"\r\n";

  // The new work file, from one run left alone.
  putOld(s);
  DWORD runMs = 0;
  {
    Process proc;
    HWND main = nullptr;
    DWORD t0 = 0;
    if (!startRun(s, proc, main, &t0) || !proc.waitExit(600000)) {
      std::puts("the uninterrupted run did not finish");
      proc.kill();
      return 1;
    }
    runMs = GetTickCount() - t0;
  }
  const std::string newWork = readFile(s.work).value_or("");
  if (newWork.empty() || newWork == s.oldWork) {
    std::puts("the uninterrupted run wrote no new work file");
    return 1;
  }
  std::printf("neb-wine-kill: %u QSOs, work file %zu bytes, a run takes %lu ms\n", count, newWork.size(),
              static_cast<unsigned long>(runMs));

  std::mt19937 rng(12345);
  int sawOld = 0, sawNew = 0, broken = 0, leftovers = 0;
  auto judge = [&](const char* how, int i) {
    const auto now = readFile(s.work);
    if (!now) {
      std::printf("%s %d: Work.Txt missing\n", how, i);
      ++broken;
    } else if (*now == s.oldWork) {
      ++sawOld;
    } else if (*now == newWork) {
      ++sawNew;
    } else {
      std::printf("%s %d: Work.Txt is neither old nor new (%zu bytes)\n", how, i, now->size());
      ++broken;
    }
    if (fileExists(s.temp)) ++leftovers;
  };

  for (int i = 1; i <= kills; ++i) {
    putOld(s);
    Process proc;
    HWND main = nullptr;
    if (!startRun(s, proc, main)) {
      proc.kill();
      continue;
    }
    Sleep(std::uniform_int_distribution<DWORD>(0, runMs + runMs / 5)(rng));
    TerminateProcess(proc.handle(), 9);
    proc.waitExit(30000);
    judge("kill", i);
  }
  const int killOld = sawOld, killNew = sawNew, killBroken = broken, killLeft = leftovers;

  sawOld = sawNew = broken = leftovers = 0;
  const std::wstring copying = L"\u30d5\u30a1\u30a4\u30eb\u30b3\u30d4\u30fc\u4e2d";  // ファイルコピー中
  int closedAtCopy = 0;
  for (int i = 1; i <= closes; ++i) {
    putOld(s);
    Process proc;
    HWND main = nullptr;
    if (!startRun(s, proc, main)) {
      proc.kill();
      continue;
    }
    const HWND label1 = GetDlgItem(main, static_cast<int>(neb::win32::kLabel1));
    if (waitFor([&] { return windowText(label1) == copying || !proc.running(); }, 600000) && proc.running()) {
      PostMessageW(main, WM_CLOSE, 0, 0);
      ++closedAtCopy;
    }
    if (!proc.waitExit(60000)) proc.kill();
    judge("close", i);
  }

  std::printf("neb-wine-kill: %d TerminateProcess: old %d, new %d, broken %d (temporary file left: %d)\n",
              kills, killOld, killNew, killBroken, killLeft);
  std::printf("neb-wine-kill: %d closes at \"%s\" (%d reached it): old %d, new %d, broken %d (temporary file left: %d)\n",
              closes, utf8(copying).c_str(), closedAtCopy, sawOld, sawNew, broken, leftovers);
  return killBroken + broken == 0 ? 0 : 1;
}
