// SPDX-License-Identifier: GPL-3.0-or-later
// Files and clock on the real machine: whole-file reads, the debug log's immediate writes, the
// memory file's all-or-nothing replacement, case-insensitive clip lookup, local time.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "platform/posix/posix_platform.h"
#include "platform/posix/temp_dir.h"

namespace orvane {
namespace {

using orvane::testing::TempDir;

std::string contentsOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> namesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

class PosixFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir.path().empty()); }
  TempDir dir;
  PosixFileSystem files;
};

TEST_F(PosixFilesTest, ReadFileGivesTheWholeFileOrNothing) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += "line " + std::to_string(i) + "\r\n";
  big += std::string("\0\xff end", 6);
  writeFile(dir / "memory.dat", big);
  EXPECT_EQ(files.readFile(dir / "memory.dat"), big);
  writeFile(dir / "empty", "");
  EXPECT_EQ(files.readFile(dir / "empty"), "");
  EXPECT_EQ(files.readFile(dir / "missing"), std::nullopt);
  EXPECT_EQ(files.readFile(dir.path()), std::nullopt);
  // A FIFO nobody writes to would hold open() or read() for ever; a device is not a file either.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  EXPECT_EQ(files.readFile(dir / "fifo"), std::nullopt);
  EXPECT_EQ(files.readFile("/dev/zero"), std::nullopt);
}

TEST_F(PosixFilesTest, ExistsTellsAnUnreadableFileFromAMissingOne) {
  writeFile(dir / "locked", "x");
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
  std::filesystem::create_directory(dir / "directory");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  for (const char* name : {"locked", "directory", "dangling"}) {
    EXPECT_TRUE(files.exists(dir / name)) << name;
  }
  EXPECT_FALSE(files.exists(dir / "missing"));
  EXPECT_FALSE(files.exists(dir / "nowhere"));
}

TEST_F(PosixFilesTest, CreateFileEmptiesTheOldFileAndEachWriteIsOnTheDiskAtOnce) {
  writeFile(dir / "debug.dat", "an old run's log that is much longer than the new one\r\n");
  auto log = files.createFile(dir / "debug.dat");
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(contentsOf(dir / "debug.dat"), "");
  ASSERT_TRUE(log->write("ORVANEX 1.9\r\n"));
  EXPECT_EQ(contentsOf(dir / "debug.dat"), "ORVANEX 1.9\r\n");
  ASSERT_TRUE(log->write("TX=FA;\r\n"));
  EXPECT_EQ(contentsOf(dir / "debug.dat"), "ORVANEX 1.9\r\nTX=FA;\r\n");
  log.reset();
  EXPECT_EQ(contentsOf(dir / "debug.dat"), "ORVANEX 1.9\r\nTX=FA;\r\n");
  EXPECT_EQ(files.createFile(dir / "no-such-dir/debug.dat"), nullptr);
}

