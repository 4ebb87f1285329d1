// The environment file's item reading over arbitrary bytes, checked against
// the item list it is built from.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "env_items.hpp"
#include "sjis.hpp"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> items = neb::splitEnvItems(bytes);
  const neb::EnvItems env = neb::readEnvItems(bytes);

  if (env.areaPrefixes.size() > neb::kMaxAreaPrefixes) fail("more than 30 area prefixes");
  for (const std::string& p : env.areaPrefixes)
    if (neb::sjis::length(p) > 2) fail("area prefix longer than 2 characters");

  // The same walk over the items: "#01" takes the next item as the path,
  // "$" items other than "$JD..." are prefixes.
  std::vector<std::string> prefixes;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    if (item == "#01") {
      if (i + 1 < items.size()) paths.push_back(items[++i]);
      continue;
    }
    if (!item.empty() && item[0] == '$' && item.compare(0, 3, "$JD") != 0 &&
        prefixes.size() < neb::kMaxAreaPrefixes)
      prefixes.emplace_back(neb::sjis::left(std::string_view(item).substr(1), 2));
  }
  if (prefixes != env.areaPrefixes) fail("area prefixes differ from the items");
  if (env.hamlogPath) {
    bool found = false;
    for (const std::string& p : paths) found = found || p == *env.hamlogPath;
    if (!found) fail("HAMLOG path is no item after a \"#01\"");
  } else if (!paths.empty() && items.back() != "#01") {
    fail("\"#01\" with a following item gave no HAMLOG path");
  }
  return 0;
}
