// The whole install of one environment: the steps in order on a machine of the test's own, the
// reinstall question, the closing message, and how a failure is reported and flushed.
#include "InstallFixture.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/IniFile.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "ideintegration/AssemblyRegistration.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "session/BuildLog.h"

#include <algorithm>

namespace {

const char *const Finished = "Quivex Pro installation finished.";

std::string ExportAll() {
  std::string text;
  for (TRootKey rootKey : {TRootKey::CurrentUser, TRootKey::LocalMachine})
    text += FormatRegText(ExportRegistryKey(rootKey, "Software"));
  return text;
}

class InstallDriverTest : public InstallFixture {
protected:
  TValues Record() { return Values(TRootKey::CurrentUser, ProgramKey).value_or(TValues{}); }
  std::string AbortOf(const std::function<void()> &action) {
    try {
      action();
    } catch (const EAbort &) {
      return "aborted";
    }
    return "returned";
  }
};

TEST_F(InstallDriverTest, DelphiInstallAsksBeforeAReinstallAndRecordsItself) {
  int d7 = AddRow("Delphi 7 (Update 1)", true, false, "CSS", 7);
  BuildTree(d7);
  WriteTextFile(host.DestinationBase + "\\Examples\\Features\\Zel7New.dpr", "program Zel7New;");
  WriteTextFile(host.DestinationBase + "\\Docs\\Quivex7.hlp", "help");
  WriteTextFile(Environments[0].RootDir + "\\Help\\D7.cnt", ":Base D7.hlp\r\n");
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n"
                "\"C:\\\\Old\\\\DclZel67.bpl\"=\"Quivex 6\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Disabled Packages]\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Library]\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n");
  EXPECT_FALSE(IsInstalled(d7));
  desktop.ExpectMessage(Finished);
  InstallEnvironment(host, d7, false);

  EXPECT_TRUE(IsInstalled(d7));
  EXPECT_EQ(Record(), (TValues{{"VelmoraDotCom", ExamplesAddress},
                               {"DemoPath", host.DestinationBase + "\\Examples\\Features"},
                               {"BinPath", host.EnvironmentFolder + "\\Bin"}}));
  for (const char *name : {"Zel77.bpl", "ZelUI77.bpl", "ZelImage77.bpl"})
    EXPECT_TRUE(Fs::FileExists(systemFolder + "\\" + name)) << name;
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Disabled Packages")),
            (TValues{{"C:\\Old\\DclZel67.bpl", "Quivex 6"}}));
  EXPECT_EQ((*Values(TRootKey::CurrentUser, Key(d7, "Library")))["Search Path"],
            host.EnvironmentFolder + "\\Lib");
  EXPECT_TRUE(Fs::FileExists(Environments[0].RootDir + "\\bin\\defproj.dof"));
  EXPECT_EQ(ReadTextFile(Environments[0].RootDir + "\\Help\\D7.cnt"),
            ":Base D7.hlp\r\n:Include Quivex7.ohc\r\n:Index Quivex=Quivex7.hlp\r\n");
  EXPECT_EQ(Values(TRootKey::LocalMachine, "\\Software\\Microsoft\\Windows\\Help"),
            (TValues{{"Quivex7.hlp", host.DestinationBase + "\\Docs"}}));
  EXPECT_EQ(host.Flushes, 1);

  // Declined: nothing changes and nothing is said, but the log is flushed all the same.
  std::string before = ExportAll();
  std::string options = ReadTextFile(Environments[0].RootDir + "\\bin\\defproj.dof");
  desktop.ExpectQuestion(
      "Quivex Pro 7 is already installed under:\r\rDelphi 7 (Update 1).\r\rDo you want to reinstall?", false);
  InstallEnvironment(host, d7, false);
  EXPECT_EQ(ExportAll(), before);
  EXPECT_EQ(ReadTextFile(Environments[0].RootDir + "\\bin\\defproj.dof"), options);
  EXPECT_EQ(host.Flushes, 2);

  // Accepted, and silently from a build run: the same entries again.
  desktop.ExpectQuestion(
      "Quivex Pro 7 is already installed under:\r\rDelphi 7 (Update 1).\r\rDo you want to reinstall?", true);
  desktop.ExpectMessage(Finished);
  InstallEnvironment(host, d7, false);
  InstallEnvironment(host, d7, true);
  EXPECT_EQ(ExportAll(), before);
  EXPECT_EQ(
      TIniFile(Environments[0].RootDir + "\\bin\\defproj.dof").ReadSectionValues("Excluded Packages").size(),
      14u);
  EXPECT_TRUE(host.Reports.empty());
}

