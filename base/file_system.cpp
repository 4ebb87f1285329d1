#include "file_system.hpp"

#include <algorithm>
#include <cstring>

#include "io_texts.hpp"

namespace neb {

namespace {

std::string messageOf(const Path& path, std::string_view operation, std::string_view reason) {
  std::string out = pathToSjisLossy(path);
  out += msg::ioObject;
  out += operation;
  out += msg::ioCannot;
  out += reason;
  return out;
}

}  // namespace

IoError::IoError(Path path, std::string_view operation, SystemCode code)
    : IoError(std::move(path), operation, systemReason(code), causeOf(code) == Cause::AcrossVolumes) {
  code_ = code;
}

IoError::IoError(Path path, std::string_view operation, std::string_view reason, bool crossesVolumes)
    : std::runtime_error(sjisToUtf8Lossy(messageOf(path, operation, reason))),
      path_(std::move(path)),
      operation_(operation),
      reason_(reason),
      crossesVolumes_(crossesVolumes) {}

std::string IoError::message() const {
  std::string out;
  if (left_ == Left::New) {
    out = pathToSjisLossy(path_);
    out += msg::ioUnconfirmed;
    out += reason_;
  } else {
    out = messageOf(path_, operation_, reason_);
  }
  if (!keptAt_.empty()) {
    out += '\n';
    out += msg::keptAt;
    out += pathToSjisLossy(keptAt_);
    out += msg::keptAtEnd;
  }
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

}  // namespace neb
