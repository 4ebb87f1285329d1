// Takes the suite menu's place in the scenarios: appends its exact command
// line (UTF-8) and LF to menu-record.txt beside itself and ends, showing
// nothing.
#include <windows.h>

#include <string>

#include "system.hpp"
#include "text_codec.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring target = neb::executableDirectory().native() + L"\\menu-record.txt";
  HANDLE file = CreateFileW(target.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const std::string line = neb::nativeToUtf8(GetCommandLineW()) + "\n";
  DWORD written = 0;
  const bool ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}
