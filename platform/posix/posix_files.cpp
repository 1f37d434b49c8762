// SPDX-License-Identifier: GPL-3.0-or-later
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace orvane {
namespace {

// Writes all of text, going on after short writes. False on the first error.
bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(UniqueFd fd) : fd_(std::move(fd)) {}
  bool write(std::string_view text) override { return writeAll(fd_.get(), text); }

 private:
  UniqueFd fd_;
};

struct SplitPath {
  std::string directory;  // "" for a bare name: the working directory
  std::string name;
};

SplitPath splitPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

std::vector<std::string> directoryEntries(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  return names;
}

// The mode the new contents get: the old file's, or the usual mode of a new file.
mode_t modeForReplacement(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) return st.st_mode & 07777;
  return 0644;
}

bool syncDirectory(const std::string& directory) {
  UniqueFd dir(
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir && ::fsync(dir.get()) == 0;
}

// Writes contents into a new file beside name, on the disk when this returns. The temporary
// file's name, or nothing (and no file left behind) on failure.
std::optional<std::string> writeTemporaryBeside(const std::string& name,
                                                std::string_view contents) {
  std::string temp = name + ".XXXXXX";
  UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return std::nullopt;
  const bool ok = ::fchmod(fd.get(), modeForReplacement(name)) == 0 &&
                  writeAll(fd.get(), contents) && ::fsync(fd.get()) == 0 &&
                  ::close(fd.release()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return std::nullopt;
  }
  return temp;
}

// The file a replacement of name writes: name itself, or for a symbolic link the file it leads to,
// so that an operator who keeps memory.dat elsewhere behind a link keeps the link.
std::string replacedPath(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
  char resolved[PATH_MAX];
  if (::realpath(name.c_str(), resolved) == nullptr) return name;
  return resolved;
}

// path itself when it is a regular file, else the first regular file of its directory whose name
// matches ignoring case.
std::optional<std::string> findInDirectory(const std::string& path) {
  if (isRegularFile(path)) return path;
  const SplitPath split = splitPath(path);
  if (split.name.empty()) return std::nullopt;
  std::optional<std::string> found;
  for (const std::string& entry : directoryEntries(split.directory)) {
    if (!equalIgnoringCase(entry, split.name)) continue;
    const std::string candidate = split.directory + entry;
    if (isRegularFile(candidate) && (!found || candidate < *found)) found = candidate;
  }
  return found;
}

}  // namespace

std::optional<std::string> PosixFileSystem::readFile(const std::string& name) {
  // Not waiting in open() for a writer: a FIFO under the file's name would otherwise stop the
  // panel before its window is drawn; a FIFO or a device is not the operator's file anyway.
  UniqueFd fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string contents;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return contents;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;  // also a directory: EISDIR
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
}

bool PosixFileSystem::exists(const std::string& name) const {
  struct stat st {};
  return ::lstat(name.c_str(), &st) == 0 || errno != ENOENT;
}

std::unique_ptr<OutputFile> PosixFileSystem::createFile(const std::string& name) {
  UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd) return nullptr;
  return std::make_unique<PosixOutputFile>(std::move(fd));
}

bool PosixFileSystem::replaceFile(const std::string& name, std::string_view contents) {
  const std::string target = replacedPath(name);
  const auto temp = writeTemporaryBeside(target, contents);
  if (!temp) return false;
  if (::rename(temp->c_str(), target.c_str()) != 0) {
    ::unlink(temp->c_str());
    return false;
  }
  // The rename has happened and the old contents are gone, so a failing directory flush cannot be
  // reported as "old file untouched"; it only leaves the rename to the next regular write-back.
  syncDirectory(splitPath(target).directory);
  return true;
}

std::optional<std::string> PosixFileSystem::findFile(const std::string& path) {
  return fallbacks_.find(path, findInDirectory);
}

void PosixFileSystem::addFallbackDirectory(std::string prefix, std::string directory) {
  fallbacks_.add(std::move(prefix), std::move(directory), '/');
}

std::string besideExecutable(std::string_view relative) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  const std::string program(self, static_cast<std::size_t>(n));
  const std::string directory = splitPath(program).directory;
  if (directory.empty()) return {};
  return directory + std::string(relative);
}

}  // namespace orvane