// A failure at any step leaves everything as before the install: the registry and the
// environment's files are exactly as before the run. The install journals its changes together and
// makes them at its end, so a step that refuses is found before anything is changed: nothing is
// left to undo, and the log says nothing of an undo.
TEST_F(InstallDriverTest, AFailureAtAnyStepUndoesWhatTheInstallChanged) {
  // A version no other test uses: under Wine every test program shares the system folder.
  int d7 = AddRow("Delphi 11", true, false, "CSS", 11);
  BuildTree(d7);
  const std::string rootDir = Environments[0].RootDir;
  WriteTextFile(host.DestinationBase + "\\Docs\\Quivex7.hlp", "help");
  WriteTextFile(rootDir + "\\Help\\D11.cnt", ":Base D11.hlp\r\n");
  WriteTextFile(rootDir + "\\bin\\defproj.dof", "[Directories]\r\nSearchPath=C:\\Keep\r\n");
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\11.0\\Known Packages]\r\n"
                "\"C:\\\\Old\\\\DclZel711.bpl\"=\"Quivex 7 as it "
                "was\"\r\n\"C:\\\\Old\\\\DclZel611.bpl\"=\"Quivex 6\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\11.0\\Disabled Packages]\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\11.0\\Library]\r\n\"Search "
                "Path\"=\"C:\\\\Keep\"\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n");
  WriteTextFile(systemFolder + "\\Zel711.bpl", "the runtime package the IDE loads today");
  auto snapshot = [&] {
    std::string text = MachineSnapshot(
        {{TRootKey::CurrentUser, "Software"}, {TRootKey::LocalMachine, "Software"}}, {rootDir});
    for (const auto &name : ListFiles(systemFolder + "\\*711.bpl"))
      text += name + " " + ReadTextFile(systemFolder + "\\" + name) + "\n";
    return text;
  };
  const std::string before = snapshot();
  // Each step's target refuses the write: a read-only file (which the edits refuse, also under Wine
  // where root may write anything), or a folder in the place of the runtime package.
  const struct {
    const char *step;
    std::string file;
    bool folder;
  } plants[] = {
      {"default project options", rootDir + "\\bin\\defproj.dof", false},
      {"runtime packages in the system folder", systemFolder + "\\ZelUI711.bpl", true},
      {"help contents", rootDir + "\\Help\\D11.cnt", false},
  };
  for (const auto &plant : plants) {
    SCOPED_TRACE(plant.step);
    ASSERT_TRUE(plant.folder ? Fs::CreateFolder(plant.file) : Fs::SetReadOnly(plant.file, true));
    EXPECT_EQ(AbortOf([&] { InstallEnvironment(host, d7, true); }), "aborted");
    if (plant.folder)
      Fs::RemoveFolder(plant.file);
    else
      Fs::SetReadOnly(plant.file, false);
    EXPECT_EQ(snapshot(), before);
    const TStringList &log = host.FlushedLines;
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(),
                      [](const std::string &line) { return line.find(" undone.") != std::string::npos; }),
        0)
        << JoinLines(log);
  }
  // Nothing planted: the install goes through and stays.
  InstallEnvironment(host, d7, true);
  EXPECT_NE(snapshot(), before);
  EXPECT_TRUE(IsInstalled(d7));
}

