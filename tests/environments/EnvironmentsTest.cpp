#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"
#include "framework/Registry.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string EscapeForRegFile(const std::string &text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\')
      escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// A machine of the test's own: registry keys below a fresh registry, folders below a temporary
// folder. "{root}" in a fixture stands for that folder.
class DetectionTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TTempFolder root;
  TForm form{"Form"};
  TGroupBox groupBox{"GroupBox1"};
  int clicks = 0;

  DetectionTest() {
    ResetEnvironments();
    groupBox.SetParent(&form);
  }
  ~DetectionTest() override { ResetEnvironments(); }

  void Import(std::string text, bool withProgramFiles = true) {
    if (withProgramFiles)
      text = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
             "\"ProgramFilesDir\"=\"{root}\\\\Program Files\"\r\n\r\n" + text;
    for (std::size_t at; (at = text.find("{root}")) != std::string::npos;)
      text.replace(at, 6, EscapeForRegFile(root.Path()));
    ImportRegText("REGEDIT4\r\n\r\n" + text);
  }

  // Each case of a table starts from an empty machine and an empty group box.
  void ResetRegistryForCase() {
    TRegistry(TRootKey::LocalMachine).DeleteKey("\\SOFTWARE");
    ResetEnvironments();
    for (auto *control : std::vector<TControl *>(groupBox.Controls()))
      control->SetParent(nullptr);
  }

  void Detect() {
    DetectEnvironments(form, groupBox, [this](TControl &) { ++clicks; });
  }

  std::vector<std::string> DisplayNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < EnvironmentCount; ++i)
      names.push_back(Environments[i].CheckBox->Caption());
    return names;
  }
};

struct TNameCase {
  const char *Key;
  const char *Values;
  std::vector<std::string> Names;
};

TEST_F(DetectionTest, DisplayNamesCarryEditionUpdatesAndVariant) {
  const TNameCase cases[] = {
      {"Delphi\\7.0", "\"Version\"=\"CSS\"\r\n\"Update #1\"=\"1\"",
       {"Delphi 7 Enterprise (update 1)", "Delphi 7 Enterprise (update 1) (CLX)"}},
      {"Delphi\\5.0", "\"Version\"=\"PRO\"", {"Delphi 5 Professional"}},
      {"Delphi\\5.0", "\"Version\"=\"pro\"", {"Delphi 5"}},
      {"Delphi\\4.0", "\"Version\"=\"STD\"", {"Delphi 4 Standard"}},
      {"Delphi\\7.0", "\"Update #1\"=\"1\"\r\n\"Update #2 Installed\"=\"\"", {"Delphi 7", "Delphi 7 (CLX)"}},
      {"Delphi\\6.0", "\"Update #1\"=\"x\"\r\n\"Update #3 Installed\"=\"x\"",
       {"Delphi 6 (update 3)", "Delphi 6 (update 3) (CLX)"}},
      {"Delphi\\5.0", "\"Update #4\"=\"x\"\r\n\"UPGRADE_PATCH\"=\"x\"", {"Delphi 5"}},
      {"C++Builder\\5.0", "\"Version\"=\"CSS\"\r\n\"Update #1\"=\"1\"\r\n\"UPGRADE_PATCH\"=\"p\"",
       {"C++Builder 5 Enterprise (update 1) (update)"}},
      {"C++Builder\\4.0", "\"UPGRADE_PATCH\"=\"\"", {"C++Builder 4"}},
      {"BDS\\2.0", "\"Edition\"=\"CSS\"\r\n\"UpdatePackInstalled\"=\"\"",
       {"D8.NET 8 Enterprise (update ) (BDS 2 CSS)"}},
      {"BDS\\2.0", "\"Version\"=\"PRO\"", {"D8.NET 8 (BDS 2 )"}},
  };
  for (const auto &c : cases) {
    ResetRegistryForCase();
    Import(std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\") + c.Key + "]\r\n\"RootDir\"=\"{root}\\\\Env\"\r\n" +
           c.Values + "\r\n");
    Detect();
    EXPECT_EQ(DisplayNames(), c.Names) << c.Key << " " << c.Values;
  }
}

TEST_F(DetectionTest, ValuesOfTheWrongTypeCountAsAbsentAndDetectionGoesOn) {
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\5.0]\r\n"
         "\"RootDir\"=\"{root}\\\\CB5\"\r\n\"Version\"=dword:00000001\r\n\"Update #2\"=dword:00000002\r\n"
         "\"Update #1\"=\"1\"\r\n\"UPGRADE_PATCH\"=dword:00000001\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\7.0]\r\n\"RootDir\"=dword:00000007\r\n"
         "\"Version\"=\"CSS\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\BDS\\2.0]\r\n\"RootDir\"=\"{root}\\\\BDS\"\r\n"
         "\"Edition\"=hex:01\r\n\"UpdatePackInstalled\"=dword:00000001\r\n");
  WriteTextFile(root / "Program Files\\Borland\\Delphi7\\bin\\dcc32.exe", "");
  Detect();
  EXPECT_EQ(DisplayNames(), (std::vector<std::string>{
                                "Delphi 7 Enterprise", "Delphi 7 Enterprise (CLX)",
                                "C++Builder 5 (update 1)", "D8.NET 8 (BDS 2 )"}));
  EXPECT_EQ(Environments[0].RootDir, root / "Program Files\\Borland\\Delphi7");
}

