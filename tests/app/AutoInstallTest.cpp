// The automatic install mode through the window's first showing, headless: the parameters and the
// installer's name, where the compiled trees are found, the questions, and whether the window
// closes.
#include "app/UnattendedRun.h"
#include "app/VersionsForm.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "framework/RegFile.h"
#include "framework/Registry.h"
#include "session/BuildLog.h"
#include "unattended/RunLocks.h"
#include "TestRows.h"
#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::string RegText(std::string text) {
  for (std::size_t at = 0; (at = text.find('\\', at)) != std::string::npos; at += 2)
    text.insert(at, "\\");
  return text;
}

const char *const Finished = "Quivex Pro installation finished.";

class AutoInstallTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TScriptedDesktop desktop;
  TTempFolder root;
  const std::string compiled = root / "Src\\Compiled";
  const std::string startFolder = Fs::CurrentFolder();
  std::unique_ptr<TVersionsForm> form;

  AutoInstallTest() {
    ResetProgramState();
    Application().SetDesktop(&desktop);
    Application().SetParameters({});
    for (const char *environment : {"D7", "CB6", "BDS"})
      Fs::ForceFolders(root / ("Borland\\" + std::string(environment) + "\\bin"));
    ImportRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                  "\"ProgramFilesDir\"=\"C:\\\\Nowhere\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\7.0]\r\n\"RootDir\"=\"" +
                  RegText(root / "Borland\\D7") + "\"\r\n\"Version\"=\"CSS\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\6.0]\r\n\"RootDir\"=\"" +
                  RegText(root / "Borland\\CB6") + "\"\r\n\"Version\"=\"PRO\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\BDS\\2.0]\r\n\"RootDir\"=\"" +
                  RegText(root / "Borland\\BDS") + "\"\r\n\"Edition\"=\"CSS\"\r\n");
    Fs::ForceFolders(compiled);
  }
  ~AutoInstallTest() override {
    form.reset();
    Fs::SetCurrentFolder(startFolder);
    Application().SetDesktop(nullptr);
    Application().SetParameters({});
    Application().SetExeName("");
    ResetProgramState();
    ExpectScriptFollowed(desktop);
  }

  // Starts the program in folder with these parameters under this file name, and shows its window
  // as the message loop does first: through the top-level handler of user actions.
  void Start(const std::string &folder, std::vector<std::string> parameters, const std::string &exeName = "",
             bool withSources = true) {
    form.reset();
    ResetEnvironments();
    Application().SetParameters(std::move(parameters));
    Application().SetExeName(exeName);
    ASSERT_TRUE(Fs::SetCurrentFolder(folder));
    form = std::make_unique<TVersionsForm>();
    form->Edit1.SetText(withSources ? root / "Src" : ""); // the normal start would prompt without it
    RunUserAction([this] { form->Show(); });
  }
  void Tree(const std::string &file) { WriteTextFile(compiled + "\\" + file, "package"); }
  int RowOf(const std::string &caption) {
    for (int i = 0; i < EnvironmentCount; ++i)
      if (Environments[std::size_t(i)].CheckBox->Caption().rfind(caption, 0) == 0 && !Environments[std::size_t(i)].IsCLX)
        return i;
    return -1;
  }
  std::string BinPath() {
    TRegistry registry(TRootKey::CurrentUser);
    return registry.OpenKeyReadOnly("\\Software\\Velmora Software\\Quivex Pro v7 VCL") ? registry.ReadString("BinPath")
                                                                                        : "no record";
  }
};

TEST_F(AutoInstallTest, InstallTakesTheFirstRowWhoseTreeIsBesideAndCloses) {
  Tree("Delphi7\\Bin\\DclZel77.bpl");
  Tree("BuilderC6\\Bin\\DclZel7C6.bpl");
  desktop.ExpectMessage(Finished);
  Start(compiled, {"install"});
  EXPECT_EQ(form->DestinationBase, Fs::CurrentFolder());
  bool delphiFirst = RowOf("Delphi 7") < RowOf("C++Builder 6");
  EXPECT_EQ(BinPath(), Fs::CurrentFolder() + (delphiFirst ? "\\Delphi7\\Bin" : "\\BuilderC6\\Bin"));
  EXPECT_TRUE(form->Closed());
}

