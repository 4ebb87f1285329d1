#include "text_codec.hpp"

#include "sjis.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <algorithm>

#include <cerrno>
#endif

namespace neb {

#ifdef _WIN32

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

std::optional<Path> sjisToPath(std::string_view sjis) {
  auto wide = sjisToNative(sjis);
  if (!wide) return std::nullopt;
  return Path(*wide);
}

std::string pathToSjisLossy(const Path& path) { return nativeToSjisLossy(path.native()); }

#else  // POSIX: iconv, with code page 932 known as "CP932".

namespace {

class Iconv {
public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of in. On an invalid or unconvertible sequence: strict
  // gives false; lossy appends replacement and skips skipBytes(in).
  template <class Skip>
  bool convert(std::string_view in, std::string& out, bool lossy, std::string_view replacement,
               Skip skipBytes) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (r != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (!lossy) return false;
      out.append(replacement);
      const std::size_t skip = std::min(srcLeft, skipBytes(std::string_view(src, srcLeft)));
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    return true;
  }

private:
  iconv_t cd_;
};

std::size_t oneSjisChar(std::string_view s) { return sjis::charLength(s, 0); }

std::size_t oneUtf8Char(std::string_view s) {
  std::size_t n = 1;
  while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
  return n;
}

std::optional<std::string> convert(const char* to, const char* from, std::string_view in,
                                   bool lossy, std::string_view replacement,
                                   std::size_t (*skip)(std::string_view)) {
  Iconv cd(to, from);
  if (!cd.ok()) return std::nullopt;
  std::string out;
  out.reserve(in.size() * 3 / 2);
  if (!cd.convert(in, out, lossy, replacement, skip)) return std::nullopt;
  return out;
}

}  // namespace

std::optional<NativeString> sjisToNative(std::string_view sjis) {
  return convert("UTF-8", "CP932", sjis, false, {}, oneSjisChar);
}

std::optional<std::string> nativeToSjis(const NativeString& text) {
  auto sjis = convert("CP932", "UTF-8", text, false, {}, oneUtf8Char);
  // iconv maps a few characters to look-alikes (U+00A5 to the backslash);
  // only a conversion that comes back unchanged is exact.
  if (sjis && sjisToNative(*sjis) != text) return std::nullopt;
  return sjis;
}

NativeString sjisToNativeLossy(std::string_view sjis) {
  return convert("UTF-8", "CP932", sjis, true, "\xEF\xBF\xBD", oneSjisChar).value_or(std::string());
}

std::string sjisToUtf8Lossy(std::string_view sjis) { return sjisToNativeLossy(sjis); }

std::string nativeToUtf8(const NativeString& text) { return text; }

NativeString utf8ToNative(std::string_view utf8) { return NativeString(utf8); }

std::string nativeToSjisLossy(const NativeString& text) {
  return convert("CP932", "UTF-8", text, true, "?", oneUtf8Char).value_or(std::string());
}

std::optional<Path> sjisToPath(std::string_view sjis) {
  auto utf8 = sjisToNative(sjis);
  if (!utf8) return std::nullopt;
  return Path(*utf8);
}

std::string pathToSjisLossy(const Path& path) { return nativeToSjisLossy(path.native()); }

#endif

}  // namespace neb
