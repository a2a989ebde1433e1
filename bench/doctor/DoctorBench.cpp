// The doctor over the sample machine's nine environments after a full install, natively: the sample's
// registry fixture in the in-memory registry with its folders moved below a temporary folder, the
// environments' folders with the stand-in tools, and the program's own unattended build and install
// of every row. Then one doctor run (its own reader, as /doctor makes one) is what is timed.
#include "app/UnattendedRun.h"
#include "app/VersionsForm.h"
#include "doctor/Doctor.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "framework/RegFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

const std::string Sample = std::string(ZEL_SOURCE_DIR) + "/sample";
const std::string Tools = ZEL_TOOLS_DIR;

void CopyTree(const std::string &from, const std::string &to) {
  Fs::ForceFolders(to);
  for (const auto &entry : Fs::FindFiles(from + "\\*"))
    if (entry.IsDirectory)
      CopyTree(from + "\\" + entry.Name, to + "\\" + entry.Name);
    else
      Fs::CopyFile(from + "\\" + entry.Name, to + "\\" + entry.Name, false);
}

std::string RegText(const std::string &text) {
  std::string escaped;
  for (char c : text)
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return escaped;
}

std::string Replaced(std::string text, const std::string &what, const std::string &with) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

// The sample machine as scripts/install-sample makes it under Wine, with C:\ at root; then the
// full install of every environment. Returns an error text, empty on success.
std::string InstallSampleMachine(const std::string &root) {
  const std::string programFiles = root + "\\Program Files", borland = programFiles + "\\Borland";
  CopyTree(Sample + "/Environments/Borland", borland);
  const struct {
    const char *Folder;
    std::vector<const char *> Tools;
  } environments[] = {{"Delphi5", {"dcc32"}},
                      {"Delphi6", {"dcc32"}},
                      {"Delphi7", {"dcc32"}},
                      {"CBuilder4", {"dcc32", "make", "bpr2mak"}},
                      {"CBuilder6", {"dcc32", "make", "bpr2mak"}},
                      {"BDS\\2.0", {"dccil"}}};
  for (const auto &environment : environments)
    for (const char *tool : environment.Tools)
      if (!Fs::CopyFile(Tools + "/" + tool + "/" + tool,
                        borland + "\\" + environment.Folder + "\\bin\\" + tool + ".exe", false))
        return std::string("the stand-in ") + tool + " is not built";
  CopyTree(Sample + "/Quivex", root + "\\Quivex");
  Fs::ForceFolders(root + "\\System32");
  Fs::SetSystemFolder(root + "\\System32");
  CopyTree(Sample + "/Environments/System", root + "\\System32");
  Fs::WriteWholeFile(root + "\\System32\\OpenGL32.dll", "MZ");
  // The older Quivex on Delphi 7's search path, and in its default project options, which name it on C:.
  Fs::SetDriveRoot('C', root + "/C");
  for (const std::string &folder : {programFiles, std::string("C:\\Program Files")}) {
    Fs::ForceFolders(folder + "\\Quivex 6\\Delphi7\\Lib");
    Fs::WriteWholeFile(folder + "\\Quivex 6\\Delphi7\\Lib\\ZeEngine.dcu", "unit");
  }
  Fs::CopyFile(Tools + "/gacutil/gacutil", root + "\\gacutil.exe", false);
  auto machine = Fs::ReadWholeFile(Sample + "/Machine.reg");
  if (!machine)
    return "sample/Machine.reg cannot be read";
  ImportRegText(Replaced(*machine, "C:\\\\Program Files", RegText(programFiles)));
  ImportRegText(
      "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\Applications\\gacutil.exe\\shell\\open\\command]\r\n@=\"\\\"" +
      RegText(root + "\\gacutil.exe") + "\\\" \\\"%1\\\"\"\r\n");
  Application().SetParameters({});
  std::string output;
  int code =
      RunUnattended({"/build", "/env:all", "/install", "/yes", "/source:" + root + "\\Quivex", "/dest:Bench"},
                    [&output](const std::string &line) { output += line + "\n"; });
  return code == ExitOk ? std::string() : "the full install failed:\n" + output;
}

// Installed once for every run of the benchmark, removed at the end.
class TSampleMachine {
public:
  TSampleMachine() {
    char pattern[] = "/tmp/zeldoctor-XXXXXX";
    if (const char *made = ::mkdtemp(pattern))
      root_ = made;
    Error = root_.empty() ? "no temporary folder" : InstallSampleMachine(root_);
    if (Error.empty())
      form_ = std::make_unique<TVersionsForm>(); // the rows as the window detects them
    Settings = {root_ + "\\Quivex", root_ + "\\Quivex\\Bench"};
  }
  ~TSampleMachine() {
    form_.reset();
    ResetEnvironments();
    if (!root_.empty())
      std::system(("rm -rf '" + root_ + "'").c_str());
  }
  std::string Error;
  TDoctorSettings Settings;

private:
  std::string root_;
  std::unique_ptr<TVersionsForm> form_;
};

void BM_DoctorOverTheSampleMachine(benchmark::State &state) {
  static TSampleMachine sample;
  if (!sample.Error.empty()) {
    state.SkipWithError(sample.Error.c_str());
    return;
  }
  int errors = 0, warnings = 0, reads = 0;
  for (auto _ : state) {
    TMachineReader machine;
    std::vector<TEnvironmentReport> reports;
    for (int index = 0; index < EnvironmentCount; ++index) {
      TEnvironmentSnapshot snapshot = TakeSnapshot(index, sample.Settings, machine);
      reports.push_back({index, snapshot.Name, CheckEnvironment(snapshot)});
    }
    errors = CountFindings(reports, TSeverity::Error);
    warnings = CountFindings(reports, TSeverity::Warning);
    reads = machine.Reads();
  }
  static bool told = false;
  if ((errors || warnings) && !told) { // the installed sample should give none: say what was found
    told = true;
    TMachineReader machine;
    std::vector<TEnvironmentReport> reports;
    for (int index = 0; index < EnvironmentCount; ++index)
      reports.push_back({index, Environments[std::size_t(index)].CheckBox->Caption(),
                         CheckEnvironment(TakeSnapshot(index, sample.Settings, machine))});
    for (const auto &line : ReportLines(reports))
      std::fprintf(stderr, "%s\n", line.c_str());
  }
  state.counters["environments"] = EnvironmentCount;
  state.counters["reads"] = reads;
  state.counters["errors"] = errors;
  state.counters["warnings"] = warnings;
}
BENCHMARK(BM_DoctorOverTheSampleMachine)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
