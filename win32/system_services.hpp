// The system's services the window asks for, apart from the window itself:
// starting a program, the command line, the help viewer.
#pragma once

#include <windows.h>

#include <string>

namespace neb::win32 {

// Starts commandLine as a new process shown normally with focus, not waited
// for. Throws IoError (operation "起動") with the system's reason.
void startProcess(const std::wstring& commandLine);

// This program's command line after its name and the one blank after it.
std::wstring argumentText();

// Dismisses owner's help viewer of helpFile (nothing when none is open).
void dismissHelp(HWND owner, const std::wstring& helpFile);

}  // namespace neb::win32
