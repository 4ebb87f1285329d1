#include "form1.hpp"

#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "env_items.hpp"
#include "env_rewrite.hpp"
#include "extraction.hpp"
#include "hamlog_database.hpp"
#include "message_sink.hpp"
#include "mode_table.hpp"
#include "native_text.hpp"
#include "sjis.hpp"
#include "texts.hpp"

namespace neb::app {

namespace {

// Every message of the engine is a modal OK box without icon. The progress
// label is brought up to date first: the box names a QSO and the label must
// show the same one while the box waits.
class BoxSink final : public MessageSink {
public:
  BoxSink(Platform& platform, std::int32_t& pendingLabel)
      : platform_(platform), pendingLabel_(pendingLabel) {}
  void showMessage(std::string_view text, std::string_view caption) override {
    if (pendingLabel_ != 0) {
      platform_.setCaption(Control::Label3, std::to_string(pendingLabel_));
      pendingLabel_ = 0;
    }
    platform_.messageBox(text, caption, Buttons::Ok, Icon::None);
  }

private:
  Platform& platform_;
  std::int32_t& pendingLabel_;
};

std::string decimal(std::int32_t n) { return std::to_string(n); }

#ifdef _WIN32
constexpr char kSjisSeparator = '\\';
#else
constexpr char kSjisSeparator = '/';
#endif

// The directory part of a chosen file: walking back from the end, everything
// up to and including the last separator is dropped; a drive colon stays.
std::string directoryPart(std::string_view fullPath) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < fullPath.size(); i += sjis::charLength(fullPath, i)) starts.push_back(i);
  std::size_t keep = 0;
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    const char c = fullPath[*it];
    const bool single = sjis::charLength(fullPath, *it) == 1;
    if (single && c == kSjisSeparator) {
      keep = *it;
      break;
    }
    if (single && c == ':') {
      keep = *it + 1;
      break;
    }
  }
  return std::string(sjis::trim(fullPath.substr(0, keep)));
}

bool hasDbsExtension(std::string_view fileTitle) {
  const std::size_t n = sjis::length(fileTitle);
  if (n < 4) return false;
  const std::string_view tail = fileTitle.substr(sjis::left(fileTitle, n - 4).size());
  return sjis::upper(tail) == ".DBS";
}

}  // namespace

struct Form1::Impl final : QsoObserver {
  explicit Impl(Platform& p) : platform(p), fs(p.fileSystem()), sink(p, pendingLabel), db(fs, sink) {}

  Platform& platform;
  FileSystem& fs;
  BoxSink sink;

  // Settings, for the life of the process.
  NativeString argumentText;
  NativeString envPath;
  std::string hamlogPath;  // Shift_JIS
  std::vector<std::string> areaPrefixes;
  NativeString helpFile;
  NativeString workFile;

  HamlogDatabase db;
  ModeTable modes;

  // The run's temporary work file; the path stays empty until a run builds it.
  NativeString tempPath;
  std::optional<TempWorkFile> temp;

  // Progress display of the run.
  std::uint64_t lastPump = 0;
  std::int32_t pendingLabel = 0;

  NativeString appDir() { return platform.applicationDirectory(); }

  [[noreturn]] void endNow() {
    platform.endProcess();
    std::abort();  // a front end whose endProcess returns has broken its promise
  }

  bool fileExistsSjis(std::string_view sjisPath) {
    if (sjisPath.empty()) return false;
    const auto path = sjisToPath(sjisPath);
    return path && fs.fileExists(*path);
  }

  [[noreturn]] void fatal(std::string_view sjisText) {
    platform.messageBox(sjisText, title::app, Buttons::Ok, Icon::None);
    endNow();
  }

  // A step of a run that failed: the work file stays as it was, the
  // temporary file goes, and the program ends without the menu.
  [[noreturn]] void failRun(std::string_view sjisReason) {
    if (temp) temp->discard();
    temp.reset();
    platform.setBusyCursor(false);
    platform.messageBox(sjisReason, title::app, Buttons::Ok, Icon::None);
    db.Hamlog_Close();
    endNow();
  }

