// A file's new text, built in a temporary file and put in the file's place
// in one step. After every outcome the file's name holds a whole text, the
// old one or the new one, and the temporary file is gone unless it holds
// the only whole copy of a text.
#pragma once

#include <memory>

#include "file_system.hpp"

namespace neb {

class TempReplacement {
public:
  struct Options {
    // A second writer of the same temporary file fails at once, up to and
    // including the replace.
    bool locked = false;
    // The target keeps its permissions, owner and attributes.
    bool keepAttributes = false;
  };

  // Creates (or truncates) the temporary file. Throws IoError.
  TempReplacement(FileSystem& fs, Path target, Path temp, Options options);
  // Closes and removes the temporary file, unless it is in place or holds
  // the only whole text.
  ~TempReplacement();
  TempReplacement(const TempReplacement&) = delete;
  TempReplacement& operator=(const TempReplacement&) = delete;

  void write(const void* data, std::size_t n);
  // Makes everything written durable. Throws IoError.
  void commit();
  // Puts the committed text in place of the target, creating the target's
  // directory when missing, and makes that durable. Throws IoError: the
  // target then holds its old text, unless left() is New (the new text is in
  // place, unconfirmed) or keptAt() names where a text had to stay.
  void replace();

private:
  void putInPlace();
  void putInPlaceByCopy(const IoError& first);
  Path besideTarget(std::string_view name) const;

  FileSystem& fs_;
  Path target_;
  Path temp_;
  Options options_;
  std::unique_ptr<WriteFile> file_;
  bool gone_ = false;  // moved into place, or kept as the only whole text
};

}  // namespace neb
