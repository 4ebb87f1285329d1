#include "system.hpp"

#include <system_error>

#include "io_texts.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace neb {

std::string systemReason(SystemCode code) {
#ifdef _WIN32
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
#else
  std::string wide = std::generic_category().message(static_cast<int>(code));
#endif
  while (!wide.empty() && (wide.back() == '\r' || wide.back() == '\n' || wide.back() == ' ')) wide.pop_back();
  if (wide.empty()) return std::string(msg::errorCode) + std::to_string(code);
  return nativeToSjisLossy(wide);
}

Path executableDirectory() {
#ifdef _WIN32
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return Path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
#else
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
#endif
}

}  // namespace neb
