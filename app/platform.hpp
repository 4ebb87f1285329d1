// What the application shell asks of the platform. The Windows front end
// implements it with Win32; the tests with a scripted fake. Texts shown to
// the user are Shift_JIS; the front end converts them by code page 932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "file_system.hpp"
#include "text_codec.hpp"

namespace neb::app {

enum class Control { Command1, Command2, Check1, Check2, Op, Label1, Label2, Label3 };
enum class Buttons { Ok, YesNo };
enum class Icon { None, Exclamation };
enum class Answer { Ok, Yes, No };

struct OpenFileRequest {
  std::string title;   // Shift_JIS
  std::string filter;  // Shift_JIS, "description|pattern"
  std::uint32_t flags = 0;
};

// The chosen file as the user chose it; the shell finds out whether
// Shift_JIS can hold its name.
struct OpenFileResult {
  bool cancelled = true;
  NativeString fullPath;
  NativeString fileTitle;
};

class Platform {
public:
  virtual ~Platform() = default;

  // Modal box; caption and text in Shift_JIS.
  virtual Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons,
                            Icon icon) = 0;
  // Modal OK box without icon: a file name exactly as the user chose it,
  // then sjisText on the next line. This default goes through Shift_JIS and
  // may lose characters; a front end that shows Unicode shows the name whole.
  virtual void nameBox(const NativeString& name, std::string_view sjisText, std::string_view caption) {
    messageBox(nativeToSjisLossy(name) + "\n" + std::string(sjisText), caption, Buttons::Ok, Icon::None);
  }
  // Modal Open-file dialog; it starts with the full path chosen last.
  virtual OpenFileResult openFileDialog(const OpenFileRequest& request) = 0;

  virtual void setCaption(Control control, std::string_view sjisText) = 0;
  virtual void setEnabled(Control control, bool enabled) = 0;
  virtual bool isChecked(Control control) = 0;
  virtual void setBusyCursor(bool busy) = 0;
  // Lets the window process all pending messages once. A Stop click or a
  // close request taken here runs Form1's unload handler from inside.
  virtual void processMessages() = 0;
  // Milliseconds from an arbitrary start, monotonic.
  virtual std::uint64_t tickMs() = 0;

  // Starts commandLine as a new process shown normally with focus, not
  // waited for. Throws IoError (operation "起動", the system's reason) on failure.
  virtual void startProcess(const NativeString& commandLine) = 0;
  // Ends this process at once. Never returns.
  [[noreturn]] virtual void endProcess() = 0;
  // Dismisses the help viewer of the help file (nothing where there is none).
  virtual void dismissHelp(const NativeString& helpFile) = 0;

  // Directory of the executable, no trailing separator except at a root.
  virtual NativeString applicationDirectory() = 0;
  // The command line after the program's name and the one blank after it.
  virtual NativeString argumentText() = 0;
  virtual FileSystem& fileSystem() = 0;
};

}  // namespace neb::app
