// The operating system's side of neb01-extract: arguments, console, signals.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "extract_cli.hpp"
#include "system.hpp"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

extern "C" void onInterrupt(int) { neb::cli::interruptRequested = 1; }

#ifdef _WIN32
// A Windows console shows UTF-8 bytes in its own code page (932 on a
// Japanese Windows): write UTF-16 to a console, UTF-8 to files and pipes.
bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

bool writeConsole(DWORD which, std::string_view utf8) {
  HANDLE handle = GetStdHandle(which);
  if (!isConsole(handle)) return false;
  const std::wstring wide = neb::utf8ToNative(utf8);
  if (wide.empty()) return utf8.empty();
  DWORD written = 0;
  return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}
#endif

class StdConsole final : public neb::cli::Console {
public:
  void out(std::string_view text) override {
#ifdef _WIN32
    std::fflush(stdout);
    if (writeConsole(STD_OUTPUT_HANDLE, text)) return;
#endif
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  void err(std::string_view text) override {
#ifdef _WIN32
    std::fflush(stderr);
    if (writeConsole(STD_ERROR_HANDLE, text)) return;
#endif
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
  bool errIsTerminal() override {
#ifdef _WIN32
    // _isatty is also true for NUL; only a real console shows progress.
    return isConsole(GetStdHandle(STD_ERROR_HANDLE));
#else
    return isatty(STDERR_FILENO) != 0;
#endif
  }
};

// Japanese for a Japanese user, English for everyone else.
neb::cli::Language userLanguage() {
  using neb::cli::Language;
#ifdef _WIN32
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English;
#else
  // The order in which the C library looks for the language of messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string_view(value).starts_with("ja") ? Language::Japanese : Language::English;
  }
  return Language::English;
#endif
}

int run(int argc, neb::NativeChar** argv) {
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  std::vector<neb::NativeString> args(argv + 1, argv + argc);
  StdConsole console;
  return neb::cli::runExtractCli(args, neb::executableDirectory(), console, userLanguage());
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
