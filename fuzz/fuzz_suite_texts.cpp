// The suite's own text files over arbitrary bytes: the environment file's
// items (at most 30 area prefixes of at most 2 characters), its rewrite (a
// rewritten text is a fixed point of the same rewrite) and Mode.txt (no
// conversion to nothing).
#include <cstdint>
#include <cstdlib>

#include "env_items.hpp"
#include "env_rewrite.hpp"
#include "mode_table.hpp"
#include "sjis.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const neb::EnvItems env = neb::readEnvItems(text);
  if (env.areaPrefixes.size() > neb::kMaxAreaPrefixes) std::abort();
  for (const std::string& p : env.areaPrefixes)
    if (neb::sjis::length(p) > 2) std::abort();
  const auto rule = [](std::string_view line) -> std::optional<std::string> {
    if (line.substr(0, 4) == "#01,") return std::nullopt;
    return std::string(line);
  };
  const std::string once = neb::rewriteText(text, rule);
  if (neb::rewriteText(once, rule) != once) std::abort();
  neb::ModeTable table;
  table.load(text);
  for (const std::string_view mode : {"SSB", "", "FM"})
    if (const std::string* to = table.lookup(mode); to && to->empty()) std::abort();
  return 0;
}
