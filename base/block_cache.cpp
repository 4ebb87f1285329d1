#include "block_cache.hpp"

#include <algorithm>
#include <cstring>

namespace neb {

BlockCache::BlockCache(std::unique_ptr<ReadFile> file, std::size_t blockSize, std::size_t jumpSize)
    : file_(std::move(file)), buffer_(blockSize), jumpSize_(std::min(jumpSize, blockSize)) {}

std::size_t BlockCache::readOutside(std::uint64_t offset, char* out, std::size_t n) {
  if (n == 0) return 0;
  if (n > buffer_.size()) return file_->readAt(offset, out, n);
  // Reading on from the window fills a whole block; a jump elsewhere (text
  // blocks out of order) fetches only a little, so scattered reads stay cheap.
  const bool onward = offset >= start_ && offset <= start_ + valid_;
  const std::size_t want = onward ? buffer_.size() : std::max(n, jumpSize_);
  valid_ = 0;
  start_ = offset;
  valid_ = file_->readAt(offset, buffer_.data(), want);
  const std::size_t got = std::min(n, valid_);
  std::memcpy(out, buffer_.data(), got);
  return got;
}

}  // namespace neb
