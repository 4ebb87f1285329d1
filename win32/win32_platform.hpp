// The Win32 front end: the main window Form1. It forwards window events to
// Form1 and has no behaviour of its own beyond what the platform must do; the
// system's services (system_services.hpp) it only passes on.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "form1.hpp"
#include "platform.hpp"

namespace neb::win32 {

// The window or one of its parts could not be made; code is the system's.
struct WindowError : std::runtime_error {
  explicit WindowError(DWORD systemCode) : std::runtime_error("no window"), code(systemCode) {}
  DWORD code;
};

// The one place a failure of the window itself becomes the text of a box:
// an IoError's message as every front end words it (SuiteLayout), the
// system's reason a window could not be made, our own texts (UTF-8);
// unknown for anything else.
std::wstring failureText(std::exception_ptr failure, const wchar_t* unknown);

class Win32Platform final : public app::Platform {
public:
  // Creates the main window hidden and centred on the screen.
  explicit Win32Platform(HINSTANCE instance);
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // Events go to form from now on.
  void attach(app::Form1& form) { form_ = &form; }
  // Form1's start-up, before the window is first shown.
  void load();
  void show(int showCommand);
  HWND window() const { return window_; }
  HWND control(app::Control control) const;
  // Runs the message loop until the window is gone.
  int run();

  app::Answer messageBox(std::string_view text, std::string_view caption, app::Buttons buttons,
                         app::Icon icon) override;
  void nameBox(const NativeString& name, std::string_view sjisText, std::string_view caption) override;
  app::OpenFileResult openFileDialog(const app::OpenFileRequest& request) override;
  void setCaption(app::Control control, std::string_view sjisText) override;
  void setEnabled(app::Control control, bool enabled) override;
  bool isChecked(app::Control control) override;
  void setBusyCursor(bool busy) override;
  void processMessages() override;
  std::uint64_t tickMs() override;
  void startProcess(const NativeString& commandLine) override;
  [[noreturn]] void endProcess() override;
  void dismissHelp(const NativeString& helpFile) override;
  NativeString applicationDirectory() override;
  NativeString argumentText() override;
  FileSystem& fileSystem() override { return fileSystem_; }

private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void onCommand(int id, int code);
  // Runs a Form1 handler; a failure nobody caught ends the program with a box.
  template <class Handler>
  void forward(Handler handler);

  void createControls();
  void createFonts(UINT dpi);
  void applyLayout(UINT dpi);
  void centre();
  UINT windowDpi() const;
  void pump();
  void dispatch(MSG& msg);

  // A file another program holds for a moment is waited for with the
  // window answering (Stop, the close box), when the wait is on its thread.
  class WindowWait final : public HoldWait {
  public:
    explicit WindowWait(Win32Platform& platform) : platform_(platform), thread_(GetCurrentThreadId()) {}
    bool pause(std::chrono::milliseconds d) override;

  private:
    Win32Platform& platform_;
    DWORD thread_;
  };

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HMENU menuBar_ = nullptr;
  HWND tooltip_ = nullptr;
  std::array<HWND, 9> controls_{};  // by ControlId - kCommand1
  HFONT windowFont_ = nullptr;
  HFONT gothicFont_ = nullptr;
  UINT dpi_ = 96;
  bool busy_ = false;
  app::Form1* form_ = nullptr;
  WindowWait holdWait_{*this};
  OsFileSystem fileSystem_{holdWait_};
  // The Open dialog starts with the file chosen last.
  std::vector<wchar_t> dialogFile_;
};

}  // namespace neb::win32