// A Standard edition's tree holds its own design package ("DclZelStd77.bpl") instead of the full
// edition's.
TEST_F(AutoInstallTest, TheTreeOfAStandardEditionIsFoundToo) {
  const struct {
    const char *Package, *Tree;
  } cases[] = {{"Delphi7\\Bin\\DclZelStd77.bpl", "\\Delphi7\\Bin"},
               {"BuilderC6\\Bin\\DclZelStd7C6.bpl", "\\BuilderC6\\Bin"}};
  for (const auto &c : cases) {
    RemoveTree(compiled);
    Tree(c.Package);
    desktop.ExpectMessage(Finished);
    Start(compiled, {"INSTALL"});
    EXPECT_EQ(BinPath(), Fs::CurrentFolder() + c.Tree) << c.Package;
  }
}

TEST_F(AutoInstallTest, InstallNetConsidersOnlyTheDotNetRow) {
  Tree("Delphi7\\Bin\\DclZel77.bpl");
  desktop.ExpectMessage("Quivex files to AUTO install cannot be found.");
  Start(compiled, {"INSTALL", "net"}, "ZelInstall.exe"); // the parameter comes first: no question
  EXPECT_EQ(BinPath(), "no record");
  EXPECT_TRUE(form->Closed());

  Tree("Delphi8\\Assemblies\\Velmora.Quivex.Vcl.Design.dll");
  desktop.ExpectQuestion("Install Quivex assemblies to .Net Global Assembly Cache ?", false);
  desktop.ExpectMessage(Finished);
  Start(compiled, {"Install", "NET"});
  EXPECT_EQ(BinPath(), Fs::CurrentFolder() + "\\Delphi8\\Assemblies");
  EXPECT_TRUE(form->Closed());
}

TEST_F(AutoInstallTest, TheInstallerInsideItsTreeAsksAndInstallsIntoTheParentFolder) {
  Tree("Delphi7\\Bin\\DclZel77.bpl");
  desktop.ExpectQuestion("Do you want to INSTALL Quivex Pro 7 in Delphi 7 Enterprise ?", true);
  desktop.ExpectMessage(Finished);
  Start(compiled + "\\Delphi7", {}, "C:\\Out\\zelinstall.EXE");
  EXPECT_EQ(form->DestinationBase, TVersionsForm::ParentFolder(Fs::CurrentFolder()));
  EXPECT_EQ(BinPath(), form->DestinationBase + "\\Delphi7\\Bin");
  EXPECT_TRUE(form->Closed());
}

TEST_F(AutoInstallTest, TheInstallerClosesWhenDeclinedAndStaysWhenItFindsNothing) {
  Tree("BuilderC6\\Bin\\DclZel7C6.bpl");
  desktop.ExpectQuestion("Do you want to INSTALL Quivex Pro 7 in C++Builder 6 Professional ?", false);
  Start(compiled, {}, "ZELINSTALL.EXE");
  EXPECT_EQ(BinPath(), "no record");
  EXPECT_TRUE(form->Closed());

  // Nothing below the current folder: the window stays for normal use, and although the source
  // field is empty, no folder prompt follows.
  desktop.ExpectMessage("Quivex files cannot be found under current folder structure.");
  Start(root.Path(), {}, "ZelInstall.exe", false);
  EXPECT_FALSE(form->Closed());
}

