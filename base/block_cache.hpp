// A read window over a file, so that record-by-record decoding costs one
// system call per block instead of one per record.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "file_system.hpp"

namespace neb {

class BlockCache {
public:
  BlockCache(std::unique_ptr<ReadFile> file, std::size_t blockSize, std::size_t jumpSize);

  // Copies up to n bytes at offset; fewer only at the end of the file. A
  // request the window cannot serve goes back to the file, so a file that
  // grew since the last read is seen.
  std::size_t read(std::uint64_t offset, char* out, std::size_t n) {
    if (n != 0 && offset >= start_ && offset - start_ + n <= valid_) {
      std::memcpy(out, buffer_.data() + (offset - start_), n);
      return n;
    }
    return readOutside(offset, out, n);
  }

private:
  std::size_t readOutside(std::uint64_t offset, char* out, std::size_t n);
  std::unique_ptr<ReadFile> file_;
  std::vector<char> buffer_;
  std::size_t jumpSize_;
  std::uint64_t start_ = 0;
  std::size_t valid_ = 0;
};

}  // namespace neb
