// What every front end asks of the operating system itself.
#pragma once

#include <string>

#include "text_codec.hpp"

namespace neb {

// A system error code: GetLastError() on Windows, errno elsewhere.
using SystemCode = unsigned long;

// The system's own wording for code, in Shift_JIS; "エラー <code>" when the
// system has none. The one place a system error becomes text.
std::string systemReason(SystemCode code);

// The directory of the running executable; empty when it cannot be found.
Path executableDirectory();

}  // namespace neb
