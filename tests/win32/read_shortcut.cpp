// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a Windows shortcut (.lnk) through the shell's own IShellLink, as Explorer does when the
// operator opens it, and prints what it starts, one line each in UTF-8: the target, its arguments
// and its working folder. Exit code 1 when the shortcut cannot be read.
//
//   read_shortcut.exe SHORTCUT.lnk
#include <windows.h>
// The shell's headers after windows.h, which they build on.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace {

void print(const std::wstring& text) {
  const std::string line = orvane::narrow(text) + "\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct Released {
  Interface* p = nullptr;
  ~Released() {
    if (p != nullptr) p->Release();
  }
};

int readShortcut(const wchar_t* path) {
  Released<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))))
    return 1;
  Released<IPersistFile> file;
  if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) ||
      FAILED(file.p->Load(path, STGM_READ)))
    return 1;
  wchar_t target[MAX_PATH] = {};
  wchar_t arguments[1024] = {};
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(link.p->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) ||
      FAILED(link.p->GetArguments(arguments, 1024)) ||
      FAILED(link.p->GetWorkingDirectory(folder, MAX_PATH)))
    return 1;
  print(target);
  print(arguments);
  print(folder);
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count != 2) return 2;
  if (FAILED(::CoInitialize(nullptr))) return 1;
  const int status = readShortcut(arguments[1]);
  ::CoUninitialize();
  ::LocalFree(arguments);
  return status;
}
