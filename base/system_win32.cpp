#ifdef _WIN32  // built for Windows alone
#include <windows.h>

#include "io_texts.hpp"
#include "system.hpp"

namespace neb {

std::string systemReason(SystemCode code) {
  // Language 0: the user's own language, as the rest of the message.
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) wide.pop_back();
  if (wide.empty()) return std::string(msg::errorCode) + std::to_string(code);
  return nativeToSjisLossy(wide);
}

Cause causeOf(SystemCode code) {
  switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_DELETE_PENDING:
      return Cause::Held;
    case ERROR_ACCESS_DENIED:
      return Cause::Denied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Cause::Missing;
    case ERROR_NOT_SAME_DEVICE:
      return Cause::AcrossVolumes;
    default:
      return Cause::Other;
  }
}

Path executableDirectory() {
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
}

}  // namespace neb

#endif  // _WIN32
