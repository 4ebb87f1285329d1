#include "suite_layout.hpp"

#include "io_texts.hpp"
#include "native_text.hpp"
#include "suite_names.hpp"
#include "suite_texts.hpp"

namespace neb {

namespace {

NativeString joinPlain(const NativeString& dir, std::string_view name) {
  return dir + kSeparator + nativeAscii(name);
}

NativeString joinChecked(const NativeString& dir, std::string_view name) {
  if (!dir.empty() && dir.back() == kSeparator) return dir + nativeAscii(name);
  return joinPlain(dir, name);
}

}  // namespace

NativeString SuiteLayout::workFile() const { return joinPlain(joinPlain(dir_, "data"), "Work.Txt"); }
NativeString SuiteLayout::tempFile() const { return joinChecked(dir_, kTempName); }
NativeString SuiteLayout::modeTable() const { return joinPlain(dir_, "Mode.txt"); }
NativeString SuiteLayout::helpFile() const { return joinPlain(dir_, "neb01.hlp"); }

NativeString SuiteLayout::menuCommandLine(const NativeString& argumentText) const {
  return joinChecked(dir_, "nebmenu.exe ") + argumentText;
}

std::string SuiteLayout::failureText(const IoError& e) const {
  std::string text = e.message();
  const bool writing = e.operation() == msg::opCreate || e.operation() == msg::opWrite || e.operation() == msg::opReplace;
  const NativeString& path = e.path().native();
  const bool inSuite = !dir_.empty() && path.size() > dir_.size() && path.compare(0, dir_.size(), dir_) == 0;
  if (e.denied() && writing && inSuite) {
    text += '\n';
    text += msg::deniedHint;
  }
  return text;
}

bool loadModeTable(FileSystem& fs, const SuiteLayout& layout, ModeTable& modes) {
  const Path path(layout.modeTable());
  if (!fs.fileExists(path)) return false;
  modes.load(fs.readAll(path));
  return true;
}

}  // namespace neb
