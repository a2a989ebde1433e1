#include "app/VersionsForm.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"
#include "framework/Registry.h"
#include "session/BuildLog.h"
#include "TestRows.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

const char *const TwoEnvironments = "REGEDIT4\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                                    "\"ProgramFilesDir\"=\"C:\\\\Nowhere\"\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n"
                                    "\"RootDir\"=\"C:\\\\D5\"\r\n\"Version\"=\"PRO\"\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\4.0]\r\n"
                                    "\"RootDir\"=\"C:\\\\CB4\"\r\n";

// The main window headless, on a machine of the test's own, with every question scripted.
class VersionsFormTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TScriptedDesktop desktop;
  std::unique_ptr<TVersionsForm> form;

  VersionsFormTest() {
    ResetProgramState();
    Application().SetDesktop(&desktop);
    Application().SetParameters({});
  }
  ~VersionsFormTest() override {
    form.reset();
    Application().SetDesktop(nullptr);
    Application().SetParameters({});
    ResetProgramState();
    ExpectScriptFollowed(desktop);
  }

  void Create(const std::string &machine = TwoEnvironments) {
    if (!machine.empty())
      ImportRegText(machine);
    form = std::make_unique<TVersionsForm>();
  }

  void SaveSettings(const char *values) {
    ImportRegText(std::string("REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Velmora Software\\Quivex Recompile]\r\n"
                              "[HKEY_CURRENT_USER\\Software\\Velmora Software\\Quivex Recompile]\r\n") +
                  values);
  }

  std::optional<std::string> Saved(const char *name) {
    TRegistry registry(TRootKey::CurrentUser);
    if (!registry.OpenKeyReadOnly("\\Software\\Velmora Software\\Quivex Recompile") || !registry.ValueExists(name))
      return std::nullopt;
    return registry.ReadString(name);
  }
};

TEST_F(VersionsFormTest, TheLayoutHasEveryComponentAtItsPlace) {
  Create();
  EXPECT_EQ(form->Caption(), "Recompile Quivex source code  VERSION: 7");
  EXPECT_EQ(form->Width(), 688);
  EXPECT_EQ(form->Height(), 407);
  struct TExpected {
    TControl *Control;
    const char *Caption;
    int Left, Top, Width, Height, TabOrder;
  } expected[] = {
      {&form->Edit1, "", 132, 10, 189, 21, 3},
      {&form->SpeedButton1, "...", 325, 9, 23, 22, -1},
      {&form->Edit2, "Compiled", 131, 37, 190, 21, 4},
      {&form->PageControl1, "", 8, 72, 673, 297, 6},
      {&form->Button3, "Unselect all", 8, 378, 75, 25, 2},
      {&form->Button2, "BEGIN", 240, 378, 225, 25, 1},
      {&form->Button1, "Close", 600, 378, 75, 25, 0},
      {&form->OriginalFiles, "", 152, 112, 201, 225, 9},
      {&form->Button4, "&View with Notepad", 8, 8, 161, 25, 0},
  };
  for (const auto &e : expected) {
    SCOPED_TRACE(e.Control->Name());
    EXPECT_EQ(e.Control->Caption(), e.Caption);
    EXPECT_EQ(e.Control->Left(), e.Left);
    EXPECT_EQ(e.Control->Top(), e.Top);
    EXPECT_EQ(e.Control->Width(), e.Width);
    EXPECT_EQ(e.Control->Height(), e.Height);
    EXPECT_EQ(e.Control->TabOrder, e.TabOrder);
  }
  // The options and the labels keep their places; they only grow where their text needs it.
  EXPECT_EQ(form->CBMakeXFM.Left(), 392);
  EXPECT_EQ(form->CBInstall.Top(), 26);
  EXPECT_EQ(form->CBDCube.Top(), 48);
  EXPECT_GE(form->CBInstall.Width(), 217);
  EXPECT_EQ(form->Label1.Left() + form->Label1.Width(), 125);
  EXPECT_EQ(form->Label2.Caption(), "Relative &Destination:");
  EXPECT_TRUE(form->CBMakeXFM.Checked());
  EXPECT_TRUE(form->CBInstall.Checked());
  EXPECT_FALSE(form->CBDCube.Checked());
  EXPECT_TRUE(form->Button2.Font.Bold);
  EXPECT_FALSE(form->Button4.Enabled());
  EXPECT_FALSE(form->OriginalFiles.Visible());
  EXPECT_FALSE(form->OriginalFiles.Lines().empty());
  EXPECT_EQ(form->PageControl1.ActivePage(), &form->TabSheet1);
  EXPECT_EQ(form->GroupBox1.Parent(), &form->TabSheet1);
  EXPECT_EQ(form->GroupBox1.Width(), 665);
  EXPECT_EQ(form->GroupBox1.Height(), 269);
  EXPECT_EQ(form->Panel1.Height(), 41);
  EXPECT_EQ(form->Memo1.Top(), 41);
  EXPECT_EQ(form->Memo1.TabOrder, 1); // after the panel with Button4
  EXPECT_EQ(EnvironmentCount, 2);
  EXPECT_EQ(Environments[0].CheckBox->TabOrder, 0); // the rows take the focus in row order
  EXPECT_EQ(Environments[1].CheckBox->TabOrder, 1);
  EXPECT_TRUE(form->Button2.Enabled());
}

