#include "ui.hpp"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace e2e {

namespace {

constexpr int kFileNameId = 0x47c;  // Explorer-style dialog: the file-name field
constexpr int kMsgTextId = 0xFFFF;  // message box: its static text

struct EnumData {
  DWORD pid;
  bool all;
  std::vector<HWND> found;
};

BOOL CALLBACK collectTop(HWND hwnd, LPARAM lp) {
  auto* d = reinterpret_cast<EnumData*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == d->pid && (d->all || IsWindowVisible(hwnd))) d->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK collectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND fileNameEdit(HWND dialog) {
  for (HWND h : descendants(dialog)) {
    if (className(h) != L"Edit") continue;
    for (HWND p = h; p && p != dialog; p = GetParent(p)) {
      if (GetDlgCtrlID(p) == kFileNameId) return h;
    }
  }
  return nullptr;
}

bool isDialogClass(HWND h) { return className(h) == L"#32770"; }

}  // namespace

Process::~Process() {
  if (handle_) CloseHandle(handle_);
}

bool Process::start(const std::wstring& applicationPath, const std::wstring& commandLine,
                    const std::wstring& currentDirectory, const std::wstring& outputFile) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back(L'\0');
  HANDLE out = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    out = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0,
                      nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
      si.hStdOutput = out;
      si.hStdError = out;
    }
  }
  const BOOL started = CreateProcessW(
      applicationPath.c_str(), cmd.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0,
      nullptr, currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &si, &pi);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (!started) {
    std::fwprintf(stderr, L"CreateProcessW(%ls) failed: %lu\n", applicationPath.c_str(),
                  GetLastError());
    return false;
  }
  CloseHandle(pi.hThread);
  handle_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

