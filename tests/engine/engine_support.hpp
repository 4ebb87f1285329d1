// Fakes and builders shared by the engine tests: an in-memory file system
// with injectable faults, a recording message sink, and a builder of HAMLOG
// record and companion files.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "file_system.hpp"
#include "hamlog_database.hpp"
#include "message_sink.hpp"

namespace neb::test {

struct RecordingSink : MessageSink {
  std::vector<std::pair<std::string, std::string>> messages;  // text, caption
  void showMessage(std::string_view text, std::string_view caption) override {
    messages.emplace_back(text, caption);
  }
};

class MemFileSystem : public FileSystem {
public:
  std::map<std::string, std::shared_ptr<std::string>> files;
  std::set<std::string> directories;
  // Faults: each throws IoError when it strikes.
  bool failCreate = false;
  bool failCommit = false;
  bool failReplace = false;
  std::size_t failWriteAfter = SIZE_MAX;  // total bytes written before a write fails
  std::size_t readCalls = 0;
  std::size_t bytesWritten = 0;

  void put(const Path& p, std::string content) {
    files[p.string()] = std::make_shared<std::string>(std::move(content));
  }
  bool has(const Path& p) const { return files.count(p.string()) != 0; }
  std::string get(const Path& p) const { return *files.at(p.string()); }

  bool fileExists(const Path& path) noexcept override {
    return has(path);
  }
  std::unique_ptr<ReadFile> openRead(const Path& path) override;
  std::unique_ptr<WriteFile> createTruncate(const Path& path) override;
  void removeFile(const Path& path) override { files.erase(path.string()); }
  void replaceFile(const Path& source, const Path& target) override;
  void createDirectories(const Path& path) override { directories.insert(path.string()); }
};

// One 58-byte QSO record, field by field; defaults make a plain valid QSO.
struct Rec {
  std::string call = "JA1ABC";
  std::string portable;
  std::string short1;
  std::string short2;
  std::array<unsigned char, 4> freq{'7', ' ', ' ', ' '};
  std::string mode = "SSB";
  std::string longText;
  std::string flags = "   ";
  unsigned char year = 104, month = 7, day = 5, hour = 9, minute = 5;
  unsigned char report1 = 59, extra1 = ' ', report2 = 59, extra2 = ' ';
  std::int32_t textPointer = 0;

  std::string bytes() const;
};

// Record file and companion file of one database.
struct DbBuilder {
  std::vector<Rec> records;
  std::string dbr = std::string(16, '\0');  // text pointers start past 0
  std::int64_t countOverride = -1;

  // Appends a text block with the three texts; returns its pointer.
  std::int32_t addTexts(const std::string& t1, const std::string& t2, const std::string& t3);
  Rec& add(Rec r = {}) {
    records.push_back(std::move(r));
    return records.back();
  }
  std::string dbs() const;
  void install(MemFileSystem& fs, const std::string& base = "/h/LOG.") const {
    fs.put(base + "DBS", dbs());
    fs.put(base + "DBR", dbr);
  }
};

}  // namespace neb::test
