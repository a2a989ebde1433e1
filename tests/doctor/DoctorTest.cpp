// The checks on a machine of the test's own: a Delphi and a C++Builder environment, each built and
// installed as the program installs them, give no finding; each planted problem is found by its check
// alone. Under Wine the system folder is the prefix's own, which other test programs fill with their
// runtime packages at the same time: these machines use versions that no other test uses, and the
// planted problems are tried one after the other.
#include "changes/EnvironmentChanges.h"
#include "doctor/Doctor.h"
#include "InstallFixture.h"
#include "framework/Files.h"
#include "framework/Process.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "ideintegration/InstallDriver.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "process/EnvironmentCheck.h"

#include <chrono>
#include <functional>
#include <set>
#include <thread>

namespace {

class DoctorMachine : public InstallFixture {
public:
  int delphi = 0, builder = 0;
  TDoctorSettings settings;
  std::string src;
  std::optional<TChildProcess> ide;
  using InstallFixture::host, InstallFixture::Key, InstallFixture::root, InstallFixture::systemFolder,
      InstallFixture::WritePackage;

  DoctorMachine(int delphiVersion, int builderVersion) {
    delphi =
        AddRow("Delphi " + std::to_string(delphiVersion) + " Enterprise", true, false, "CSS", delphiVersion);
    builder = AddRow("C++Builder " + std::to_string(builderVersion) + " Enterprise", false, false, "CSS",
                     builderVersion);
    src = host.SourceText;
    for (const char *file : {"ZeEngine.pas", "ZelDefs.inc", "Zel7.dpk"}) {
      WriteTextFile(src + "\\" + file, "source");
      Fs::SetLastWriteTime(src + "\\" + file, Fs::CurrentFileTime() - Hours(1));
    }
    for (const char *tool : {"dcc32.exe"})
      WriteTextFile(Root(delphi) + "\\bin\\" + tool, "tool");
    for (const char *tool : {"make.exe", "bpr2mak.exe"})
      WriteTextFile(Root(builder) + "\\bin\\" + tool, "tool");
    for (int index : {delphi, builder})
      Fs::ForceFolders(Root(index) + "\\Lib");
    ImportRegText("REGEDIT4\r\n\r\n" + Block(delphi, "Known Packages") + Block(delphi, "Disabled Packages") +
                  Block(delphi, "Library", "\"Search Path\"=\"$(DELPHI)\\\\Lib\"") +
                  Block(builder, "Known Packages") +
                  Block(builder, "Library", "\"Search Path\"=\"$(BCB)\\\\Lib\""));
    for (int index : {delphi, builder}) {
      BuildTree(index);
      PerformInstall(host, index, true);
    }
    settings = {src, host.DestinationBase};
  }
  ~DoctorMachine() override {
    if (ide) {
      WriteTextFile(root / "stop", "stop");
      ide->WaitForExit(30000);
    }
  }

