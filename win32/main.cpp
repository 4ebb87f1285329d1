// neb01.exe: the Windows program. Builds the window, hands its events to
// Form1 and runs the message loop; every way out ends in Form1's hand-off.
#include <windows.h>

#include <exception>

#include "form1.hpp"
#include "cp932.hpp"
#include "win32_platform.hpp"

namespace {

void fail(const wchar_t* text) {
  MessageBoxW(nullptr, text, L"NEB01", MB_OK | MB_ICONSTOP);
  ExitProcess(1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    neb::win32::Win32Platform platform(instance);
    neb::app::Form1 form(platform);
    platform.attach(form);
    // Start-up runs before the window is first shown; it may end the process.
    try {
      form.Form_Load();
    } catch (const neb::IoError& e) {
      MessageBoxW(platform.window(), neb::win32::sjisToWide(e.message()).c_str(), L"NEB01", MB_OK | MB_ICONSTOP);
      ExitProcess(1);
    }
    platform.show(showCommand);
    return platform.run();
  } catch (const std::exception&) {
    fail(L"NEB01 を開始できません");
  } catch (...) {
    fail(L"NEB01 を開始できません");
  }
  return 1;
}
