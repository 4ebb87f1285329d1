#include "env_rewrite.hpp"

#include "io_texts.hpp"
#include "native_text.hpp"
#include "sjis.hpp"
#include "suite_texts.hpp"
#include "temp_replacement.hpp"

namespace neb {

std::string rewriteText(std::string_view bytes, const LineRule& rule) {
  std::string out;
  out.reserve(bytes.size() + 64);
  for (std::string_view line : sjis::lines(bytes)) {
    if (auto written = rule(line)) {
      out += *written;
      out += "\r\n";
    }
  }
  return out;
}

NativeString rewriteCopyPath(const NativeString& envPath) {
  const NativeString ending = envPath.size() >= 3 ? envPath.substr(envPath.size() - 3) : NativeString{};
  bool endsInTmp = ending.size() == 3;
  for (std::size_t i = 0; i < ending.size() && endsInTmp; ++i) {
    const auto c = static_cast<unsigned>(ending[i]);
    const unsigned lower = (c >= 'A' && c <= 'Z') ? c + 32 : c;
    endsInTmp = lower == static_cast<unsigned>("tmp"[i]);
  }
  // A file already named *.tmp would be its own copy; the copy then gets a
  // name of its own so that the environment file itself is never removed.
  if (endsInTmp) return envPath + nativeAscii(".new");
  if (charCount(envPath) < 3) return envPath + nativeAscii(".tmp");
  return dropLastChars(envPath, 3) + nativeAscii("tmp");
}

void Env_Rewrite(FileSystem& fs, const NativeString& envPath, const LineRule& rule) {
  // A link is rewritten at the file it names: replacing the link itself would
  // turn it into a file of its own and leave its target with the old text.
  const Path target = fs.resolveLink(Path(envPath));
  const std::string newText = rewriteText(fs.readAll(target), rule);
  // A rename would replace a read-only file as well; the user marked it so
  // that nothing changes it.
  if (fs.isReadOnly(target)) throw IoError(target, msg::opWrite, msg::readOnly);
  const Path copy(rewriteCopyPath(target.native()));
  // A copy left over from an interrupted rewrite may be read-only.
  if (fs.fileExists(copy)) fs.removeFile(copy);
  TempReplacement replacement(fs, target, copy, {.keepAttributes = true});
  replacement.write(newText.data(), newText.size());
  replacement.commit();
  replacement.replace();
}

}  // namespace neb
