// Code page 932 through iconv, which knows it as "CP932".
#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "sjis.hpp"
#include "text_codec.hpp"

namespace neb {

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

}  // namespace neb
