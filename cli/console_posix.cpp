// neb01-extract's console on POSIX systems: UTF-8 bytes, as the locale expects.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "std_console.hpp"

namespace neb::cli {

namespace {

void write(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void StdConsole::out(std::string_view text) { write(stdout, text); }
void StdConsole::err(std::string_view text) { write(stderr, text); }
bool StdConsole::errIsTerminal() { return isatty(STDERR_FILENO) != 0; }

Language userLanguage() {
  // The order in which the C library looks for the language of messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string_view(value).starts_with("ja") ? Language::Japanese : Language::English;
  }
  return Language::English;
}

}  // namespace neb::cli
