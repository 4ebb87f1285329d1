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

// count: the header's count instead of the true one.
inline void writeDatabase(const std::filesystem::path& dbs, const std::vector<gen::GenQso>& qsos,
                          std::optional<std::uint32_t> count = std::nullopt) {
  gen::DatabaseWriter w(dbs, gen::companionPath(dbs));
  for (const auto& q : qsos) w.add(q);
  w.finish(count);
}

inline void writeRandomLog(const std::filesystem::path& dbs, std::uint64_t seed, std::uint32_t count) {
  gen::RandomLog log(seed);
  std::vector<gen::GenQso> qsos(count);
  for (auto& q : qsos) q = log.next();
  writeDatabase(dbs, qsos);
}

// Records and companion texts of random bytes, as a damaged log holds; most
// text pointers land in the companion file, some before or past it.
inline void writeNoiseLog(const std::filesystem::path& dbs, std::uint64_t seed, std::uint32_t count) {
  gen::Rng rng(seed);
  auto noise = [&](std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s)  // no LF: it would split a work line
      if ((c = static_cast<char>(rng.next())) == '\n') c = '\r';
    return s;
  };
  const std::uint32_t texts = 2000;
  std::string records = gen::encodeHeader(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t pointer = rng.below(texts + 100) - 50;
    records += noise(54) + std::string{char(pointer), char(pointer >> 8), char(pointer >> 16), char(pointer >> 24)};
  }
  writeFile(dbs, records);
  writeFile(gen::companionPath(dbs), noise(texts));
}

}  // namespace neb
