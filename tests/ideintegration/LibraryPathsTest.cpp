// The library paths in the registry and the default project options file, before and after.
#include "ideintegration/LibraryPaths.h"
#include "InstallFixture.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/IniFile.h"
#include "framework/RegFile.h"

#include <algorithm>

namespace {

std::string RegText(std::string text) { // a path as a .reg file writes it
  for (std::size_t at = 0; (at = text.find('\\', at)) != std::string::npos; at += 2)
    text.insert(at, "\\");
  return text;
}

class LibraryPathsTest : public InstallFixture {
protected:
  std::string oldLibrary = root / "Old Quivex\\Lib", oldSources = root / "Old Quivex\\Source";
  LibraryPathsTest() {
    WriteTextFile(oldLibrary + "\\ZeEngine.dcu", "unit");
    WriteTextFile(oldLibrary + "\\ZeEngine.dcuil", "unit");
    WriteTextFile(oldSources + "\\ZeEngine.pas", "unit ZeEngine;");
  }
  void SetPaths(int index) {
    TInstallContext install{host, index};
    SetLibraryPaths(install);
  }
  std::string Lib() { return host.EnvironmentFolder + "\\Lib"; }
  std::string Options(int index) { return Environments[std::size_t(index)].RootDir + "\\bin\\defproj.dof"; }
};

TEST_F(LibraryPathsTest, DelphiPathsAndDefaultProjectOptions) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  WriteTextFile(Options(d7), "[Compiler]\r\nA=8\r\n[Directories]\r\nOutputDir=\r\n"
                             "searchpath=C:\\Keep;" +
                                 oldLibrary +
                                 ";$(DELPHI)\\Lib;\r\n"
                                 "packages=VCL;zel77;Rtl;ZELPRO66\r\n\r\n"
                                 "[Excluded Packages]\r\n$(DELPHI)\\Bin\\DCLZEL67.bpl=Quivex Components\r\n");
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Library]\r\n"
                "\"Search Path\"=\"" +
                RegText(oldLibrary + ";C:\\Keep;") +
                "\"\r\n"
                "\"Browsing Path\"=\"" +
                RegText("C:\\A;" + host.SourceText + ";C:\\B;" + oldSources) +
                "\"\r\n"
                "\"Debug DCU Path\"=\"" +
                RegText(oldLibrary) + "\"\r\n");
  SetPaths(d7);

  TValues library = *Values(TRootKey::CurrentUser, Key(d7, "Library"));
  EXPECT_EQ(library["Search Path"], "C:\\Keep;" + Lib());
  // The source folder stood in the middle: its entry leaves there and it goes to the end.
  EXPECT_EQ(library["Browsing Path"], "C:\\A;C:\\B;" + host.SourceText);
  EXPECT_EQ(library["Debug DCU Path"], oldLibrary); // Delphi rows keep their other paths
  EXPECT_EQ(library.count("Package Search Path"), 0u);

  TStringList lines = LoadLines(Options(d7));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "searchpath=C:\\Keep;$(DELPHI)\\Lib;" + Lib()), 1)
      << lines[4];
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "Packages=VCL;Rtl;Zel77;ZelUI77;ZelDB77;ZelPro77;ZelGL77;ZelImage77;ZelLanguage77"),
            1);
  EXPECT_EQ(lines[0], "[Compiler]");
  EXPECT_EQ(lines[1], "A=8");
  TStringList excluded = TIniFile(Options(d7)).ReadSectionValues("Excluded Packages");
  // dclzel67 was there already; the other old design packages of versions 6 to 4 join it, and the
  // environment's own chart packages once each.
  EXPECT_EQ(excluded.size(), 14u);
  EXPECT_EQ(excluded.front(), "$(DELPHI)\\Bin\\DCLZEL67.bpl=Quivex Components");
  for (const char *entry :
       {"$(DELPHI)\\Bin\\dclzelpro67.bpl=Quivex Pro Components",
        "$(DELPHI)\\Bin\\dclzep57.bpl=Quivex Pro Components", "$(DELPHI)\\Bin\\dclzgl47.bpl=Quivex OpenGL",
        "$(DELPHI)\\Bin\\dclzel70.bpl=Quivex Standard",
        "$(DELPHI)\\Bin\\dclzqr70.bpl=Quivex for QuickReport"})
    EXPECT_EQ(std::count(excluded.begin(), excluded.end(), entry), 1) << entry;
  EXPECT_EQ(Fs::FindFiles(Options(d7) + ".*.zeltmp").size(), 0u); // no temporary copy is left

  // Again: nothing grows.
  SetPaths(d7);
  EXPECT_EQ(*Values(TRootKey::CurrentUser, Key(d7, "Library")), library);
  EXPECT_EQ(LoadLines(Options(d7)), lines);
}

// Entries that share a prefix with the library's folders, or hold them as part of a longer name, are
// the user's: three reinstalls leave them as they were, and the library's own entries stay single
// even where its folder holds no marker unit.
TEST_F(LibraryPathsTest, ReinstallsKeepTheUsersEntriesAndAddNothingTwice) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  Fs::DeleteFile(Lib() + "\\ZeEngine.dcu"); // a tree shipped without its units
  const std::string src = host.SourceText;
  const std::string userBrowsing = "C:\\A;" + src + " Extras\\Source;\"" + src + "2\";" + src + "\\Sub";
  const std::string userSearch = Lib() + "2;" + Lib() + "\\Old;$(DELPHI)\\Lib";
  WriteTextFile(Options(d7), "[Directories]\r\nSearchPath=" + userSearch + "\r\n");
  {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey(Key(d7, "Library"), true));
    registry.WriteString("Search Path", userSearch + ";" + Lib() + "\\");
    registry.WriteString("Browsing Path", userBrowsing + "; \"" + src + "\" ");
  }
  for (int install = 0; install < 3; ++install) {
    SetPaths(d7);
    TValues library = *Values(TRootKey::CurrentUser, Key(d7, "Library"));
    EXPECT_EQ(library["Search Path"], userSearch + ";" + Lib()) << install;
    EXPECT_EQ(library["Browsing Path"], userBrowsing + ";" + src) << install;
    EXPECT_EQ(LoadLines(Options(d7)).at(1), "SearchPath=" + userSearch + ";" + Lib()) << install;
  }
}

