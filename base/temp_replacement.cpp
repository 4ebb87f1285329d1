#include "temp_replacement.hpp"

#include <vector>

#include "suite_names.hpp"

namespace neb {

namespace {

constexpr std::size_t kCopyBlock = 256 * 1024;

void copyFile(FileSystem& fs, const Path& from, const Path& to) {
  auto in = fs.openRead(from);
  auto out = fs.createTruncate(to);
  std::vector<char> block(kCopyBlock);
  std::uint64_t offset = 0;
  while (const std::size_t n = in->readAt(offset, block.data(), block.size())) {
    out->write(block.data(), n);
    offset += n;
  }
  out->commit();
}

void removeQuietly(FileSystem& fs, const Path& path) noexcept {
  try {
    fs.removeFile(path);
  } catch (...) {
    // A leftover is harmless: the next replace removes or overwrites it.
  }
}

}  // namespace

TempReplacement::TempReplacement(FileSystem& fs, Path target, Path temp, Options options)
    : fs_(fs), target_(std::move(target)), temp_(std::move(temp)), options_(options),
      file_(options.locked ? fs.createLocked(temp_) : fs.createTruncate(temp_)) {}

void TempReplacement::write(const void* data, std::size_t n) {
  if (n != 0) file_->write(data, n);
}

void TempReplacement::commit() { file_->commit(); }

Path TempReplacement::besideTarget(std::string_view name) const {
  Path beside = target_;
  beside += "." + std::string(name);
  return beside;
}

void TempReplacement::replace() {
  // A locked file is renamed while still open, so that no other run can take
  // it in between; the attribute-keeping replace needs it closed.
  if (!options_.locked) file_.reset();
  const Path dir = target_.parent_path();
  if (!dir.empty()) fs_.createDirectories(dir);
  putInPlace();
  try {
    fs_.syncDirectory(dir);
  } catch (const IoError& e) {
    throw IoError(target_, e.operation(), e.reason()).leaving(IoError::Left::New);
  }
}

void TempReplacement::putInPlace() {
  // A replace that fails halfway may set the old text aside under a name of
  // ours, where it can be put back.
  const Path backup = besideTarget(kBackupName);
  fs_.removeFile(backup);
  try {
    if (options_.keepAttributes)
      fs_.replaceKeepingAttributes(temp_, target_, backup);
    else
      fs_.replaceFile(temp_, target_, backup);
  } catch (IoError& e) {
    if (e.crossesVolumes()) return putInPlaceByCopy(e);
    switch (e.left()) {
      case IoError::Left::Old:
        throw;
      case IoError::Left::New:
        gone_ = true;
        throw;
      case IoError::Left::NoTarget:
        // The new text is the only whole one left: it takes the target's place.
        gone_ = true;
        try {
          fs_.replaceFile(temp_, target_, backup);
        } catch (const IoError&) {
          throw e.keeping(temp_);
        }
        return;
      case IoError::Left::OldAside:
        try {
          fs_.replaceFile(backup, target_, {});
        } catch (const IoError&) {
          throw e.keeping(backup);
        }
        e.leaving(IoError::Left::Old);
        throw;
    }
  }
  gone_ = true;
}

// A target directory on another volume (a junction, a mount) cannot take
// the temporary file by rename: a durable copy beside the target is renamed
// instead. When this fails too, the first error is the one worth reporting.
void TempReplacement::putInPlaceByCopy(const IoError& first) {
  const Path beside = besideTarget(kTempName);
  try {
    copyFile(fs_, temp_, beside);
    fs_.replaceFile(beside, target_, {});
  } catch (...) {
    removeQuietly(fs_, beside);
    throw first;
  }
}

TempReplacement::~TempReplacement() {
  file_.reset();
  if (!gone_) removeQuietly(fs_, temp_);
}

}  // namespace neb
