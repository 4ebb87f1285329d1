// Mode.txt over arbitrary bytes: every entry loaded is found again.
#include <cstdint>
#include <cstdlib>

#include "mode_table.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  neb::ModeTable table;
  table.load({reinterpret_cast<const char*>(data), size});
  for (const auto& e : table.entries())
    if (table.lookup(e.hamlogMode) == nullptr || e.convertedMode.empty()) std::abort();
  return 0;
}
