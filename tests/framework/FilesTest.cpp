#include "framework/Files.h"
#include "TestSupport.h"
#include "framework/Text.h"
#include "framework/WinApi.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(const std::vector<Fs::TFoundFile> &files) {
  std::vector<std::string> names;
  for (const auto &f : files)
    names.push_back(f.Name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Files, PathsResolveWithoutRegardToCaseAndEitherSeparator) {
  TTempFolder folder;
  WriteTextFile(folder / "Lib\\Sub\\ZeChart.PAS", "unit ZeChart;");
  EXPECT_TRUE(Fs::FileExists(folder / "lib\\SUB\\zechart.pas"));
  EXPECT_TRUE(Fs::FileExists(folder.Path() + "/LIB/sub/ZeChart.pas"));
  EXPECT_TRUE(Fs::DirectoryExists(folder / "LIB"));
  EXPECT_FALSE(Fs::FileExists(folder / "lib")); // a folder is not a file
  EXPECT_FALSE(Fs::DirectoryExists(folder / "lib\\sub\\zechart.pas"));
  EXPECT_EQ(Fs::ReadWholeFile(folder / "lib\\.\\sub\\..\\Sub\\zechart.pas").value_or(""), "unit ZeChart;");
  EXPECT_TRUE(Fs::FileExists(folder / "Missing\\..\\lib\\sub\\ZECHART.pas")); // ".." out of no folder
}

// One text for one folder however it is spelt, and another for another folder: the key of the lock
// that keeps two runs out of one destination.
TEST(Files, ComparablePathIsOneTextForEverySpellingOfAFolder) {
  TTempFolder folder;
  const std::string startFolder = Fs::CurrentFolder();
  const std::string out = folder / "Quivex Src\\Out", accented = folder / "Quivex Src\\\xc9t\xe9";
  ASSERT_TRUE(Fs::ForceFolders(out));
  ASSERT_TRUE(Fs::ForceFolders(accented));
  std::vector<std::string> spellings = {folder / "QUIVEX SRC\\out", folder / "Quivex Src/Out/",
                                        folder / "Quivex Src\\.\\Out",
                                        folder / "Quivex Src\\..\\Quivex Src\\Out"};
#ifdef _WIN32
  char shortPath[MAX_PATH] = {};
  DWORD length = ::GetShortPathNameA(out.c_str(), shortPath, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  ASSERT_EQ(std::string(shortPath).find("Quivex Src"), std::string::npos) << shortPath; // "QUIVEX~1"
  spellings.push_back(shortPath);
#endif
  const std::string key = Fs::ComparablePath(out);
  for (const auto &spelling : spellings)
    EXPECT_EQ(Fs::ComparablePath(spelling), key) << spelling;
  EXPECT_EQ(Fs::ComparablePath(folder / "Quivex Src\\\xe9T\xc9"), Fs::ComparablePath(accented));
  for (const std::string &other : {folder / "Quivex Src\\Out2", folder / "Quivex Src", accented})
    EXPECT_NE(Fs::ComparablePath(other), key) << other;

  // From the current folder, and below the existing part a folder not made yet.
  ASSERT_TRUE(Fs::SetCurrentFolder(folder / "Quivex Src"));
  EXPECT_EQ(Fs::ComparablePath("out"), key);
  EXPECT_EQ(Fs::ComparablePath("..\\quivex src\\Out\\New\\"), Fs::ComparablePath(out + "\\NEW"));
  EXPECT_NE(Fs::ComparablePath("Out\\New"), key);
  Fs::SetCurrentFolder(startFolder);
}

TEST(Files, CopyAndMoveFailAsWindowsDoes) {
  TTempFolder folder;
  WriteTextFile(folder / "a.txt", "A");
  WriteTextFile(folder / "b.txt", "B");
  EXPECT_FALSE(Fs::CopyFile(folder / "a.txt", folder / "b.txt", true));
  EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorFileExists);
  EXPECT_EQ(ReadTextFile(folder / "b.txt"), "B");
  EXPECT_TRUE(Fs::CopyFile(folder / "A.TXT", folder / "b.txt", false));
  EXPECT_EQ(ReadTextFile(folder / "b.txt"), "A");

  EXPECT_FALSE(Fs::MoveFile(folder / "a.txt", folder / "b.txt"));
  EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorAlreadyExists);
  EXPECT_TRUE(Fs::MoveFile(folder / "a.txt", folder / "c.txt"));
  EXPECT_FALSE(Fs::FileExists(folder / "a.txt"));

  EXPECT_FALSE(Fs::CopyFile(folder / "missing.txt", folder / "d.txt", false));
  EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorFileNotFound);

  EXPECT_TRUE(Fs::WriteNewFile(folder / "n.txt", "new"));
  EXPECT_FALSE(Fs::WriteNewFile(folder / "N.TXT", "again"));
  EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorFileExists);
  EXPECT_EQ(ReadTextFile(folder / "n.txt"), "new");
}

TEST(Files, ReadOnlyFilesResistDeletionAndOverwriting) {
  TTempFolder folder;
  WriteTextFile(folder / "r.txt", "keep");
  ASSERT_TRUE(Fs::SetReadOnly(folder / "r.txt", true));
  EXPECT_FALSE(Fs::DeleteFile(folder / "r.txt"));
  EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorAccessDenied);
  EXPECT_FALSE(Fs::WriteWholeFile(folder / "r.txt", "lost"));
  EXPECT_EQ(ReadTextFile(folder / "r.txt"), "keep");
  auto found = Fs::FindFiles(folder / "r.txt");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0].IsReadOnly);
  ASSERT_TRUE(Fs::SetReadOnly(folder / "r.txt", false));
  EXPECT_TRUE(Fs::DeleteFile(folder / "r.txt"));
}

