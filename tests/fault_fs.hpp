// The operating system's files with failures injected: every file step
// (open, read, create, write, commit, remove, replace, dirsync, mkdir) asks
// `fail` first and throws IoError when it says so. Steps may come from
// several threads.
//
// It also keeps what a power cut would leave: the bytes each file has synced
// and the directory entries as of their directory's last sync. durable(path)
// is the file a cut at this moment would show; nothing not yet synced
// survives it.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "file_system.hpp"

namespace neb::test {

class FaultFs final : public FileSystem {
public:
  std::function<bool(std::string_view step, const Path& path)> fail;
  // What an injected failure is.
  enum class Failure { Io, AcrossVolumes, OutOfMemory } failure = Failure::Io;
  // Called before each read, outside the lock (a slow disk).
  std::function<void(const Path& path, std::uint64_t offset)> beforeRead;
  // Called before each step, outside the lock (a slow disk).
  std::function<void(std::string_view step)> slow;
  // Called after each step that changes what a cut would leave, under the lock.
  std::function<void()> afterChange;

  int steps() const { return steps_; }
  // The file a power cut now would leave at path; nullopt when none.
  std::optional<std::string> durable(const Path& path) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    const auto e = durableEntries_.find(key(path));
    if (e == durableEntries_.end()) return known(path) ? durable(path) : std::nullopt;
    return files_[e->second].synced;
  }

  bool fileExists(const Path& path) noexcept override { return os_.fileExists(path); }
  std::unique_ptr<ReadFile> openRead(const Path& path) override {
    check("open", path);
    return std::make_unique<Reader>(*this, path, os_.openRead(path));
  }
  std::unique_ptr<WriteFile> createTruncate(const Path& path) override { return create(path, false); }
  std::unique_ptr<WriteFile> createLocked(const Path& path) override { return create(path, true); }
  void removeFile(const Path& path) override {
    check("remove", path), os_.removeFile(path);
    change([&] { (void)known(path), entries_.erase(key(path)); });
  }
  // What an injected replace failure leaves, as the system's replace
  // documents it: both files as they were; the target gone; the target
  // under the backup name; the replacement in place, unconfirmed.
  IoError::Left replaceLeaves = IoError::Left::Old;
  void replaceFile(const Path& from, const Path& to, const Path& backup) override { replace(from, to, backup, false); }
  void replaceKeepingAttributes(const Path& from, const Path& to, const Path& backup) override { replace(from, to, backup, true); }
  Path resolveLink(const Path& path) override { return os_.resolveLink(path); }
  bool isReadOnly(const Path& path) noexcept override { return os_.isReadOnly(path); }
  void syncDirectory(const Path& dir) override {
    check("dirsync", dir), os_.syncDirectory(dir);
    change([&] {
      const Path d = key(dir.empty() ? Path(".") : dir);
      for (auto it = durableEntries_.begin(); it != durableEntries_.end();)
        it = Path(it->first).parent_path() == d && !entries_.count(it->first) ? durableEntries_.erase(it) : std::next(it);
      for (const auto& [name, id] : entries_)
        if (Path(name).parent_path() == d) durableEntries_[name] = id;
    });
  }
  void createDirectories(const Path& path) override { check("mkdir", path), os_.createDirectories(path); }

private:
  struct Inode { std::string data, synced; };

  static std::string key(const Path& p) { return p.empty() ? "" : std::filesystem::absolute(p).lexically_normal().generic_string(); }

  void check(std::string_view step, const Path& path) {
    if (slow) slow(step);
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    ++steps_;
    if (!fail || !fail(step, path)) return;
    if (failure == Failure::OutOfMemory) throw std::bad_alloc();
    throw IoError(path, std::string(step), "injected", failure == Failure::AcrossVolumes);
  }
  template <class F>
  void change(F f) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    f();
    if (afterChange) afterChange();
  }
  // A file the model has not met yet was there, whole and synced, before.
  bool known(const Path& path) {
    const std::string k = key(path);
    if (entries_.count(k) || durableEntries_.count(k)) return false;
    if (!os_.fileExists(path)) return false;
    const std::string bytes = os_.readAll(path);
    files_[next_] = {bytes, bytes};
    entries_[k] = durableEntries_[k] = next_++;
    return true;
  }
  std::unique_ptr<WriteFile> create(const Path& path, bool locked) {
    check("create", path);
    auto file = locked ? os_.createLocked(path) : os_.createTruncate(path);
    int id = 0;
    change([&] {
      known(path);
      const auto [e, added] = entries_.try_emplace(key(path), next_);
      id = added ? next_++ : e->second;
      files_[id].data.clear();
    });
    return std::make_unique<Writer>(*this, path, std::move(file), id);
  }
  void replace(const Path& from, const Path& to, const Path& backup, bool keep) {
    const auto real = [&](const Path& a, const Path& b) {
      meet(a, b);
      keep ? os_.replaceKeepingAttributes(a, b, {}) : os_.replaceFile(a, b, {});
      change([&] { entries_[key(b)] = entries_.at(key(a)), entries_.erase(key(a)); });  // b names a's file now
    };
    try {
      check("replace", to);
    } catch (IoError& e) {
      if (replaceLeaves == IoError::Left::NoTarget) meet(to, to), os_.removeFile(to), change([&] { entries_.erase(key(to)); });
      // Without a backup name the system picks a name of its own.
      if (replaceLeaves == IoError::Left::OldAside) real(to, backup.empty() ? Path(to.native() + NEB_NATIVE("~x")) : backup);
      if (replaceLeaves == IoError::Left::New) real(from, to);
      throw e.leaving(replaceLeaves);
    }
    real(from, to);
  }
  void meet(const Path& a, const Path& b) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    (void)known(a), (void)known(b);
  }

  struct Reader final : ReadFile {
    Reader(FaultFs& f, Path p, std::unique_ptr<ReadFile> r) : fs(f), path(std::move(p)), file(std::move(r)) {}
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
      if (fs.beforeRead) fs.beforeRead(path, offset);
      fs.check("read", path);
      return file->readAt(offset, buffer, n);
    }
    FaultFs& fs;
    Path path;
    std::unique_ptr<ReadFile> file;
  };
  struct Writer final : WriteFile {
    Writer(FaultFs& f, Path p, std::unique_ptr<WriteFile> w, int i) : fs(f), path(std::move(p)), file(std::move(w)), id(i) {}
    void write(const void* data, std::size_t n) override {
      fs.check("write", path);
      file->write(data, n);
      fs.change([&] { fs.files_[id].data.append(static_cast<const char*>(data), n); });
    }
    void commit() override {
      fs.check("commit", path);
      file->commit();
      fs.change([&] { fs.files_[id].synced = fs.files_[id].data; });
    }
    FaultFs& fs;
    Path path;
    std::unique_ptr<WriteFile> file;
    int id;
  };

  OsFileSystem os_;
  std::recursive_mutex lock_;
  std::atomic<int> steps_{0};
  int next_ = 0;
  std::map<int, Inode> files_;
  std::map<std::string, int> entries_, durableEntries_;
};

}  // namespace neb::test