TEST_F(VersionsFormTest, TheLibraryUnitsAreThoseOfTheSampleDistribution) {
  Create();
  const TStringList &units = form->OriginalFiles.Lines();
  EXPECT_EQ(units.size(), Fs::FindFiles(SourcePath("sample\\Quivex\\*.pas")).size()); // every unit, once
  for (const auto &unit : units)
    EXPECT_TRUE(Fs::FileExists(SourcePath("sample\\Quivex\\" + unit + ".pas"))) << unit;
}

TEST_F(VersionsFormTest, AStandardBuildSaysSoInTheCaptionAndTheDestination) {
  Application().SetParameters({"standard"});
  Create();
  EXPECT_EQ(form->Caption(), "Recompile Quivex source code (Standard)  VERSION: 7");
  EXPECT_TRUE(form->StandardEditionBuild());
  form->Edit2.SetText("D:\\Out");
  EXPECT_EQ(form->DestinationFolder("C:\\Src\\"), "D:\\OutStandard");
  form->Edit2.SetText("Compiled");
  EXPECT_EQ(form->DestinationFolder("C:\\Src\\"), "C:\\Src\\CompiledStandard");
  Application().SetParameters({"INSTALL", "STANDARD"}); // only the first parameter counts
  EXPECT_FALSE(form->StandardEditionBuild());
  EXPECT_EQ(form->DestinationFolder("C:\\Src\\"), "C:\\Src\\Compiled");
}

TEST_F(VersionsFormTest, SettingsLoadAndSave) {
  Create();
  EXPECT_EQ(form->Edit1.Text(), ""); // no key: the layout's defaults
  EXPECT_EQ(form->Edit2.Text(), "Compiled");
  form->Edit1.SetText("C:\\Quivex");
  form->Close();
  EXPECT_EQ(Saved("Sources"), "C:\\Quivex");
  EXPECT_EQ(Saved("Destination"), "Compiled");

  form.reset();
  ResetEnvironments();
  SaveSettings("\"Sources\"=\"C:\\\\Src\"\r\n");
  Create("");
  EXPECT_EQ(form->Edit1.Text(), "C:\\Src");
  EXPECT_EQ(form->Edit2.Text(), ""); // an absent value reads empty
  EXPECT_EQ(form->Label2.Caption(), "Relative Destination:");
}

