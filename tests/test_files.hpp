// What the engine's tests share: a temporary directory, a message sink that
// keeps what it is shown, and a HAMLOG file pair written by our generator.
#pragma once

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "hamlog_gen.hpp"
#include "message_sink.hpp"

namespace neb {

struct Sink : MessageSink {
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

inline void writeDatabase(const std::filesystem::path& dbs, const std::vector<gen::GenQso>& qsos,
                          std::optional<std::uint32_t> count = std::nullopt) {
  gen::DatabaseWriter w(dbs, gen::companionPath(dbs));
  for (const auto& q : qsos) w.add(q);
  w.finish(count);
}

}  // namespace neb
