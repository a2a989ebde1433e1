#include "librarybuild/CompileProcs.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "TestSupport.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

std::string MessageOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const Exception &error) {
    return error.Message();
  }
  return "no error";
}

TEST(FileOperations, CopiesReplaceTargetsAndCarryTheRunsTimeStamp) {
  TTempFolder folder;
  WriteTextFile(folder / "src\\ZelDefs.inc", "new");
  WriteTextFile(folder / "lib\\ZelDefs.inc", "old");
  CopyFileInto(folder / "src", "ZelDefs.inc", folder / "lib");
  EXPECT_EQ(ReadTextFile(folder / "lib\\ZelDefs.inc"), "new");
  EXPECT_EQ(Fs::LastWriteTime(folder / "lib\\ZelDefs.inc").value_or(0), FileTimeFromDosDateTime(RunStartFileDate));
  EXPECT_EQ(MessageOf([&] { CopyFileInto(folder / "src", "Missing.res", folder / "lib"); }),
            "Cannot copy file: " + (folder / "src\\Missing.res") + " to " + (folder / "lib\\Missing.res"));
}

TEST(FileOperations, PathsBeyondTheClassicLimitAreRefusedBeforeCopying) {
  TTempFolder folder;
  WriteTextFile(folder / "a.txt", "x");
  std::string deep = folder.Path() + "\\" + std::string(250, 'd');
  std::string target = deep + "\\a.txt";
  ASSERT_GT(target.size(), MaxPathLength);
  EXPECT_EQ(MessageOf([&] { CopyFileChecked(folder / "a.txt", target); }),
            "Path too long (more than 255 characters): " + target);
  std::string exact = folder.Path() + "\\" + std::string(MaxPathLength - folder.Path().size() - 1, 'n');
  ASSERT_EQ(exact.size(), MaxPathLength);
  CopyFileChecked(folder / "a.txt", exact); // the limit itself is fine
  EXPECT_TRUE(Fs::FileExists(exact));
}

TEST(FileOperations, MovesFailOnAnExistingTargetUnlessReplacing) {
  TTempFolder folder;
  WriteTextFile(folder / "a\\x.bpl", "new");
  WriteTextFile(folder / "b\\x.bpl", "old");
  EXPECT_EQ(MessageOf([&] { MoveFileInto(folder / "a", "x.bpl", folder / "b"); }),
            "Error moving file: x.bpl from " + (folder / "a") + " to: " + (folder / "b"));
  MoveFileReplacing(folder / "a", "x.bpl", folder / "b");
  EXPECT_EQ(ReadTextFile(folder / "b\\x.bpl"), "new");
  EXPECT_FALSE(Fs::FileExists(folder / "a\\x.bpl"));
  EXPECT_EQ(MessageOf([&] { MoveFileList(folder / "a", {"gone.bpl"}, folder / "b"); }),
            "Error moving file: gone.bpl from " + (folder / "a") + " to: " + (folder / "b"));
}

TEST(FileOperations, MasksSelectFilesOnlyAndAMissingFolderIsEmpty) {
  TTempFolder folder;
  for (const char *name : {"a.hpp", "b.HPP", "c.obj", "Zel7C6.il1", "Zel7C6.ilc", "Zel7C6.tds"})
    WriteTextFile(folder / ("src\\" + std::string(name)), name);
  Fs::CreateFolder(folder / "src\\dir.hpp");
  Fs::CreateFolder(folder / "inc");
  TStringList listed = ListFiles(folder / "src\\*.hpp");
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (TStringList{"a.hpp", "b.HPP"}));
  MoveFilesByMask(folder / "src", "*.hpp", folder / "inc");
  EXPECT_TRUE(Fs::FileExists(folder / "inc\\b.HPP"));
  EXPECT_TRUE(Fs::DirectoryExists(folder / "src\\dir.hpp"));
  DeleteFilesByMask(folder / "src", "*.il?");
  EXPECT_EQ(ListFiles(folder / "src\\*.il?").size(), 0u);
  EXPECT_TRUE(Fs::FileExists(folder / "src\\Zel7C6.tds"));
  DeleteFilesByMask(folder / "no such folder", "*.*"); // nothing to do, nothing raised
  EXPECT_TRUE(ListFiles(folder / "no such folder\\*.*").empty());
  CopyFilesByMask(folder / "src", "*.obj", folder / "inc");
  EXPECT_EQ(ReadTextFile(folder / "inc\\c.obj"), "c.obj");
}

TEST(FileOperations, EmptyingAFolderStopsAtAReadOnlyFileWithTheAccessDeniedCode) {
  TTempFolder folder;
  WriteTextFile(folder / "lib\\locked.dcu", "x");
  WriteTextFile(folder / "lib\\other.dcu", "x");
  Fs::CreateFolder(folder / "lib\\sub");
  Fs::SetReadOnly(folder / "lib\\locked.dcu", true);
  EXPECT_EQ(MessageOf([&] { EmptyFolder(folder / "lib"); }),
            "Error 5 deleting file: " + (folder / "lib") + "\\locked.dcu");
  Fs::SetReadOnly(folder / "lib\\locked.dcu", false);
  EmptyFolder(folder / "lib");
  EXPECT_TRUE(ListFiles(folder / "lib\\*.*").empty());
  EXPECT_TRUE(Fs::DirectoryExists(folder / "lib\\sub")); // subfolders stay
}

TEST(FileOperations, DeleteFileIfExistsIgnoresMissingFilesOnly) {
  TTempFolder folder;
  DeleteFileIfExists(folder / "missing.dcp");
  WriteTextFile(folder / "x.dcp", "x");
  Fs::SetReadOnly(folder / "x.dcp", true);
  EXPECT_EQ(MessageOf([&] { DeleteFileIfExists(folder / "x.dcp"); }), "Error deleting file: " + (folder / "x.dcp"));
  Fs::SetReadOnly(folder / "x.dcp", false);
  DeleteFileIfExists(folder / "x.dcp");
  EXPECT_FALSE(Fs::FileExists(folder / "x.dcp"));
}

TEST(FileOperations, TheRunsDateStampIsAPackedLocalTime) {
  // The stamp is the program's start: no later than a file written now, and not a day older. The
  // file's own time is the reference, so that the machine's clock may show any date.
  TTempFolder folder;
  WriteTextFile(folder / "now.txt", "now");
  auto written = Fs::LastWriteTime(folder / "now.txt");
  ASSERT_TRUE(written.has_value());
  std::uint64_t started = FileTimeFromDosDateTime(RunStartFileDate);
  EXPECT_LE(started, *written);
  EXPECT_LT(*written - started, 24ULL * 3600 * 10000000);
  EXPECT_EQ(FileTimeFromDosDateTime(0x5A8B6000) % 20000000ULL, 0u); // two-second steps
  EXPECT_EQ(FileTimeFromDosDateTime(0x5A8B6001) - FileTimeFromDosDateTime(0x5A8B6000), 20000000ULL);
}

TEST(FileOperations, ANonPackageCannotBeLoaded) {
  TTempFolder folder;
  WriteTextFile(folder / "x.bpl", "not a module");
  std::string message = MessageOf([&] { PackageDescription(folder / "x.bpl"); });
  EXPECT_EQ(message.rfind("Can't load package " + (folder / "x.bpl") + ".\r\n", 0), 0u) << message;
  EXPECT_GT(message.size(), ("Can't load package " + (folder / "x.bpl") + ".\r\n").size());
  message = MessageOf([&] { PackageDescription(folder / "missing.bpl"); });
  EXPECT_EQ(message.rfind("Can't load package ", 0), 0u) << message;
}

} // namespace
