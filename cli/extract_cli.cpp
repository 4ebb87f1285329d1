#include "extract_cli.hpp"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "env_items.hpp"
#include "extraction.hpp"
#include "file_system.hpp"
#include "hamlog_database.hpp"
#include "message_sink.hpp"
#include "mode_table.hpp"

namespace neb::cli {

const char* const kUsage =
    "usage: neb01-extract [-a|--area-suffix] [-m|--mode-convert] [--app-dir DIR] [-o|--output FILE] [-q|--quiet] ENV_FILE\n"
    "       neb01-extract [-m|--mode-convert] [--app-dir DIR] [-o|--output FILE] [-q|--quiet] --hamlog DBS_PATH\n"
    "\n"
    "Writes one line per HAMLOG QSO into the work file DIR/data/Work.Txt (or FILE).\n"
    "  ENV_FILE            the suite's environment file: HAMLOG path (#01) and area prefixes ($)\n"
    "  --hamlog DBS_PATH   the HAMLOG record file, without an environment file\n"
    "  -a, --area-suffix   portable area designators such as JA1 become 1\n"
    "  -m, --mode-convert  modes converted through DIR/Mode.txt\n"
    "  --app-dir DIR       the application directory (default: the program's directory)\n"
    "  -o, --output FILE   the work file to replace\n"
    "  -q, --quiet         no progress bar\n"
    "  -h, --help          this text\n"
    "  --version           the program's version\n"
    "Exit status: 0 work file replaced, 1 failure (work file untouched), 2 usage error,\n"
    "130 interrupted.\n";

volatile std::sig_atomic_t interruptRequested = 0;

namespace {

struct UsageError {
  std::string text;  // UTF-8
};

struct Failure {
  std::string text;  // UTF-8
};

struct Interrupted {};

// --help or --version: answered on standard output, nothing else is done.
struct Answer {
  std::string text;
};

struct Options {
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

// "環境ﾌｧｲﾙが見当たりません" as the suite words it, and our own texts.
constexpr std::string_view kEnvMissing = "\xE7\x92\xB0\xE5\xA2\x83\xEF\xBE\x8C\xEF\xBD\xA7\xEF\xBD\xB2\xEF\xBE\x99"
                                         "\xE3\x81\x8C\xE8\xA6\x8B\xE5\xBD\x93\xE3\x81\x9F\xE3\x82\x8A\xE3\x81\xBE"
                                         "\xE3\x81\x9B\xE3\x82\x93";

Options parseArgs(const std::vector<NativeString>& args) {
  Options o;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const NativeString& a = args[i];
    const std::string name = utf8(a);
    auto value = [&](std::optional<NativeString>& slot) {
      if (slot) throw UsageError{name + " given twice"};
      if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
      slot = args[++i];
    };
    if (optionsEnded || a.empty() || a[0] != NEB_NATIVE('-') || a == NEB_NATIVE("-")) {
      if (o.envFile) throw UsageError{"more than one ENV_FILE"};
      o.envFile = a;
    } else if (a == NEB_NATIVE("--")) {
      optionsEnded = true;
    } else if (a == NEB_NATIVE("--help") || a == NEB_NATIVE("-h")) {
      throw Answer{kUsage};
    } else if (a == NEB_NATIVE("--version")) {
      throw Answer{"neb01-extract " NEB_VERSION "\n"};
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
        else throw UsageError{"unknown option " + name};
      }
    } else {
      throw UsageError{"unknown option " + name};
    }
  }
  if (o.hamlog && o.envFile) throw UsageError{"ENV_FILE and --hamlog exclude each other"};
  if (!o.hamlog && !o.envFile) throw UsageError{"no ENV_FILE and no --hamlog"};
  if (o.hamlog && o.areaSuffix) throw UsageError{"-a needs the area prefixes of an ENV_FILE"};
  if (o.appDir && o.appDir->empty()) throw UsageError{"--app-dir is empty"};
  if (o.output && o.output->empty()) throw UsageError{"--output is empty"};
  return o;
}

// Messages of the engine: one per occurrence, on standard error.
class ConsoleSink final : public MessageSink {
public:
  explicit ConsoleSink(Console& console) : console_(console) {}
  void showMessage(std::string_view text, std::string_view /*caption*/) override {
    if (beforeMessage) beforeMessage();
    std::string line = sjisToUtf8Lossy(text);
    line += '\n';
    console_.err(line);
  }
  std::function<void()> beforeMessage;

private:
  Console& console_;
};

// A progress bar on a terminal; also where an interrupt takes effect.
class Progress final : public QsoObserver {
public:
  Progress(Console& console, bool show, std::int32_t total) : console_(console), show_(show), total_(total) {}
  ~Progress() override { clear(); }

  void beforeQso(std::int32_t n) override {
    if (interruptRequested) throw Interrupted{};
    if (!show_ || (n & 0x3FF) != 1) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    draw(n);
  }

  void clear() {
    if (!drawn_) return;
    console_.err("\r\x1B[K");
    drawn_ = false;
  }

private:
  void draw(std::int32_t n) {
    std::string line = "\r";
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
    console_.err(line);
    drawn_ = true;
  }

