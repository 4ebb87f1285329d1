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
#include "message_sink.hpp"
#include "mode_table.hpp"
#include "native_text.hpp"
#include "sjis.hpp"
#include "suite_layout.hpp"
#include "texts.hpp"

namespace neb::app {

namespace {

std::string decimal(std::int32_t n) { return std::to_string(n); }

// The directory part of a chosen file: walking back from the end, everything
// up to and including the last separator is dropped; a drive colon stays.
std::string directoryPart(std::string_view fullPath) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < fullPath.size(); i += sjis::charLength(fullPath, i)) starts.push_back(i);
  std::size_t keep = 0;
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    const char c = fullPath[*it];
    const bool single = sjis::charLength(fullPath, *it) == 1;
    if (single && c == kPathSeparator) {
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

// The window's side of a run: the QSO count and the progress label, the
// controls a run disables, the busy cursor, and the engine's messages as
// boxes. A Stop or a close taken while it pumps ends the program from inside.
class WindowRun final : public RunObserver {
public:
  // heldTemp is set to tempFile once the run holds that file: only a file a
  // run holds is ever removed at unload.
  WindowRun(Platform& platform, NativeString& heldTemp, NativeString tempFile)
      : platform_(platform), heldTemp_(heldTemp), tempFile_(std::move(tempFile)) {}

  // Every message of the engine is a modal OK box without icon. The label
  // must show the QSO the box names while the box waits.
  void showMessage(std::string_view text, std::string_view caption) override {
    showProgress();
    platform_.messageBox(text, caption, Buttons::Ok, Icon::None);
  }

  void opened(std::int32_t count) override {
    recordCount_ = count;
    platform_.setCaption(Control::Label2, decimal(count));
  }

  void started() override {
    heldTemp_ = tempFile_;
    platform_.setEnabled(Control::Command1, false);
    platform_.setEnabled(Control::Op, false);
    platform_.setEnabled(Control::Check1, false);
    platform_.setEnabled(Control::Check2, false);
    platform_.setBusyCursor(true);
    pendingLabel_ = 0;
    pump(platform_.tickMs());  // the disabled controls show before the first QSO
  }

  // The label counts every QSO up to 49, then every 50th; the window
  // answers at the first QSO and then every 50 ms.
  bool beforeQso(std::int32_t n) override {
    if (n < 50 || n % 50 == 0) pendingLabel_ = n;
    const std::uint64_t now = platform_.tickMs();
    if (n == 1 || now - lastPump_ >= 50) pump(now);
    return true;
  }

  bool waiting() override {
    pump(platform_.tickMs());
    return true;
  }

  void beforeReplace() override {
    pendingLabel_ = 0;
    platform_.setCaption(Control::Label3, decimal(recordCount_));
    platform_.setEnabled(Control::Command2, false);
    platform_.setCaption(Control::Label1, text::copying);
    platform_.processMessages();
  }

private:
  void showProgress() {
    if (pendingLabel_ == 0) return;
    platform_.setCaption(Control::Label3, decimal(pendingLabel_));
    pendingLabel_ = 0;
  }

  void pump(std::uint64_t now) {
    lastPump_ = now;
    showProgress();
    platform_.processMessages();
  }

  Platform& platform_;
  NativeString& heldTemp_;
  const NativeString tempFile_;
  std::int32_t recordCount_ = 0;
  std::uint64_t lastPump_ = 0;
  std::int32_t pendingLabel_ = 0;
};

struct Form1::Impl {
  explicit Impl(Platform& p) : platform(p), fs(p.fileSystem()) {}

  Platform& platform;
  FileSystem& fs;

  // Settings, for the life of the process.
  NativeString argumentText;
  NativeString envPath;
  std::string hamlogPath;  // Shift_JIS
  std::vector<std::string> areaPrefixes;
  NativeString helpFile;
  ModeTable modes;

  // The run's temporary work file, once the run holds it; empty before.
  NativeString tempPath;

  SuiteLayout layout() { return SuiteLayout(platform.applicationDirectory()); }

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

  // The one place where a step that failed becomes a box and the end of the
  // program, without the menu: a run has removed its temporary file and left
  // the work file as it was. The front end's own exceptions (a test's end of
  // the process) are not ours to catch.
  template <class Step>
  void guard(Step step) {
    try {
      step();
    } catch (const IoError& e) {
      fatal(layout().failureText(e));
    } catch (const std::bad_alloc&) {
      fatal(text::outOfMemory);
    } catch (const std::exception&) {
      fatal(text::unexpected);
    }
  }

  // A click taken while a handler lets the window answer (a file held for
  // a moment is waited for) is dropped, not run inside it.
  bool handling = false;
  template <class Step>
  void handler(Step step) {
    if (handling) return;
    handling = true;
    guard(step);
    handling = false;
  }

  [[noreturn]] void Menu_Handoff() {
    platform.dismissHelp(helpFile);
    const NativeString commandLine = layout().menuCommandLine(argumentText);
    try {
      platform.startProcess(commandLine);
    } catch (const IoError&) {
      throw;
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
    helpFile = layout().helpFile();
    envPath = dropFirstChar(argumentText);
    if (!fs.fileExists(Path(envPath))) {
      platform.messageBox(text::noEnvFile, title::suite, Buttons::Ok, Icon::None);
      Menu_Handoff();
    }
    EnvItems items = readEnvItems(fs.readAll(Path(envPath)));
    if (items.hamlogPath) {
      hamlogPath = std::move(*items.hamlogPath);
      platform.setCaption(Control::Label1, hamlogPath);
    }
    areaPrefixes = std::move(items.areaPrefixes);
  }

  void Mode_Set() {
    if (!loadModeTable(fs, layout(), modes)) platform.setEnabled(Control::Check2, false);
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
    line += kPathSeparator;
    line += chosen->second;
    const LineRule rule = [&line](std::string_view current) -> std::optional<std::string> {
      if (current.substr(0, 4) == "#01,") return line;
      return std::string(current);
    };
    try {
      Env_Rewrite(fs, trimBlanks(dropFirstChar(platform.argumentText())), rule);
    } catch (const IoError& e) {
      // Said once here: otherwise the start-up's search would only come back
      // to the same missing file, with no word of why.
      platform.messageBox(layout().failureText(e), title::app, Buttons::Ok, Icon::None);
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
    Env_Rewrite(fs, envPath, rule);
    platform.setEnabled(Control::Command1, true);
    platform.setEnabled(Control::Command2, true);
  }

  void Command1() {
    if (!fileExistsSjis(hamlogPath)) {
      platform.messageBox(text::hamlogUndefined, title::app, Buttons::Ok, Icon::None);
      return;
    }
    const SuiteLayout suite = layout();
    const ExtractJob job{hamlogPath,
                         {platform.isChecked(Control::Check1) ? &areaPrefixes : nullptr,
                          platform.isChecked(Control::Check2) ? &modes : nullptr},
                         Path(suite.tempFile()), Path(suite.workFile())};
    WindowRun run(platform, tempPath, suite.tempFile());
    RunResult result;
    try {
      result = runExtraction(fs, job, run);
    } catch (const std::exception&) {
      platform.setBusyCursor(false);
      throw;
    }
    // A missing DBS or DBR has been reported; the window stays as it was.
    if (result.outcome != RunResult::Outcome::Replaced) return;
    platform.setBusyCursor(false);
    Menu_Handoff();
  }

  [[noreturn]] void Form_Unload() {
    // A run may still hold the file further up the stack (a close taken
    // while it pumps messages): removing the name is enough, the system
    // lets the file go with the process.
    const Path path(tempPath);
    if (!tempPath.empty() && fs.fileExists(path)) fs.removeFile(path);
    Menu_Handoff();
  }
};

Form1::Form1(Platform& platform) : impl_(std::make_unique<Impl>(platform)) {}
Form1::~Form1() = default;

void Form1::Form_Load() {
  impl_->guard([this] { impl_->Form_Load(); });
}
void Form1::Command1_Click() {
  impl_->handler([this] { impl_->Command1(); });
}
// Stop unloads the window; the unload processing never returns.
void Form1::Command2_Click() { Form_Unload(); }
void Form1::hamlog_set_Click() {
  impl_->handler([this] { impl_->Hamlog_Define(); });
}
void Form1::MENU_X_Click() {
  impl_->handler([this] { impl_->MENU_X(); });
}
void Form1::Form_Unload() {
  impl_->guard([this] { impl_->Form_Unload(); });
  std::abort();  // the unload processing always ends the program
}

}  // namespace neb::app
