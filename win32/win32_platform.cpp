#include "win32_platform.hpp"

#include <commctrl.h>
#include <cderr.h>
#include <commdlg.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "command_line.hpp"
#include "control_ids.hpp"
#include "system.hpp"
#include "suite_layout.hpp"
#include "system_services.hpp"
#include "texts.hpp"

namespace neb::win32 {
namespace {

using app::Control;

// The window's client area, 5430 x 4005 twips, in pixels at 96 dpi.
constexpr int kClientWidth = 362;
constexpr int kClientHeight = 267;

enum class FontKind { Window, Gothic };

struct ControlSpec {
  ControlId id;
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;
  DWORD exStyle;
  FontKind font;
  RECT bounds;  // left, top, width, height at 96 dpi
};

// Creation order is the tab order: Start, Stop, then the two check boxes.
// The frames come last so that they lie below the controls they hold.
const ControlSpec kControls[] = {
    {kLabel2, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_SUNKEN, 0, FontKind::Gothic,
     {30, 42, 140, 26}},
    {kLabel3, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_SUNKEN, 0, FontKind::Gothic,
     {192, 42, 140, 26}},
    {kCommand1, L"BUTTON", text::start, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, FontKind::Gothic,
     {40, 92, 120, 32}},
    {kCommand2, L"BUTTON", text::stop, BS_PUSHBUTTON | WS_TABSTOP, 0, FontKind::Gothic, {202, 92, 120, 32}},
    {kCheck1, L"BUTTON", text::portableArea, BS_AUTOCHECKBOX | WS_TABSTOP, 0, FontKind::Window,
     {40, 138, 290, 22}},
    {kCheck2, L"BUTTON", text::modeConversion, BS_AUTOCHECKBOX | WS_TABSTOP, 0, FontKind::Window,
     {40, 166, 290, 22}},
    {kLabel1, L"STATIC", text::noFileName, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 0, FontKind::Gothic,
     {12, 208, 338, 56}},
    {kFrame2, L"BUTTON", text::countFrame, BS_GROUPBOX | WS_GROUP, 0, FontKind::Gothic, {18, 20, 326, 60}},
    {kFrame1, L"BUTTON", text::extractFrame, BS_GROUPBOX, 0, FontKind::Gothic, {6, 4, 350, 198}},
};

constexpr std::size_t slot(int id) { return static_cast<std::size_t>(id - kCommand1); }

int scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }

HFONT makeFont(const wchar_t* face, int hundredthsOfPoint, UINT dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(hundredthsOfPoint, static_cast<int>(dpi), 7200);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

// Per-monitor DPI functions exist from Windows 10 1607 on; looked up at run
// time so that the program still starts on older systems.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <class Fn>
Fn user32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return nullptr;
  FARPROC proc = GetProcAddress(user32, name);
  Fn fn;
  static_assert(sizeof fn == sizeof proc);
  std::memcpy(&fn, &proc, sizeof fn);
  return fn;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr DWORD kDialogBufferChars = 32768;

}  // namespace

std::wstring failureText(std::exception_ptr failure, const wchar_t* unknown) {
  try {
    std::rethrow_exception(failure);
  } catch (const IoError& e) {
    return sjisToNativeLossy(SuiteLayout(executableDirectory().native()).failureText(e));
  } catch (const WindowError& e) {
    return text::noWindow + sjisToNativeLossy(systemReason(e.code));
  } catch (const std::bad_alloc&) {
    return text::outOfMemory;
  } catch (const std::runtime_error& e) {  // our own texts, UTF-8
    return utf8ToNative(e.what());
  } catch (...) {
    return unknown;
  }
}

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance), dialogFile_(kDialogBufferChars, L'\0') {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32Platform::windowProc;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));               // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kMainWindowClass;
  // A second window in one process (the tests) finds the class registered.
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) throw WindowError(GetLastError());

  menuBar_ = CreateMenu();
  HMENU op = CreatePopupMenu();
  AppendMenuW(op, MF_STRING, kMenuHamlogSet, text::hamlogSetMenu);
  AppendMenuW(op, MF_STRING, kMenuX, text::menuXMenu);
  AppendMenuW(menuBar_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(op), text::optionMenu);

  window_ = CreateWindowExW(kWindowExStyle, kMainWindowClass, text::windowCaption, kWindowStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, menuBar_, instance_, this);
  if (!window_) throw WindowError(GetLastError());
  dpi_ = windowDpi();
  createFonts(dpi_);
  createControls();
  applyLayout(dpi_);
  centre();
}

