// neb01.exe: the Windows program. Builds the window, hands its events to
// Form1 and runs the message loop; every way out ends in Form1's hand-off.
#include <windows.h>

#include <exception>
#include <string>

#include "form1.hpp"
#include "texts.hpp"
#include "win32_platform.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    neb::win32::Win32Platform platform(instance);
    neb::app::Form1 form(platform);
    platform.attach(form);
    // Start-up may end the process (through the hand-off) before any window shows.
    platform.load();
    platform.show(showCommand);
    return platform.run();
  } catch (...) {
    namespace text = neb::win32::text;
    std::wstring box = text::appTitle() + text::cannotStart;
    const std::wstring detail = neb::win32::failureText(std::current_exception(), L"");
    if (!detail.empty()) box += L"\n" + detail;
    MessageBoxW(nullptr, box.c_str(), text::appTitle().c_str(), MB_OK | MB_ICONSTOP);
    ExitProcess(1);
  }
}
