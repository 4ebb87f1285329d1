#include "text_codec.hpp"

namespace neb {

std::optional<Path> sjisToPath(std::string_view sjis) {
  auto native = sjisToNative(sjis);
  if (!native) return std::nullopt;
  return Path(*native);
}

std::string pathToSjisLossy(const Path& path) { return nativeToSjisLossy(path.native()); }

}  // namespace neb
