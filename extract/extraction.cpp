#include "extraction.hpp"

#include <exception>
#include <vector>

#include <charconv>
#include <cstring>

#include "messages.hpp"

namespace neb {

namespace {

constexpr std::size_t kWriteBuffer = 256 * 1024;
constexpr std::size_t kLongestLine = 20 * (2 + 3 * 255) + 19 + 2;

void appendDecimal(std::string& out, long long value) {
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, r.ptr);
}

}  // namespace

TempWorkFile::TempWorkFile(FileSystem& fs, Path path)
    : fs_(fs), path_(std::move(path)), file_(fs_.createTruncate(path_)), buffer_(kWriteBuffer + kLongestLine) {}

TempWorkFile::~TempWorkFile() = default;

char* TempWorkFile::reserve(std::size_t n) {
  if (buffer_.size() - used_ < n) {
    flushBuffer();
    // Only a converted mode longer than any line the log itself can make.
    if (buffer_.size() < n) buffer_.resize(n);
  }
  return buffer_.data() + used_;
}

void TempWorkFile::commitBytes(std::size_t n) {
  used_ += n;
  bytes_ += n;
  if (used_ >= kWriteBuffer) flushBuffer();
}

void TempWorkFile::writeLine(const WorkRecord& work) {
  scratch_.clear();
  appendLine(scratch_, work);
  std::memcpy(reserve(scratch_.size()), scratch_.data(), scratch_.size());
  commitBytes(scratch_.size());
}

void TempWorkFile::writeQso(const QsoRecord& qso, std::int32_t n, const std::vector<std::string>* areaPrefixes,
                            const ModeTable* modes) {
  const WorkLine line(qso, n, areaPrefixes, modes);
  char* const start = reserve(line.maxSize());
  commitBytes(static_cast<std::size_t>(line.write(start) - start));
}

void TempWorkFile::flushBuffer() {
  if (used_ != 0) file_->write(buffer_.data(), used_);
  used_ = 0;
}

void TempWorkFile::close() {
  if (!file_) return;
  flushBuffer();
  file_->commit();
  file_.reset();
}

void TempWorkFile::discard() noexcept {
  file_.reset();
  used_ = 0;
  try {
    fs_.removeFile(path_);
  } catch (...) {
    // Nothing better to do: the caller is already handling a failure.
  }
}

bool TempWorkFile::isOpen() const { return file_ != nullptr; }

namespace {

void copyFile(FileSystem& fs, const Path& from, const Path& to) {
  auto in = fs.openRead(from);
  auto out = fs.createTruncate(to);
  std::vector<char> block(kWriteBuffer);
  std::uint64_t offset = 0;
  while (const std::size_t n = in->readAt(offset, block.data(), block.size())) {
    out->write(block.data(), n);
    offset += n;
  }
  out->commit();
}

// A data directory on another volume (a junction, a mount) cannot take the
// temporary file by rename: put a durable copy beside the work file and rename
// that one. When this fails too, the first error is the one worth reporting.
void replaceAcrossVolumes(FileSystem& fs, const Path& tempPath, const Path& workPath) {
  const std::exception_ptr first = std::current_exception();
  Path beside = workPath;
  beside += ".nebwdw.tmp";
  try {
    copyFile(fs, tempPath, beside);
    fs.replaceFile(beside, workPath);
  } catch (...) {
    try {
      fs.removeFile(beside);
    } catch (...) {
    }
    std::rethrow_exception(first);
  }
  fs.removeFile(tempPath);
}

}  // namespace

void replaceWorkFile(FileSystem& fs, const Path& tempPath, const Path& workPath) {
  try {
    const Path dir = workPath.parent_path();
    if (!dir.empty()) fs.createDirectories(dir);
    try {
      fs.replaceFile(tempPath, workPath);
    } catch (const IoError&) {
      replaceAcrossVolumes(fs, tempPath, workPath);
    }
  } catch (...) {
    try {
      fs.removeFile(tempPath);
    } catch (...) {
    }
    throw;
  }
}

ExtractResult extractQsos(HamlogDatabase& db, TempWorkFile& temp, const Conversions& conv,
                          QsoObserver* observer, MessageSink& sink) {
  ExtractResult result;
  result.announced = db.recordCount;
  const std::vector<std::string>* prefixes = conv.areaSuffix ? conv.areaPrefixes : nullptr;
  const ModeTable* modes = conv.mode ? conv.modeTable : nullptr;
  for (std::int32_t n = 1; n <= result.announced; ++n) {
    if (observer) observer->beforeQso(n);
    db.qsoNumber = n;
    db.Qso_Read();
    if (db.qsoNumber == 0) {
      // The record file ends early: no line from the previous QSO's fields.
      result.truncated = true;
      std::string text(msg::recordFileEnded);
      text += '\n';
      text += msg::headerCount;
      appendDecimal(text, result.announced);
      text += msg::countOf;
      appendDecimal(text, result.written);
      text += msg::countWritten;
      sink.showMessage(text, title::app);
      break;
    }
    temp.writeQso(db.qso, n, prefixes, modes);
    ++result.written;
  }
  return result;
}

JobResult runExtraction(FileSystem& fs, MessageSink& sink, const ExtractJob& job,
                        QsoObserver* observer) {
  JobResult result;
  HamlogDatabase db(fs, sink);
  if (!db.Hamlog_Open(job.hamlogPath)) return result;
  result.opened = true;
  TempWorkFile temp(fs, job.tempPath);
  try {
    result.extract = extractQsos(db, temp, job.conversions, observer, sink);
    temp.close();
    db.Hamlog_Close();
    replaceWorkFile(fs, job.tempPath, job.workPath);
  } catch (...) {
    temp.discard();
    throw;
  }
  return result;
}

}  // namespace neb
