#include "system_services.hpp"

#include <new>
#include <stdexcept>
#include <system_error>

#include "command_line.hpp"
#include "file_system.hpp"
#include "io_texts.hpp"
#include "system.hpp"
#include "texts.hpp"

namespace neb::win32 {

void startProcess(const std::wstring& commandLine) {
  std::wstring buffer = commandLine;  // CreateProcessW may write into it
  const std::wstring program = programFileOf(commandLine, executableDirectory().native());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &si, &pi))
    throw IoError(Path(program.empty() ? commandLine : program), msg::opStart, GetLastError());
  // This program ends at once: let the menu take the foreground it leaves.
  AllowSetForegroundWindow(pi.dwProcessId);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

std::wstring argumentText() { return std::wstring(argumentTextOf(GetCommandLineW())); }

void dismissHelp(HWND owner, const std::wstring& helpFile) {
  const std::string path = nativeToSjisLossy(helpFile);
  WinHelpA(owner, path.c_str(), HELP_QUIT, 0);
}

std::wstring failureText(std::exception_ptr failure, const wchar_t* unknown) {
  try {
    std::rethrow_exception(failure);
  } catch (const IoError& e) {
    return sjisToNativeLossy(e.message());
  } catch (const std::bad_alloc&) {
    return text::outOfMemory;
  } catch (const std::system_error& e) {  // the window could not be made
    return text::noWindow + sjisToNativeLossy(systemReason(static_cast<SystemCode>(e.code().value())));
  } catch (const std::runtime_error& e) {  // our own texts, UTF-8
    return utf8ToNative(e.what());
  } catch (...) {
    return unknown;
  }
}

}  // namespace neb::win32
