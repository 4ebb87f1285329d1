// The operating system's side of neb01-extract: arguments, console, signals.
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "extract_cli.hpp"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

extern "C" void onInterrupt(int) { neb::cli::interruptRequested = 1; }

class StdConsole final : public neb::cli::Console {
public:
  void out(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  void err(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
  bool errIsTerminal() override {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
  }
};

neb::Path programDir(const neb::NativeChar* argv0) {
#ifdef _WIN32
  (void)argv0;
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(n);
  return neb::Path(buffer).parent_path();
#else
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return exe.parent_path();
  return std::filesystem::absolute(neb::Path(argv0), ec).parent_path();
#endif
}

int run(int argc, neb::NativeChar** argv) {
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  std::vector<neb::NativeString> args(argv + 1, argv + argc);
  StdConsole console;
  return neb::cli::runExtractCli(args, programDir(argc > 0 ? argv[0] : NEB_NATIVE("")), console);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
