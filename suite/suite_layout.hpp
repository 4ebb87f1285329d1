// The suite's application directory: the files the program uses there and
// how their paths are made. Both front ends ask here.
#pragma once

#include "file_system.hpp"
#include "mode_table.hpp"
#include "text_codec.hpp"

namespace neb {

class SuiteLayout {
public:
  // The directory as the system reports it: no trailing separator except at
  // a root.
  explicit SuiteLayout(NativeString appDir) : dir_(std::move(appDir)) {}

  // Paths are the directory and a fixed name joined by plain concatenation;
  // only the temporary work file and the menu's command line look for a
  // separator at the end of the directory first.
  NativeString workFile() const;   // data/Work.Txt
  NativeString tempFile() const;   // nebwdw.tmp
  NativeString modeTable() const;  // Mode.txt
  NativeString helpFile() const;   // neb01.hlp
  // The suite menu's command line: nebmenu.exe, one blank, then the argument
  // text unchanged.
  NativeString menuCommandLine(const NativeString& argumentText) const;
  // A failure's message for the user. A create, write or replace in the
  // suite's folder that Windows refused adds the likely causes.
  std::string failureText(const IoError& e) const;

private:
  NativeString dir_;
};

// Mode.txt into modes; false, with nothing loaded, when it does not exist.
// Throws IoError.
bool loadModeTable(FileSystem& fs, const SuiteLayout& layout, ModeTable& modes);

}  // namespace neb