TEST_F(AutoInstallTest, ADeclinedReinstallClosesAndAFailedInstallLeavesTheWindowOnItsLog) {
  Tree("Delphi7\\Bin\\DclZel77.bpl"); // not a package: its description cannot be read
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n"
                "\"C:\\\\Old\\\\DclZel77.bpl\"=\"Quivex 7\"\r\n");
  const std::string reinstall =
      "Quivex Pro 7 is already installed under:\r\rDelphi 7 Enterprise.\r\rDo you want to reinstall?";
  desktop.ExpectQuestion(reinstall, false);
  Start(compiled, {"install"});
  EXPECT_TRUE(form->Closed());

  desktop.ExpectQuestion("Do you want to INSTALL Quivex Pro 7 in Delphi 7 Enterprise ?", true);
  desktop.ExpectQuestion(reinstall, true);
  Start(compiled, {}, "ZelInstall.exe"); // no error box: the failure is the log's
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(form->PageControl1.ActivePage(), &form->TabSheet2);
  EXPECT_EQ(Environments[std::size_t(RowOf("Delphi 7"))].StatusLabel->Caption(), "ERROR");
  const TStringList &log = form->Memo1.Lines();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "EXCEPTION:");
  EXPECT_EQ(log[1].rfind("Can't load package ", 0), 0u) << log[1];
  EXPECT_TRUE(form->Button4.Enabled());
}

// Without a person ("ZelInstall.exe /yes /result:FILE"): the same search, question and install,
// the question answered by the caller's rule, the outcome in the exit code and the result file.
TEST_F(AutoInstallTest, WithoutAPersonTheInstallerAnswersByTheRuleAndWritesItsResult) {
  Tree("Delphi7\\Bin\\DclZel77.bpl");
  const std::string resultFile = root / "r.json";
  TStringList printed;
  std::string inside; // the tree's folder as the file layer spells it
  auto run = [&](std::vector<std::string> parameters) {
    printed.clear();
    Application().SetExeName("C:\\Out\\ZelInstall.exe");
    EXPECT_TRUE(Fs::SetCurrentFolder(compiled + "\\Delphi7"));
    inside = Fs::CurrentFolder();
    return RunUnattendedInstall(parameters, [&](const std::string &line) { printed.push_back(line); });
  };
  auto result = [&] { return ReadTextFile(resultFile); };
  const std::string question = "Do you want to INSTALL Quivex Pro 7 in Delphi 7 Enterprise ?";

  EXPECT_EQ(run({"/result:" + resultFile}), 1);
  EXPECT_EQ(BinPath(), "no record");
  EXPECT_NE(result().find("\"error\": \"Question needs an answer: " + question + "\""), std::string::npos) << result();
  EXPECT_NE(result().find("\"status\": \"error\""), std::string::npos);

  EXPECT_EQ(run({"-YES", "/Result:" + resultFile}), 0);
  EXPECT_EQ(BinPath(), TVersionsForm::ParentFolder(inside) + "\\Delphi7\\Bin");
  EXPECT_EQ(printed, (TStringList{"Delphi 7 Enterprise", "Answered Yes: " + question, Finished}));
  EXPECT_NE(result().find("\"status\": \"ok\""), std::string::npos) << result();
  EXPECT_NE(result().find("\"exitCode\": 0"), std::string::npos);

  EXPECT_EQ(run({"/yes", "/build"}), 2);
  EXPECT_EQ(printed.at(0), "Unknown switch for the installer: /build");
  // A result file that cannot be written is found out before the install, not after it.
  TRegistry(TRootKey::CurrentUser).DeleteKey("\\Software\\Velmora Software");
  EXPECT_EQ(run({"/yes", "/result:" + root / "missing\\r.json"}), 2);
  EXPECT_EQ(printed.at(0), "The folder of /result does not exist: " + root / "missing");
  EXPECT_EQ(BinPath(), "no record");
  Fs::WriteWholeFile(resultFile, "");
  Application().SetExeName("ZelInstall.exe");
  ASSERT_TRUE(Fs::SetCurrentFolder(root.Path()));
  EXPECT_EQ(RunUnattendedInstall({"/yes", "/result:r.json"}, [](const std::string &) {}), 1);
  EXPECT_NE(result().find("\"error\": \"Quivex files cannot be found under current folder structure.\""),
            std::string::npos) << result();
}

