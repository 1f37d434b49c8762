// SPDX-License-Identifier: GPL-3.0-or-later
#include <limits>

#include "platform/win32/disk_file.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

namespace orvane {
namespace {

// The most a single ReadFile or WriteFile is asked to move.
constexpr DWORD kMaxChunk = 1u << 20;

DWORD chunkOf(std::size_t remaining) {
  return remaining > kMaxChunk ? kMaxChunk : static_cast<DWORD>(remaining);
}

bool writeAll(HANDLE file, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteFile(file, text.data(), chunkOf(text.size()), &written, nullptr) || written == 0)
      return false;
    text.remove_prefix(written);
  }
  return true;
}

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(UniqueHandle file) : file_(std::move(file)) {}
  bool write(std::string_view text) override { return writeAll(file_.get(), text); }

 private:
  UniqueHandle file_;
};

// The folder a name lies in, for the temporary file beside it: "." for a bare name.
std::wstring folderOf(const std::wstring& name) {
  const auto slash = name.find_last_of(L"/\\");
  if (slash == std::wstring::npos) return L".";
  return name.substr(0, slash + 1);
}

// Writes contents into a new file beside name, on the disk when this returns. The temporary
// file's name, or nothing (and no file left behind) on failure.
std::optional<std::wstring> writeTemporaryBeside(const std::wstring& name,
                                                 std::string_view contents) {
  wchar_t temp[MAX_PATH] = {};
  if (::GetTempFileNameW(folderOf(name).c_str(), L"orv", 0, temp) == 0) return std::nullopt;
  UniqueHandle file(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool ok = file && writeAll(file.get(), contents) && ::FlushFileBuffers(file.get());
  file.reset();
  if (!ok) {
    ::DeleteFileW(temp);
    return std::nullopt;
  }
  return std::wstring(temp);
}

bool isFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::optional<std::string> readDiskFile(const std::string& name, std::size_t maxBytes) {
  UniqueHandle file(::CreateFileW(widen(name).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
  std::string contents;
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) return contents;
    if (got > maxBytes - contents.size()) return std::nullopt;
    contents.append(buffer, got);
  }
}

std::optional<std::string> Win32FileSystem::readFile(const std::string& name) {
  return readDiskFile(name, std::numeric_limits<std::size_t>::max());
}

bool Win32FileSystem::exists(const std::string& name) const {
  if (::GetFileAttributesW(widen(name).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = ::GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
         error != ERROR_INVALID_NAME;
}

std::unique_ptr<OutputFile> Win32FileSystem::createFile(const std::string& name) {
  UniqueHandle file(::CreateFileW(widen(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32OutputFile>(std::move(file));
}

bool Win32FileSystem::replaceFile(const std::string& name, std::string_view contents) {
  const std::wstring target = widen(name);
  // Checked first: MoveFileExW would put a file in place of an empty folder.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && isFolder(attributes)) return false;
  const auto temp = writeTemporaryBeside(target, contents);
  if (!temp) return false;
  if (!::MoveFileExW(temp->c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temp->c_str());
    return false;
  }
  return true;
}

std::optional<std::string> Win32FileSystem::findFile(const std::string& path) {
  return fallbacks_.find(path, [](const std::string& name) -> std::optional<std::string> {
    const DWORD attributes = ::GetFileAttributesW(widen(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || isFolder(attributes)) return std::nullopt;
    return name;
  });
}

void Win32FileSystem::addFallbackDirectory(std::string prefix, std::string directory) {
  fallbacks_.add(std::move(prefix), std::move(directory), '\\');
}

std::string besideExecutable(std::string_view relative) {
  // Long enough for any path Windows gives a program: 32767 characters and the terminator.
  std::wstring self(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (length == 0 || length >= self.size()) return {};
  self.resize(length);
  const auto slash = self.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  return narrow(self.substr(0, slash + 1)) + std::string(relative);
}

LocalDateTime Win32Clock::localNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace orvane
