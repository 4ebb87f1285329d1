#include "extract_cli.hpp"

#include <chrono>
#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "env_items.hpp"
#include "extraction.hpp"
#include "file_system.hpp"
#include "hamlog_database.hpp"
#include "message_sink.hpp"
#include "mode_table.hpp"
#include "native_text.hpp"
#include "suite_layout.hpp"
#include "suite_names.hpp"
#include "texts.hpp"
#include "version.h"

namespace neb::cli {

volatile std::sig_atomic_t interruptRequested = 0;

namespace {

struct UsageError {
  std::string text;  // UTF-8
};

struct Failure {
  std::string text;  // UTF-8
};

struct Options {
  // --help and --version are answered on standard output and nothing else is
  // done: what follows them is not read.
  enum class Action { Run, Help, Version } action = Action::Run;
  bool areaSuffix = false;
  bool modeConvert = false;
  bool quiet = false;
  std::optional<NativeString> appDir;
  std::optional<NativeString> output;
  std::optional<NativeString> hamlog;
  std::optional<NativeString> envFile;
};

std::string utf8(const NativeString& s) { return nativeToUtf8(s); }
std::string utf8(const Path& p) { return nativeToUtf8(p.native()); }

// One line per message, so that a script can pick out a QSO number: the
// engine's messages hold line breaks meant for a message box.
std::string oneLine(std::string_view text) {
  std::string line;
  bool gap = false;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      gap = true;
      continue;
    }
    if (gap && !line.empty()) line += ' ';
    gap = false;
    line += c;
  }
  return line + '\n';
}

Options parseArgs(const std::vector<NativeString>& args, Language lang) {
  Options o;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const NativeString& a = args[i];
    const std::string name = utf8(a);
    auto value = [&](std::optional<NativeString>& slot) {
      if (slot) throw UsageError{say(lang, Msg::GivenTwice, {name})};
      if (i + 1 >= args.size()) throw UsageError{say(lang, Msg::NeedsValue, {name})};
      slot = args[++i];
    };
    if (optionsEnded || a.empty() || a[0] != NEB_NATIVE('-') || a == NEB_NATIVE("-")) {
      if (o.envFile) throw UsageError{say(lang, Msg::TwoEnvFiles)};
      o.envFile = a;
    } else if (a == NEB_NATIVE("--")) {
      optionsEnded = true;
    } else if (a == NEB_NATIVE("--help") || a == NEB_NATIVE("-h")) {
      o.action = Options::Action::Help;
      return o;
    } else if (a == NEB_NATIVE("--version")) {
      o.action = Options::Action::Version;
      return o;
    } else if (a == NEB_NATIVE("--area-suffix")) {
      o.areaSuffix = true;
    } else if (a == NEB_NATIVE("--mode-convert")) {
      o.modeConvert = true;
    } else if (a == NEB_NATIVE("--quiet")) {
      o.quiet = true;
    } else if (a == NEB_NATIVE("--app-dir")) {
      value(o.appDir);
    } else if (a == NEB_NATIVE("--output") || a == NEB_NATIVE("-o")) {
      value(o.output);
    } else if (a == NEB_NATIVE("--hamlog")) {
      value(o.hamlog);
    } else if (a.size() >= 2 && a[1] != NEB_NATIVE('-')) {
      // Short flags, possibly grouped: -amq
      for (std::size_t k = 1; k < a.size(); ++k) {
        if (a[k] == NEB_NATIVE('a')) o.areaSuffix = true;
        else if (a[k] == NEB_NATIVE('m')) o.modeConvert = true;
        else if (a[k] == NEB_NATIVE('q')) o.quiet = true;
        else throw UsageError{say(lang, Msg::UnknownOption, {name})};
      }
    } else {
      throw UsageError{say(lang, Msg::UnknownOption, {name})};
    }
  }
  if (o.hamlog && o.envFile) throw UsageError{say(lang, Msg::EnvAndHamlog)};
  if (!o.hamlog && !o.envFile) throw UsageError{say(lang, Msg::NoInput)};
  if (o.hamlog && o.areaSuffix) throw UsageError{say(lang, Msg::AreaNeedsEnv)};
  if (o.appDir && o.appDir->empty()) throw UsageError{say(lang, Msg::EmptyAppDir)};
  if (o.output && o.output->empty()) throw UsageError{say(lang, Msg::EmptyOutput)};
  return o;
}

// The run on a console: the engine's messages one per line on standard
// error, a progress bar on a terminal, and an interrupt that stops the run.
class ConsoleRun final : public RunObserver {
public:
  ConsoleRun(Console& console, bool showProgress) : console_(console), show_(showProgress) {}
  ~ConsoleRun() override { clear(); }

  void showMessage(std::string_view text, std::string_view /*caption*/) override {
    clear();
    console_.err(oneLine(sjisToUtf8Lossy(text)));
  }
  void opened(std::int32_t recordCount) override { total_ = recordCount; }
  bool beforeQso(std::int32_t n) override {
    if (interruptRequested) return false;
    if (!show_ || (n & 0x3FF) != 1) return true;
    const auto now = std::chrono::steady_clock::now();
    if (width_ > 0 && now - last_ < std::chrono::milliseconds(100)) return true;
    last_ = now;
    draw(n);
    return true;
  }
  bool waiting() override { return !interruptRequested; }

