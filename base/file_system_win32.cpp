// The file layer on Win32. Each call that another program's hold of a
// moment can refuse goes through retryWhileHeld; causeOf (system_win32.cpp)
// says which codes such a hold gives.
#ifdef _WIN32  // built for Windows alone
#include <windows.h>

#include <algorithm>

#include "background_sync.hpp"
#include "file_system.hpp"
#include "io_texts.hpp"

namespace neb {

namespace {

// How much is written between two background syncs of a new file.
constexpr std::uint64_t kSyncStep = 16u << 20;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// 0 when ok holds, else the thread's last error.
SystemCode lastError(bool ok) { return ok ? 0 : GetLastError(); }

class WinReadFile final : public ReadFile {
public:
  WinReadFile(HANDLE h, Path path, HoldWait& wait) : h_(h), path_(std::move(path)), wait_(wait) {}
  ~WinReadFile() override { CloseHandle(h_); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
    std::size_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < n) {
      OVERLAPPED ov{};
      const std::uint64_t at = offset + total;
      ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
      ov.OffsetHigh = static_cast<DWORD>(at >> 32);
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - total, 1u << 30));
      DWORD got = 0;
      // A read over a range that another program has locked (the logging
      // program saving a record) fails with a lock violation until it is done.
      const SystemCode err = retryWhileHeld(
          [&] {
            const SystemCode e = lastError(::ReadFile(h_, out + total, want, &got, &ov));
            return e == ERROR_HANDLE_EOF ? 0 : e;
          },
          wait_);
      if (err != 0) throw IoError(path_, msg::opRead, err);
      if (got == 0) break;
      total += got;
    }
    return total;
  }

private:
  HANDLE h_;
  Path path_;
  HoldWait& wait_;
};

class WinWriteFile final : public WriteFile {
public:
  WinWriteFile(HANDLE h, Path path)
      : h_(h),
        path_(std::move(path)),
        // Windows serialises every request on a synchronous handle, so a flush
        // through h_ would hold up the writes (and Stop) of the window thread
        // until it ends. A second handle is a file object of its own, and a
        // flush through it still writes back the whole file, whose cache all
        // handles share. Without it the final flush does all the work.
        flush_(ReOpenFile(h, GENERIC_WRITE, kShareAll, 0)),
        sync_([f = flush_] { return FlushFileBuffers(f) ? 0 : static_cast<int>(GetLastError()); },
              flush_ == INVALID_HANDLE_VALUE ? UINT64_MAX : kSyncStep) {}
  ~WinWriteFile() override {
    sync_.finish();
    if (flush_ != INVALID_HANDLE_VALUE) CloseHandle(flush_);
    CloseHandle(h_);
  }
  void write(const void* data, std::size_t n) override {
    const auto* p = static_cast<const char*>(data);
    while (n > 0) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(h_, p, want, &put, nullptr)) throw IoError(path_, msg::opWrite, GetLastError());
      p += put;
      n -= put;
      written_ += put;
    }
    sync_.wrote(written_);
  }
  void commit() override {
    if (const int e = sync_.finish()) throw IoError(path_, msg::opWrite, static_cast<SystemCode>(e));
    if (!FlushFileBuffers(h_)) throw IoError(path_, msg::opWrite, GetLastError());
  }

private:
  HANDLE h_;
  Path path_;
  HANDLE flush_;
  std::uint64_t written_ = 0;
  BackgroundSync sync_;
};

