// Code page 932 through the system's own conversions.
#ifdef _WIN32  // built for Windows alone
#include <windows.h>

#include "sjis.hpp"
#include "text_codec.hpp"

namespace neb {

namespace {

constexpr UINT kSjis = 932;

std::optional<std::wstring> toWide(UINT codePage, std::string_view bytes, DWORD flags) {
  if (bytes.empty()) return std::wstring();
  const int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

// Code page 932 is strict: an unrepresentable character gives nullopt.
std::optional<std::string> fromWide(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  const bool sjis = codePage == kSjis;
  const DWORD flags = sjis ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = sjis ? &usedDefault : nullptr;
  const int n = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, usedDefaultPtr);
  if (n <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, usedDefaultPtr);
  if (usedDefault) return std::nullopt;
  return out;
}

}  // namespace

std::optional<NativeString> sjisToNative(std::string_view sjis) {
  return toWide(kSjis, sjis, MB_ERR_INVALID_CHARS);
}

std::optional<std::string> nativeToSjis(const NativeString& text) {
  return fromWide(kSjis, text);
}

NativeString sjisToNativeLossy(std::string_view sjis) {
  if (auto exact = sjisToNative(sjis)) return *exact;
  // Character by character, so one bad byte spoils only itself.
  std::wstring out;
  for (std::size_t pos = 0; pos < sjis.size();) {
    const std::size_t len = sjis::charLength(sjis, pos);
    if (auto part = toWide(kSjis, sjis.substr(pos, len), MB_ERR_INVALID_CHARS)) {
      out += *part;
    } else {
      out += L'\xFFFD';
    }
    pos += len;
  }
  return out;
}

std::string nativeToUtf8(const NativeString& text) {
  return fromWide(CP_UTF8, text).value_or(std::string());
}

NativeString utf8ToNative(std::string_view utf8) { return toWide(CP_UTF8, utf8, 0).value_or(std::wstring()); }

std::string nativeToSjisLossy(const NativeString& text) {
  if (auto exact = nativeToSjis(text)) return *exact;
  // Character by character, so that a surrogate pair becomes one "?".
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t len =
        IS_HIGH_SURROGATE(text[pos]) && pos + 1 < text.size() && IS_LOW_SURROGATE(text[pos + 1]) ? 2 : 1;
    out += nativeToSjis(text.substr(pos, len)).value_or("?");
    pos += len;
  }
  return out;
}

std::string sjisToUtf8Lossy(std::string_view sjis) { return nativeToUtf8(sjisToNativeLossy(sjis)); }

}  // namespace neb

#endif  // _WIN32