  // Every way a step of the run can fail ends in failRun. The front end's
  // own exceptions (a test's end of the process) are not ours to catch.
  template <class Step>
  void runStep(Step step) {
    try {
      step();
    } catch (const IoError& e) {
      failRun(e.message());
    } catch (const std::bad_alloc&) {
      failRun(text::outOfMemory);
    } catch (const std::exception&) {
      failRun(text::unexpected);
    }
  }

  [[noreturn]] void Menu_Handoff() {
    db.Hamlog_Close();
    platform.dismissHelp(helpFile);
    const NativeString commandLine = handoffCommandLine(appDir(), argumentText);
    try {
      platform.startProcess(commandLine);
    } catch (const IoError& e) {
      fatal(e.message());
    } catch (const std::exception&) {
      fatal(nativeToSjisLossy(commandLine) + std::string(text::cannotStart));
    }
    endNow();
  }

  void Env_Read() {
    argumentText = platform.argumentText();
    if (charCount(argumentText) < 2) {
      platform.messageBox(text::noArgument, title::suite, Buttons::Ok, Icon::None);
      Menu_Handoff();
    }
    helpFile = joinPlain(appDir(), "neb01.hlp");
    envPath = dropFirstChar(argumentText);
    if (!fs.fileExists(Path(envPath))) {
      platform.messageBox(text::noEnvFile, title::suite, Buttons::Ok, Icon::None);
      Menu_Handoff();
    }
    std::string bytes;
    try {
      bytes = fs.readAll(Path(envPath));
    } catch (const IoError& e) {
      fatal(e.message());
    }
    EnvItems items = readEnvItems(bytes);
    if (items.hamlogPath) {
      hamlogPath = std::move(*items.hamlogPath);
      platform.setCaption(Control::Label1, hamlogPath);
    }
    areaPrefixes = std::move(items.areaPrefixes);
    workFile = joinPlain(joinPlain(appDir(), "data"), "Work.Txt");
  }

  void Mode_Set() {
    const Path path(joinPlain(appDir(), "Mode.txt"));
    if (!fs.fileExists(path)) {
      platform.setEnabled(Control::Check2, false);
      return;
    }
    try {
      modes.load(fs.readAll(path));
    } catch (const IoError& e) {
      fatal(e.message());
    }
  }

  void Form_Load() {
    for (;;) {
      Env_Read();
      if (fileExistsSjis(hamlogPath)) {
        Mode_Set();
        return;
      }
      platform.messageBox(hamlogPath, title::app, Buttons::Ok, Icon::None);
      const Answer answer = platform.messageBox(text::askSearch, title::app, Buttons::YesNo, Icon::Exclamation);
      if (answer != Answer::Yes) {
        platform.setEnabled(Control::Command1, false);
        return;
      }
      Hamlog_Define();
    }
  }

  // The chosen file's full path and name in Shift_JIS, or nullopt on cancel.
  std::optional<std::pair<std::string, std::string>> chooseDbsFile() {
    const OpenFileRequest request{std::string(text::dialogTitle), std::string(text::dialogFilter),
                                  text::dialogFlags};
    for (;;) {
      const OpenFileResult result = platform.openFileDialog(request);
      if (result.cancelled) return std::nullopt;
      auto fullPath = nativeToSjis(result.fullPath);
      auto fileTitle = nativeToSjis(result.fileTitle);
      if (!fullPath || !fileTitle) {
        // Written with "?" in place of the missing characters, the name would
        // be another file's, or none's.
        platform.nameBox(result.fullPath, text::unrepresentableName, title::app);
        continue;
      }
      if (hasDbsExtension(*fileTitle)) return std::pair(std::move(*fullPath), std::move(*fileTitle));
    }
  }

  void Hamlog_Define() {
    const auto chosen = chooseDbsFile();
    if (!chosen) return;
    std::string line = "#01,";
    line += directoryPart(chosen->first);
    line += kSjisSeparator;
    line += chosen->second;
    const LineRule rule = [&line](std::string_view current) -> std::optional<std::string> {
      if (current.substr(0, 4) == "#01,") return line;
      return std::string(current);
    };
    try {
      Env_Rewrite(fs, trimBlanks(dropFirstChar(platform.argumentText())), rule);
    } catch (const IoError&) {
      // The file is as it was; reading it again shows the old path.
    }
    Env_Read();
  }