HANDLE openShared(const Path& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writers share everything too: the flush handle needs write sharing, and a
// locked file is renamed while it is still open. A program that opened the
// file without sharing, or a delete still pending on it, refuses the open
// for a moment.
HANDLE openWrite(const Path& path, DWORD disposition, HoldWait& wait) {
  HANDLE h = INVALID_HANDLE_VALUE;
  const SystemCode err = retryWhileHeld(
      [&] {
        h = CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        return lastError(h != INVALID_HANDLE_VALUE);
      },
      wait);
  if (err != 0) SetLastError(static_cast<DWORD>(err));
  return h;
}

void moveOver(const Path& source, const Path& target, HoldWait& wait) {
  // MOVEFILE_WRITE_THROUGH returns once the rename is on disk; Windows has no
  // flush of a directory to add. A target that another program has open
  // without delete sharing refuses the rename with access denied.
  const SystemCode err = retryWhileHeld(
      [&] {
        return lastError(
            MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
      },
      wait);
  if (err != 0) throw IoError(target, msg::opReplace, err);
}

}  // namespace

bool OsFileSystem::fileExists(const Path& path) noexcept {
  if (path.empty()) return false;
  HANDLE h = openShared(path);  // a directory cannot be opened this way
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::unique_ptr<ReadFile> OsFileSystem::openRead(const Path& path) {
  HANDLE h = INVALID_HANDLE_VALUE;
  const SystemCode err = retryWhileHeld(
      [&] {
        h = openShared(path);
        return lastError(h != INVALID_HANDLE_VALUE);
      },
      wait_);
  if (err != 0) throw IoError(path, msg::opOpen, err);
  return std::make_unique<WinReadFile>(h, path, wait_);
}

std::unique_ptr<WriteFile> OsFileSystem::createTruncate(const Path& path) {
  HANDLE h = openWrite(path, CREATE_ALWAYS, wait_);
  if (h == INVALID_HANDLE_VALUE) throw IoError(path, msg::opCreate, GetLastError());
  return std::make_unique<WinWriteFile>(h, path);
}

std::unique_ptr<WriteFile> OsFileSystem::createLocked(const Path& path) {
  HANDLE h = openWrite(path, OPEN_ALWAYS, wait_);
  if (h == INVALID_HANDLE_VALUE) throw IoError(path, msg::opCreate, GetLastError());
  // One byte far beyond any data: byte-range locks bar other handles' I/O in
  // their range, and nobody reads or writes there. Another run's lock is no
  // moment's hold: it fails at once.
  OVERLAPPED at{};
  at.OffsetHigh = 0x40000000;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD err = GetLastError();
    CloseHandle(h);
    if (err == ERROR_LOCK_VIOLATION) throw IoError(path, msg::opCreate, msg::inUse);
    throw IoError(path, msg::opCreate, err);
  }
  if (!SetEndOfFile(h)) {  // truncated only now that the file is ours
    const DWORD err = GetLastError();
    CloseHandle(h);
    throw IoError(path, msg::opCreate, err);
  }
  return std::make_unique<WinWriteFile>(h, path);
}

void OsFileSystem::removeFile(const Path& path) {
  const SystemCode err = retryWhileHeld(
      [&]() -> SystemCode {
        if (DeleteFileW(path.c_str())) return 0;
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return 0;
        // Our own leftover that something made read-only: DeleteFileW refuses it.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (e != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
            !(attributes & FILE_ATTRIBUTE_READONLY) ||
            !SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)))
          return e;
        if (DeleteFileW(path.c_str())) return 0;
        const DWORD again = GetLastError();
        SetFileAttributesW(path.c_str(), attributes);
        return again;
      },
      wait_);
  if (err != 0) throw IoError(path, msg::opRemove, err);
}

// A rename changes nothing when it fails: backup stays unused.
void OsFileSystem::replaceFile(const Path& source, const Path& target, const Path&) { moveOver(source, target, wait_); }

void OsFileSystem::replaceKeepingAttributes(const Path& source, const Path& target, const Path& backup) {
  // ReplaceFileW gives the new file the old one's attributes, security and
  // streams. What each of its failures leaves, as documented:
  const SystemCode err = retryWhileHeld(
      [&] {
        return lastError(ReplaceFileW(target.c_str(), source.c_str(), backup.empty() ? nullptr : backup.c_str(),
                                      REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                                      nullptr));
      },
      wait_);
  switch (err) {
    case 0:
      break;
    // No target yet: a plain rename puts the new file there.
    case ERROR_FILE_NOT_FOUND:
      moveOver(source, target, wait_);
      return;
    // "If lpBackupFileName was specified, the replaced and replacement files
    // retain their original file names. Otherwise, the replaced file no
    // longer exists and the replacement file exists under its original name."
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      throw IoError(target, msg::opReplace, err).leaving(backup.empty() ? IoError::Left::NoTarget : IoError::Left::Old);
    // "The file to be replaced still exists with a different name. If
    // lpBackupFileName is specified, it will be the name of the replaced file."
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      throw IoError(target, msg::opReplace, err).leaving(IoError::Left::OldAside);
    // ERROR_UNABLE_TO_REMOVE_REPLACED: "The replaced file could not be
    // deleted. The replaced and replacement files retain their original file
    // names." Every other failure changes nothing either.
    default:
      throw IoError(target, msg::opReplace, err);
  }
  // The old text, set aside on success too, is not needed any more; a
  // leftover is overwritten by the next replace.
  if (!backup.empty()) DeleteFileW(backup.c_str());
  // ReplaceFileW has no write-through: flushing the file commits its new
  // name along with its metadata. The new text is in place whatever this meets.
  HANDLE h = openWrite(target, OPEN_EXISTING, wait_);
  const bool flushed = h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
  const DWORD flushError = GetLastError();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (!flushed) throw IoError(target, msg::opReplace, flushError).leaving(IoError::Left::New);
}

void OsFileSystem::syncDirectory(const Path&) {}  // see moveOver

void OsFileSystem::createDirectories(const Path& path) {
  // Parents first; one that exists already is fine, a file in its place is not.
  if (path.empty() || path == path.root_path()) return;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (path.has_parent_path() && path.parent_path() != path) createDirectories(path.parent_path());
  if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    throw IoError(path, msg::opCreate, GetLastError());
  if (!(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY))
    throw IoError(path, msg::opCreate, ERROR_DIRECTORY);
}

Path OsFileSystem::resolveLink(const Path& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  Path resolved = std::filesystem::canonical(path, ec);
  return ec ? path : resolved;
}

bool OsFileSystem::isReadOnly(const Path& path) noexcept {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace neb

#endif  // _WIN32