Win32Platform::~Win32Platform() {
  // Detached first: this destruction is no reason to end a message loop.
  if (HWND window = std::exchange(window_, nullptr)) DestroyWindow(window);
  if (windowFont_) DeleteObject(windowFont_);
  if (gothicFont_) DeleteObject(gothicFont_);
}

UINT Win32Platform::windowDpi() const {
  static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window_);
    if (dpi) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void Win32Platform::createFonts(UINT dpi) {
  HFONT window = makeFont(text::mincho, 975, dpi);
  HFONT gothic = makeFont(text::pGothic, 900, dpi);
  for (const ControlSpec& item : kControls) {
    HWND hwnd = controls_[slot(item.id)];
    if (hwnd) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(item.font == FontKind::Window ? window : gothic), TRUE);
  }
  if (windowFont_) DeleteObject(windowFont_);
  if (gothicFont_) DeleteObject(gothicFont_);
  windowFont_ = window;
  gothicFont_ = gothic;
}

void Win32Platform::createControls() {
  for (const ControlSpec& item : kControls) {
    HWND hwnd = CreateWindowExW(item.exStyle, item.className, item.text, WS_CHILD | WS_VISIBLE | item.style, 0, 0,
                                0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance_,
                                nullptr);
    if (!hwnd) throw WindowError(GetLastError());
    controls_[slot(item.id)] = hwnd;
    SendMessageW(hwnd, WM_SETFONT,
                 reinterpret_cast<WPARAM>(item.font == FontKind::Window ? windowFont_ : gothicFont_), FALSE);
  }

  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_,
                             nullptr);
  if (!tooltip_) return;  // tips are a help, not a need
  const std::pair<int, const wchar_t*> tips[] = {
      {kCheck1, text::portableAreaTip},
      {kCheck2, text::modeConversionTip},
  };
  for (const auto& [id, text] : tips) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = window_;
    ti.uId = reinterpret_cast<UINT_PTR>(controls_[slot(id)]);
    ti.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void Win32Platform::applyLayout(UINT dpi) {
  for (const ControlSpec& item : kControls) {
    const RECT& b = item.bounds;
    SetWindowPos(controls_[slot(item.id)], nullptr, scale(b.left, dpi), scale(b.top, dpi), scale(b.right, dpi),
                 scale(b.bottom, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32Platform::centre() {
  RECT frame{0, 0, scale(kClientWidth, dpi_), scale(kClientHeight, dpi_)};
  static const auto adjustForDpi = user32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(&frame, kWindowStyle, TRUE, kWindowExStyle, dpi_))
    AdjustWindowRectEx(&frame, kWindowStyle, TRUE, kWindowExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // The screen is the primary monitor, as the window system measures it.
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int left = static_cast<int>((static_cast<double>(screenWidth) - width) / 2.0);
  const int top = static_cast<int>((static_cast<double>(screenHeight) - height) / 2.0);
  SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Win32Platform::control(Control c) const {
  switch (c) {
    case Control::Command1: return controls_[slot(kCommand1)];
    case Control::Command2: return controls_[slot(kCommand2)];
    case Control::Check1: return controls_[slot(kCheck1)];
    case Control::Check2: return controls_[slot(kCheck2)];
    case Control::Label1: return controls_[slot(kLabel1)];
    case Control::Label2: return controls_[slot(kLabel2)];
    case Control::Label3: return controls_[slot(kLabel3)];
    case Control::Op: return nullptr;
  }
  return nullptr;
}

void Win32Platform::load() {
  forward([](app::Form1& f) { f.Form_Load(); });
}

void Win32Platform::show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
}

int Win32Platform::run() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) dispatch(msg);
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

template <class Handler>
void Win32Platform::forward(Handler handler) {
  if (!form_) return;
  try {
    handler(*form_);
  } catch (...) {
    MessageBoxW(window_, failureText(std::current_exception(), text::unexpected).c_str(), text::appTitle().c_str(), MB_OK | MB_ICONSTOP);
    ExitProcess(1);
  }
}

void Win32Platform::onCommand(int id, int code) {
  switch (id) {
    case kCommand1:
      if (code == BN_CLICKED) forward([](app::Form1& f) { f.Command1_Click(); });
      break;
    case kCommand2:
      if (code == BN_CLICKED) forward([](app::Form1& f) { f.Command2_Click(); });
      break;
    case kMenuHamlogSet:
      if (code == 0) forward([](app::Form1& f) { f.hamlog_set_Click(); });
      break;
    case kMenuX:
      if (code == 0) forward([](app::Form1& f) { f.MENU_X_Click(); });
      break;
    default:
      break;
  }
}

LRESULT CALLBACK Win32Platform::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->window_ == hwnd) return self->handle(message, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Platform::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      createFonts(dpi_);
      applyLayout(dpi_);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // The close is never refused and never merely destroys the window:
      // unload processing hands off to the suite menu and ends the process.
      if (form_) {
        forward([](app::Form1& f) { f.Form_Unload(); });
        return 0;
      }
      break;
    // Windows sends the question and may end the process soon after TRUE; the
    // unload is quick and loses nothing even when another program then keeps
    // the session, so it happens at the question (and at an unasked end).
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
      if (form_ && (message == WM_QUERYENDSESSION || wParam)) {
        forward([](app::Form1& f) { f.Form_Unload(); });
        return TRUE;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

app::Answer Win32Platform::messageBox(std::string_view text, std::string_view caption, app::Buttons buttons,
                                      app::Icon icon) {
  UINT type = buttons == app::Buttons::YesNo ? MB_YESNO : MB_OK;
  if (icon == app::Icon::Exclamation) type |= MB_ICONEXCLAMATION;
  const int result = MessageBoxW(window_, sjisToNativeLossy(text).c_str(), sjisToNativeLossy(caption).c_str(), type);
  if (result == IDYES) return app::Answer::Yes;
  if (result == IDNO) return app::Answer::No;
  return app::Answer::Ok;
}

void Win32Platform::nameBox(const NativeString& name, std::string_view sjisText, std::string_view caption) {
  const std::wstring text = name + L"\n" + sjisToNativeLossy(sjisText);
  MessageBoxW(window_, text.c_str(), sjisToNativeLossy(caption).c_str(), MB_OK);
}

app::OpenFileResult Win32Platform::openFileDialog(const app::OpenFileRequest& request) {
  const std::wstring title = sjisToNativeLossy(request.title);
  const std::wstring filter = dialogFilter(sjisToNativeLossy(request.filter));
  std::vector<wchar_t> fileTitle(kDialogBufferChars, L'\0');

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = dialogFile_.data();
  ofn.nMaxFile = kDialogBufferChars;
  ofn.lpstrFileTitle = fileTitle.data();
  ofn.nMaxFileTitle = kDialogBufferChars;
  ofn.lpstrTitle = title.c_str();
  // OFN_NOCHANGEDIR: a relative environment file path must keep naming the
  // same file after the dialog.
  ofn.Flags = request.flags | OFN_EXPLORER | OFN_NOCHANGEDIR;

  app::OpenFileResult result;
  BOOL chosen = GetOpenFileNameW(&ofn);
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME && dialogFile_[0]) {
    // The remembered name no longer suits the dialog: start afresh.
    dialogFile_[0] = L'\0';
    chosen = GetOpenFileNameW(&ofn);
  }
  if (!chosen) {
    if (const DWORD error = CommDlgExtendedError()) {
      const std::wstring box = text::noOpenDialog + std::to_wstring(error) + L")";
      MessageBoxW(window_, box.c_str(), text::appTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
    }
    return result;
  }
  result.cancelled = false;
  result.fullPath = dialogFile_.data();
  result.fileTitle = fileTitle.data();
  return result;
}

void Win32Platform::setCaption(Control c, std::string_view sjisText) {
  const std::wstring text = sjisToNativeLossy(sjisText);
  if (c == Control::Op) {
    ModifyMenuW(menuBar_, 0, MF_BYPOSITION | MF_STRING | MF_POPUP,
                reinterpret_cast<UINT_PTR>(GetSubMenu(menuBar_, 0)), text.c_str());
    DrawMenuBar(window_);
    return;
  }
  HWND hwnd = control(c);
  SetWindowTextW(hwnd, text.c_str());
  // Painted now, not at the next pump: the run may not pump again before
  // the long final copy, and the count must be on screen during it.
  UpdateWindow(hwnd);
}

void Win32Platform::setEnabled(Control c, bool enabled) {
  if (c == Control::Op) {
    EnableMenuItem(menuBar_, 0, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(window_);
    return;
  }
  HWND hwnd = control(c);
  // A disabled control keeps the focus otherwise, and the keyboard goes dead.
  if (!enabled && GetFocus() == hwnd) {
    HWND next = GetNextDlgTabItem(window_, hwnd, FALSE);
    SetFocus(next && next != hwnd ? next : window_);
  }
  EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool Win32Platform::isChecked(Control c) {
  HWND hwnd = control(c);
  return hwnd && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Platform::setBusyCursor(bool busy) {
  busy_ = busy;
  POINT pt;
  if (!GetCursorPos(&pt)) return;
  HWND under = WindowFromPoint(pt);
  if (under == window_ || IsChild(window_, under))
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 : 32512)));  // IDC_WAIT : IDC_ARROW
}

void Win32Platform::processMessages() { pump(); }

bool Win32Platform::WindowWait::pause(std::chrono::milliseconds d) {
  if (GetCurrentThreadId() != thread_) {
    Sleep(static_cast<DWORD>(d.count()));
    return true;
  }
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(d.count());
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    platform_.pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
  platform_.pump();
  return true;
}

void Win32Platform::pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop
      return;
    }
    dispatch(msg);
  }
}

void Win32Platform::dispatch(MSG& msg) {
  // The dialog manager presses only the default button on Enter, and a button
  // focused by a mouse press released off it never becomes the default.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == GetFocus() &&
      (msg.hwnd == controls_[slot(kCommand1)] || msg.hwnd == controls_[slot(kCommand2)])) {
    // A held key repeats: Start gives the focus to Stop, which the repeat
    // must not press.
    const bool repeat = (msg.lParam & (1L << 30)) != 0;
    if (!repeat && IsWindowEnabled(msg.hwnd))
      SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(msg.hwnd), BN_CLICKED),
                   reinterpret_cast<LPARAM>(msg.hwnd));
    return;
  }
  if (!IsDialogMessageW(window_, &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::uint64_t Win32Platform::tickMs() { return GetTickCount64(); }

void Win32Platform::startProcess(const NativeString& commandLine) { win32::startProcess(commandLine); }

void Win32Platform::endProcess() { ExitProcess(0); }

void Win32Platform::dismissHelp(const NativeString& helpFile) { win32::dismissHelp(window_, helpFile); }

NativeString Win32Platform::applicationDirectory() { return executableDirectory().native(); }

NativeString Win32Platform::argumentText() { return win32::argumentText(); }

}  // namespace neb::win32
