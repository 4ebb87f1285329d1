// The environment file rewrite's line rules over arbitrary bytes: a rewritten
// text is a fixed point of the same rewrite.
#include <cstdint>
#include <cstdlib>

#include "env_rewrite.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto rule = [](std::string_view line) -> std::optional<std::string> {
    if (line.substr(0, 4) == "#01,") return std::nullopt;
    return std::string(line);
  };
  const std::string once = neb::rewriteText({reinterpret_cast<const char*>(data), size}, rule);
  if (neb::rewriteText(once, rule) != once) std::abort();
  return 0;
}
