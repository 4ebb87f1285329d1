// nebmenu.exe: the least stand-in for the suite's menu program, so that
// neb01.exe can be used and tried on its own. It shows the argument text it
// was given and how many lines data\Work.Txt beside it holds, and starts
// neb01.exe again with the same argument text.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "control_ids.hpp"
#include "system.hpp"
#include "system_services.hpp"
#include "texts.hpp"

namespace {

namespace text = neb::win32::text;

constexpr int kStartId = 301;
constexpr int kArgumentId = 302;
constexpr int kLinesId = 303;

std::wstring g_arguments;
std::wstring g_directory;

std::wstring joined(const std::wstring& dir, const wchar_t* name) {
  return dir + (!dir.empty() && dir.back() == L'\\' ? L"" : L"\\") + name;
}

// Lines of the work file; a last line without its line end counts too.
// -1 when the file cannot be read.
long long countLines(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  long long lines = 0;
  char last = '\n';
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got; ++i)
      if (buffer[i] == '\n') ++lines;
    last = buffer[got - 1];
  }
  CloseHandle(file);
  if (last != '\n') ++lines;
  return lines;
}

void startNeb01(HWND owner) {
  std::wstring program = joined(g_directory, L"neb01.exe");
  std::wstring commandLine = L"\"" + program + L"\" " + g_arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    MessageBoxW(owner, (program + text::cannotStartFile).c_str(), text::suiteTitle().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DestroyWindow(owner);
}

HFONT g_font = nullptr;

void createControls(HWND hwnd, HINSTANCE instance) {
  const std::wstring workFile = L"data\\Work.Txt";
  const long long lines = countLines(joined(g_directory, workFile.c_str()));
  const std::wstring linesText =
      workFile + (lines < 0 ? text::noWorkFile : L": " + std::to_wstring(lines) + text::lines);
  struct Item {
    int id;
    const wchar_t* cls;
    std::wstring text;
    DWORD style;
    RECT r;
  } items[] = {
      {0, L"STATIC", text::arguments, SS_LEFT, {12, 12, 400, 18}},
      {kArgumentId, L"STATIC", L"[" + g_arguments + L"]", SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL | SS_SUNKEN,
       {12, 32, 400, 40}},
      {kLinesId, L"STATIC", linesText, SS_LEFT | SS_NOPREFIX, {12, 82, 400, 18}},
      {kStartId, L"BUTTON", text::appTitle() + text::startApp, BS_DEFPUSHBUTTON | WS_TABSTOP, {12, 110, 160, 30}},
  };
  for (Item& item : items) {
    HWND control = CreateWindowExW(0, item.cls, item.text.c_str(), WS_CHILD | WS_VISIBLE | item.style, item.r.left,
                                   item.r.top, item.r.right, item.r.bottom, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
  }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kStartId && HIWORD(wParam) == BN_CLICKED) startNeb01(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  g_arguments = neb::win32::argumentText();
  g_directory = neb::executableDirectory().native();

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  g_font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック");

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = neb::win32::kMenuStandInClass;
  RegisterClassExW(&wc);

  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, 424, 152};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
  HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, neb::win32::kMenuStandInClass, (text::suiteTitle() + text::menuCaption).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  createControls(hwnd, instance);
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);
  SetFocus(GetDlgItem(hwnd, kStartId));

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(hwnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (g_font) DeleteObject(g_font);
  return 0;
}
