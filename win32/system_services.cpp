#include "system_services.hpp"

#include "command_line.hpp"
#include "file_system.hpp"
#include "io_texts.hpp"
#include "system.hpp"

namespace neb::win32 {

void startProcess(const std::wstring& commandLine) {
  std::wstring buffer = commandLine;  // CreateProcessW may write into it
  const std::wstring program = programFileOf(commandLine, executableDirectory().native());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &si, &pi))
    throw IoError(Path(program.empty() ? commandLine : program), msg::opStart, GetLastError());
  // This program ends at once: let the menu take the foreground it leaves.
  AllowSetForegroundWindow(pi.dwProcessId);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

std::wstring argumentText() { return std::wstring(argumentTextOf(GetCommandLineW())); }

void dismissHelp(HWND owner, const std::wstring& helpFile) {
  const std::string path = nativeToSjisLossy(helpFile);
  WinHelpA(owner, path.c_str(), HELP_QUIT, 0);
}

}  // namespace neb::win32