TEST_F(DetectionTest, AProgramFilesFolderThatIsNoTextGivesNoDefaultFolders) {
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
         "\"ProgramFilesDir\"=dword:00000001\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"RootDir\"=\"{root}\\\\D5\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\4.0]\r\n\"RootDir\"=\"{root}\\\\CB4\"\r\n",
         false);
  Detect(); // the absent versions consult the folder: none of them may end detection
  EXPECT_EQ(DisplayNames(), (std::vector<std::string>{"Delphi 5", "C++Builder 4"}));
}

TEST_F(DetectionTest, DefaultFoldersNeedTheirExecutable) {
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"Version\"=\"PRO\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\6.0]\r\n\"Version\"=\"CSS\"\r\n");
  WriteTextFile(root / "Program Files\\Borland\\Delphi5\\bin\\dcc32.exe", "");      // key without RootDir
  WriteTextFile(root / "Program Files\\Borland\\Delphi6\\bin\\dcc32.exe", "");      // no key at all
  WriteTextFile(root / "Program Files\\Borland\\CBuilder6\\bin\\bcb.exe", "");      // no compiler
  WriteTextFile(root / "Program Files\\Borland\\Delphi2\\bin\\bds.exe", "");        // the .NET studio
  Detect();
  EXPECT_EQ(DisplayNames(), (std::vector<std::string>{"Delphi 5 Professional", "Delphi 6", "Delphi 6 (CLX)",
                                                      "D8.NET 8 (BDS 2 )"}));
  EXPECT_EQ(Environments[0].RootDir, root / "Program Files\\Borland\\Delphi5");
  EXPECT_EQ(Environments[0].Edition, "PRO"); // the edition stays with a default folder
  EXPECT_EQ(Environments[3].RootDir, root / "Program Files\\Borland\\Delphi2");
}

TEST_F(DetectionTest, OneTrailingBackslashIsRemovedFromARegistryFolder) {
  const std::pair<const char *, const char *> cases[] = {
      {"C:\\\\Borland\\\\Delphi7\\\\", "C:\\Borland\\Delphi7"},
      {"C:\\\\Borland\\\\Delphi7\\\\\\\\", "C:\\Borland\\Delphi7\\"},
      {"\\\\", "\\"},
      {"C:\\\\Borland\\\\Delphi7", "C:\\Borland\\Delphi7"},
  };
  for (const auto &[stored, expected] : cases) {
    ResetRegistryForCase();
    Import(std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"RootDir\"=\"") + stored + "\"\r\n");
    Detect();
    ASSERT_EQ(EnvironmentCount, 1);
    EXPECT_EQ(Environments[0].RootDir, expected);
    EXPECT_EQ(Environments[0].RootDir, [&] {
      for (auto *control : groupBox.Controls())
        if (control->Kind() == TControlKind::Label && control->Left() >= 220 && control->Left() < 460)
          return control->Caption();
      return std::string("no path label");
    }());
  }
}

TEST_F(DetectionTest, RowsComeInTableOrderWithTheirFieldsAndControls) {
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\BDS\\2.0]\r\n\"RootDir\"=\"{root}\\\\BDS\"\r\n\"Edition\"=\"CSS\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\6.0]\r\n\"RootDir\"=\"{root}\\\\CB6\"\r\n"
         "\"Version\"=\"STD\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"RootDir\"=\"{root}\\\\D5\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\6.0]\r\n\"RootDir\"=\"{root}\\\\D6\"\r\n");
  Detect();
  ASSERT_EQ(EnvironmentCount, 6);
  struct TExpected {
    bool IsDelphi, IsCLX, IsDotNet, IsStandard;
    int Version, ProductVersion;
    const char *Folder;
  } expected[] = {
      {true, false, false, false, 5, 5, "D5"},  {true, false, false, false, 6, 6, "D6"},
      {true, true, false, false, 6, 6, "D6"},   {false, false, false, true, 6, 6, "CB6"},
      {false, true, false, true, 6, 6, "CB6"},  {true, false, true, false, 2, 8, "BDS"},
  };
  for (int i = 0; i < EnvironmentCount; ++i) {
    const TEnviron &row = Environments[i];
    SCOPED_TRACE(row.CheckBox->Caption());
    EXPECT_EQ(row.IsDelphi, expected[i].IsDelphi);
    EXPECT_EQ(row.IsCLX, expected[i].IsCLX);
    EXPECT_EQ(row.IsDotNet, expected[i].IsDotNet);
    EXPECT_EQ(row.IsStandard, expected[i].IsStandard);
    EXPECT_EQ(row.Version, expected[i].Version);
    EXPECT_EQ(row.ProductVersion, expected[i].ProductVersion);
    EXPECT_EQ(row.RootDir, root / expected[i].Folder);
    EXPECT_TRUE(row.CheckBox->Checked());
    EXPECT_EQ(row.CheckBox->Parent(), &groupBox);
    EXPECT_EQ(row.CheckBox->Top(), 20 * (i + 1));
    EXPECT_EQ(row.StatusLabel->Top(), 20 * (i + 1));
    EXPECT_EQ(row.StatusLabel->Caption(), "");
    EXPECT_EQ(row.CheckBox->Left(), 5);
  }
  EXPECT_EQ(groupBox.Controls().size(), 18u);
  EXPECT_EQ(Environments[3].CheckBox->Caption(), "C++Builder 6 Standard");
  EXPECT_EQ(Environments[5].CheckBox->Caption(), "D8.NET 8 Enterprise (BDS 2 CSS)");
  EXPECT_EQ(clicks, 0); // ticking at creation happens before the handler is set
  Environments[0].CheckBox->Click();
  EXPECT_EQ(clicks, 1);
}

