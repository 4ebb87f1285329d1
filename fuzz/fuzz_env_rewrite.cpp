// The environment file rewrite over arbitrary bytes, with the two line rules
// the shell uses, and with one injected file failure.
//
// Input: byte 0 = options (bit 0: the "#01," rule instead of the marker rule;
// bit 1: the file is named env.TMP; bits 4-7: which operation fails),
// byte 1 = which call of it fails, then the environment file's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "env_rewrite.hpp"
#include "faulty_file_system.hpp"
#include "memory_file_system.hpp"

namespace {

using neb::testing::FaultyFileSystem;
using neb::testing::MemoryFileSystem;
using neb::testing::Op;

constexpr std::string_view kMarker =
    "###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###";  // ###初期設定済み###

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::optional<std::string> markerRule(std::string_view line) {
  if (trimBlanks(line) == kMarker) return std::nullopt;
  return std::string(line);
}

std::optional<std::string> hamlogRule(std::string_view line) {
  if (line.substr(0, 4) == "#01,") return std::string("#01,C:\\LOG\\HAMLOG.DBS");
  return std::string(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t options = data[0];
  const int nth = data[1] % 16 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
  const neb::app::LineRule rule = (options & 1) ? neb::app::LineRule(hamlogRule)
                                                : neb::app::LineRule(markerRule);

  // The lines and their ends make up the whole file, in order.
  std::size_t pos = 0;
  for (std::string_view line : neb::app::splitLines(bytes)) {
    if (line.data() != bytes.data() + pos) fail("line not where the previous one ended");
    if (line.find('\r') != std::string_view::npos) fail("CR inside a line");
    pos += line.size();
    if (pos < bytes.size() && bytes[pos] == '\r') {
      ++pos;
      if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
  }
  if (pos != bytes.size()) fail("bytes after the last line");

  std::string expected;
  for (std::string_view line : neb::app::splitLines(bytes)) {
    if (auto out = rule(line)) expected += *out + "\r\n";
  }
  const std::string rewritten = neb::app::rewriteText(bytes, rule);
  if (rewritten != expected) fail("rewriteText differs from the rule applied line by line");

  const neb::NativeString envPath = (options & 2) ? "env.TMP" : "ENV.DAT";
  const neb::NativeString copyPath = neb::app::rewriteCopyPath(envPath);
  if (copyPath == envPath) fail("the copy would be the environment file itself");

  MemoryFileSystem disk;
  disk.put(envPath, std::string(bytes));
  FaultyFileSystem fs(disk);
  static constexpr Op kOps[] = {Op::Open, Op::Read, Op::Create, Op::Write, Op::Commit,
                                Op::Remove, Op::Replace};
  const std::size_t which = options >> 4;
  if (which < std::size(kOps)) fs.fail(kOps[which], nth);
  try {
    neb::app::Env_Rewrite(fs, envPath, rule);
    if (disk.get(envPath) != expected) fail("rewritten file differs from the rewritten text");
  } catch (const neb::IoError&) {
    if (fs.injected() == 0) fail("error without a fault");
    if (!disk.has(envPath) || disk.get(envPath) != bytes) fail("environment file changed by a failed rewrite");
  }
  const bool removeFailed = which < std::size(kOps) && kOps[which] == Op::Remove && fs.injected() > 0;
  if (disk.has(copyPath) && !removeFailed) fail("copy left behind");
  return 0;
}
