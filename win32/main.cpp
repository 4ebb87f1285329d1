// neb01.exe: the Windows program. Builds the window, hands its events to
// Form1 and runs the message loop; every way out ends in Form1's hand-off.
#include <windows.h>

#include <new>
#include <stdexcept>
#include <string>

#include "form1.hpp"
#include "win32_platform.hpp"

namespace {

[[noreturn]] void fail(const char* utf8) {
  std::wstring text = L"NEB01 を開始できません";
  if (utf8 && *utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n > 1) {
      std::wstring detail(static_cast<std::size_t>(n), L'\0');
      MultiByteToWideChar(CP_UTF8, 0, utf8, -1, detail.data(), n);
      detail.resize(static_cast<std::size_t>(n - 1));
      text += L"\n" + detail;
    }
  }
  MessageBoxW(nullptr, text.c_str(), L"NEB01", MB_OK | MB_ICONSTOP);
  ExitProcess(1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    neb::win32::Win32Platform platform(instance);
    neb::app::Form1 form(platform);
    platform.attach(form);
    // Start-up may end the process (through the hand-off) before any window shows.
    platform.load();
    platform.show(showCommand);
    return platform.run();
  } catch (const std::bad_alloc&) {
    fail("メモリが足りません");
  } catch (const std::runtime_error& e) {  // our own texts, UTF-8
    fail(e.what());
  } catch (...) {
    fail(nullptr);
  }
}
