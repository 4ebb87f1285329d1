// A FileSystem wrapper that fails chosen operations the way a full disk, a
// read-only volume or a vanished file makes them fail, and that lets a test
// change a file between two reads (another program writing the log).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "file_system.hpp"

namespace neb::testing {

enum class Op { Exists, Open, Read, Create, Write, Commit, Remove, Replace, CreateDirs };
inline constexpr std::size_t kOpCount = 9;

inline const char* opName(Op op) {
  static const char* const names[] = {"exists", "open",   "read",    "create",    "write",
                                      "commit", "remove", "replace", "createDirs"};
  return names[static_cast<std::size_t>(op)];
}

struct Fault {
  Op op;
  int nth = 1;              // the nth matching call fails (1-based)
  std::string pathEndsWith; // empty: any path
  bool sticky = false;      // keep failing after the nth call
  std::string reason = "No space left on device";
  // Write faults only: bytes that reach the disk before the failure.
  std::size_t partialBytes = 0;
  int seen = 0;
};

class FaultyFileSystem final : public FileSystem {
public:
  explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

  Fault& fail(Op op, int nth = 1, std::string pathEndsWith = {}) {
    faults_.push_back(Fault{op, nth, std::move(pathEndsWith)});
    return faults_.back();
  }
  void clearFaults() { faults_.clear(); }

  // Called after fileExists answered true (vanish a file there).
  std::function<void(const Path&)> afterExists;
  // Called before every read of a file (shrink or grow it there); the index
  // counts the reads of that open file, from 0.
  std::function<void(const Path&, int readIndex)> beforeRead;

  int calls(Op op) const { return calls_[static_cast<std::size_t>(op)]; }
  int injected() const { return injected_; }

  bool fileExists(const Path& path) noexcept override {
    ++calls_[static_cast<std::size_t>(Op::Exists)];
    bool yes = inner_.fileExists(path);
    if (yes && afterExists) afterExists(path);
    return yes;
  }

  std::unique_ptr<ReadFile> openRead(const Path& path) override {
    check(Op::Open, path);
    return std::make_unique<Reader>(*this, path, inner_.openRead(path));
  }

  std::unique_ptr<WriteFile> createTruncate(const Path& path) override {
    check(Op::Create, path);
    return std::make_unique<Writer>(*this, path, inner_.createTruncate(path));
  }

  void removeFile(const Path& path) override {
    check(Op::Remove, path);
    inner_.removeFile(path);
  }

  void replaceFile(const Path& source, const Path& target) override {
    check(Op::Replace, target);
    inner_.replaceFile(source, target);
  }

  void createDirectories(const Path& path) override {
    check(Op::CreateDirs, path);
    inner_.createDirectories(path);
  }

private:
  static bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }

  // The fault that hits this call, if any.
  Fault* hit(Op op, const Path& path) {
    ++calls_[static_cast<std::size_t>(op)];
    for (Fault& f : faults_) {
      if (f.op != op || !endsWith(path.generic_string(), f.pathEndsWith)) continue;
      ++f.seen;
      if (f.seen == f.nth || (f.sticky && f.seen > f.nth)) {
        ++injected_;
        return &f;
      }
    }
    return nullptr;
  }

  void check(Op op, const Path& path) {
    if (Fault* f = hit(op, path)) throw IoError(path, opName(op), f->reason + " (injected)");
  }

  class Reader final : public ReadFile {
  public:
    Reader(FaultyFileSystem& fs, Path path, std::unique_ptr<ReadFile> inner)
        : fs_(fs), path_(std::move(path)), inner_(std::move(inner)) {}
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
      if (fs_.beforeRead) fs_.beforeRead(path_, reads_++);
      fs_.check(Op::Read, path_);
      return inner_->readAt(offset, buffer, n);
    }

  private:
    FaultyFileSystem& fs_;
    Path path_;
    std::unique_ptr<ReadFile> inner_;
    int reads_ = 0;
  };

  class Writer final : public WriteFile {
  public:
    Writer(FaultyFileSystem& fs, Path path, std::unique_ptr<WriteFile> inner)
        : fs_(fs), path_(std::move(path)), inner_(std::move(inner)) {}
    void write(const void* data, std::size_t n) override {
      if (Fault* f = fs_.hit(Op::Write, path_)) {
        // A full disk takes what fits, then fails.
        std::size_t part = f->partialBytes < n ? f->partialBytes : n;
        if (part > 0) inner_->write(data, part);
        throw IoError(path_, opName(Op::Write), f->reason + " (injected)");
      }
      inner_->write(data, n);
    }
    void commit() override {
      fs_.check(Op::Commit, path_);
      inner_->commit();
    }

  private:
    FaultyFileSystem& fs_;
    Path path_;
    std::unique_ptr<WriteFile> inner_;
  };

  FileSystem& inner_;
  std::deque<Fault> faults_;  // references from fail() stay valid
  std::array<int, kOpCount> calls_{};
  int injected_ = 0;
};

}  // namespace neb::testing