TEST_F(InstallDriverTest, CBuilderGetsItsVariablesOnlyFromVersionSixAndOnlyWhereTheKeyIs) {
  int cb4 = AddRow("C++Builder 4", false, false, "PRO", 4),
      cb6 = AddRow("C++Builder 6", false, false, "CSS", 6);
  const char *const fixture =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\4.0\\Environment Variables]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Environment Variables]\r\n"
      "\"ZELINCPATH\"=\"C:\\\\Old\\\\Include\"\r\n\"BCB\"=\"$(BCB)\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Library]\r\n\"Search "
      "Path\"=\"$(BCB)\\\\lib\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Velmora Software\\Quivex Pro v7 VCL]\r\n\"DemoPath\"=\"C:\\\\Old "
      "Demos\"\r\n";
  ImportRegText(fixture);
  for (int index : {cb4, cb6}) {
    BuildTree(index);
    InstallEnvironment(host, index, true);
  }
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(cb4, "Environment Variables")), TValues{});
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(cb6, "Environment Variables")),
            (TValues{{"BCB", "$(BCB)"},
                     {"ZELINCPATH", host.EnvironmentFolder + "\\Include"},
                     {"ZELLIBPATH", host.EnvironmentFolder + "\\Lib"}}));
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(cb6, "Library")), (TValues{{"Search Path", "$(BCB)\\lib"}}));
  EXPECT_FALSE(Fs::FileExists(Environments[std::size_t(cb6)].RootDir + "\\bin\\defproj.dof"));
  // No examples: the old DemoPath stays.
  EXPECT_EQ(Record(), (TValues{{"VelmoraDotCom", ExamplesAddress},
                               {"DemoPath", "C:\\Old Demos"},
                               {"BinPath", host.EnvironmentFolder + "\\Bin"}}));
  EXPECT_TRUE(Fs::FileExists(systemFolder + "\\ZelImage7C6.bpl"));

  TRegistry(TRootKey::CurrentUser).DeleteKey(Key(cb6, "Environment Variables"));
  InstallEnvironment(host, cb6, true);
  EXPECT_FALSE(Values(TRootKey::CurrentUser, Key(cb6, "Environment Variables")));
  EXPECT_EQ(host.Flushes, 3); // an install of its own flushes
}

TEST_F(InstallDriverTest, AFailureIsReportedOnceAndInsideARunTheRunFlushes) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n");
  Fs::DeleteFile(host.EnvironmentFolder + "\\Bin\\DclZQR77.bpl");
  const std::string reason = "Can't load package " + host.EnvironmentFolder + "\\Bin\\DclZQR77.bpl.\r\n";

  host.Running = true;
  AppendToBuildLog("Compilation started: today");
  AppendToBuildLog("Delphi 7");
  EXPECT_EQ(AbortOf([&] { InstallEnvironment(host, d7, true); }), "aborted");
  EXPECT_EQ(host.Reports, std::vector<int>{d7});
  EXPECT_EQ(host.Flushes, 0);
  ASSERT_TRUE(BuildLog);
  ASSERT_EQ(BuildLog->size(), 5u); // what the run logged before stays, then the one report
  EXPECT_EQ((*BuildLog)[1], "Delphi 7");
  EXPECT_EQ((*BuildLog)[2], "EXCEPTION:");
  EXPECT_EQ((*BuildLog)[3].rfind(reason, 0), 0u) << (*BuildLog)[3];
  // The runtime packages were not copied: the install ended at its first failure.
  EXPECT_FALSE(Fs::FileExists(systemFolder + "\\Zel77.bpl"));

  host.Running = false;
  BuildLog.reset();
  // Every package is loaded before the first entry changes: nothing was registered, so no
  // reinstall question.
  EXPECT_FALSE(IsInstalled(d7));
  EXPECT_EQ(AbortOf([&] { InstallEnvironment(host, d7, false); }), "aborted"); // no closing message
  EXPECT_EQ(host.Flushes, 1);
  ASSERT_EQ(host.FlushedLines.size(), 3u);
  EXPECT_EQ(host.FlushedLines[0], "EXCEPTION:");
  EXPECT_FALSE(BuildLog);
}

