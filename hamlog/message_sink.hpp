// Messages the engine shows to the user. The window shows each as a modal OK
// box without icon and waits; the command line prints it. Texts are Shift_JIS.
#pragma once

#include <string_view>

#include "suite_names.hpp"

namespace neb {

namespace title {
inline constexpr std::string_view hamlogOpen = "HamlogOpen";
}  // namespace title

class MessageSink {
public:
  virtual ~MessageSink() = default;
  virtual void showMessage(std::string_view text, std::string_view caption) = 0;
};

}  // namespace neb
