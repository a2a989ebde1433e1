// The Pascal front end of the stand-in compilers: which parts of a source are active under which
// conditional symbols, and what the directives record or stop.
#include "PascalScanner.h"
#include "PascalModule.h"
#include "StandInError.h"
#include "ToolRun.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

using namespace StandIn;

class PascalScannerFixture {
public:
  PascalScannerFixture()
      : scanner_(Settings(), [this](const std::string &line) { printed_.push_back(line); }) {}

  static TScanSettings Settings() {
    TScanSettings settings;
    settings.CompilerVersion = 15.0;
    return settings;
  }

  // The identifiers and strings of the active parts, joined by blanks.
  std::string ActiveWords(const std::string &source, TDefines defines = {}) {
    std::string path = temp_ / ("Source" + std::to_string(++count_) + ".pas");
    WriteTextFile(path, source);
    TDirectiveResults results;
    std::string words;
    for (const TToken &token : scanner_.ScanFile(path, defines, results)) {
      if (token.Kind == TTokenKind::Identifier || token.Kind == TTokenKind::String) {
        words += (words.empty() ? "" : " ") + token.Text;
      }
    }
    return words;
  }

  TTempFolder temp_;
  TPascalScanner scanner_;
  std::vector<std::string> printed_;
  int count_ = 0;
};

struct TConditionalCase {
  const char *Name;
  const char *Source;
  std::vector<std::string> Defines;
  const char *Active;
};

// Test names show the case, not its bytes.
void PrintTo(const TConditionalCase &value, std::ostream *os) {
  *os << value.Name;
}

class PascalConditionalTest : public ::testing::TestWithParam<TConditionalCase> {};

TEST_P(PascalConditionalTest, OnlyTheActivePartsGiveTokens) {
  PascalScannerFixture fixture;
  TDefines defines(GetParam().Defines.begin(), GetParam().Defines.end());
  EXPECT_EQ(fixture.ActiveWords(GetParam().Source, defines), GetParam().Active);
}

