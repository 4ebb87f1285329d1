#include "cp932.hpp"

#include <windows.h>

#include <climits>

namespace neb::win32 {
namespace {

constexpr UINT kCp932 = 932;

int checkedLength(std::size_t n) {
  return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

}  // namespace

std::wstring sjisToWide(std::string_view sjis) {
  if (sjis.empty()) return {};
  const int inLen = checkedLength(sjis.size());
  // Without MB_ERR_INVALID_CHARS invalid bytes map to U+FFFD (or U+30FB).
  const int outLen = MultiByteToWideChar(kCp932, 0, sjis.data(), inLen, nullptr, 0);
  if (outLen <= 0) return std::wstring(sjis.size(), L'\uFFFD');
  std::wstring out(static_cast<std::size_t>(outLen), L'\0');
  MultiByteToWideChar(kCp932, 0, sjis.data(), inLen, out.data(), outLen);
  return out;
}

std::optional<std::string> wideToSjis(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int inLen = checkedLength(text.size());
  BOOL usedDefault = FALSE;
  const int outLen = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text.data(), inLen, nullptr, 0,
                                         nullptr, &usedDefault);
  if (outLen <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(outLen), '\0');
  usedDefault = FALSE;
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text.data(), inLen, out.data(), outLen, nullptr,
                      &usedDefault);
  if (usedDefault) return std::nullopt;
  return out;
}

std::string wideToSjisLossy(std::wstring_view text) {
  if (text.empty()) return {};
  const int inLen = checkedLength(text.size());
  const int outLen =
      WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text.data(), inLen, nullptr, 0, "?", nullptr);
  if (outLen <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<std::size_t>(outLen), '\0');
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text.data(), inLen, out.data(), outLen, "?", nullptr);
  return out;
}

}  // namespace neb::win32