TEST_F(VersionsFormTest, AFailedDetectionStillLoadsTheSettingsSoThatClosingKeepsThem) {
  SaveSettings("\"Sources\"=\"C:\\\\Src\"\r\n\"Destination\"=\"D:\\\\Out\"\r\n");
  desktop.ExpectError("Cannot open registry key: LOCAL_MACHINE.");
  Create("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\4.0]\r\n\"RootDir\"=\"C:\\\\D4\"\r\n");
  EXPECT_EQ(EnvironmentCount, 1); // the rows found before the error stay on screen
  EXPECT_EQ(form->GroupBox1.Controls().size(), 3u);
  EXPECT_EQ(form->Caption(), "Recompile Quivex source code");
  EXPECT_EQ(form->Edit1.Text(), "C:\\Src");
  EXPECT_EQ(form->Edit2.Text(), "D:\\Out");
  EXPECT_EQ(form->Label2.Caption(), "Absolute Destination:");
  form->Close();
  EXPECT_EQ(Saved("Sources"), "C:\\Src");
  EXPECT_EQ(Saved("Destination"), "D:\\Out");
}

TEST_F(VersionsFormTest, TheFirstStartAsksForTheSourcesAndEndsWithoutThem) {
  Create();
  desktop.ExpectBrowse("Folder with Quivex Pro Sources", std::nullopt);
  desktop.ExpectMessage("Please specify folder with Quivex 7 source code.\rThis program will exit now.");
  form->Show();
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(Saved("Sources"), "");
  EXPECT_EQ(Saved("Destination"), "Compiled");
}

TEST_F(VersionsFormTest, AChosenFolderFillsTheFieldAndTheBrowserStartsThere) {
  Create();
  desktop.ExpectBrowse("Folder with Quivex Pro Sources", "C:\\Quivex");
  form->Show();
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(form->Edit1.Text(), "C:\\Quivex");
  desktop.ExpectBrowse("Folder with Quivex Pro Sources", std::nullopt); // cancel changes nothing
  form->SpeedButton1.Click();
  EXPECT_EQ(form->Edit1.Text(), "C:\\Quivex");
  EXPECT_EQ(desktop.BrowseInitialFolders, (std::vector<std::string>{"", "C:\\Quivex"}));
}

TEST_F(VersionsFormTest, SelectAllTogglesEveryRowAndBeginFollowsTheTicks) {
  Create();
  form->Button3.Click();
  EXPECT_EQ(form->Button3.Caption(), "Select All");
  EXPECT_FALSE(Environments[0].CheckBox->Checked());
  EXPECT_FALSE(Environments[1].CheckBox->Checked());
  EXPECT_FALSE(form->Button2.Enabled());
  form->Button3.Click();
  EXPECT_EQ(form->Button3.Caption(), "UnSelect All");
  EXPECT_TRUE(Environments[1].CheckBox->Checked());
  EXPECT_TRUE(form->Button2.Enabled());
  Environments[0].CheckBox->Click();
  EXPECT_TRUE(form->Button2.Enabled());
  Environments[1].CheckBox->Click();
  EXPECT_FALSE(form->Button2.Enabled());
  form->CBMakeXFM.SetChecked(true); // only the rows count
  EXPECT_FALSE(form->Button2.Enabled());
}

TEST_F(VersionsFormTest, TheDestinationLabelSaysWhetherTheFolderIsAbsolute) {
  Create();
  const std::pair<const char *, const char *> cases[] = {
      {"D:\\Out", "Absolute Destination:"}, {"\\Out", "Absolute Destination:"},
      {"X:", "Absolute Destination:"},      {"Compiled", "Relative Destination:"},
      {"", "Relative Destination:"},        {"Out\\x:y", "Absolute Destination:"},
  };
  for (const auto &[text, caption] : cases) {
    form->Edit2.UserChangedText(text);
    EXPECT_EQ(form->Label2.Caption(), caption) << text;
    EXPECT_EQ(form->Label2.Left() + form->Label2.Width(), 126) << text;
  }
  form->Edit2.SetText("Compiled");
  EXPECT_EQ(form->DestinationFolder("C:\\Src\\"), "C:\\Src\\Compiled");
  form->Edit2.SetText("\\Out");
  EXPECT_EQ(form->DestinationFolder("C:\\Src\\"), "\\Out");
}