TEST_F(InstallDriverTest, DotNetInstallRegistersTheAssemblyAndOnlyTheGuideHelp) {
  int net = AddRow("Delphi 8 (.NET)", true, true, "CSS", 2);
  BuildTree(net);
  for (const char *name : {"Quivex7.hlp", "ZelUser7.hlp"})
    WriteTextFile(host.DestinationBase + "\\Docs\\" + name, "help");
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\BDS\\2.0\\Known Assemblies]\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n");
  EXPECT_FALSE(IsInstalled(net));
  desktop.ExpectQuestion("Install Quivex assemblies to .Net Global Assembly Cache ?", false);
  desktop.ExpectMessage(Finished);
  InstallEnvironment(host, net, false);
  EXPECT_TRUE(IsInstalled(net));
  EXPECT_EQ(Record()["BinPath"], host.EnvironmentFolder + "\\Assemblies");
  EXPECT_EQ(Values(TRootKey::LocalMachine, "\\Software\\Microsoft\\Windows\\Help"),
            (TValues{{"ZelUser7.hlp", host.DestinationBase + "\\Docs"}}));
  EXPECT_EQ((*Values(TRootKey::CurrentUser, Key(net, "AssemblyFolders\\QuivexComponents")))[""],
            host.EnvironmentFolder + "\\Assemblies");
}

// A Standard edition build of the .NET row, with the stand-in compiler, and its install with the
// stand-in cache tool: the install names the files that the build made.
TEST_F(InstallDriverTest, AStandardBuildOfTheDotNetRowInstalls) {
  const std::string startFolder = Fs::CurrentFolder();
  const std::string src = root / "Src";
  CopyTree(SourcePath("sample\\Quivex"), src);
  int net = AddRow("Delphi 8", true, true, "CSS", 2);
  std::string environment = root / "Borland\\BDS";
  CopyTree(SourcePath("sample\\Environments\\Borland\\BDS\\2.0"), environment);
  ASSERT_TRUE(Fs::CopyFile(ProgramPath("dccil"), environment + "\\bin\\" + ExecutableName("dccil"), false));
  Environments[std::size_t(net)].RootDir = environment;
  std::string tool = root / ("NET\\" + ExecutableName("gacutil"));
  Fs::ForceFolders(root / "NET");
  ASSERT_TRUE(Fs::CopyFile(ProgramPath("gacutil"), tool, false));
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\BDS\\2.0\\Known Assemblies]\r\n\r\n"
                "[HKEY_CLASSES_ROOT\\Applications\\gacutil.exe\\shell\\open\\command]\r\n@=\"\\\"" +
                [](std::string t) {
                  for (std::size_t at = 0; (at = t.find('\\', at)) != std::string::npos; at += 2)
                    t.insert(at, "\\");
                  return t;
                }(tool) +
                "\\\" \\\"%1\\\"\"\r\n");
  host.StandardBuild = true;
  StandardMode = true;
  host.SourceFolder = host.SourceText = src;
  host.DestinationBase = src + "\\CompiledStandard";
  Fs::CreateFolder(host.DestinationBase);
  Fs::SetCurrentFolder(root.Path());
  try {
    BuildEnvironment(host, net);
    InstallEnvironment(host, net, true);
  } catch (const std::exception &error) {
    std::string log;
    for (const auto &line : BuildLog ? *BuildLog : host.FlushedLines)
      log += line + "\n";
    ADD_FAILURE() << error.what() << "\n" << log;
  }
  Fs::SetCurrentFolder(startFolder);
  EXPECT_TRUE(host.Reports.empty());
  TValues known = Values(TRootKey::CurrentUser, Key(net, "Known Assemblies")).value_or(TValues{});
  EXPECT_EQ(known.size(), 1u);
  for (const auto &[name, data] : known)
    EXPECT_TRUE(Fs::FileExists(name)) << name;
  std::string cache = ReadTextFile(root / "NET\\GlobalAssemblyCache.txt");
  EXPECT_NE(cache.find(AssemblyPath(host, VclAssemblyName())), std::string::npos) << cache;
  EXPECT_NE(cache.find(AssemblyPath(host, LanguagesAssemblyName())), std::string::npos) << cache;
}

} // namespace
