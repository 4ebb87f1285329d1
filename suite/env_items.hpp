// Reading the suite's environment file as items (commas and line ends
// separate them; a double-quoted item may hold commas).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace neb {

inline constexpr std::size_t kMaxAreaPrefixes = 30;

// Splits the file's bytes into items in file order.
std::vector<std::string> splitEnvItems(std::string_view fileBytes);

struct EnvItems {
  // The item after the last "#01" item; nullopt when there was none (or the
  // file ended right after "#01").
  std::optional<std::string> hamlogPath;
  // Up to 30 entries of at most 2 characters, in file order; later "$" items
  // are ignored.
  std::vector<std::string> areaPrefixes;
};

EnvItems readEnvItems(std::string_view fileBytes);

}  // namespace neb
