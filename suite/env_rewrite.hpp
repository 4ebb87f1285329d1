// Line-by-line rewrite of the suite's environment file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_system.hpp"
#include "text_codec.hpp"

namespace neb {

// Given one line without its line end: the text to write in its place, or
// nullopt to drop it.
using LineRule = std::function<std::optional<std::string>(std::string_view line)>;

// Every kept or replaced line followed by CR LF.
std::string rewriteText(std::string_view bytes, const LineRule& rule);

// Where the new text is built: the environment file path with its last three
// characters replaced by "tmp", in the same directory so that the final
// rename is atomic.
NativeString rewriteCopyPath(const NativeString& envPath);

// Builds the new text in the copy, makes it durable and puts it in place of
// the environment file (of the file a link names) in one step, keeping the
// file's permissions and attributes. Throws IoError, with the outcomes of
// TempReplacement::replace.
void Env_Rewrite(FileSystem& fs, const NativeString& envPath, const LineRule& rule);

}  // namespace neb
