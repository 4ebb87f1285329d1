// The console of this system, in console_win32.cpp or console_posix.cpp
// (cli/CMakeLists.txt picks one).
#pragma once

#include <string_view>

#include "extract_cli.hpp"

namespace neb::cli {

class StdConsole final : public Console {
public:
  void out(std::string_view text) override;
  void err(std::string_view text) override;
  bool errIsTerminal() override;
};

// Japanese for a Japanese user, English for everyone else.
Language userLanguage();

}  // namespace neb::cli