INSTANTIATE_TEST_SUITE_P(
    Conditionals, PascalConditionalTest,
    ::testing::Values(
        TConditionalCase{"IfdefDefined", "a {$IFDEF CLX} b {$ENDIF} c", {"CLX"}, "a b c"},
        TConditionalCase{"IfdefUndefined", "a {$IFDEF CLX} b {$ENDIF} c", {}, "a c"},
        TConditionalCase{"SymbolsIgnoreCase", "{$ifdef clx} b {$endif}", {"CLX"}, "b"},
        TConditionalCase{"Ifndef", "{$IFNDEF CLX} vcl {$ELSE} clx {$ENDIF}", {}, "vcl"},
        TConditionalCase{"Else", "{$IFDEF CLX} clx {$ELSE} vcl {$ENDIF}", {"CLX"}, "clx"},
        TConditionalCase{"NestedInactive",
                         "{$IFDEF A} {$IFDEF B} ab {$ELSE} a {$ENDIF} {$ELSE} none {$ENDIF}",
                         {"B"},
                         "none"},
        TConditionalCase{"NestedActive", "{$IFDEF A} {$IFDEF B} ab {$ELSE} a {$ENDIF} {$ENDIF}", {"A"}, "a"},
        TConditionalCase{
            "DefineAndUndef", "{$DEFINE X} {$IFDEF X} x {$ENDIF} {$UNDEF X} {$IFDEF X} y {$ENDIF}", {}, "x"},
        TConditionalCase{"DefineInInactivePartHasNoEffect",
                         "{$IFDEF NO} {$DEFINE X} {$ENDIF} {$IFDEF X} x {$ENDIF}",
                         {},
                         ""},
        TConditionalCase{
            "IfDefinedAndVersion", "{$IF Defined(A) and (CompilerVersion >= 15)} yes {$IFEND}", {"A"}, "yes"},
        TConditionalCase{
            "IfVersionTooLow", "{$IF CompilerVersion < 14.0} old {$ELSE} new {$IFEND}", {}, "new"},
        TConditionalCase{
            "ElseIf", "{$IF Defined(A)} a {$ELSEIF Defined(B)} b {$ELSE} c {$IFEND}", {"B"}, "b"},
        TConditionalCase{
            "ElseIfAfterTakenBranch", "{$IF Defined(A)} a {$ELSEIF Defined(B)} b {$IFEND}", {"A", "B"}, "a"},
        TConditionalCase{"NotDefined", "{$IF not Defined(A) or Defined(B)} x {$IFEND}", {}, "x"},
        TConditionalCase{"IfoptDefaultRangeChecksOff", "{$IFOPT R+} on {$ELSE} off {$ENDIF}", {}, "off"},
        TConditionalCase{"IfoptAfterSwitch", "{$R+} {$IFOPT R+} on {$ELSE} off {$ENDIF}", {}, "on"},
        TConditionalCase{"CommentsOfEveryKind", "a (* b *) // c\n d { e }", {}, "a d"},
        TConditionalCase{"DirectiveInParenComment", "(*$IFDEF A*) a (*$ENDIF*) b", {}, "b"},
        TConditionalCase{"BraceInStringOfInactivePart", "{$IFDEF A} s := '{'; {$ENDIF} b", {}, "b"},
        TConditionalCase{"StringPieces", "'It''s'#32'ok'#$21", {}, "It's ok!"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(PascalDirectiveTest, ResourceStarIsTheModuleName) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "ZeEngine.pas";
  WriteTextFile(path, "unit ZeEngine;\r\n{$R *.res}\r\n{$R 'ZelResou.res'}\r\n{$R-}\r\n");
  TDefines defines;
  TDirectiveResults results;
  fixture.scanner_.ScanFile(path, defines, results);
  ASSERT_EQ(results.Resources.size(), 2u);
  EXPECT_EQ(results.Resources[0].Name, "ZeEngine.res");
  EXPECT_EQ(results.Resources[0].Line, 2);
  EXPECT_EQ(results.Resources[1].Name, "ZelResou.res");
  EXPECT_FALSE(fixture.scanner_.Settings().Switches.at('R')); // {$R-} is a switch, not a file
}

TEST(PascalDirectiveTest, DescriptionAndPackageKind) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "P.dpk";
  WriteTextFile(path, "package P;\r\n{$DESCRIPTION 'Velmora''s charts'#33}\r\n{$DESIGNONLY}\r\n{$D+}\r\n");
  TDefines defines;
  TDirectiveResults results;
  fixture.scanner_.ScanFile(path, defines, results);
  EXPECT_EQ(results.Description, std::optional<std::string>("Velmora's charts!"));
  EXPECT_TRUE(results.DesignOnly);
  EXPECT_FALSE(results.RunOnly);
}

TEST(PascalDirectiveTest, MessagesHintWarnAndErrorArePrintedWithTheirPlace) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "U.pas";
  WriteTextFile(path, "{$MESSAGE 'plain'}\r\n{$MESSAGE WARN 'careful'}\r\n{$MESSAGE ERROR 'wrong'}\r\n");
  TDefines defines;
  TDirectiveResults results;
  fixture.scanner_.ScanFile(path, defines, results);
  EXPECT_EQ(results.Errors, 1);
  ASSERT_EQ(fixture.printed_.size(), 3u);
  EXPECT_EQ(fixture.printed_[0], path + "(1) Hint: plain");
  EXPECT_EQ(fixture.printed_[1], path + "(2) Warning: careful");
  EXPECT_EQ(fixture.printed_[2], path + "(3) Error: wrong");
}

TEST(PascalDirectiveTest, FatalMessageEndsTheScanOnlyWhereActive) {
  PascalScannerFixture fixture;
  std::string source = "unit U;\r\n{$IFDEF ZELLITE}\r\n  {$MESSAGE FATAL 'No Pro units in the Standard "
                       "edition'}\r\n{$ENDIF}\r\n";
  EXPECT_EQ(fixture.ActiveWords(source), "unit U");
  try {
    fixture.ActiveWords(source, {"ZELLITE"});
    FAIL() << "no fatal error";
  } catch (const EStandInError &error) {
    EXPECT_NE(error.Message().find("(3) Fatal: No Pro units in the Standard edition"), std::string::npos)
        << error.Message();
  }
}

