// Arbitrary record and companion files through the whole extraction job.
// Input: byte 0 = record file length / 16, then the record file, then the
// companion file. Files live in /dev/shm where syncing them costs nothing.
#include <unistd.h>

#include <fstream>
#include <string>

#include "extraction.hpp"

struct QuietSink final : neb::RunObserver {
  void showMessage(std::string_view, std::string_view) override {}
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = std::min<std::size_t>(bytes.size(), data[0] * 16u + 449);
  static const std::string dir = "/dev/shm/neb-fuzz-" + std::to_string(::getpid()) + "-";
  std::ofstream(dir + "L.DBS", std::ios::binary) << bytes.substr(0, split);
  std::ofstream(dir + "L.DBR", std::ios::binary) << bytes.substr(split);
  static const std::vector<std::string> prefixes = {"JA", "1", "", "\x82\xa0"};
  static const neb::ModeTable modes = [] {
    neb::ModeTable t;
    t.load("SSB,LSB,USB\r\nFM,F3E,\r\n");
    return t;
  }();
  neb::OsFileSystem files;
  QuietSink sink;
  const neb::ExtractJob job{dir + "L.DBS", {(data[0] & 1) != 0 ? &prefixes : nullptr, (data[0] & 2) != 0 ? &modes : nullptr}, dir + "t", dir + "w"};
  try {
    neb::runExtraction(files, job, sink);
  } catch (const neb::IoError&) {
  }
  return 0;
}