TEST_F(DetectionTest, ColumnsStandAtTheirPlacesAndMoveOnlyForLongNames) {
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"RootDir\"=\"C:\\\\D5\"\r\n");
  Detect();
  ASSERT_EQ(EnvironmentCount, 1);
  EXPECT_EQ(Environments[0].CheckBox->Width(), 205);
  EXPECT_EQ(Environments[0].StatusLabel->Left(), 460);
  ResetRegistryForCase();
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\6.0]\r\n\"RootDir\"=\"C:\\\\CB6\"\r\n"
         "\"Version\"=\"CSS\"\r\n\"Update #3\"=\"3\"\r\n\"UPGRADE_PATCH\"=\"p\"\r\n");
  Detect();
  ASSERT_EQ(EnvironmentCount, 2);
  const TEnviron &clx = Environments[1];
  EXPECT_EQ(clx.CheckBox->Caption(), "C++Builder 6 Enterprise (update 3) (update) (CLX)");
  EXPECT_EQ(clx.CheckBox->Width(), clx.CheckBox->NeededWidth()); // the whole name shows
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Environments[i].CheckBox->Width(), clx.CheckBox->Width());
    for (auto *control : groupBox.Controls()) {
      if (control->Top() == Environments[i].CheckBox->Top() && control != Environments[i].CheckBox) {
        EXPECT_GE(control->Left(), 5 + clx.CheckBox->Width()) << "overlaps the name: " << control->Caption();
      }
    }
  }
}

TEST_F(DetectionTest, AMissingProgramFilesKeyEndsDetectionAtTheFirstAbsentVersion) {
  Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\4.0]\r\n\"RootDir\"=\"C:\\\\D4\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\7.0]\r\n\"RootDir\"=\"C:\\\\D7\"\r\n",
         false);
  try {
    Detect();
    FAIL() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Cannot open registry key: LOCAL_MACHINE");
  }
  EXPECT_EQ(DisplayNames(), std::vector<std::string>{"Delphi 4"}); // the row found first stays
  EXPECT_EQ(groupBox.Controls().size(), 3u);
}

TEST_F(DetectionTest, AMachineWithoutEnvironmentsHasNoRows) {
  Import("");
  Detect();
  EXPECT_EQ(EnvironmentCount, 0);
  EXPECT_TRUE(groupBox.Controls().empty());
}

TEST(EnvironmentNames, KeysCompilersAndPackageFilesFollowTheRow) {
  ResetEnvironments();
  Environments[0] = TEnviron{nullptr, "C:\\D7", nullptr, true, false, false, false, "CSS", 7, 7};
  Environments[1] = TEnviron{nullptr, "C:\\D7", nullptr, true, true, false, false, "CSS", 7, 7};
  Environments[2] = TEnviron{nullptr, "C:\\CB6", nullptr, false, false, false, false, "PRO", 6, 6};
  Environments[3] = TEnviron{nullptr, "C:\\CB6", nullptr, false, true, false, false, "PRO", 6, 6};
  Environments[4] = TEnviron{nullptr, "C:\\BDS", nullptr, true, false, true, false, "CSS", 2, 8};
  EnvironmentCount = 5;
  const struct {
    const char *Key, *Compiler, *Package;
  } expected[] = {
      {"Software\\Borland\\Delphi\\7.0", "dcc32.exe", "DCLZEL77.bpl"},
      {"Software\\Borland\\Delphi\\7.0", "dcc32.exe", "DCLZEL77Clx.bpl"},
      {"Software\\Borland\\C++Builder\\6.0", "dcc32.exe", "DCLZEL7C6.bpl"},
      {"Software\\Borland\\C++Builder\\6.0", "dcc32.exe", "DCLZEL7C6Clx.bpl"},
      {"Software\\Borland\\BDS\\2.0", "dccil.exe", "DCLZEL72.bpl"},
  };
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(EnvironmentRegistryKey(i), expected[i].Key);
    EXPECT_EQ(CompilerExeName(i), expected[i].Compiler);
    EXPECT_EQ(PackageFileName(i, "DCLZEL", 7), expected[i].Package);
  }
  ResetEnvironments();
}

} // namespace
