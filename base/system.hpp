// What every front end asks of the operating system itself.
#pragma once

#include <string>

#include "text_codec.hpp"

namespace neb {

// A system error code: GetLastError() on Windows, errno elsewhere.
using SystemCode = unsigned long;

// The system's own wording for code in the user's language, in Shift_JIS;
// "エラー <code>" when there is none. The one place a system error becomes text.
std::string systemReason(SystemCode code);

// What a system error means where the program acts on it.
enum class Cause {
  Other,
  Held,     // another program has the file open or locked: may pass by waiting
  Denied,   // access denied: a hold of a moment on Windows, or a refusal for good
  Missing,  // no such file or directory
  AcrossVolumes,  // a rename between volumes, which a copy can do instead
};
Cause causeOf(SystemCode code);

// The directory of the running executable; empty when it cannot be found.
Path executableDirectory();

}  // namespace neb
