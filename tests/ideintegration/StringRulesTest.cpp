// The small string rules of the install, table by table.
#include "InstallFixture.h"
#include "framework/Files.h"
#include "ideintegration/HelpIntegration.h"
#include "ideintegration/LibraryPaths.h"
#include "ideintegration/PackageRegistration.h"
#include "librarybuild/EnvironmentNames.h"

namespace {

// "{L}" stands for a folder that holds the marker file, "{N}" for one that does not.
std::string Expand(std::string text, const std::string &library, const std::string &other) {
  for (auto [key, value] : {std::pair{std::string("{L}"), library}, std::pair{std::string("{N}"), other}})
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
  return text;
}

TEST(RemoveFoldersContaining, DropsTheFoldersThatHoldTheFileAndSplitsAsTheIdeWritesLists) {
  TTempFolder root;
  const std::string library = root / "Old Lib", other = root / "Other";
  WriteTextFile(library + "\\ZeEngine.dcu", "unit");
  Fs::CreateFolder(other);
  const struct {
    const char *list, *expected;
  } cases[] = {
      {"{N};{L}", "{N}"},
      {"{L};{N};", "{N}"}, // the final ";" goes with the rebuilt list
      {"  {N};\r\n{L}\r\n  $(DELPHI)\\Lib",
       "{N};$(DELPHI)\\Lib"},                 // CR LF separate, blanks before an entry go
      {"{N}  ;;;{L}", "{N}  "},               // blanks after an entry stay, empty entries go
      {"\"{L}\";{N}", "\"{L}\";{N}"},         // a quoted folder is not found, so it stays
      {"'a;b';\"c;d\";{L}", "'a;b';\"c;d\""}, // ";" inside quotes does not separate
      {"\"open;{L}", "\"open;{L}"},           // an unclosed quote runs to the end
      {"\"a;b\r\n{L};c", "\"a;b\";c"},        // a line end closes it: joined, the entries stay apart
      {"{L}", ""},
      {"", ""},
      {"SearchPath={L};{L}", "SearchPath={L}"}, // the name prefix keeps the first entry
  };
  for (const auto &c : cases)
    EXPECT_EQ(RemoveFoldersContaining(Expand(c.list, library, other), "zeengine.DCU"),
              Expand(c.expected, library, other))
        << c.list;
}

TEST(LibraryNames, PackageNamesEntriesAndOldDesignPackages) {
  for (auto [name, expected] : {std::pair{"Zel77", true},
                                {"zelpro77", true},
                                {"ZEL", true},
                                {"vcl", false},
                                {"Ze", false},
                                {"", false},
                                {" Zel77", false},
                                {"dclzel77", false}})
    EXPECT_EQ(IsLibraryPackageName(name), expected) << name;

  const TStringList excluded{"$(DELPHI)\\Bin\\DCLZEL67.bpl=Quivex Components", "Other=dclzqr67",
                             "NoValue dclzgl67"};
  for (auto [text, expected] : {std::pair{"dclzel67", true},
                                {"DclZel67.BPL", true},
                                {"dclzqr67", false},
                                {"dclzgl67", true},
                                {"dclzel57", false}})
    EXPECT_EQ(HasEntryNamed(excluded, text), expected) << text;
  EXPECT_FALSE(HasEntryNamed({}, "dclzel67"));

  const char *const sixes[] = {"dclzel67", "dclzelpro67", "dclzqr67", "dclzgl67", "dclzel70", "dclzqr70"};
  for (int kind = 0; kind <= 5; ++kind)
    EXPECT_EQ(OldDesignPackageName("7", kind, 6), sixes[kind]);
  EXPECT_EQ(OldDesignPackageName("7", 1, 5), "dclzep57");
  EXPECT_EQ(OldDesignPackageName("6", 0, 4), "dclzel46");
  EXPECT_EQ(OldDesignPackageDescription(1), "Quivex Pro Components");
  EXPECT_EQ(OldDesignPackageDescription(4), "Quivex Standard");
  EXPECT_EQ(OldDesignPackageDescription(5), "Quivex for QuickReport");
}

TEST(RemoveLibraryHelpLines, RemovesEveryLineNamingALibraryHelpFileOfVersionsSevenToFour) {
  const struct {
    const char *suffix;
    TStringList lines, expected;
  } cases[] = {
      {".HLP",
       {":Index Delphi=delphi7.hlp", ":Index Quivex=quivex.hlp", ":Index Quivex=Quivex4.HLP",
        "; see QUIVEX7.hlp for more", ":Index Quivex=Quivex3.hlp",
        ":Index Quivex Pro v7 User Guide=Quivex7Guide.hlp"},
       {":Index Delphi=delphi7.hlp", ":Index Quivex=Quivex3.hlp",
        ":Index Quivex Pro v7 User Guide=Quivex7Guide.hlp"}},
      {".OHC",
       {":Include quivex5.ohc", ":Include quivex5.ohc", ":Include Other.ohc"},
       {":Include Other.ohc"}},
      {"GUIDE.HLP",
       {":Index Quivex Pro v7 User Guide=Quivex7Guide.hlp", ":LINK quivexguide.hlp", ":LINK Quivex7.hlp"},
       {":LINK Quivex7.hlp"}},
      // Without a suffix only the numbered names count.
      {"", {"QUIVEX tools", "quivex6 tools"}, {"QUIVEX tools"}},
  };
  for (const auto &c : cases) {
    TStringList lines = c.lines;
    RemoveLibraryHelpLines(lines, "QUIVEX", c.suffix);
    EXPECT_EQ(lines, c.expected) << c.suffix;
  }

  TStringList lines{"", "a", " \t", "\x01", " b ", "\r"};
  RemoveBlankLines(lines);
  EXPECT_EQ(lines, (TStringList{"a", " b "}));
}

class EnvironmentNamesTest : public InstallFixture {};

TEST_F(EnvironmentNamesTest, HelpFilesChartPackagesAndRuntimePackagesFollowTheEnvironment) {
  int d5 = AddRow("Delphi 5", true, false, "PRO", 5), d6 = AddRow("Delphi 6", true, false, "STD", 6);
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7), cb6 = AddRow("C++Builder 6", false, false, "PRO", 6);
  const std::string rootOf[] = {Environments[0].RootDir, Environments[1].RootDir, Environments[2].RootDir,
                                Environments[3].RootDir};
  EXPECT_EQ(IdeHelpFileName(d5, ".cnt"), rootOf[d5] + "\\Help\\Delphi5.cnt");
  EXPECT_EQ(IdeHelpFileName(d6, ".ohi"), rootOf[d6] + "\\Help\\Delphi6.ohi");
  EXPECT_EQ(IdeHelpFileName(d7, ".cnt"), rootOf[d7] + "\\Help\\D7.cnt");
  EXPECT_EQ(IdeHelpFileName(cb6, ".ohl"), rootOf[cb6] + "\\Help\\BCB6.ohl");

  EXPECT_EQ(EnvironmentPackageFileName(d7, "DclZel"), "DclZel70.bpl");
  EXPECT_EQ(EnvironmentPackageFileName(d6, "DclZQR"), "DclZQR60.bpl");

  SetEnvironmentNames(host, d7);
  EXPECT_EQ(RuntimePackageList(host, d7), "Zel77;ZelUI77;ZelDB77;ZelPro77;ZelGL77;ZelImage77;ZelLanguage77");
  host.StandardBuild = true;
  EXPECT_EQ(RuntimePackageList(host, d7), "Zel77;ZelUI77;ZelDB77");
  SetEnvironmentNames(host, d6);
  EXPECT_EQ(RuntimePackageList(host, d6), "Zel76;ZelUI76");
  host.StandardBuild = false;
  EXPECT_EQ(RuntimePackageList(host, d6), "Zel76;ZelUI76;ZelPro76;ZelGL76;ZelImage76;ZelLanguage76");
}

} // namespace