  static std::string Block(int index, const std::string &subkey, const std::string &values = "") {
    return "[HKEY_CURRENT_USER\\" + EnvironmentRegistryKey(index) + "\\" + subkey + "]\r\n" + values +
           "\r\n\r\n";
  }
  static Fs::TFileTime Hours(int hours) { return Fs::TFileTime(hours) * 36000000000ull; }
  std::string Root(int index) const { return Environments[std::size_t(index)].RootDir; }
  std::string Tree(int index) {
    SetEnvironmentNames(host, index);
    return host.EnvironmentFolder;
  }
  void SetValue(const std::string &key, const std::string &name, const std::string &data) {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey(key, true)) << key;
    registry.WriteString(name, data);
  }
  std::string ValueOf(const std::string &key, const std::string &name) {
    return Values(TRootKey::CurrentUser, key).value_or(TValues{})[name];
  }
  // A copy of an older Quivex's compiled units, as an older install left it.
  std::string OldUnits() {
    WriteTextFile(root / "Quivex 6\\Lib\\ZeEngine.dcu", "unit");
    return root / "Quivex 6\\Lib";
  }
  // The Delphi IDE (its stand-in) running from the environment's folder, until the test ends.
  void StartIde() {
    std::string program = Root(delphi) + "\\bin\\Delphi32.exe";
    ASSERT_TRUE(Fs::CopyFile(ProgramPath("Delphi32"), program, false));
    TPipe input, output;
    std::uint32_t error = 0;
    ASSERT_TRUE(CreateChildPipe(input, TChildEnd::Read, error) &&
                CreateChildPipe(output, TChildEnd::Write, error));
    ide.emplace();
    ASSERT_TRUE(ide->Start(Quoted(program) + " " + Quoted(ChildPath(root / "stop")) + " 120", input.ReadEnd,
                           output.WriteEnd));
    for (int waited = 0; !IsEnvironmentRunning(delphi) && waited < 10000; waited += 20) // until it is listed
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::vector<TEnvironmentReport> Check() { return RunDoctor({delphi, builder}, settings); }
  std::string Package(int index, const std::string &stem, int version = LibraryVersion) {
    return PackageFileName(index, stem, version);
  }
};

// The findings as lines "row check severity: subject: detail", for the messages of failed checks.
std::vector<std::string> Describe(const std::vector<TEnvironmentReport> &reports) {
  std::vector<std::string> lines;
  for (const auto &report : reports)
    for (const auto &finding : report.Findings)
      lines.push_back(report.Name + " " + finding.Check + " " + SeverityName(finding.Severity) + ": " +
                      finding.Subject + ": " + finding.Detail);
  return lines;
}

struct TExpected {
  bool Delphi; // the row: the Delphi environment, or the C++Builder one
  const char *Check;
  TSeverity Severity;
  const char *SubjectPart;
};

struct TPlantedProblem {
  const char *Name;
  std::function<void(DoctorMachine &)> Plant;
  std::vector<TExpected> Expected;
};

const TSeverity Error = TSeverity::Error, Warning = TSeverity::Warning;

const TPlantedProblem PlantedProblems[] = {
    {"CompilerMissing",
     [](DoctorMachine &t) { Fs::DeleteFile(t.Root(t.delphi) + "\\bin\\dcc32.exe"); },
     {{true, "tools", Error, "\\bin\\dcc32.exe"}}},
    {"ProjectConverterMissing",
     [](DoctorMachine &t) { Fs::DeleteFile(t.Root(t.builder) + "\\bin\\bpr2mak.exe"); },
     {{false, "tools", Error, "\\bin\\bpr2mak.exe"}}},
    {"KnownPackageFileMissing",
     [](DoctorMachine &t) { Fs::DeleteFile(t.Tree(t.delphi) + "\\Bin\\" + t.Package(t.delphi, "DclZQR")); },
     {{true, "known-packages", Error, "\\DclZQR7"}}},
    {"TwoVersionsEnabled",
     [](DoctorMachine &t) {
       std::string old = t.root / ("Quivex 6\\" + t.Package(t.delphi, "DclZel", 6));
       WriteTextFile(old, "package");
       t.SetValue(t.Key(t.delphi, "Known Packages"), old, "Quivex 6 Components");
     },
     {{true, "package-versions", Error, "Known Packages"}}},
    {"KnownAndDisabled",
     [](DoctorMachine &t) {
       t.SetValue(t.Key(t.delphi, "Disabled Packages"),
                  t.Tree(t.delphi) + "\\Bin\\" + t.Package(t.delphi, "DclZel"), "Quivex 7");
     },
     {{true, "package-versions", Warning, "Disabled Packages"}}},
    {"RuntimePackageOfAnotherVersion",
     [](DoctorMachine &t) {
       t.WritePackage(t.systemFolder + "\\" + t.Package(t.delphi, "Zel"), "Quivex 6 Components");
     },
     {{true, "runtime-packages", Error, "\\Zel7"}}},
    {"RuntimePackageDiffers",
     [](DoctorMachine &t) {
       t.WritePackage(t.systemFolder + "\\" + t.Package(t.builder, "ZelUI"), "Quivex 7 ZelUI, another build");
     },
     {{false, "runtime-packages", Warning, "\\ZelUI7C"}}},
    {"OldUnitsOnTheSearchPath",
     [](DoctorMachine &t) {
       t.SetValue(t.Key(t.delphi, "Library"), "Search Path",
                  t.ValueOf(t.Key(t.delphi, "Library"), "Search Path") + ";" + t.OldUnits());
     },
     {{true, "search-path", Error, "Library \"Search Path\""}}},
    {"OldUnitsInDefaultProjectOptions",
     [](DoctorMachine &t) {
       std::string options = t.Root(t.delphi) + "\\bin\\defproj.dof";
       TStringList lines = LoadLines(options);
       for (auto &line : lines)
         if (line.rfind("SearchPath=", 0) == 0)
           line += ";" + t.OldUnits();
       SaveLines(options, lines);
     },
     {{true, "search-path", Error, "defproj.dof SearchPath"}}},
    {"SearchPathFolderMissing",
     [](DoctorMachine &t) {
       t.SetValue(t.Key(t.builder, "Library"), "Search Path", "$(BCB)\\Lib;$(BCB)\\Imports");
     },
     {{false, "search-path", Warning, "Library \"Search Path\""}}},
    {"IdeRunning", [](DoctorMachine &t) { t.StartIde(); }, {{true, "ide-running", Warning, "Delphi32.exe"}}},
    {"SourcesNewerThanTheTree",
     [](DoctorMachine &t) {
       Fs::SetLastWriteTime(t.src + "\\ZeEngine.pas", Fs::CurrentFileTime() + DoctorMachine::Hours(1));
     },
     {{true, "compiled-tree", Warning, "ZeEngine.pas"}, {false, "compiled-tree", Warning, "ZeEngine.pas"}}},
    {"InstallRecordNamesAMissingFolder",
     [](DoctorMachine &t) {
       t.SetValue(ProgramKey, "BinPath",
                  t.root / "Gone" + t.Tree(t.builder).substr(t.host.DestinationBase.size()) + "\\Bin");
     },
     {{false, "install-record", Error, "\"BinPath\""}}},
    {"JournalledValueChangedSince",
     [](DoctorMachine &t) {
       { // the install's write of the browsing path, through its journal as every run makes it
         TChangeScope journal("Delphi", EnvironmentRegistryKey(t.delphi), {t.host.DestinationBase, t.src});
         TRegistry registry(TRootKey::CurrentUser);
         ASSERT_TRUE(registry.OpenKey(t.Key(t.delphi, "Library"), false));
         Changes::WriteString(registry, "Browsing Path", t.src);
         journal.Commit();
       }
       t.SetValue(t.Key(t.delphi, "Library"), "Browsing Path", t.src + ";" + t.root.Path());
     },
     {{true, "journal", Warning, "Library\\Browsing Path"}}},
    {"InstallRecordNamesMissingExamples",
     [](DoctorMachine &t) { t.SetValue(ProgramKey, "DemoPath", t.root / "NoExamples"); },
     {{false, "install-record", Warning, "\"DemoPath\""}}},
};

// One machine per planted problem, one after the other (see above). The install tests' fixture is a
// test fixture: here it stands in a test of its own.
class TPlantMachine : public DoctorMachine {
public:
  TPlantMachine() : DoctorMachine(9, 9) {}
  void TestBody() override {}
};

TEST(Doctor, EachPlantedProblemIsFoundByItsCheckAlone) {
  for (const auto &problem : PlantedProblems) {
    SCOPED_TRACE(problem.Name);
    TPlantMachine t;
    ASSERT_EQ(Describe(t.Check()), std::vector<std::string>{}) << "the clean machine";
    problem.Plant(t);
    auto reports = t.Check();
    std::vector<std::string> found, expected;
    for (const auto &report : reports)
      for (const auto &finding : report.Findings)
        found.push_back(report.Name + " " + finding.Check + " " + SeverityName(finding.Severity));
    for (const auto &e : problem.Expected)
      expected.push_back(reports[e.Delphi ? 0 : 1].Name + " " + e.Check + " " + SeverityName(e.Severity));
    EXPECT_EQ(found, expected) << ::testing::PrintToString(Describe(reports));
    for (const auto &e : problem.Expected) {
      const auto &findings = reports[e.Delphi ? 0 : 1].Findings;
      EXPECT_TRUE(std::any_of(findings.begin(), findings.end(),
                              [&](const TFinding &f) {
                                return f.Subject.find(e.SubjectPart) != std::string::npos && !f.Fix.empty() &&
                                       !f.Detail.empty();
                              }))
          << e.SubjectPart << " in " << ::testing::PrintToString(Describe(reports));
    }
  }
}

// The registry, every file below the machine's folder, and the system folder's runtime packages of
// the two environments, each file with its time and bytes.
std::string MachineState(DoctorMachine &t) {
  std::string state = FormatRegText(ExportRegistryKey(TRootKey::CurrentUser, "Software")) +
                      FormatRegText(ExportRegistryKey(TRootKey::LocalMachine, "Software"));
  std::vector<std::string> files;
  for (const auto &file : ListTree(t.root.Path()))
    files.push_back(t.root / file);
  for (int index : {t.delphi, t.builder})
    for (const auto &file : ListTree(t.Tree(index) + "\\System"))
      files.push_back(t.systemFolder + "\\" + file);
  for (const auto &file : files)
    state +=
        file + " " + std::to_string(Fs::LastWriteTime(file).value_or(0)) + "\n" + ReadTextFile(file) + "\n";
  return state;
}

class DoctorReadOnlyTest : public DoctorMachine {
protected:
  DoctorReadOnlyTest() : DoctorMachine(10, 10) {}
};

TEST_F(DoctorReadOnlyTest, ARunChangesNothingAndReadsEachPlaceOnce) {
  for (const auto &problem : PlantedProblems)
    if (std::string(problem.Name) != "IdeRunning")
      problem.Plant(*this);
  std::string before = MachineState(*this);
  TMachineReader machine;
  std::vector<TEnvironmentReport> reports;
  for (int index : {delphi, builder, delphi}) {
    TEnvironmentSnapshot snapshot = TakeSnapshot(index, settings, machine);
    reports.push_back({index, snapshot.Name, CheckEnvironment(snapshot)});
  }
  EXPECT_EQ(MachineState(*this), before);
  std::set<std::string> checks;
  for (const auto &report : reports)
    for (const auto &finding : report.Findings)
      checks.insert(finding.Check);
  EXPECT_EQ(checks.size(), DoctorChecks.size() - 1) << "every check but the running IDE's found its problem";
  EXPECT_EQ(Describe({reports[2]}), Describe({reports[0]}));
  // Checking Delphi again read nothing new: every key, folder and file it needs had been read.
  int reads = machine.Reads();
  CheckEnvironment(TakeSnapshot(delphi, settings, machine));
  EXPECT_EQ(machine.Reads(), reads);
}

} // namespace