TEST(PascalDirectiveTest, IncludeFilesComeFromTheSourceFolderThenTheIncludePath) {
  TTempFolder temp;
  WriteTextFile(temp / "Inc\\Defs.inc", "{$DEFINE FROMINCLUDE}\r\nincluded\r\n");
  WriteTextFile(temp / "Src\\U.pas", "{$I Defs.inc}\r\n{$IFDEF FROMINCLUDE} seen {$ENDIF}\r\n");
  TScanSettings settings;
  TPascalScanner withoutPath(settings, [](const std::string &) {});
  TDefines defines;
  TDirectiveResults results;
  try {
    withoutPath.ScanFile(temp / "Src\\U.pas", defines, results);
    FAIL() << "include found without its folder";
  } catch (const EStandInError &error) {
    EXPECT_NE(error.Message().find("U.pas(1) Fatal: File not found: 'Defs.inc'"), std::string::npos)
        << error.Message();
  }
  settings.IncludePath = {temp / "Inc"};
  TPascalScanner withPath(settings, [](const std::string &) {});
  TDefines moduleDefines;
  std::string words;
  for (const TToken &token : withPath.ScanFile(temp / "Src\\U.pas", moduleDefines, results)) {
    words += token.Text + " ";
  }
  EXPECT_EQ(words, "included seen ");
  EXPECT_EQ(withPath.Lines(), 4);
}

TEST(PascalDirectiveTest, AnOpenConditionalIsAnError) {
  PascalScannerFixture fixture;
  EXPECT_THROW(fixture.ActiveWords("{$IFDEF A} a"), EStandInError);
  EXPECT_THROW(fixture.ActiveWords("a {$ENDIF}"), EStandInError);
  EXPECT_THROW(fixture.ActiveWords("a { never closed"), EStandInError);
}

TEST(PascalModuleTest, PackageRequiresAndContains) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "Zel77.dpk";
  WriteTextFile(
      path, "package Zel77;\r\n{$R *.res}\r\nrequires\r\n  rtl,\r\n  vcl{$IFDEF CLX}, visualclx{$ENDIF};\r\n"
            "contains\r\n  ZeEngine in 'ZeEngine.pas' {not a form},\r\n  ZelChart;\r\nend.\r\n");
  TPascalModule module = ReadPascalModule(fixture.scanner_, path, {});
  EXPECT_EQ(module.Kind, TModuleKind::Package);
  EXPECT_EQ(module.Name, "Zel77");
  ASSERT_EQ(module.Requires.size(), 2u);
  EXPECT_EQ(module.Requires[1].Name, "vcl");
  EXPECT_EQ(module.Requires[1].Line, 5);
  ASSERT_EQ(module.Contains.size(), 2u);
  EXPECT_EQ(module.Contains[0].InFile, "ZeEngine.pas");
  EXPECT_EQ(module.Contains[1].InFile, "");
}

TEST(PascalModuleTest, UnitUsesOfBothSectionsAndDottedNames) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "U.pas";
  WriteTextFile(path, "unit U platform;\r\ninterface\r\nuses SysUtils, Borland.Vcl.Graphics;\r\n"
                      "type IThing = interface end;\r\nimplementation\r\nuses ZeEngine;\r\nend.\r\n");
  TPascalModule module = ReadPascalModule(fixture.scanner_, path, {});
  EXPECT_EQ(module.Kind, TModuleKind::Unit);
  ASSERT_EQ(module.InterfaceUses.size(), 2u);
  EXPECT_EQ(module.InterfaceUses[1].Name, "Borland.Vcl.Graphics");
  ASSERT_EQ(module.ImplementationUses.size(), 1u);
  EXPECT_EQ(module.ImplementationUses[0].Name, "ZeEngine");
}

TEST(PascalModuleTest, SyntaxErrorsNameWhatWasExpected) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "Bad.dpk";
  WriteTextFile(path, "package Bad\r\nrequires rtl;\r\n");
  try {
    ReadPascalModule(fixture.scanner_, path, {});
    FAIL() << "no syntax error";
  } catch (const EStandInError &error) {
    EXPECT_EQ(error.Message(), path + "(2) Fatal: ';' expected but 'requires' found");
  }
}

TEST(PascalModuleTest, KeyFileAttributesOfActiveCode) {
  PascalScannerFixture fixture;
  std::string path = fixture.temp_ / "A.dpk";
  WriteTextFile(path, "package A;\r\nrequires Borland.Delphi;\r\ncontains U;\r\n{$IFDEF ZELKEYS}\r\n"
                      "[assembly: AssemblyKeyFile('Keys\\Quivex.snk')]\r\n{$ENDIF}\r\nend.\r\n");
  EXPECT_TRUE(ReadPascalModule(fixture.scanner_, path, {}).KeyFiles.empty());
  TPascalModule keyed = ReadPascalModule(fixture.scanner_, path, {"ZELKEYS"});
  ASSERT_EQ(keyed.KeyFiles.size(), 1u);
  EXPECT_EQ(keyed.KeyFiles[0].Name, "Keys\\Quivex.snk");
  EXPECT_EQ(keyed.KeyFiles[0].Line, 5);
}

} // namespace