TEST_F(VersionsFormTest, FlushingShowsTheLogAndEnablesTheNotepadButton) {
  Create();
  form->FlushBuildLog(); // no log: the view stays empty
  EXPECT_FALSE(form->Button4.Enabled());
  EnsureBuildLog();
  form->FlushBuildLog(); // an empty log leaves the button off
  EXPECT_FALSE(form->Button4.Enabled());
  EXPECT_EQ(BuildLog, nullptr);
  AppendToBuildLog("Compilation started: now");
  AppendToBuildLog(" ");
  form->FlushBuildLog();
  EXPECT_EQ(form->Memo1.Lines(), (TStringList{"Compilation started: now", " "}));
  EXPECT_TRUE(form->Button4.Enabled());
  EXPECT_EQ(BuildLog, nullptr);
  form->FlushBuildLog(); // absent again: the view keeps what it shows
  EXPECT_EQ(form->Memo1.Lines().size(), 2u);
  AppendToBuildLog("second");
  form->FlushBuildLog(); // a new log replaces the view's content
  EXPECT_EQ(form->Memo1.Lines(), TStringList{"second"});
}

TEST_F(VersionsFormTest, AnEnvironmentsErrorIsLoggedShownInItsRowAndEndsSilently) {
  Create();
  ShowStatus(-1, "ignored"); // changes no label
  EXPECT_EQ(Environments[0].StatusLabel->Caption(), "");
  EXPECT_THROW(form->ReportBuildError(1, Exception("Compilation aborted.")), EAbort);
  ASSERT_NE(BuildLog, nullptr);
  EXPECT_EQ(*BuildLog, (TStringList{"EXCEPTION:", "Compilation aborted.", std::string(44, '-')}));
  EXPECT_EQ(Environments[1].StatusLabel->Caption(), "ERROR");
  EXPECT_EQ(Environments[0].StatusLabel->Caption(), "");
  EXPECT_EQ(form->PageControl1.ActivePage(), &form->TabSheet2);
  try {
    form->ReportBuildError(0, Exception("x"));
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Operation aborted");
  }
  EXPECT_EQ(BuildLog->size(), 6u); // appended to the same log
}

TEST_F(VersionsFormTest, ViewingTheLogSavesItBesideTheDestinationAndStartsNotepad) {
  TTempFolder sources;
  Create();
  form->Edit1.SetText(sources.Path());
  form->Edit2.SetText("Compiled");
  AppendToBuildLog("line one");
  AppendToBuildLog("line two");
  form->FlushBuildLog();
  // The destination does not exist yet: the error reaches the user, notepad does not start.
  EXPECT_THROW(form->Button4Click(form->Button4), EFileError);
  EXPECT_TRUE(desktop.StartedPrograms.empty());
  Fs::CreateFolder(sources / "Compiled");
  form->Button4Click(form->Button4);
  EXPECT_EQ(ReadTextFile(sources / "Compiled\\Log.txt"), "line one\r\nline two\r\n");
  EXPECT_EQ(desktop.StartedPrograms, std::vector<std::string>{"notepad " + (sources / "Compiled\\Log.txt")});
  EXPECT_EQ(form->SourceFolder, sources.Path());
  EXPECT_EQ(form->DestinationBase, sources / "Compiled");
}

TEST_F(VersionsFormTest, AskYesNoResetsTheWaitCursorFirst) {
  Create();
  desktop.SetWaitCursor(true);
  desktop.ExpectQuestion("Continue?", true);
  EXPECT_TRUE(form->AskYesNo("Continue?"));
  EXPECT_FALSE(desktop.WaitCursor);
  desktop.ExpectQuestion("Again?", false);
  EXPECT_FALSE(form->AskYesNo("Again?"));
}

} // namespace
