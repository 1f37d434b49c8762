// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows file services on real files, in a folder of their own.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

namespace orvane {
namespace {

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
    folder_ = std::wstring(temp) + L"orvane-files-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    ASSERT_TRUE(::GetCurrentDirectoryW(MAX_PATH, previous_));
    ASSERT_TRUE(::SetCurrentDirectoryW(folder_.c_str()));
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(previous_);
    removeFolder(folder_);
  }

  static void removeFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          removeFolder(path);
        } else {
          ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          ::DeleteFileW(path.c_str());
        }
      } while (::FindNextFileW(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
  }

  // The names in the working folder, sorted, so that a temporary file left behind shows.
  static std::string listing() {
    std::string names;
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA("*", &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names += name + " ";
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
  }

  Win32FileSystem files_;
  std::wstring folder_;
  wchar_t previous_[MAX_PATH] = {};
};

TEST_F(Win32Files, ReplacingWritesTheWholeFileAndLeavesNothingBeside) {
  ASSERT_TRUE(files_.replaceFile("memory.dat", "FA00007100000\r\n"));
  ASSERT_TRUE(files_.replaceFile("memory.dat", "FA00014195000\r\n9\r\n"));
  EXPECT_EQ(files_.readFile("memory.dat"), "FA00014195000\r\n9\r\n");
  EXPECT_EQ(listing(), "memory.dat ");
}

TEST_F(Win32Files, AReplacementThatCannotBeMadeLeavesTheOldFileAsItWas) {
  // A folder under the name: the panel never puts a file in its place.
  ASSERT_TRUE(::CreateDirectoryW(L"memory.dat", nullptr));
  EXPECT_FALSE(files_.replaceFile("memory.dat", "FA00014195000\r\n"));
  EXPECT_EQ(::GetFileAttributesW(L"memory.dat") & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  // A folder that does not exist: nothing can be written there at all.
  EXPECT_FALSE(files_.replaceFile("missing\\memory.dat", "FA00014195000\r\n"));
  EXPECT_EQ(listing(), "memory.dat ");
}

TEST_F(Win32Files, ExistsTellsAnythingUnderTheNameFromNothing) {
  ASSERT_TRUE(files_.replaceFile("orvane.cfg", "port 3\r\n"));
  ASSERT_TRUE(::CreateDirectoryW(L"wave", nullptr));
  EXPECT_TRUE(files_.exists("orvane.cfg"));
  EXPECT_TRUE(files_.exists("wave"));
  EXPECT_FALSE(files_.exists("memory.dat"));
  EXPECT_FALSE(files_.exists("missing/memory.dat"));
  EXPECT_FALSE(files_.readFile("wave"));
  EXPECT_FALSE(files_.readFile("memory.dat"));
}

TEST_F(Win32Files, TheDebugLogIsEmptiedWhenCreatedAndHoldsEveryLineWrittenSince) {
  ASSERT_TRUE(files_.replaceFile("debug.dat", "an older run\r\n"));
  auto log = files_.createFile("debug.dat");
  ASSERT_TRUE(log);
  ASSERT_TRUE(log->write("TX=FA;\r\n"));
  ASSERT_TRUE(log->write("RX=FA00007100000;\r\n"));
  // Read while the log is still open, as an operator looking at it would.
  EXPECT_EQ(files_.readFile("debug.dat"), "TX=FA;\r\nRX=FA00007100000;\r\n");
}

TEST_F(Win32Files, ClipsAreFoundWhateverTheCaseOfTheirNames) {
  ASSERT_TRUE(::CreateDirectoryW(L"wave", nullptr));
  ASSERT_TRUE(files_.replaceFile("wave/power.wav", "RIFF"));
  EXPECT_TRUE(files_.findFile("wave/Power.wav"));
  EXPECT_FALSE(files_.findFile("wave/SWR.wav"));
  EXPECT_FALSE(files_.findFile("wave"));
}

// An installed station: orvane.exe and its clip set under Program Files, the station's own folder
// elsewhere. The station's own recordings win clip by clip, the installed set speaks the rest.
TEST_F(Win32Files, ClipsTheStationHasNotAreFoundInTheInstalledSet) {
  ASSERT_TRUE(::CreateDirectoryW(L"installed", nullptr));
  ASSERT_TRUE(::CreateDirectoryW(L"installed\\wave", nullptr));
  ASSERT_TRUE(::CreateDirectoryW(L"wave", nullptr));
  for (const char* name : {"installed/wave/ts.wav", "installed/wave/ok.wav", "wave/TS.wav"})
    ASSERT_TRUE(files_.replaceFile(name, "RIFF"));
  files_.addFallbackDirectory("wave/", "installed\\wave");
  EXPECT_EQ(files_.findFile("wave/ts.wav"), "wave/ts.wav");
  EXPECT_EQ(files_.findFile("wave/ok.wav"), "installed\\wave\\ok.wav");
  EXPECT_EQ(files_.findFile("wave/nc.wav"), std::nullopt);
  EXPECT_EQ(files_.findFile("ok.wav"), std::nullopt);
}

TEST(Win32BesideExecutable, NamesAPlaceInTheRunningProgramsFolder) {
  wchar_t self[MAX_PATH] = {};
  ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::wstring program(self);
  const std::string name = narrow(program.substr(program.find_last_of(L"\\/") + 1));
  // The test program itself lies in the folder it names.
  EXPECT_NE(::GetFileAttributesW(widen(besideExecutable(name)).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(::GetFileAttributesW(widen(besideExecutable("")).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace orvane
