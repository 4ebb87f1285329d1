// neb01-extract: the extraction run from the command line. The operating
// system's side (arguments, console, the program's directory) stays in
// main.cpp; everything here is portable.
#pragma once

#include <csignal>
#include <string_view>
#include <vector>

#include "text_codec.hpp"

namespace neb::cli {

// Where the program's text goes. Texts are UTF-8.
class Console {
public:
  virtual ~Console() = default;
  virtual void out(std::string_view text) = 0;
  virtual void err(std::string_view text) = 0;
  // True when standard error is a terminal (a progress bar makes sense).
  virtual bool errIsTerminal() = 0;
};

inline constexpr int kExitReplaced = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// The language of the program's own texts, chosen by main.cpp from the
// user's settings.
enum class Language { English, Japanese };

// Set from a signal handler; the run stops before the next QSO, removes its
// temporary file and leaves the work file as it was.
extern volatile std::sig_atomic_t interruptRequested;

// args: the arguments without the program's name.
int runExtractCli(const std::vector<NativeString>& args, const Path& programDir, Console& console,
                  Language language);

}  // namespace neb::cli
