// The file operations the program needs, behind an interface so that tests
// can inject faults (disk full, vanished files, power cuts) without touching
// the disk.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "hold_retry.hpp"
#include "system.hpp"
#include "text_codec.hpp"

namespace neb {

// A failed file operation, or a failed start of a program: what was done
// to which file and why, every text in Shift_JIS. what() is the message in
// UTF-8, for logs.
class IoError : public std::runtime_error {
public:
  // operation is one of io_texts.hpp's words, e.g. "読み込み".
  // The system's reason, by its code.
  IoError(Path path, std::string_view operation, SystemCode code);
  // A reason of our own.
  IoError(Path path, std::string_view operation, std::string_view reason, bool crossesVolumes = false);
  const Path& path() const { return path_; }
  const std::string& operation() const { return operation_; }
  const std::string& reason() const { return reason_; }
  // The system's code; 0 for a reason of our own.
  SystemCode systemCode() const { return code_; }
  // A rename that failed only because source and target lie on different
  // volumes (EXDEV, ERROR_NOT_SAME_DEVICE): a copy can do it instead.
  bool crossesVolumes() const { return crossesVolumes_; }
  // What a failed replace left, when it is not both files as they were.
  enum class Left {
    Old,       // the target as it was; the replacement whole under its own name
    NoTarget,  // the target gone; the replacement whole under its own name
    OldAside,  // the target under the backup name; the replacement whole under its own name
    New,       // the replacement in place: only its confirmation on disk failed
  };
  Left left() const { return left_; }
  IoError& leaving(Left left) {
    left_ = left;
    return *this;
  }
  // Where a whole text lies that could not be put back under its own name.
  const Path& keptAt() const { return keptAt_; }
  IoError& keeping(Path at) {
    keptAt_ = std::move(at);
    return *this;
  }
  // Refused by the system's access rules (a hold of a moment, or for good).
  bool denied() const { return code_ != 0 && causeOf(code_) == Cause::Denied; }
  // "<file> を<operation>できません: <reason>": the one text every front end
  // shows; a replacement that is in place but unconfirmed, and a text kept
  // under another name, say so instead.
  std::string message() const;

private:
  Path path_;
  std::string operation_;
  std::string reason_;
  SystemCode code_ = 0;
  bool crossesVolumes_;
  Left left_ = Left::Old;
  Path keptAt_;
};

class ReadFile {
public:
  virtual ~ReadFile() = default;
  // Reads up to n bytes at offset; fewer only at the end of the file.
  // Throws IoError on a read error. Safe to call from several threads.
  virtual std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) = 0;
};

class WriteFile {
public:
  virtual ~WriteFile() = default;  // closes (and unlocks) without reporting
  virtual void write(const void* data, std::size_t n) = 0;  // throws IoError
  // Makes everything written so far durable; the file stays open. Throws IoError.
  virtual void commit() = 0;
};

class FileSystem {
public:
  virtual ~FileSystem() = default;
  // True when the file can be opened for reading now; never throws.
  virtual bool fileExists(const Path& path) noexcept = 0;
  // Read-only, shared: other programs keep full read and write access.
  virtual std::unique_ptr<ReadFile> openRead(const Path& path) = 0;
  // Creates or truncates for writing.
  virtual std::unique_ptr<WriteFile> createTruncate(const Path& path) = 0;
  // Creates or truncates for writing under a lock held until the file object
  // is gone: while one holds it, another caller fails at once and the file
  // is not touched. A file left by a process that ended is simply taken.
  virtual std::unique_ptr<WriteFile> createLocked(const Path& path) = 0;
  // Removes a file; a missing file is not an error.
  virtual void removeFile(const Path& path) = 0;
  // Replaces target by source in one step (rename over); source is gone
  // after. Durable only once the target's directory is synced. A failure
  // says in IoError::left() what it left: a replace that fails halfway may
  // leave the old text under backup, a name that must be free before.
  virtual void replaceFile(const Path& source, const Path& target, const Path& backup) = 0;
  // As replaceFile, but what the target was stays: its permissions and
  // owner, on Windows its attributes, security and streams.
  virtual void replaceKeepingAttributes(const Path& source, const Path& target, const Path& backup) = 0;
  // Makes the directory's entries (a rename into it) durable.
  virtual void syncDirectory(const Path& dir) = 0;
  // Creates a directory and its parents when missing.
  virtual void createDirectories(const Path& path) = 0;
  // The file a link names, the path itself when it is no link.
  virtual Path resolveLink(const Path& path) = 0;
  // True when the user marked the file read-only; never throws.
  virtual bool isReadOnly(const Path& path) noexcept = 0;

  // Whole file in one string; throws IoError.
  std::string readAll(const Path& path);
};

// The operating system's files. A step that another program's hold of a
// moment refuses is tried again (hold_retry.hpp), waiting through wait.
class OsFileSystem : public FileSystem {
public:
  explicit OsFileSystem(HoldWait& wait = sleepingWait()) : wait_(wait) {}
  bool fileExists(const Path& path) noexcept override;
  std::unique_ptr<ReadFile> openRead(const Path& path) override;
  std::unique_ptr<WriteFile> createTruncate(const Path& path) override;
  std::unique_ptr<WriteFile> createLocked(const Path& path) override;
  void removeFile(const Path& path) override;
  void replaceFile(const Path& source, const Path& target, const Path& backup) override;
  void replaceKeepingAttributes(const Path& source, const Path& target, const Path& backup) override;
  void syncDirectory(const Path& dir) override;
  void createDirectories(const Path& path) override;
  Path resolveLink(const Path& path) override;
  bool isReadOnly(const Path& path) noexcept override;

private:
  [[maybe_unused]] HoldWait& wait_;  // POSIX has no holds to wait for
};

}  // namespace neb