TEST_F(PosixFilesTest, ReplaceFileCreatesOrReplacesAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(files.replaceFile(dir / "memory.dat", "first\r\n"));
  EXPECT_EQ(contentsOf(dir / "memory.dat"), "first\r\n");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "memory.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);

  ASSERT_EQ(::chmod((dir / "memory.dat").c_str(), 0600), 0);
  ASSERT_TRUE(files.replaceFile(dir / "memory.dat", "second\r\n"));
  EXPECT_EQ(contentsOf(dir / "memory.dat"), "second\r\n");
  ASSERT_EQ(::stat((dir / "memory.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"memory.dat"});
}

TEST_F(PosixFilesTest, ReplaceFileThroughALinkKeepsTheLinkAndReplacesItsFile) {
  std::filesystem::create_directory(dir / "elsewhere");
  writeFile(dir / "elsewhere/memory.dat", "old\r\n");
  std::filesystem::create_symlink(dir / "elsewhere/memory.dat", dir / "memory.dat");
  ASSERT_TRUE(files.replaceFile(dir / "memory.dat", "new\r\n"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "memory.dat"));
  EXPECT_EQ(contentsOf(dir / "elsewhere/memory.dat"), "new\r\n");
  EXPECT_EQ(namesIn(dir / "elsewhere"), std::set<std::string>{"memory.dat"});
}

TEST_F(PosixFilesTest, FailedRenameKeepsTheOldAndRemovesTheTemporaryFile) {
  // A directory in the way of the name: everything is written, only the rename fails.
  std::filesystem::create_directory(dir / "memory.dat");
  writeFile(dir / "memory.dat/keep", "old");
  EXPECT_FALSE(files.replaceFile(dir / "memory.dat", "new contents"));
  EXPECT_EQ(contentsOf(dir / "memory.dat/keep"), "old");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"memory.dat"});
  EXPECT_FALSE(files.replaceFile(dir / "missing-dir/memory.dat", "x"));
}

// Runs f in a child process and returns its exit status. With dropRoot, a test run as root runs f
// as an unprivileged user instead (root writes into read-only directories).
int inChildProcess(const std::function<int()>& f, bool dropRoot) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (dropRoot && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
    ::_exit(f());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(PosixFilesTest, ReadOnlyDirectoryKeepsTheOldFile) {
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string sub = dir / "ro";
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  writeFile(sub + "/memory.dat", "old memory\r\n");
  ASSERT_EQ(::chmod((sub + "/memory.dat").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
  const int status = inChildProcess(
      [&] {
        PosixFileSystem theirs;
        return theirs.replaceFile(sub + "/memory.dat", "new memory\r\n") ? 1 : 0;
      },
      true);
  ::chmod(sub.c_str(), 0755);
  ASSERT_NE(status, 99) << "could not drop privileges";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(contentsOf(sub + "/memory.dat"), "old memory\r\n");
  EXPECT_EQ(namesIn(sub), std::set<std::string>{"memory.dat"});
}

TEST_F(PosixFilesTest, FailedWriteKeepsTheOldFile) {
  writeFile(dir / "memory.dat", "old memory\r\n");
  // A full disk, as far as this process is concerned: files may not grow beyond 16 bytes.
  const int status = inChildProcess(
      [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{16, 16};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return 98;
        PosixFileSystem theirs;
        return theirs.replaceFile(dir / "memory.dat", std::string(4096, 'x')) ? 1 : 0;
      },
      false);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(contentsOf(dir / "memory.dat"), "old memory\r\n");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"memory.dat"});
}

TEST_F(PosixFilesTest, FindFileMatchesTheNameIgnoringCase) {
  const std::string wave = dir / "wave";
  std::filesystem::create_directory(wave);
  writeFile(wave + "/Power.wav", "RIFF");
  writeFile(wave + "/SWR.WAV", "RIFF");
  writeFile(wave + "/ef.wav", "RIFF");
  std::filesystem::create_directory(wave + "/dir.wav");
  const struct {
    std::string asked;
    std::optional<std::string> found;
  } cases[] = {
      {wave + "/Power.wav", wave + "/Power.wav"},  // exact
      {wave + "/power.wav", wave + "/Power.wav"},
      {wave + "/swr.wav", wave + "/SWR.WAV"},
      {wave + "/EF.wav", wave + "/ef.wav"},
      {wave + "/DIR.WAV", std::nullopt},  // directories are not clips
      {wave + "/powe.wav", std::nullopt},
      {wave + "/", std::nullopt},
      {dir / "nowhere/power.wav", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.asked);
    EXPECT_EQ(files.findFile(c.asked), c.found);
  }
}

TEST_F(PosixFilesTest, FindFileTakesTheFirstOfSeveralCaseVariants) {
  writeFile(dir / "delay.wav", "a");
  writeFile(dir / "Delay.WAV", "b");
  writeFile(dir / "DELAY.wav", "c");
  EXPECT_EQ(files.findFile(dir / "dElAy.wav"), dir / "DELAY.wav");
  EXPECT_EQ(files.findFile(dir / "delay.wav"), dir / "delay.wav");
}

TEST_F(PosixFilesTest, RelativeNamesAreTakenInTheWorkingDirectory) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::filesystem::create_directory("wave");
  writeFile("wave/Connected.wav", "RIFF");
  const auto found = files.findFile("wave/connected.wav");
  const bool replaced = files.replaceFile("memory.dat", "m\r\n");
  const auto read = files.readFile("memory.dat");
  writeFile("orvane.cfg", "port 3\r\n");
  const auto cfg = files.findFile("ORVANE.CFG");
  std::filesystem::current_path(previous);
  EXPECT_EQ(found, "wave/Connected.wav");
  EXPECT_TRUE(replaced);
  EXPECT_EQ(read, "m\r\n");
  EXPECT_EQ(cfg, "orvane.cfg");
}

// The station's own recordings win, clip by clip; the installed set speaks the rest, and only for
// paths under the fallback's prefix.
TEST_F(PosixFilesTest, FindFileFallsBackToTheInstalledSetFileByFile) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const std::string installed = dir / "share/orvane/wave";
  std::filesystem::create_directories(installed);
  for (const char* name : {"ts.wav", "Power.wav", "ok.wav", "delay.wav"})
    writeFile(installed + "/" + name, "RIFF");
  std::filesystem::create_directory("wave");
  writeFile("wave/TS.wav", "own");
  writeFile("delay.wav", "not a clip");
  files.addFallbackDirectory("wave/", installed);
  const struct {
    std::string asked;
    std::optional<std::string> found;
  } cases[] = {
      {"wave/ts.wav", "wave/TS.wav"},  // an own recording, in another letter case
      {"wave/power.wav", installed + "/Power.wav"},
      {"wave/ok.wav", installed + "/ok.wav"},
      {"wave/nc.wav", std::nullopt},   // in neither set
      {"delay.wav", "delay.wav"},      // outside wave/: the working directory only
      {"ok.wav", std::nullopt},        // not redirected without the prefix
      {"waves/ok.wav", std::nullopt},  // the prefix is a whole directory name
  };
  std::vector<std::optional<std::string>> found;
  for (const auto& c : cases) found.push_back(files.findFile(c.asked));
  // Without a wave/ of its own at all, every clip comes from the installed set.
  std::filesystem::remove_all("wave");
  const auto withoutOwnSet = files.findFile("wave/ts.wav");
  std::filesystem::current_path(previous);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].asked);
    EXPECT_EQ(found[i], cases[i].found);
  }
  EXPECT_EQ(withoutOwnSet, installed + "/ts.wav");
}