bool Process::waitExit(DWORD timeoutMs) {
  return handle_ && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

bool Process::running() const {
  return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

DWORD Process::exitCode() const {
  DWORD code = STILL_ACTIVE;
  if (handle_) GetExitCodeProcess(handle_, &code);
  return code;
}

void Process::kill() {
  if (running()) {
    TerminateProcess(handle_, 99);
    WaitForSingleObject(handle_, 5000);
  }
}

std::wstring windowText(HWND hwnd) {
  // A fixed buffer and no WM_GETTEXTLENGTH: one round trip, bounded wait.
  wchar_t buf[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return L"<no answer>";
  }
  return std::wstring(buf, std::min<std::size_t>(copied, 4095));
}

std::wstring className(HWND hwnd) {
  wchar_t buf[256] = {};
  int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::vector<HWND> topWindows(DWORD pid, bool all) {
  EnumData d{pid, all, {}};
  EnumWindows(collectTop, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

bool waitFor(const std::function<bool()>& cond, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(15);
  }
}

HWND waitMainWindow(DWORD pid, DWORD timeoutMs) {
  HWND found = nullptr;
  waitFor(
      [&] {
        for (HWND h : topWindows(pid)) {
          if (className(h) == L"NEB01Form1") {
            found = h;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

MessageBoxInfo currentMessageBox(DWORD pid) {
  MessageBoxInfo info;
  for (HWND h : topWindows(pid)) {
    if (!isDialogClass(h) || !GetDlgItem(h, kMsgTextId) || fileNameEdit(h)) continue;
    info.hwnd = h;
    info.caption = windowText(h);
    info.text = windowText(GetDlgItem(h, kMsgTextId));
    auto has = [&](int id) {
      HWND b = GetDlgItem(h, id);
      return b && IsWindowVisible(b);
    };
    info.ok = has(IDOK);
    info.yes = has(IDYES);
    info.no = has(IDNO);
    info.cancel = has(IDCANCEL);
    for (HWND c : descendants(h)) {
      if (className(c) == L"Static" &&
          (GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
          SendMessageW(c, STM_GETICON, 0, 0) != 0) {
        info.icon = true;
      }
    }
    break;
  }
  return info;
}

MessageBoxInfo waitMessageBox(DWORD pid, DWORD timeoutMs, const std::vector<HWND>& seen) {
  MessageBoxInfo info;
  waitFor(
      [&] {
        info = currentMessageBox(pid);
        if (info && std::find(seen.begin(), seen.end(), info.hwnd) != seen.end()) info = {};
        return static_cast<bool>(info);
      },
      timeoutMs);
  return info;
}

bool answer(const MessageBoxInfo& box, int buttonId, DWORD timeoutMs) {
  HWND button = GetDlgItem(box.hwnd, buttonId);
  if (!button) return false;
  PostMessageW(button, BM_CLICK, 0, 0);
  return waitFor([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, timeoutMs);
}

HWND waitFileDialog(DWORD pid, DWORD timeoutMs, HWND notThis) {
  HWND found = nullptr;
  waitFor(
      [&] {
        for (HWND h : topWindows(pid)) {
          if (h != notThis && isDialogClass(h) && fileNameEdit(h)) {
            found = h;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

bool fileDialogOpen(HWND dialog, const std::wstring& fullPath) {
  HWND edit = fileNameEdit(dialog);
  if (!edit) return false;
  DWORD_PTR r = 0;
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fullPath.c_str()),
                      SMTO_ABORTIFHUNG, 5000, &r);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return true;
}

void fileDialogCancel(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

std::vector<std::pair<HWND, std::wstring>> toolTips(const Process& process) {
  std::vector<std::pair<HWND, std::wstring>> tools;
  constexpr std::size_t kChars = 1024;
  for (HWND tip : topWindows(process.pid(), true)) {
    if (className(tip) != L"tooltips_class32") continue;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(tip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    const SIZE_T size = sizeof(TOOLINFOW) + kChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(VirtualAllocEx(process.handle(), nullptr, size,
                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) continue;
    for (DWORD_PTR i = 0; i < count; ++i) {
      std::vector<wchar_t> text(kChars, L'\0');
      TOOLINFOW ti{};
      ti.cbSize = sizeof ti;
      ti.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof ti);
      WriteProcessMemory(process.handle(), remote, &ti, sizeof ti, nullptr);
      WriteProcessMemory(process.handle(), remote + sizeof ti, text.data(), kChars * sizeof(wchar_t),
                         nullptr);
      DWORD_PTR found = 0;
      SendMessageTimeoutW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote),
                          SMTO_ABORTIFHUNG, 5000, &found);
      if (!found) continue;
      ReadProcessMemory(process.handle(), remote, &ti, sizeof ti, nullptr);
      ReadProcessMemory(process.handle(), remote + sizeof ti, text.data(),
                        kChars * sizeof(wchar_t), nullptr);
      text.back() = L'\0';
      HWND tool = (ti.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(ti.uId) : ti.hwnd;
      tools.emplace_back(tool, std::wstring(text.data()));
    }
    VirtualFreeEx(process.handle(), remote, 0, MEM_RELEASE);
  }
  return tools;
}

void click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

bool isChecked(HWND button) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  return r == BST_CHECKED;
}

bool isEnabled(HWND hwnd) { return IsWindowEnabled(hwnd) != FALSE; }

void postMenu(HWND mainWindow, int id) {
  PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool screenshot(const std::vector<HWND>& windows, const std::wstring& bmpPath) {
  RECT area{};
  bool first = true;
  for (HWND h : windows) {
    RECT r;
    if (!h || !GetWindowRect(h, &r)) continue;
    if (first) {
      area = r;
      first = false;
    } else {
      UnionRect(&area, &area, &r);
    }
  }
  if (first) return false;
  InflateRect(&area, 16, 16);
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  area.left = std::max(0L, area.left);
  area.top = std::max(0L, area.top);
  area.right = std::min<LONG>(sw, area.right);
  area.bottom = std::min<LONG>(sh, area.bottom);
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return false;

  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files store it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    SelectObject(mem, old);
    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    HANDLE f = CreateFileW(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD n = 0;
      ok = WriteFile(f, &fh, sizeof fh, &n, nullptr) &&
           WriteFile(f, &bi.bmiHeader, sizeof bi.bmiHeader, &n, nullptr) &&
           WriteFile(f, bits, size, &n, nullptr);
      CloseHandle(f);
    }
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace e2e
