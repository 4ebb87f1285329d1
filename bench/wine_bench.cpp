// The Wine benchmark (bench/wine.sh): a large log through the window of
// neb01.exe, from the Start click to the end of the program, and through
// neb01-extract.exe with the same conversions, on the same files.
//   neb01-wine-bench COUNT NEB01.EXE MENU-RECORDER.EXE NEB01-EXTRACT.EXE DIR
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../win32/control_ids.hpp"
#include "hamlog_gen.hpp"
#include "random_log.hpp"

namespace {

HANDLE start(const std::wstring& program, std::wstring commandLine, const std::wstring& dir) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
    return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

HWND mainWindowOf(HANDLE process) {
  std::pair<DWORD, HWND> found{GetProcessId(process), nullptr};
  for (int i = 0; i < 3000 && !found.second; ++i, Sleep(10))
    EnumWindows(
        [](HWND h, LPARAM lp) {
          auto* f = reinterpret_cast<std::pair<DWORD, HWND>*>(lp);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          if (pid == f->first && GetDlgItem(h, neb::win32::kCommand1)) f->second = h;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
  return found.second;
}

std::string readAll(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    std::printf("usage: neb01-wine-bench COUNT NEB01.EXE MENU-RECORDER.EXE NEB01-EXTRACT.EXE DIR\n");
    return 2;
  }
  const std::wstring dir = argv[5], env = dir + L"\\ENV.DAT", dbs = dir + L"\\BENCH.DBS";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + L"\\data");
  CopyFileW(argv[2], (dir + L"\\neb01.exe").c_str(), FALSE);
  CopyFileW(argv[3], (dir + L"\\nebmenu.exe").c_str(), FALSE);
  {
    neb::gen::DatabaseWriter out(dbs, neb::gen::companionPath(dbs));
    neb::gen::RandomLog log(1);
    for (unsigned long i = std::stoul(argv[1]); i > 0; --i) out.add(log.next());
    out.finish();
  }
  std::ofstream(std::filesystem::path(dir + L"\\Mode.txt"), std::ios::binary) << "PHONE,SSB,AM\r\n";
  std::ofstream(std::filesystem::path(env), std::ios::binary)
      << "#01," << std::filesystem::path(dbs).string() << "\r\n$JA\r\n$JR\r\n";

  HANDLE window = start(dir + L"\\neb01.exe", L"neb01.exe  " + env, dir);  // the argument text: a blank, then the file
  HWND main = window ? mainWindowOf(window) : nullptr;
  if (!main) return TerminateProcess(window, 1), std::printf("FAIL: no main window\n"), 1;
  for (int box : {neb::win32::kCheck1, neb::win32::kCheck2})
    SendDlgItemMessageW(main, box, BM_SETCHECK, BST_CHECKED, 0);
  ULONGLONG t0 = GetTickCount64();
  PostMessageW(GetDlgItem(main, neb::win32::kCommand1), BM_CLICK, 0, 0);
  WaitForSingleObject(window, INFINITE);
  std::printf("TIME window: %.2f s\n", static_cast<double>(GetTickCount64() - t0) / 1000.0);

  t0 = GetTickCount64();
  HANDLE cli = start(argv[4], L"neb01-extract.exe --quiet --area-suffix --mode-convert --app-dir " + dir +
                                  L" --output " + dir + L"\\cli-Work.Txt " + env, dir);
  if (!cli) return std::printf("FAIL: neb01-extract.exe did not start\n"), 1;
  WaitForSingleObject(cli, INFINITE);
  std::printf("TIME neb01-extract: %.2f s\n", static_cast<double>(GetTickCount64() - t0) / 1000.0);
  const bool same = readAll(dir + L"\\data\\Work.Txt") == readAll(dir + L"\\cli-Work.Txt");
  std::printf("%s: both wrote the same work file\n", same ? "PASS" : "FAIL");
  return same ? 0 : 1;
}
