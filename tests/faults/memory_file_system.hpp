// Files held in memory, for fuzzing and for faults that a real disk cannot
// produce on demand. Readers see later changes to a file (growth, shrinking),
// as they would on a shared file of the operating system.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "file_system.hpp"

namespace neb::testing {

class MemoryFileSystem final : public FileSystem {
public:
  using Content = std::shared_ptr<std::string>;

  void put(const Path& path, std::string bytes) {
    files_[key(path)] = std::make_shared<std::string>(std::move(bytes));
  }
  bool has(const Path& path) const { return files_.count(key(path)) != 0; }
  // The file's bytes; empty when missing.
  std::string get(const Path& path) const {
    auto it = files_.find(key(path));
    return it == files_.end() ? std::string() : *it->second;
  }
  // The live content (nullptr when missing), to change a file under a reader.
  Content content(const Path& path) const {
    auto it = files_.find(key(path));
    return it == files_.end() ? nullptr : it->second;
  }
  std::size_t fileCount() const { return files_.size(); }

  // When set, creating a file needs its directory to exist (see addDirectory).
  bool requireDirectories = false;
  void addDirectory(const Path& path) { dirs_.insert(key(path)); }
  bool hasDirectory(const Path& path) const { return dirs_.count(key(path)) != 0; }

  bool fileExists(const Path& path) noexcept override { return has(path); }

  std::unique_ptr<ReadFile> openRead(const Path& path) override {
    Content c = content(path);
    if (!c) throw IoError(path, "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd", "No such file or directory");
    return std::make_unique<Reader>(std::move(c));
  }

  std::unique_ptr<WriteFile> createTruncate(const Path& path) override {
    if (requireDirectories && path.has_parent_path() && !hasDirectory(path.parent_path()))
      throw IoError(path, "\x8d\xec\x90\xac", "No such file or directory");
    auto c = std::make_shared<std::string>();
    files_[key(path)] = c;
    return std::make_unique<Writer>(std::move(c));
  }

  void removeFile(const Path& path) override { files_.erase(key(path)); }

  void replaceFile(const Path& source, const Path& target) override {
    auto it = files_.find(key(source));
    if (it == files_.end())
      throw IoError(source, "\x92\x75\x82\xab\x8a\xb7\x82\xa6", "No such file or directory");
    if (requireDirectories && target.has_parent_path() && !hasDirectory(target.parent_path()))
      throw IoError(target, "\x92\x75\x82\xab\x8a\xb7\x82\xa6", "No such file or directory");
    Content c = it->second;
    files_.erase(it);
    files_[key(target)] = std::move(c);
  }

  void createDirectories(const Path& path) override {
    for (Path p = path; !p.empty(); p = p.parent_path()) {
      dirs_.insert(key(p));
      if (p == p.parent_path()) break;
    }
  }

private:
  static std::string key(const Path& p) { return p.lexically_normal().generic_string(); }

  class Reader final : public ReadFile {
  public:
    explicit Reader(Content c) : c_(std::move(c)) {}
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
      if (offset >= c_->size()) return 0;
      std::size_t got = std::min<std::size_t>(n, c_->size() - static_cast<std::size_t>(offset));
      std::memcpy(buffer, c_->data() + offset, got);
      return got;
    }

  private:
    Content c_;
  };

  class Writer final : public WriteFile {
  public:
    explicit Writer(Content c) : c_(std::move(c)) {}
    void write(const void* data, std::size_t n) override {
      c_->append(static_cast<const char*>(data), n);
    }
    void commit() override {}

  private:
    Content c_;
  };

  std::map<std::string, Content> files_;
  std::set<std::string> dirs_;
};

}  // namespace neb::testing