  Console& console_;
  bool show_;
  std::int32_t total_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// The header's count, for the progress bar only; 0 when it cannot be read.
std::int32_t announcedCount(FileSystem& fs, const std::string& hamlogPath) {
  try {
    const auto path = sjisToPath(HamlogDatabase::recordFileName(hamlogPath));
    if (!path || !fs.fileExists(*path)) return 0;
    unsigned char header[7] = {};
    if (fs.openRead(*path)->readAt(0, header, sizeof header) < sizeof header) return 0;
    return header[4] + 256 * header[5] + 65536 * header[6];
  } catch (const std::exception&) {
    return 0;
  }
}

Path withSuffix(const NativeString& file, const NativeString& suffix) { return Path(file + suffix); }

int run(const Options& o, const Path& programDir, Console& console) {
  OsFileSystem fs;
  const Path appDir = o.appDir ? Path(*o.appDir) : programDir;

  ModeTable modes;
  if (o.modeConvert) {
    const Path modeFile = appDir / NEB_NATIVE("Mode.txt");
    if (!fs.fileExists(modeFile)) throw UsageError{"-m needs the mode table " + utf8(modeFile) + ", which does not exist"};
    modes.load(fs.readAll(modeFile));
  }

  EnvItems env;
  std::string hamlogPath;  // Shift_JIS
  if (o.envFile) {
    const Path envPath(*o.envFile);
    if (!fs.fileExists(envPath)) throw Failure{std::string(kEnvMissing) + ": " + utf8(envPath)};
    env = readEnvItems(fs.readAll(envPath));
    if (!env.hamlogPath)
      throw Failure{utf8(envPath) + ": no HAMLOG file is defined (no \"#01\" item followed by a path)"};
    hamlogPath = *env.hamlogPath;
  } else {
    const auto sjis = nativeToSjis(*o.hamlog);
    if (!sjis) throw Failure{utf8(*o.hamlog) + ": the HAMLOG path cannot be written in Shift_JIS"};
    hamlogPath = *sjis;
  }

  ExtractJob job;
  job.hamlogPath = hamlogPath;
  job.conversions.areaSuffix = o.areaSuffix;
  job.conversions.areaPrefixes = &env.areaPrefixes;
  job.conversions.mode = o.modeConvert;
  job.conversions.modeTable = &modes;
  if (o.output) {
    job.workPath = Path(*o.output);
    job.tempPath = withSuffix(*o.output, NEB_NATIVE(".nebwdw.tmp"));
  } else {
    job.workPath = appDir / NEB_NATIVE("data") / NEB_NATIVE("Work.Txt");
    job.tempPath = appDir / NEB_NATIVE("nebwdw.tmp");
  }

  // The work file must never take the place of one of the program's inputs.
  std::vector<Path> inputs = {appDir / NEB_NATIVE("Mode.txt")};
  if (o.envFile) inputs.emplace_back(*o.envFile);
  for (const auto& name : {HamlogDatabase::recordFileName(hamlogPath), HamlogDatabase::companionFileName(hamlogPath)})
    if (auto p = sjisToPath(name)) inputs.push_back(*p);
  for (const Path& input : inputs) {
    std::error_code ec;
    if (std::filesystem::equivalent(job.workPath, input, ec) || std::filesystem::equivalent(job.tempPath, input, ec))
      throw Failure{utf8(job.workPath) + ": the work file would replace an input file, " + utf8(input)};
  }

  const bool showProgress = !o.quiet && console.errIsTerminal();
  Progress progress(console, showProgress, showProgress ? announcedCount(fs, hamlogPath) : 0);
  ConsoleSink sink(console);
  sink.beforeMessage = [&progress] { progress.clear(); };

  const JobResult result = runExtraction(fs, sink, job, &progress);
  progress.clear();
  if (!result.opened) return kExitFailed;

  console.out(std::to_string(result.extract.written) +
              " \xE4\xBB\xB6\xE3\x81\xAE\xE4\xBA\xA4\xE4\xBF\xA1\xE3\x82\x92 " + utf8(job.workPath) +
              " \xE3\x81\xAB\xE6\x9B\xB8\xE3\x81\x8D\xE5\x87\xBA\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\n");  // 件の交信を … に書き出しました
  return kExitReplaced;
}

}  // namespace

int runExtractCli(const std::vector<NativeString>& args, const Path& programDir, Console& console) {
  try {
    const Options o = parseArgs(args);
    return run(o, programDir, console);
  } catch (const Answer& a) {
    console.out(a.text);
    return 0;
  } catch (const UsageError& e) {
    console.err("neb01-extract: " + e.text + "\n" + kUsage);
    return kExitUsage;
  } catch (const Failure& e) {
    console.err(e.text + "\n");
    return kExitFailed;
  } catch (const IoError& e) {
    console.err(sjisToUtf8Lossy(e.message()) + "\n");
    return kExitFailed;
  } catch (const Interrupted&) {
    console.err("neb01-extract: interrupted; the work file is unchanged\n");
    return kExitInterrupted;
  } catch (const std::bad_alloc&) {
    console.err("neb01-extract: out of memory; the work file is unchanged\n");
    return kExitFailed;
  } catch (const std::exception& e) {
    console.err(std::string("neb01-extract: ") + e.what() + "\n");
    return kExitFailed;
  }
}

}  // namespace neb::cli