TEST(PathListEntries, WholeEntriesAreComparedWithoutCaseQuotesBlanksOrAFinalBackslash) {
  const struct {
    const char *entry, *folder;
    bool same;
  } cases[] = {
      {"C:\\Q\\Lib", "c:\\q\\LIB", true},         {"\"C:\\Q\\Lib\\\" ", "C:\\Q\\Lib", true},
      {" 'C:\\Q\\Lib'", "C:\\Q\\Lib\\", true},    {"C:\\Q\\Lib2", "C:\\Q\\Lib", false},
      {"C:\\Q\\Lib", "C:\\Q\\Lib2", false},       {"D:\\C:\\Q\\Lib", "C:\\Q\\Lib", false},
      {"C:\\Q\\Lib Extras", "C:\\Q\\Lib", false}, {"", "C:\\Q", false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(SameFolderEntry(c.entry, c.folder), c.same) << c.entry << " / " << c.folder;
  // Quotes, blanks and backslashes alone name no folder, whichever of them comes first.
  EXPECT_TRUE(SameFolderEntry("\"\\\"", ""));
  EXPECT_TRUE(SameFolderEntry("\\", " '\\"));
  EXPECT_EQ(
      RemoveFolderEntry("C:\\A;C:\\Q\\Lib Extras;c:\\q\\lib\\;C:\\Q\\Lib2;\"C:\\Q\\Lib\"", "C:\\Q\\Lib"),
      "C:\\A;C:\\Q\\Lib Extras;C:\\Q\\Lib2");
}

TEST_F(LibraryPathsTest, AReadOnlyOptionsFileIsRefusedAndLeftAsItWas) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  WriteTextFile(Options(d7), "SearchPath=C:\\Keep\r\n");
  ASSERT_TRUE(Fs::SetReadOnly(Options(d7), true));
  TInstallContext install{host, d7};
  EXPECT_THROW(SetLibraryPaths(install), EFileError);
  Fs::SetReadOnly(Options(d7), false);
  EXPECT_EQ(LoadLines(Options(d7)), TStringList{"SearchPath=C:\\Keep"});
  EXPECT_EQ(Fs::FindFiles(Options(d7) + ".*.zeltmp").size(), 0u);
}

TEST_F(LibraryPathsTest, WithoutOptionsFileOrPathValuesBothAreCreated) {
  int d6 = AddRow("Delphi 6", true, false, "STD", 6);
  BuildTree(d6);
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\6.0\\Library]\r\n"
                "\"Browsing Path\"=\"" +
                RegText(host.SourceText) + "\"\r\n");
  SetPaths(d6);
  TValues library = *Values(TRootKey::CurrentUser, Key(d6, "Library"));
  EXPECT_EQ(library["Search Path"], Lib());
  EXPECT_EQ(library["Browsing Path"], host.SourceText); // the last entry, cut and put back
  TStringList lines = LoadLines(Options(d6));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "SearchPath=" + Lib());
  EXPECT_EQ(lines[1], "Packages=Zel76;ZelUI76;ZelPro76;ZelGL76;ZelImage76;ZelLanguage76");
  auto section =
      std::find_if(lines.begin() + 2, lines.end(), [](const std::string &l) { return !l.empty(); });
  ASSERT_NE(section, lines.end());
  EXPECT_EQ(*section, "[Excluded Packages]");
  EXPECT_EQ(TIniFile(Options(d6)).ReadSectionValues("Excluded Packages").size(), 14u);
}

TEST_F(LibraryPathsTest, TheDotNetEnvironmentGetsThreePathsAndNoOptionsFile) {
  int net = AddRow("Delphi 8", true, true, "CSS", 2);
  BuildTree(net);
  host.SourceText.clear(); // an empty source field leaves the browsing path alone
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\BDS\\2.0\\Library]\r\n"
                "\"Debug DCU Path\"=\"" +
                RegText(oldLibrary + ";C:\\D") +
                "\"\r\n"
                "\"Package Search Path\"=\"C:\\\\P;\"\r\n"
                "\"Browsing Path\"=\"C:\\\\X\"\r\n");
  SetPaths(net);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(net, "Library")),
            (TValues{{"Search Path", Lib()},
                     {"Debug DCU Path", "C:\\D;" + Lib()},
                     {"Package Search Path", "C:\\P;" + Lib()},
                     {"Browsing Path", "C:\\X"}}));
  EXPECT_FALSE(Fs::FileExists(Options(net)));
}

TEST_F(LibraryPathsTest, WithoutLibraryKeyOnlyTheOptionsFileChanges) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  SetPaths(d7);
  EXPECT_FALSE(Values(TRootKey::CurrentUser, Key(d7, "Library")));
  EXPECT_TRUE(Fs::FileExists(Options(d7)));
}

} // namespace
