#include "TestHost.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/PackageBuilds.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

class StagingTest : public ::testing::Test {
protected:
  TTempFolder root;
  TTestHost host;
  StagingTest() { ResetEnvironments(); }
  ~StagingTest() override { ResetEnvironments(); }
};

TEST_F(StagingTest, OldLibraryFilesMoveAsideAfterOneQuestion) {
  SetRow(0, (root / "D7").c_str(), true, false, false, "CSS", 7);
  for (const char *name : {"ZeChart.dcu", "ZeChart.dfm", "ZeAxis.res", "ZeEngine.obj", "Other.dcu"})
    WriteTextFile(root / ("D7\\lib\\" + std::string(name)), name);
  WriteTextFile(root / "D7\\lib\\Backup_Quivex\\ZeChart.dcu", "older backup");
  host.Answers = {true};
  BackupOldLibraryFiles(host, 0);
  ASSERT_EQ(host.Questions.size(), 1u);
  EXPECT_EQ(host.Questions[0], "Old Quivex Standard files found at: " + (root / "D7\\lib") +
                                   "\rThose files should be moved to a backup folder. Continue?");
  for (const char *name : {"ZeChart.dcu", "ZeChart.dfm", "ZeAxis.res", "ZeEngine.obj"}) {
    EXPECT_FALSE(Fs::FileExists(root / ("D7\\lib\\" + std::string(name)))) << name;
    EXPECT_EQ(ReadTextFile(root / ("D7\\lib\\Backup_Quivex\\" + std::string(name))), name);
  }
  EXPECT_TRUE(Fs::FileExists(root / "D7\\lib\\Other.dcu"));
  BackupOldLibraryFiles(host, 0); // nothing left: no question
  EXPECT_EQ(host.Questions.size(), 1u);
}

TEST_F(StagingTest, DecliningTheBackupAbortsBeforeAnythingMoves) {
  SetRow(0, (root / "CB6").c_str(), false, false, false, "PRO", 6);
  WriteTextFile(root / "CB6\\lib\\obj\\ZeAxis.obj", "x");
  WriteTextFile(root / "CB6\\include\\vcl\\ZeAxis.hpp", "x");
  host.Answers = {false};
  try {
    BackupOldLibraryFiles(host, 0);
    FAIL() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Compilation aborted.");
  }
  EXPECT_EQ(host.Questions.size(), 1u);
  EXPECT_TRUE(Fs::FileExists(root / "CB6\\lib\\obj\\ZeAxis.obj"));
  EXPECT_FALSE(Fs::DirectoryExists(root / "CB6\\lib\\obj\\Backup_Quivex"));
  host.Answers = {true}; // a C++Builder row: objects and headers, still one question
  BackupOldLibraryFiles(host, 0);
  EXPECT_EQ(host.Questions.size(), 2u);
  EXPECT_TRUE(Fs::FileExists(root / "CB6\\lib\\obj\\Backup_Quivex\\ZeAxis.obj"));
  EXPECT_TRUE(Fs::FileExists(root / "CB6\\include\\vcl\\Backup_Quivex\\ZeAxis.hpp"));
}

TEST_F(StagingTest, CleaningTheSourcesRemovesBuildProductsByKind) {
  SetRow(0, "C:\\D7", true, false, false, "CSS", 7);
  SetRow(1, "C:\\CB6", false, false, false, "CSS", 6);
  const char *products[] = {"a.dof", "a.cfg", "a.dcu", "a.dcp", "a.bpl", "a.mak", "a.tds", "a.lib",
                            "a.bpi", "a.obj", "a.hpp", "a.pas", "a.bpk", "a.dpk"};
  for (const char *name : products)
    WriteTextFile(root / name, "x");
  CleanSourceFolder(root.Path(), 0);
  EXPECT_EQ(ListFiles(root / "*.*").size(), 9u);
  CleanSourceFolder(root.Path(), 1);
  TStringList left = ListFiles(root / "*.*");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (TStringList{"a.bpk", "a.dpk", "a.pas"}));
}

TEST_F(StagingTest, FormFilesFollowTheCompiledUnits) {
  for (const char *name : {"ZeEditor.dfm", "ZeEditor.xfm", "ZeAbout.xfm"})
    WriteTextFile(root / ("src\\" + std::string(name)), name);
  for (const char *name : {"ZeEditor.dcu", "ZeAbout.dcu", "ZeAxis.dcu"})
    WriteTextFile(root / ("lib\\" + std::string(name)), "x");
  CopyFormFiles(root / "src", ".xfm", root / "lib");
  EXPECT_TRUE(Fs::FileExists(root / "lib\\ZeEditor.xfm"));
  EXPECT_TRUE(Fs::FileExists(root / "lib\\ZeAbout.xfm"));
  EXPECT_FALSE(Fs::FileExists(root / "lib\\ZeEditor.dfm"));
  CopyFormFiles(root / "src", ".dfm", root / "lib");
  EXPECT_TRUE(Fs::FileExists(root / "lib\\ZeEditor.dfm"));
  EXPECT_FALSE(Fs::FileExists(root / "lib\\ZeAbout.dfm")); // no form file: skipped silently
}

TEST_F(StagingTest, TheByteOrderMarkIsRemovedAndOtherProjectsAreLeftAlone) {
  WriteTextFile(root / "marked.bpk", "\xEF\xBB\xBF<?xml version='1.0'?>\n<PROJECT>\n</PROJECT>");
  RemoveByteOrderMark(root / "marked.bpk");
  EXPECT_EQ(ReadTextFile(root / "marked.bpk"), "<?xml version='1.0'?>\r\n<PROJECT>\r\n</PROJECT>\r\n");
  const std::string plain = "<?xml version='1.0'?>\n<PROJECT>"; // LF ends and no final line end
  WriteTextFile(root / "plain.bpk", plain);
  Fs::SetLastWriteTime(root / "plain.bpk", 132000000000000000ULL);
  RemoveByteOrderMark(root / "plain.bpk");
  EXPECT_EQ(ReadTextFile(root / "plain.bpk"), plain);
  EXPECT_EQ(Fs::LastWriteTime(root / "plain.bpk").value_or(0), 132000000000000000ULL);
  WriteTextFile(root / "empty.bpk", "");
  EXPECT_THROW(RemoveByteOrderMark(root / "empty.bpk"), Exception);
  EXPECT_THROW(RemoveByteOrderMark(root / "missing.bpk"), Exception);
}

} // namespace
