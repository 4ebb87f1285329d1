// The operating system's files with failures injected: every file step
// (open, read, create, write, commit, remove, replace, directories) asks
// `fail` first and throws IoError when it says so.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "file_system.hpp"

namespace neb::test {

class FaultFs final : public FileSystem {
public:
  std::function<bool(std::string_view step, const Path& path)> fail;
  int steps = 0;  // steps taken so far

  // Fails the step numbered k (0-based) and no other.
  void failStep(int k) {
    steps = 0;
    fail = [this, k](std::string_view, const Path&) { return steps - 1 == k; };
  }
  void check(std::string_view step, const Path& path) {
    ++steps;
    if (fail && fail(step, path)) throw IoError(path, std::string(step), "injected");
  }

  bool fileExists(const Path& path) noexcept override { return os_.fileExists(path); }
  std::unique_ptr<ReadFile> openRead(const Path& path) override {
    check("open", path);
    return std::make_unique<Reader>(*this, path, os_.openRead(path));
  }
  std::unique_ptr<WriteFile> createTruncate(const Path& path) override {
    check("create", path);
    return std::make_unique<Writer>(*this, path, os_.createTruncate(path));
  }
  void removeFile(const Path& path) override { check("remove", path), os_.removeFile(path); }
  void replaceFile(const Path& from, const Path& to) override { check("replace", to), os_.replaceFile(from, to); }
  void createDirectories(const Path& path) override { check("mkdir", path), os_.createDirectories(path); }

private:
  struct Reader final : ReadFile {
    Reader(FaultFs& f, Path p, std::unique_ptr<ReadFile> r) : fs(f), path(std::move(p)), file(std::move(r)) {}
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
      fs.check("read", path);
      return file->readAt(offset, buffer, n);
    }
    FaultFs& fs;
    Path path;
    std::unique_ptr<ReadFile> file;
  };
  struct Writer final : WriteFile {
    Writer(FaultFs& f, Path p, std::unique_ptr<WriteFile> w) : fs(f), path(std::move(p)), file(std::move(w)) {}
    void write(const void* data, std::size_t n) override { fs.check("write", path), file->write(data, n); }
    void commit() override { fs.check("commit", path), file->commit(); }
    FaultFs& fs;
    Path path;
    std::unique_ptr<WriteFile> file;
  };
  OsFileSystem os_;
};

}  // namespace neb::test
