// The environment file's items over arbitrary bytes: at most 30 area
// prefixes of at most 2 characters each.
#include <cstdint>
#include <cstdlib>

#include "env_items.hpp"
#include "sjis.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const neb::EnvItems env = neb::readEnvItems({reinterpret_cast<const char*>(data), size});
  if (env.areaPrefixes.size() > neb::kMaxAreaPrefixes) std::abort();
  for (const std::string& p : env.areaPrefixes)
    if (neb::sjis::length(p) > 2) std::abort();
  return 0;
}
