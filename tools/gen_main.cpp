// neb01-gen: writes HAMLOG databases for tests, the demo and the benchmark.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "hamlog_gen.hpp"
#include "random_log.hpp"
#include "version.h"

namespace fs = std::filesystem;
using namespace neb::gen;

namespace {

const char* const kUsage =
    "usage: neb01-gen --seed S --count N OUT.DBS\n"
    "       neb01-gen --suite DIR [--seed S] [--count N]\n"
    "       neb01-gen -h|--help|--version\n"
    "Writes OUT.DBS and its companion OUT.DBR. --suite writes a demo suite directory:\n"
    "DIR/HAMLOG/HAMLOG.DBS and .DBR, the environment file DIR/NEBWD.ENV, DIR/Mode.txt\n"
    "and an empty DIR/data.\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::uint64_t parseNumber(std::string_view s, std::uint64_t max, const char* option) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v > max)
    throw UsageError(std::string("bad value for ") + option + ": " + std::string(s));
  return v;
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw GenError("cannot write " + path.string());
}

struct Options {
  std::optional<std::uint64_t> seed;
  std::optional<std::uint32_t> count;
  std::optional<fs::path> suite;
  std::optional<fs::path> output;
  // --help or --version: answered on standard output, nothing else is done.
  std::optional<std::string> answer;
};

Options answered(std::string text) {
  Options o;
  o.answer = std::move(text);
  return o;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) throw UsageError(std::string(a) + " needs a value");
      return argv[++i];
    };
    if (a == "--seed") o.seed = parseNumber(value(), UINT64_MAX, "--seed");
    else if (a == "--count") o.count = static_cast<std::uint32_t>(parseNumber(value(), kMaxCount, "--count"));
    else if (a == "--suite") o.suite = fs::path(value());
    else if (a == "-h" || a == "--help") return answered(kUsage);
    else if (a == "--version") return answered("neb01-gen " NEB_VERSION "\n");
    else if (a.starts_with("-") && a.size() > 1) throw UsageError("unknown option " + std::string(a));
    else if (o.output) throw UsageError("more than one output file");
    else o.output = fs::path(a);
  }
  if (o.suite && o.output) throw UsageError("--suite takes no output file");
  if (!o.suite && !o.output) throw UsageError("no output file");
  if (!o.suite && (!o.seed || !o.count)) throw UsageError("--seed and --count are needed");
  return o;
}

std::uint32_t writeRandom(const fs::path& dbs, std::uint64_t seed, std::uint32_t count) {
  DatabaseWriter writer(dbs, companionPath(dbs));
  RandomLog log(seed);
  for (std::uint32_t i = 0; i < count; ++i) writer.add(log.next());
  writer.finish();
  return writer.count();
}

// The suite's environment file: Shift_JIS, CR LF, as the suite writes it.
std::string environmentFile(const fs::path& dbs) {
  const std::string path = dbs.string();
  for (unsigned char c : path)
    if (c >= 0x80) throw GenError("the demo directory's path must be ASCII: " + path);
  std::string env;
  env += "###\x8F\x89\x8A\xFA\x90\xDD\x92\xE8\x8D\xCF\x82\xDD###\r\n";  // ###初期設定済み###
  env += "#01," + path + "\r\n";
  for (const char* p : {"JA", "JE", "JF", "JG", "JH", "JI", "JJ", "JK", "JL", "JM", "JN", "JO", "JP",
                        "JQ", "JR", "JS", "7K", "7L", "7M", "7N", "JD1"})
    env += std::string("$") + p + "\r\n";
  return env;
}

void writeSuite(const fs::path& dir, std::uint64_t seed, std::uint32_t count) {
  const fs::path root = fs::absolute(dir);
  fs::create_directories(root / "HAMLOG");
  fs::create_directories(root / "data");
  const fs::path dbs = root / "HAMLOG" / "HAMLOG.DBS";
  writeRandom(dbs, seed, count);
  writeFile(root / "NEBWD.ENV", environmentFile(dbs));
  writeFile(root / "Mode.txt", "SSB,LSB,USB\r\nRTTY,RTT\r\nDATA,FT8,FT4\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = parse(argc, argv);
    if (o.answer) {
      std::cout << *o.answer;
      return 0;
    }
    if (o.suite) {
      const std::uint32_t count = o.count.value_or(3000);
      writeSuite(*o.suite, o.seed.value_or(1), count);
      std::cout << "demo suite with " << count << " QSOs in " << o.suite->string() << "\n";
      return 0;
    }
    const std::uint32_t written = writeRandom(*o.output, *o.seed, *o.count);
    std::cout << written << " QSOs written to " << o.output->string() << "\n";
    return 0;
  } catch (const UsageError& e) {
    std::cerr << "neb01-gen: " << e.what() << "\n";
    std::cerr << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "neb01-gen: " << e.what() << "\n";
    return 1;
  }
}