  // Blanks over the bar rather than ESC [K: the classic Windows console
  // shows escape codes as text unless virtual-terminal processing is on, and
  // turning that on would need the mode restored on every way out.
  void clear() {
    if (width_ == 0) return;
    console_.err("\r" + std::string(width_, ' ') + "\r");
    width_ = 0;
  }

private:
  void draw(std::int32_t n) {
    std::string line;
    if (total_ > 0) {
      constexpr int width = 30;
      const auto filled = static_cast<int>(static_cast<std::int64_t>(n) * width / total_);
      line += '[';
      line.append(static_cast<std::size_t>(filled), '#');
      line.append(static_cast<std::size_t>(width - filled), ' ');
      line += "] ";
    }
    line += std::to_string(n);
    if (total_ > 0) line += " / " + std::to_string(total_);
    console_.err("\r" + line);
    width_ = line.size();
  }

  Console& console_;
  bool show_;
  std::int32_t total_ = 0;
  std::size_t width_ = 0;  // of the bar on screen, 0 when there is none
  std::chrono::steady_clock::time_point last_{};
};

// A file another program holds for a moment is waited for; Ctrl+C ends the
// wait as it ends the run.
class InterruptibleWait final : public HoldWait {
public:
  bool pause(std::chrono::milliseconds d) override {
    const auto end = std::chrono::steady_clock::now() + d;
    while (!interruptRequested && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !interruptRequested;
  }
};

int runIn(const SuiteLayout& suite, const Options& o, Console& console, Language lang) {
  InterruptibleWait wait;
  OsFileSystem fs(wait);
  ModeTable modes;
  if (o.modeConvert && !loadModeTable(fs, suite, modes))
    throw UsageError{say(lang, Msg::NoModeTable, {utf8(suite.modeTable())})};

  EnvItems env;
  std::string hamlogPath;  // Shift_JIS
  if (o.envFile) {
    const Path envPath(*o.envFile);
    if (!fs.fileExists(envPath)) throw Failure{say(lang, Msg::EnvMissing, {utf8(envPath)})};
    env = readEnvItems(fs.readAll(envPath));
    if (!env.hamlogPath)
      throw Failure{say(lang, Msg::NoHamlogDefined, {utf8(envPath)})};
    hamlogPath = *env.hamlogPath;
  } else {
    const auto sjis = nativeToSjis(*o.hamlog);
    if (!sjis) throw Failure{say(lang, Msg::NotShiftJis, {utf8(*o.hamlog)})};
    hamlogPath = *sjis;
  }

  ExtractJob job{hamlogPath,
                 {o.areaSuffix ? &env.areaPrefixes : nullptr, o.modeConvert ? &modes : nullptr},
                 // With -o the temporary file lies beside that file.
                 Path(o.output ? *o.output + nativeAscii("." + std::string(kTempName)) : suite.tempFile()),
                 Path(o.output ? *o.output : suite.workFile())};

  // The work file must never take the place of one of the program's inputs.
  std::vector<Path> inputs = {Path(suite.modeTable())};
  if (o.envFile) inputs.emplace_back(*o.envFile);
  for (const auto& name : {HamlogDatabase::recordFileName(hamlogPath), HamlogDatabase::companionFileName(hamlogPath)})
    if (auto p = sjisToPath(name)) inputs.push_back(*p);
  for (const Path& input : inputs) {
    std::error_code ec;
    if (std::filesystem::equivalent(job.workPath, input, ec) || std::filesystem::equivalent(job.tempPath, input, ec))
      throw Failure{say(lang, Msg::ReplacesInput, {utf8(job.workPath), utf8(input)})};
  }

  ConsoleRun observer(console, !o.quiet && console.errIsTerminal());
  const RunResult result = runExtraction(fs, job, observer);
  observer.clear();
  if (result.outcome == RunResult::Outcome::NotOpened) return kExitFailed;
  if (result.outcome == RunResult::Outcome::Stopped) {
    console.err(oneLine("neb01-extract: " + say(lang, Msg::Interrupted)));
    return kExitInterrupted;
  }

  const auto written = result.written;
  console.out(say(lang, written == 1 ? Msg::WrittenOne : Msg::Written, {std::to_string(written), utf8(job.workPath)}) +
              "\n");
  return kExitReplaced;
}

int run(const Options& o, const Path& programDir, Console& console, Language lang) {
  const SuiteLayout suite(o.appDir ? *o.appDir : programDir.native());
  try {
    return runIn(suite, o, console, lang);
  } catch (const IoError& e) {
    throw Failure{sjisToUtf8Lossy(suite.failureText(e))};
  }
}

}  // namespace

int runExtractCli(const std::vector<NativeString>& args, const Path& programDir, Console& console,
                  Language lang) {
  const std::string prefix = "neb01-extract: ";
  try {
    const Options o = parseArgs(args, lang);
    if (o.action == Options::Action::Help) console.out(say(lang, Msg::Usage));
    if (o.action == Options::Action::Version) console.out("neb01-extract " NEB_VERSION "\n");
    if (o.action != Options::Action::Run) return 0;
    return run(o, programDir, console, lang);
  } catch (const UsageError& e) {
    console.err(oneLine(prefix + e.text) + say(lang, Msg::Usage));
    return kExitUsage;
  } catch (const Failure& e) {
    console.err(oneLine(e.text));
    return kExitFailed;
  } catch (const std::bad_alloc&) {
    console.err(oneLine(prefix + say(lang, Msg::OutOfMemory)));
    return kExitFailed;
  } catch (const std::exception& e) {
    console.err(oneLine(prefix + e.what()));
    return kExitFailed;
  }
}

}  // namespace neb::cli
