// What the tests share: a temporary directory, whole files, a message sink
// that keeps what it is shown, and HAMLOG file pairs written by our generator.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>

#include "hamlog_gen.hpp"
#include "extraction.hpp"
#include "random_log.hpp"

namespace neb {

struct Sink : RunObserver {
  std::vector<std::string> shown;  // caption "|" text
  void showMessage(std::string_view text, std::string_view caption) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
  }
};

struct TempDir {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("neb-test-" + std::to_string(std::random_device{}()));
  TempDir() { std::filesystem::create_directories(path); }
  ~TempDir() { std::filesystem::remove_all(path); }
};

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// count: the header's count instead of the true one; cut: bytes missing from
// the companion file's last block.
inline void writeDatabase(const std::filesystem::path& dbs, const std::vector<gen::GenQso>& qsos,
                          std::optional<std::uint32_t> count = std::nullopt, std::uint64_t cut = 0) {
  gen::DatabaseWriter w(dbs, gen::companionPath(dbs));
  for (const auto& q : qsos) w.add(q);
  w.finish(count, cut);
}

inline void writeRandomLog(const std::filesystem::path& dbs, std::uint64_t seed, std::uint32_t count,
                           bool adversarial, std::uint64_t cut = 0) {
  gen::RandomLog log(seed, adversarial);
  std::vector<gen::GenQso> qsos(count);
  for (auto& q : qsos) q = log.next();
  writeDatabase(dbs, qsos, std::nullopt, cut);
}

}  // namespace neb
