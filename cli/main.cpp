// neb01-extract's entry: signals, arguments and the system's console.
#include <csignal>
#include <vector>

#include "extract_cli.hpp"
#include "std_console.hpp"
#include "system.hpp"

namespace {

extern "C" void onInterrupt(int) { neb::cli::interruptRequested = 1; }

int run(int argc, neb::NativeChar** argv) {
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  std::vector<neb::NativeString> args(argv + 1, argv + argc);
  neb::cli::StdConsole console;
  return neb::cli::runExtractCli(args, neb::executableDirectory(), console, neb::cli::userLanguage());
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
