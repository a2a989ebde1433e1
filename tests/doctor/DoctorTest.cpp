// The checks on a machine of the test's own: Delphi 7 and C++Builder 6, each built and installed as
// the program installs them, give no finding; each planted problem is found by its check alone.
#include "doctor/Doctor.h"
#include "InstallFixture.h"
#include "framework/Files.h"
#include "framework/Process.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "ideintegration/InstallDriver.h"
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
  int d7 = 0, cb6 = 0;
  TDoctorSettings settings;
  std::string src;
  std::optional<TChildProcess> ide;
  using InstallFixture::Key, InstallFixture::root, InstallFixture::systemFolder, InstallFixture::WritePackage;

  DoctorMachine() {
    d7 = AddRow("Delphi 7 Enterprise", true, false, "CSS", 7);
    cb6 = AddRow("C++Builder 6 Enterprise", false, false, "CSS", 6);
    src = host.SourceText;
    for (const char *file : {"ZeEngine.pas", "ZelDefs.inc", "Zel77.dpk"}) {
      WriteTextFile(src + "\\" + file, "source");
      Fs::SetLastWriteTime(src + "\\" + file, Fs::CurrentFileTime() - Hours(1));
    }
    for (const char *tool : {"dcc32.exe"})
      WriteTextFile(Root(d7) + "\\bin\\" + tool, "tool");
    for (const char *tool : {"make.exe", "bpr2mak.exe"})
      WriteTextFile(Root(cb6) + "\\bin\\" + tool, "tool");
    for (int index : {d7, cb6})
      Fs::ForceFolders(Root(index) + "\\Lib");
    ImportRegText("REGEDIT4\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Disabled Packages]\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Library]\r\n"
                  "\"Search Path\"=\"$(DELPHI)\\\\Lib\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Known Packages]\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Library]\r\n"
                  "\"Search Path\"=\"$(BCB)\\\\Lib\"\r\n");
    for (int index : {d7, cb6}) {
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
  // The Delphi 7 IDE (its stand-in) running from the environment's folder, until the test ends.
  void StartIde() {
    std::string program = Root(d7) + "\\bin\\Delphi32.exe";
    ASSERT_TRUE(Fs::CopyFile(ProgramPath("Delphi32"), program, false));
    TPipe input, output;
    std::uint32_t error = 0;
    ASSERT_TRUE(CreateChildPipe(input, TChildEnd::Read, error) &&
                CreateChildPipe(output, TChildEnd::Write, error));
    ide.emplace();
    ASSERT_TRUE(ide->Start(Quoted(program) + " " + Quoted(ChildPath(root / "stop")) + " 120", input.ReadEnd,
                           output.WriteEnd));
    for (int waited = 0; !IsEnvironmentRunning(d7) && waited < 10000; waited += 20) // until it is listed
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::vector<TEnvironmentReport> Check() { return RunDoctor({d7, cb6}, settings); }
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
  bool Delphi; // the row: Delphi 7, or C++Builder 6
  const char *Check;
  TSeverity Severity;
  const char *SubjectPart;
};

struct TPlantedProblem {
  const char *Name;
  std::function<void(DoctorMachine &)> Plant;
  std::vector<TExpected> Expected;
};

void PrintTo(const TPlantedProblem &problem, std::ostream *out) {
  *out << problem.Name;
}

class DoctorTest : public DoctorMachine, public ::testing::WithParamInterface<TPlantedProblem> {};

TEST_P(DoctorTest, EachPlantedProblemIsFoundByItsCheckAlone) {
  ASSERT_EQ(Describe(Check()), std::vector<std::string>{}) << "the clean machine";
  GetParam().Plant(*this);
  auto reports = Check();
  std::vector<std::string> found, expected;
  for (const auto &report : reports)
    for (const auto &finding : report.Findings)
      found.push_back(report.Name + " " + finding.Check + " " + SeverityName(finding.Severity));
  for (const auto &e : GetParam().Expected)
    expected.push_back(std::string(e.Delphi ? "Delphi 7 Enterprise " : "C++Builder 6 Enterprise ") + e.Check +
                       " " + SeverityName(e.Severity));
  ASSERT_EQ(found, expected) << ::testing::PrintToString(Describe(reports));
  for (const auto &e : GetParam().Expected) {
    const auto &findings = reports[e.Delphi ? 0 : 1].Findings;
    EXPECT_TRUE(std::any_of(findings.begin(), findings.end(),
                            [&](const TFinding &f) {
                              return f.Subject.find(e.SubjectPart) != std::string::npos && !f.Fix.empty() &&
                                     !f.Detail.empty();
                            }))
        << e.SubjectPart << " in " << ::testing::PrintToString(Describe(reports));
  }
}

const TSeverity Error = TSeverity::Error, Warning = TSeverity::Warning;

const TPlantedProblem PlantedProblems[] = {
    {"CompilerMissing",
     [](DoctorMachine &t) { Fs::DeleteFile(t.Root(t.d7) + "\\bin\\dcc32.exe"); },
     {{true, "tools", Error, "\\bin\\dcc32.exe"}}},
    {"ProjectConverterMissing",
     [](DoctorMachine &t) { Fs::DeleteFile(t.Root(t.cb6) + "\\bin\\bpr2mak.exe"); },
     {{false, "tools", Error, "\\bin\\bpr2mak.exe"}}},
    {"KnownPackageFileMissing",
     [](DoctorMachine &t) { Fs::DeleteFile(t.Tree(t.d7) + "\\Bin\\DclZQR77.bpl"); },
     {{true, "known-packages", Error, "DclZQR77.bpl"}}},
    {"TwoVersionsEnabled",
     [](DoctorMachine &t) {
       WriteTextFile(t.root / "Quivex 6\\DclZel67.bpl", "package");
       t.SetValue(t.Key(t.d7, "Known Packages"), t.root / "Quivex 6\\DclZel67.bpl", "Quivex 6 Components");
     },
     {{true, "package-versions", Error, "Known Packages"}}},
    {"KnownAndDisabled",
     [](DoctorMachine &t) {
       t.SetValue(t.Key(t.d7, "Disabled Packages"), t.Tree(t.d7) + "\\Bin\\DclZel77.bpl", "Quivex 7");
     },
     {{true, "package-versions", Warning, "Disabled Packages"}}},
    {"RuntimePackageOfAnotherVersion",
     [](DoctorMachine &t) { t.WritePackage(t.systemFolder + "\\Zel77.bpl", "Quivex 6 Components"); },
     {{true, "runtime-packages", Error, "Zel77.bpl"}}},
    {"RuntimePackageDiffers",
     [](DoctorMachine &t) {
       t.WritePackage(t.systemFolder + "\\ZelUI7C6.bpl", "Quivex 7 ZelUI, another build");
     },
     {{false, "runtime-packages", Warning, "ZelUI7C6.bpl"}}},
    {"OldUnitsOnTheSearchPath",
     [](DoctorMachine &t) {
       t.SetValue(t.Key(t.d7, "Library"), "Search Path",
                  t.ValueOf(t.Key(t.d7, "Library"), "Search Path") + ";" + t.OldUnits());
     },
     {{true, "search-path", Error, "Library \"Search Path\""}}},
    {"OldUnitsInDefaultProjectOptions",
     [](DoctorMachine &t) {
       std::string options = t.Root(t.d7) + "\\bin\\defproj.dof";
       TStringList lines = LoadLines(options);
       for (auto &line : lines)
         if (line.rfind("SearchPath=", 0) == 0)
           line += ";" + t.OldUnits();
       SaveLines(options, lines);
     },
     {{true, "search-path", Error, "defproj.dof SearchPath"}}},
    {"SearchPathFolderMissing",
     [](DoctorMachine &t) {
       t.SetValue(t.Key(t.cb6, "Library"), "Search Path", "$(BCB)\\Lib;$(BCB)\\Imports");
     },
     {{false, "search-path", Warning, "Library \"Search Path\""}}},
    {"IdeRunning", [](DoctorMachine &t) { t.StartIde(); }, {{true, "ide-running", Warning, "Delphi32.exe"}}},
    {"SourcesNewerThanTheTree",
     [](DoctorMachine &t) {
       Fs::SetLastWriteTime(t.src + "\\ZeEngine.pas", Fs::CurrentFileTime() + DoctorMachine::Hours(1));
     },
     {{true, "compiled-tree", Warning, "ZeEngine.pas"}, {false, "compiled-tree", Warning, "ZeEngine.pas"}}},
    {"InstallRecordNamesAMissingFolder",
     [](DoctorMachine &t) { t.SetValue(ProgramKey, "BinPath", t.root / "Gone\\BuilderC6\\Bin"); },
     {{false, "install-record", Error, "\"BinPath\""}}},
    {"InstallRecordNamesMissingExamples",
     [](DoctorMachine &t) { t.SetValue(ProgramKey, "DemoPath", t.root / "NoExamples"); },
     {{false, "install-record", Warning, "\"DemoPath\""}}},
};

INSTANTIATE_TEST_SUITE_P(Doctor, DoctorTest, ::testing::ValuesIn(PlantedProblems),
                         [](const auto &info) { return std::string(info.param.Name); });

// Every file below the machine's folders and the system folder with its bytes, and the registry.
std::string MachineState(DoctorMachine &t) {
  std::string state = FormatRegText(ExportRegistryKey(TRootKey::CurrentUser, "Software")) +
                      FormatRegText(ExportRegistryKey(TRootKey::LocalMachine, "Software"));
  for (const std::string &folder : {t.root.Path(), t.systemFolder})
    for (const auto &file : ListTree(folder)) {
      auto time = Fs::LastWriteTime(folder + "\\" + file);
      state +=
          file + " " + std::to_string(time.value_or(0)) + "\n" + ReadTextFile(folder + "\\" + file) + "\n";
    }
  return state;
}

class DoctorReadOnlyTest : public DoctorMachine {};

TEST_F(DoctorReadOnlyTest, ARunChangesNothingAndReadsEachPlaceOnce) {
  for (const auto &problem : PlantedProblems)
    if (std::string(problem.Name) != "IdeRunning")
      problem.Plant(*this);
  std::string before = MachineState(*this);
  TMachineReader machine;
  std::vector<TEnvironmentReport> reports;
  for (int index : {d7, cb6, d7}) {
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
  // Checking Delphi 7 again read nothing new: every key, folder and file it needs had been read.
  int reads = machine.Reads();
  CheckEnvironment(TakeSnapshot(d7, settings, machine));
  EXPECT_EQ(machine.Reads(), reads);
}

} // namespace
