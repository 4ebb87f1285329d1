// The names every program of the suite shares, whatever it links.
#pragma once

#include <string_view>

namespace neb {

namespace title {
inline constexpr std::string_view app = "NEB01";  // every box of the program's own
inline constexpr std::string_view suite = "NEBWD";
}  // namespace title

// The suite's temporary files: the run's in the application directory, and
// beside a file being replaced, its own name with a dot and these after it.
inline constexpr std::string_view kTempName = "nebwdw.tmp";
inline constexpr std::string_view kBackupName = "nebwdw.bak";

}  // namespace neb
