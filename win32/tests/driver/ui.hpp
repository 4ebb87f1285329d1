// Driving another process's windows from outside: start it with an exact
// command line, find its windows, read their texts and answer its boxes.
// Every wait has a deadline so that a hung program fails the check instead
// of hanging the run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

class Process {
public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // applicationPath is the file to run; commandLine goes to the child exactly.
  // With outputFile, the child's standard output and error go there.
  bool start(const std::wstring& applicationPath, const std::wstring& commandLine,
             const std::wstring& currentDirectory, const std::wstring& outputFile = L"");
  bool waitExit(DWORD timeoutMs);
  bool running() const;
  DWORD exitCode() const;
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return handle_; }
  void kill();

private:
  HANDLE handle_ = nullptr;
  DWORD pid_ = 0;
};

std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);
// Top-level windows of the process (visible ones only unless all is set).
std::vector<HWND> topWindows(DWORD pid, bool all = false);

// Polls cond every few milliseconds until it holds or timeoutMs passes.
bool waitFor(const std::function<bool()>& cond, DWORD timeoutMs);

HWND waitMainWindow(DWORD pid, DWORD timeoutMs);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;
  bool ok = false, yes = false, no = false, cancel = false;
  bool icon = false;  // an icon control is present
  explicit operator bool() const { return hwnd != nullptr; }
};

// A message box of the process (not the file dialog); skips the handles in
// `seen` so that a box that reopens is not mistaken for the old one.
MessageBoxInfo waitMessageBox(DWORD pid, DWORD timeoutMs, const std::vector<HWND>& seen = {});
MessageBoxInfo currentMessageBox(DWORD pid);
// Posts a click on the box's button and waits until the box is gone.
bool answer(const MessageBoxInfo& box, int buttonId, DWORD timeoutMs = 10000);

HWND waitFileDialog(DWORD pid, DWORD timeoutMs, HWND notThis = nullptr);
// Types the full path into the file-name field and presses Open.
bool fileDialogOpen(HWND dialog, const std::wstring& fullPath);
void fileDialogCancel(HWND dialog);

// The tools of the process's tooltip windows: the control and its tip text.
// Reads through the process's memory, since tooltip messages carry pointers.
std::vector<std::pair<HWND, std::wstring>> toolTips(const Process& process);

void click(HWND button);  // posted, so a modal box it opens does not block us
bool isChecked(HWND button);
bool isEnabled(HWND hwnd);
void postMenu(HWND mainWindow, int id);

// Saves the screen area that covers the windows (plus a margin) as a BMP.
bool screenshot(const std::vector<HWND>& windows, const std::wstring& bmpPath);

}  // namespace e2e
