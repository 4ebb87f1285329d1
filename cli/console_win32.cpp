// neb01-extract's console on Windows. A console gets UTF-16 through
// WriteConsoleW. A file or a pipe gets the console's output code page, as
// Windows' own commands write it, so that type, find and Windows PowerShell
// read it right; without a console, code page 932.
#ifdef _WIN32  // built for Windows alone
#include <windows.h>

#include <cstdio>
#include <string>

#include "std_console.hpp"

namespace neb::cli {

namespace {

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// Each character without a form in code page cp becomes one "?", never a
// best-fit look-alike: the rule of nativeToSjisLossy, for any code page.
std::string inCodePage(UINT cp, const std::wstring& wide) {
  if (cp == CP_UTF8) return nativeToUtf8(wide);
  std::string bytes;
  for (std::size_t pos = 0; pos < wide.size();) {
    const int len = IS_HIGH_SURROGATE(wide[pos]) && pos + 1 < wide.size() && IS_LOW_SURROGATE(wide[pos + 1]) ? 2 : 1;
    char one[8];
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, &wide[pos], len, one, sizeof one, nullptr, &lost);
    bytes.append(n > 0 && !lost ? std::string_view(one, static_cast<std::size_t>(n)) : "?");
    pos += static_cast<std::size_t>(len);
  }
  return bytes;
}

void write(DWORD which, std::FILE* stream, std::string_view utf8) {
  std::fflush(stream);
  HANDLE handle = GetStdHandle(which);
  const std::wstring wide = utf8ToNative(utf8);
  DWORD written = 0;
  if (isConsole(handle) && WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
    return;
  // Without a console GetConsoleOutputCP fails and returns 0.
  const UINT cp = GetConsoleOutputCP();
  const std::string bytes = inCodePage(cp ? cp : 932, wide);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);  // text mode: CR LF, as Windows' own commands write
  std::fflush(stream);
}

}  // namespace

void StdConsole::out(std::string_view text) { write(STD_OUTPUT_HANDLE, stdout, text); }
void StdConsole::err(std::string_view text) { write(STD_ERROR_HANDLE, stderr, text); }
// _isatty is also true for NUL; only a real console shows progress.
bool StdConsole::errIsTerminal() { return isConsole(GetStdHandle(STD_ERROR_HANDLE)); }

Language userLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English;
}

}  // namespace neb::cli

#endif  // _WIN32