// One look tells what is at a path, found without regard to case: the install asks it of every
// file it is about to replace.
TEST(Files, PathAttributesTellNothingAFileAFolderOrAReadOnlyFile) {
  TTempFolder folder;
  WriteTextFile(folder / "w.txt", "writable");
  WriteTextFile(folder / "r.txt", "keep");
  ASSERT_TRUE(Fs::SetReadOnly(folder / "r.txt", true));
  ASSERT_TRUE(Fs::CreateFolder(folder / "Sub"));
  const struct {
    std::string Path;
    bool Exists, IsDirectory, IsReadOnly;
  } cases[] = {
      {folder / "missing.txt", false, false, false},
      {folder / "W.TXT", true, false, false},
      {folder / "r.txt", true, false, true},
      {folder / "sub", true, true, false},
  };
  for (const auto &expected : cases) {
    SCOPED_TRACE(expected.Path);
    Fs::TPathAttributes found = Fs::PathAttributes(expected.Path);
    EXPECT_EQ(found.Exists, expected.Exists);
    EXPECT_EQ(found.IsDirectory, expected.IsDirectory);
    EXPECT_EQ(found.IsReadOnly, expected.IsReadOnly);
  }
  ASSERT_TRUE(Fs::SetReadOnly(folder / "r.txt", false));
}

// Lines appended for later are in the file as soon as they are written, and Flush puts them on
// the disk; the file stays open for more.
TEST(Files, ADurableFileTakesLinesForLaterAndFlushesThemAtOnce) {
  TTempFolder folder;
  Fs::TDurableFile file(folder / "j.journal");
  EXPECT_TRUE(file.Flush()); // nothing yet
  ASSERT_TRUE(file.Append("one\n", Fs::TDurableFile::TFlush::Later));
  ASSERT_TRUE(file.Append("two\n", Fs::TDurableFile::TFlush::Later));
  EXPECT_EQ(ReadTextFile(folder / "j.journal"), "one\ntwo\n");
  EXPECT_TRUE(file.Flush());
  ASSERT_TRUE(file.Append("three\n"));
  file.Close();
  EXPECT_EQ(ReadTextFile(folder / "j.journal"), "one\ntwo\nthree\n");
}

TEST(Files, FindFilesMatchesMasksAsWindows) {
  TTempFolder folder;
  for (const char *name : {"ZeChart.pas", "zeaxis.PAS", "ZeChart.dfm", "Readme", "a.pas.bak"})
    WriteTextFile(folder / name, "x");
  Fs::CreateFolder(folder / "Sub.pas");
  EXPECT_EQ(Names(Fs::FindFiles(folder / "*.pas")),
            (std::vector<std::string>{"Sub.pas", "ZeChart.pas", "zeaxis.PAS"}));
  EXPECT_EQ(Names(Fs::FindFiles(folder / "ZeChart.*")),
            (std::vector<std::string>{"ZeChart.dfm", "ZeChart.pas"}));
  EXPECT_EQ(Names(Fs::FindFiles(folder / "?eadme")), (std::vector<std::string>{"Readme"}));
  EXPECT_EQ(Fs::FindFiles(folder / "*.*").size(), 6u); // "*.*" also matches a name without a dot
  auto sub = Fs::FindFiles(folder / "sub.pas");
  ASSERT_EQ(sub.size(), 1u);
  EXPECT_TRUE(sub[0].IsDirectory);
  EXPECT_TRUE(Fs::FindFiles(folder / "nothing*").empty());
}

TEST(Files, LastWriteTimeRoundTripsAndCopiesKeepIt) {
  TTempFolder folder;
  WriteTextFile(folder / "t.txt", "x");
  const Fs::TFileTime time = 132000000000000000ULL; // 2019-04-15
  ASSERT_TRUE(Fs::SetLastWriteTime(folder / "t.txt", time));
  EXPECT_EQ(Fs::LastWriteTime(folder / "t.txt").value_or(0), time);
  ASSERT_TRUE(Fs::CopyFile(folder / "t.txt", folder / "u.txt", false));
  EXPECT_EQ(Fs::LastWriteTime(folder / "u.txt").value_or(0), time);
}

TEST(Files, FoldersAreMadeOneOrAllLevels) {
  TTempFolder folder;
  EXPECT_FALSE(Fs::CreateFolder(folder / "a\\b"));
  EXPECT_TRUE(Fs::ForceFolders(folder / "a\\b\\c"));
  EXPECT_TRUE(Fs::DirectoryExists(folder / "A\\B\\C"));
  EXPECT_FALSE(Fs::CreateFolder(folder / "a"));
  EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorAlreadyExists);
  std::string previous = Fs::CurrentFolder();
  EXPECT_TRUE(Fs::SetCurrentFolder(folder / "a\\b"));
  EXPECT_TRUE(Fs::DirectoryExists("c"));
  EXPECT_FALSE(Fs::SetCurrentFolder(folder / "missing"));
  Fs::SetCurrentFolder(previous);
}

#ifdef _WIN32
// Runtime packages go where the 32-bit environments load them from: "system32" as a 32-bit program
// names it, which on 64-bit Windows is SysWOW64 for the 64-bit build.
TEST(Files, TheSystemFolderIsTheOneOfThirtyTwoBitPrograms) {
  char windows[MAX_PATH + 1] = {};
  ASSERT_GT(::GetWindowsDirectoryA(windows, sizeof windows), 0u);
  const char *expected = sizeof(void *) == 8 ? "\\SYSWOW64" : "\\SYSTEM32";
  EXPECT_EQ(UpperCase(Fs::SystemFolder()), UpperCase(windows) + expected);
}
#endif

} // namespace
