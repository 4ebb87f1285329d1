#include "file_system.hpp"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "background_sync.hpp"
#include "messages.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace neb {

namespace {

// How much is written between two background syncs of a new file.
constexpr std::uint64_t kSyncStep = 16u << 20;

std::string buildWhat(const Path& path, const std::string& operation, const std::string& reason) {
  return nativeToUtf8(path.native()) + sjisToUtf8Lossy(msg::ioObject) + sjisToUtf8Lossy(operation) +
         sjisToUtf8Lossy(msg::ioCannot) + reason;
}

}  // namespace

IoError::IoError(Path path, std::string operation, std::string reasonUtf8)
    : std::runtime_error(buildWhat(path, operation, reasonUtf8)),
      path_(std::move(path)),
      operation_(std::move(operation)),
      reason_(std::move(reasonUtf8)) {}

std::string IoError::message() const {
#ifdef _WIN32
  // The reason is UTF-8; go through UTF-16 to reach code page 932.
  std::wstring wide;
  if (!reason_.empty()) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, reason_.data(), static_cast<int>(reason_.size()),
                                      nullptr, 0);
    wide.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0)
      MultiByteToWideChar(CP_UTF8, 0, reason_.data(), static_cast<int>(reason_.size()), wide.data(), n);
  }
  const std::string reason = nativeToSjisLossy(wide);
#else
  const std::string reason = nativeToSjisLossy(reason_);
#endif
  std::string out = pathToSjisLossy(path_);
  out += msg::ioObject;
  out += operation_;
  out += msg::ioCannot;
  out += reason;
  return out;
}

std::string FileSystem::readAll(const Path& path) {
  auto file = openRead(path);
  std::string out;
  std::uint64_t offset = 0;
  for (;;) {
    constexpr std::size_t kChunk = 64 * 1024;
    const std::size_t old = out.size();
    out.resize(old + kChunk);
    const std::size_t got = file->readAt(offset, out.data() + old, kChunk);
    out.resize(old + got);
    offset += got;
    if (got < kChunk) break;
  }
  return out;
}

#ifdef _WIN32

namespace {

// The system's own wording, as UTF-8.
std::string systemReason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' '))
    wide.pop_back();
  if (wide.empty()) return std::string(msg::errorCodeUtf8) + std::to_string(code);
  return nativeToUtf8(wide);
}

class WinReadFile final : public ReadFile {
public:
  WinReadFile(HANDLE h, Path path) : h_(h), path_(std::move(path)) {}
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
      if (!::ReadFile(h_, out + total, want, &got, &ov)) {
        const DWORD err = GetLastError();
        if (err == ERROR_HANDLE_EOF) break;
        throw IoError(path_, std::string(msg::opRead), systemReason(err));
      }
      if (got == 0) break;
      total += got;
    }
    return total;
  }

private:
  HANDLE h_;
  Path path_;
};

class WinWriteFile final : public WriteFile {
public:
  WinWriteFile(HANDLE h, Path path)
      : h_(h), path_(std::move(path)),
        sync_([h] { return FlushFileBuffers(h) ? 0 : static_cast<int>(GetLastError()); }, kSyncStep) {}
  ~WinWriteFile() override {
    sync_.finish();
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  void write(const void* data, std::size_t n) override {
    const auto* p = static_cast<const char*>(data);
    while (n > 0) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(h_, p, want, &put, nullptr))
        throw IoError(path_, std::string(msg::opWrite), systemReason(GetLastError()));
      p += put;
      n -= put;
      written_ += put;
    }
    sync_.wrote(written_);
  }
  void commit() override {
    if (const int e = sync_.finish())
      throw IoError(path_, std::string(msg::opWrite), systemReason(static_cast<DWORD>(e)));
    if (!FlushFileBuffers(h_))
      throw IoError(path_, std::string(msg::opWrite), systemReason(GetLastError()));
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) throw IoError(path_, std::string(msg::opWrite), systemReason(GetLastError()));
  }

private:
  HANDLE h_;
  Path path_;
  std::uint64_t written_ = 0;
  BackgroundSync sync_;
};

HANDLE openShared(const Path& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  HANDLE h = openShared(path);
  if (h == INVALID_HANDLE_VALUE)
    throw IoError(path, std::string(msg::opOpen), systemReason(GetLastError()));
  return std::make_unique<WinReadFile>(h, path);
}

