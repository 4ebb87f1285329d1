#include "suite_layout.hpp"

#include "native_text.hpp"

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
NativeString SuiteLayout::tempFile() const { return joinChecked(dir_, "nebwdw.tmp"); }
NativeString SuiteLayout::modeTable() const { return joinPlain(dir_, "Mode.txt"); }
NativeString SuiteLayout::helpFile() const { return joinPlain(dir_, "neb01.hlp"); }

NativeString SuiteLayout::menuCommandLine(const NativeString& argumentText) const {
  return joinChecked(dir_, "nebmenu.exe ") + argumentText;
}

bool loadModeTable(FileSystem& fs, const SuiteLayout& layout, ModeTable& modes) {
  const Path path(layout.modeTable());
  if (!fs.fileExists(path)) return false;
  modes.load(fs.readAll(path));
  return true;
}

}  // namespace neb
