// INI files through the private-profile functions on Win32 and the reader and writer on POSIX: the
// same file gives the same results on both.
#include "framework/IniFile.h"
#include "TestSupport.h"
#include "framework/Exception.h"
#include "framework/Files.h"

#include <gtest/gtest.h>

namespace {

TEST(IniFile, ReadsAndWritesEntriesAsTheProfileFunctionsDo) {
  TTempFolder folder;
  const std::string path = folder / "defproj.dof";
  WriteTextFile(path, "SearchPath=C:\\Lib\r\n[Compiler]\r\nA=8\r\n\r\n[excluded packages]\r\n"
                      "  $(DELPHI)\\Bin\\dclzel67.bpl = Quivex Components  \r\nNoValue\r\n; a "
                      "comment\r\n\r\n[Other]\r\nB=1\r\n");
  TIniFile file(path);
  EXPECT_EQ(file.ReadSectionValues("Excluded Packages"),
            (TStringList{"$(DELPHI)\\Bin\\dclzel67.bpl=Quivex Components", "NoValue"}));
  EXPECT_TRUE(file.ReadSectionValues("Missing").empty());

  // Same name in another case: replaced in place. A new name: at the end of its section.
  file.WriteString("EXCLUDED PACKAGES", "$(DELPHI)\\BIN\\DCLZEL67.BPL", "Replaced");
  file.WriteString("Excluded Packages", "$(DELPHI)\\Bin\\dclzqr67.bpl", "Quivex for QuickReport");
  file.WriteString("New Section", "Key", "Value");
  EXPECT_EQ(file.ReadSectionValues("excluded packages"),
            (TStringList{"$(DELPHI)\\Bin\\dclzel67.bpl=Replaced", "NoValue",
                         "$(DELPHI)\\Bin\\dclzqr67.bpl=Quivex for QuickReport"}));
  EXPECT_EQ(file.ReadSectionValues("Other"), TStringList{"B=1"});
  EXPECT_EQ(file.ReadSectionValues("New Section"), TStringList{"Key=Value"});
  // The lines before the first section are not touched.
  EXPECT_EQ(LoadLines(path).front(), "SearchPath=C:\\Lib");

  const std::string fresh = folder / "new.ini";
  TIniFile(fresh).WriteString("S", "K", "V");
  EXPECT_EQ(TIniFile(fresh).ReadSectionValues("S"), TStringList{"K=V"});
}

TEST(IniFile, AFileThatCannotBeWrittenRaises) {
  TTempFolder folder;
  const std::string path = folder / "locked.ini";
  WriteTextFile(path, "[S]\r\nK=V\r\n");
  ASSERT_TRUE(Fs::SetReadOnly(path, true));
  try {
    TIniFile(path).WriteString("S", "K", "W");
    ADD_FAILURE() << "no error";
  } catch (const EFileError &error) {
    EXPECT_EQ(error.Message(), "Unable to write to " + path);
  }
  Fs::SetReadOnly(path, false);
  EXPECT_EQ(TIniFile(path).ReadSectionValues("S"), TStringList{"K=V"});
}

} // namespace