  void MENU_X() {
    platform.setEnabled(Control::Command1, false);
    platform.setEnabled(Control::Command2, false);
    const LineRule rule = [](std::string_view current) -> std::optional<std::string> {
      if (sjis::trim(current) == text::setupMarker) return std::nullopt;
      return std::string(current);
    };
    try {
      Env_Rewrite(fs, envPath, rule);
    } catch (const IoError& e) {
      fatal(e.message());
    }
    platform.setEnabled(Control::Command1, true);
    platform.setEnabled(Control::Command2, true);
  }

  // Brings the progress label up to date and lets the window answer.
  void pump(std::uint64_t now) {
    lastPump = now;
    if (pendingLabel != 0) {
      platform.setCaption(Control::Label3, decimal(pendingLabel));
      pendingLabel = 0;
    }
    platform.processMessages();
  }

  void beforeQso(std::int32_t n) override {
    if (n < 50 || n % 50 == 0) pendingLabel = n;
    const std::uint64_t now = platform.tickMs();
    if (n != 1 && now - lastPump < 50) return;
    pump(now);
  }

  void waiting() override { pump(platform.tickMs()); }

  void Command1() {
    if (!fileExistsSjis(hamlogPath)) {
      platform.messageBox(text::hamlogUndefined, title::app, Buttons::Ok, Icon::None);
      return;
    }
    bool opened = false;
    runStep([&] {
      // A missing DBS or DBR has been reported; the window stays as it was.
      opened = db.Hamlog_Open(hamlogPath);
      if (!opened) return;
      platform.setCaption(Control::Label2, decimal(db.recordCount));
      const NativeString path = joinChecked(appDir(), "nebwdw.tmp");
      temp.emplace(fs, Path(path));
      tempPath = path;  // only a file this run holds is ever removed
    });
    if (!opened) return;

    platform.setEnabled(Control::Command1, false);
    platform.setEnabled(Control::Op, false);
    platform.setEnabled(Control::Check1, false);
    platform.setEnabled(Control::Check2, false);
    platform.setBusyCursor(true);

    Conversions conv;
    conv.areaSuffix = platform.isChecked(Control::Check1);
    conv.areaPrefixes = &areaPrefixes;
    conv.mode = platform.isChecked(Control::Check2);
    conv.modeTable = &modes;
    lastPump = platform.tickMs();
    pendingLabel = 0;
    runStep([&] {
      extractQsos(db, *temp, conv, this, sink);
      temp->commit();
    });

    platform.setCaption(Control::Label3, decimal(db.recordCount));
    platform.setEnabled(Control::Command2, false);
    platform.setCaption(Control::Label1, text::copying);
    platform.processMessages();
    runStep([&] { replaceWorkFile(fs, Path(tempPath), Path(workFile)); });
    temp.reset();
    platform.setBusyCursor(false);
    Menu_Handoff();
  }

  [[noreturn]] void Form_Unload() {
    // The run may still hold the file object further up the stack (a close
    // taken while it pumps messages), so close it here but keep it alive.
    if (temp) temp->discard();
    const Path path(tempPath);
    if (!tempPath.empty() && fs.fileExists(path)) {
      try {
        fs.removeFile(path);
      } catch (const IoError& e) {
        fatal(e.message());
      }
    }
    Menu_Handoff();
  }
};

Form1::Form1(Platform& platform) : impl_(std::make_unique<Impl>(platform)) {}
Form1::~Form1() = default;

void Form1::Form_Load() { impl_->Form_Load(); }
void Form1::Command1_Click() { impl_->Command1(); }
// Stop unloads the window; the unload processing never returns.
void Form1::Command2_Click() { impl_->Form_Unload(); }
void Form1::hamlog_set_Click() { impl_->Hamlog_Define(); }
void Form1::MENU_X_Click() { impl_->MENU_X(); }
void Form1::Form_Unload() { impl_->Form_Unload(); }

}  // namespace neb::app
