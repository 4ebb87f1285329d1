#include "engine_support.hpp"

#include <algorithm>
#include <cstring>

#include "messages.hpp"

namespace neb::test {

namespace {

class MemReadFile : public ReadFile {
public:
  MemReadFile(std::shared_ptr<std::string> data, std::size_t& calls) : data_(std::move(data)), calls_(calls) {}
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
    ++calls_;
    if (offset >= data_->size()) return 0;
    const std::size_t got = std::min<std::size_t>(n, data_->size() - offset);
    std::memcpy(buffer, data_->data() + offset, got);
    return got;
  }

private:
  std::shared_ptr<std::string> data_;
  std::size_t& calls_;
};

class MemWriteFile : public WriteFile {
public:
  MemWriteFile(MemFileSystem& fs, Path path, std::shared_ptr<std::string> data)
      : fs_(fs), path_(std::move(path)), data_(std::move(data)) {}
  void write(const void* data, std::size_t n) override {
    if (fs_.bytesWritten + n > fs_.failWriteAfter)
      throw IoError(path_, std::string(msg::opWrite), "No space left on device");
    fs_.bytesWritten += n;
    data_->append(static_cast<const char*>(data), n);
  }
  void commit() override {
    if (fs_.failCommit) throw IoError(path_, std::string(msg::opWrite), "Input/output error");
  }

private:
  MemFileSystem& fs_;
  Path path_;
  std::shared_ptr<std::string> data_;
};

void putText(std::string& out, const std::string& text, std::size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, ' ');
  out += field;
}

}  // namespace

std::unique_ptr<ReadFile> MemFileSystem::openRead(const Path& path) {
  if (!fileExists(path)) throw IoError(path, std::string(msg::opOpen), "No such file or directory");
  return std::make_unique<MemReadFile>(files.at(path.string()), readCalls);
}

std::unique_ptr<WriteFile> MemFileSystem::createTruncate(const Path& path) {
  if (failCreate) throw IoError(path, std::string(msg::opCreate), "Permission denied");
  auto data = std::make_shared<std::string>();
  files[path.string()] = data;
  return std::make_unique<MemWriteFile>(*this, path, data);
}

void MemFileSystem::replaceFile(const Path& source, const Path& target) {
  if (failReplace || !has(source)) throw IoError(target, std::string(msg::opReplace), "Access denied");
  files[target.string()] = files.at(source.string());
  files.erase(source.string());
}

std::string Rec::bytes() const {
  std::string out(1, ' ');
  putText(out, call, 7);
  putText(out, portable, 3);
  putText(out, short1, 6);
  putText(out, short2, 6);
  out.append(reinterpret_cast<const char*>(freq.data()), 4);
  putText(out, mode, 3);
  putText(out, longText, 12);
  putText(out, flags, 3);
  for (unsigned char b : {year, month, day, hour, minute, report1, extra1, report2, extra2})
    out += static_cast<char>(b);
  const auto p = static_cast<std::uint32_t>(textPointer);
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((p >> shift) & 0xFF);
  return out;
}

std::int32_t DbBuilder::addTexts(const std::string& t1, const std::string& t2, const std::string& t3) {
  const auto pointer = static_cast<std::int32_t>(dbr.size());
  for (const std::string* t : {&t1, &t2, &t3}) dbr += static_cast<char>(t->size());
  dbr += t1 + t2 + t3;
  return pointer;
}

std::string DbBuilder::dbs() const {
  std::string out(kHeaderSize, '\0');
  out.replace(0, 4, "HAM ");
  const auto count = static_cast<std::uint32_t>(countOverride >= 0 ? countOverride
                                                                   : static_cast<std::int64_t>(records.size()));
  out[4] = static_cast<char>(count & 0xFF);
  out[5] = static_cast<char>((count >> 8) & 0xFF);
  out[6] = static_cast<char>((count >> 16) & 0xFF);
  for (const Rec& r : records) out += r.bytes();
  return out;
}

}  // namespace neb::test