std::unique_ptr<WriteFile> OsFileSystem::createTruncate(const Path& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw IoError(path, std::string(msg::opCreate), systemReason(GetLastError()));
  return std::make_unique<WinWriteFile>(h, path);
}

void OsFileSystem::removeFile(const Path& path) {
  if (DeleteFileW(path.c_str())) return;
  const DWORD err = GetLastError();
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return;
  throw IoError(path, std::string(msg::opRemove), systemReason(err));
}

void OsFileSystem::replaceFile(const Path& source, const Path& target) {
  if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    throw IoError(target, std::string(msg::opReplace), systemReason(GetLastError()));
}

#else  // POSIX

namespace {

std::string errnoReason(int err) { return std::generic_category().message(err); }

class FdReadFile final : public ReadFile {
public:
  FdReadFile(int fd, Path path) : fd_(fd), path_(std::move(path)) {}
  ~FdReadFile() override { ::close(fd_); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
    std::size_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < n) {
      const ssize_t got = ::pread(fd_, out + total, n - total, static_cast<off_t>(offset + total));
      if (got < 0) {
        if (errno == EINTR) continue;
        throw IoError(path_, std::string(msg::opRead), errnoReason(errno));
      }
      if (got == 0) break;
      total += static_cast<std::size_t>(got);
    }
    return total;
  }

private:
  int fd_;
  Path path_;
};

class FdWriteFile final : public WriteFile {
public:
  FdWriteFile(int fd, Path path)
      : fd_(fd), path_(std::move(path)), sync_([fd] { return ::fdatasync(fd) == 0 ? 0 : errno; }, kSyncStep) {}
  ~FdWriteFile() override {
    sync_.finish();
    if (fd_ >= 0) ::close(fd_);
  }
  void write(const void* data, std::size_t n) override {
    const auto* p = static_cast<const char*>(data);
    while (n > 0) {
      const ssize_t put = ::write(fd_, p, n);
      if (put < 0) {
        if (errno == EINTR) continue;
        throw IoError(path_, std::string(msg::opWrite), errnoReason(errno));
      }
      p += put;
      n -= static_cast<std::size_t>(put);
      written_ += static_cast<std::uint64_t>(put);
    }
    sync_.wrote(written_);
  }
  void commit() override {
    if (const int e = sync_.finish()) throw IoError(path_, std::string(msg::opWrite), errnoReason(e));
    if (::fsync(fd_) != 0) throw IoError(path_, std::string(msg::opWrite), errnoReason(errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw IoError(path_, std::string(msg::opWrite), errnoReason(errno));
  }

private:
  int fd_;
  Path path_;
  std::uint64_t written_ = 0;
  BackgroundSync sync_;
};

// Non-blocking open, so that a FIFO without a writer cannot hang the test
// for existence; reads then go back to blocking mode.
int openForRead(const Path& path) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      return fd;
    }
    if (errno != EINTR) return fd;
  }
}

bool isDirectory(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

void syncDirectory(const Path& dir) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // nothing more can be done for durability here
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool OsFileSystem::fileExists(const Path& path) noexcept {
  if (path.empty()) return false;
  const int fd = openForRead(path);
  if (fd < 0) return false;
  const bool dir = isDirectory(fd);
  ::close(fd);
  return !dir;
}

std::unique_ptr<ReadFile> OsFileSystem::openRead(const Path& path) {
  const int fd = openForRead(path);
  if (fd < 0) throw IoError(path, std::string(msg::opOpen), errnoReason(errno));
  if (isDirectory(fd)) {
    ::close(fd);
    throw IoError(path, std::string(msg::opOpen), errnoReason(EISDIR));
  }
  return std::make_unique<FdReadFile>(fd, path);
}

std::unique_ptr<WriteFile> OsFileSystem::createTruncate(const Path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw IoError(path, std::string(msg::opCreate), errnoReason(errno));
  return std::make_unique<FdWriteFile>(fd, path);
}

void OsFileSystem::removeFile(const Path& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return;
  throw IoError(path, std::string(msg::opRemove), errnoReason(errno));
}

void OsFileSystem::replaceFile(const Path& source, const Path& target) {
  if (::rename(source.c_str(), target.c_str()) != 0)
    throw IoError(target, std::string(msg::opReplace), errnoReason(errno));
  syncDirectory(target.parent_path());
}

#endif

void OsFileSystem::createDirectories(const Path& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) throw IoError(path, std::string(msg::opCreate), ec.message());
}

}  // namespace neb