TEST(BesideExecutableTest, NamesAPlaceBesideTheRunningProgram) {
  const std::string path = besideExecutable("../share/orvane/wave");
  const auto self = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(path, self.parent_path().string() + "/../share/orvane/wave");
}

TEST(PosixClockTest, GivesLocalNotUniversalTime) {
  const char* oldTz = ::getenv("TZ");
  const std::string saved = oldTz != nullptr ? oldTz : "";
  // Three hours east of Greenwich, no summer time.
  ::setenv("TZ", "XXX-3", 1);
  ::tzset();
  PosixClock clock;
  LocalDateTime local{};
  std::tm utc{};
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::time_t before = std::time(nullptr);
    local = clock.localNow();
    ::gmtime_r(&before, &utc);
    if (utc.tm_sec == local.second) break;  // no second boundary in between
  }
  if (oldTz != nullptr) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  EXPECT_EQ(local.hour, (utc.tm_hour + 3) % 24);
  EXPECT_EQ(local.minute, utc.tm_min);
  EXPECT_GE(local.year, 2024);
  EXPECT_GE(local.month, 1);
  EXPECT_LE(local.month, 12);
  EXPECT_GE(local.day, 1);
  EXPECT_LE(local.day, 31);
}

}  // namespace
}  // namespace orvane