// While another run installs into the environment, this install is refused before it changes
// anything: the window stays on its log, and without a person the exit code is 3.
TEST_F(AutoInstallTest, AnInstallIsRefusedWhileAnotherRunInstallsIntoTheEnvironment) {
  Tree("Delphi7\\Bin\\DclZel77.bpl");
  TInstanceLock other(InstallLockName("Software\\Borland\\Delphi\\7.0", root / "Borland\\D7"));
  ASSERT_TRUE(other.Held());
  const std::string refused = "Another run installs into Delphi 7 Enterprise.";
  Start(compiled, {"install"});
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(form->Memo1.Lines(), (TStringList{"EXCEPTION:", refused, std::string(44, '-')}));
  EXPECT_EQ(Environments[std::size_t(RowOf("Delphi 7"))].StatusLabel->Caption(), "ERROR");

  form.reset();
  ResetEnvironments();
  const std::string resultFile = root / "r.json";
  TStringList printed;
  Application().SetExeName("ZelInstall.exe");
  ASSERT_TRUE(Fs::SetCurrentFolder(compiled));
  EXPECT_EQ(RunUnattendedInstall({"/yes", "/result:" + resultFile},
                                 [&](const std::string &line) { printed.push_back(line); }),
            3);
  EXPECT_EQ(std::count(printed.begin(), printed.end(), "  ERROR: " + refused), 1);
  EXPECT_NE(ReadTextFile(resultFile).find("\"error\": \"" + refused + "\""), std::string::npos);
  EXPECT_EQ(BinPath(), "no record");
}

// "INSTALL NET /yes" without the assembly cache tool: the message as in the window, and the install
// goes on, but the result says what it went without.
TEST_F(AutoInstallTest, WithoutTheCacheToolTheDotNetInstallWarns) {
  Tree("Delphi8\\Assemblies\\Velmora.Quivex.Vcl.Design.dll");
  const std::string resultFile = root / "r.json";
  TStringList printed;
  ASSERT_TRUE(Fs::SetCurrentFolder(compiled));
  EXPECT_EQ(RunUnattendedInstall({"INSTALL", "NET", "/yes", "/result:" + resultFile},
                                 [&](const std::string &line) { printed.push_back(line); }),
            0);
  const std::string missing = "Cannot find .Net GACUTIL.EXE tool in current search path.";
  const std::string warning = missing + " No assembly was installed to the global assembly cache.";
  EXPECT_NE(std::find(printed.begin(), printed.end(), "Error: " + missing), printed.end());
  EXPECT_NE(std::find(printed.begin(), printed.end(), "  Warning: " + warning), printed.end());
  std::string result = ReadTextFile(resultFile);
  EXPECT_NE(result.find("\"status\": \"ok\""), std::string::npos) << result;
  EXPECT_NE(result.find("\"warnings\": [\"" + warning + "\"]"), std::string::npos) << result;
  EXPECT_EQ(BinPath(), Fs::CurrentFolder() + "\\Delphi8\\Assemblies"); // the rest was installed
}

TEST(ParentFolder, RemovesTheLastFolderAndStopsAtAnEmptyText) {
  for (auto [folder, parent] : {std::pair{"C:\\Out\\Compiled\\Delphi7", "C:\\Out\\Compiled"},
                                {"C:\\Out\\Compiled\\Delphi7\\", "C:\\Out\\Compiled"},
                                {"C:\\Delphi7", "C:"},
                                {"C:\\", ""},
                                {"Delphi7", ""},
                                {"", ""},
                                {"/tmp/out/Delphi7", "/tmp/out"}})
    EXPECT_EQ(TVersionsForm::ParentFolder(folder), parent) << folder;
}

} // namespace
