// buildtiming <sample folder> <dcc32 program> <work folder>
// Builds the sample library for a Delphi 7 Enterprise environment with the stand-in compiler, then
// times each package twice: through the build driver (CompilePackage: the clean-up, the status,
// the log, the runner) and as the bare compiler command (spawn and wait). The difference is what
// the driver adds to the tools' own time.
//
// buildtiming jobs <sample folder> <tools folder> <work folder> <pause|busy> <milliseconds> <jobs>...
// Installs the sample machine below the work folder with stand-ins that pause (or compute) that
// long per compile, builds and installs its nine environments once to start from a machine that
// has been built for, then times the whole unattended run once for each /jobs value, each into the
// same state, and prints the times side by side with their ratio to the first.
#include "SampleMachine.h"
#include "app/UnattendedRun.h"
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Files.h"
#include "framework/Process.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using TClock = std::chrono::steady_clock;

class THost : public TBuildHost {
public:
  bool AskYesNo(const std::string &) override { return true; }
  std::string DestinationFolder(const std::string &base) override { return base + "Compiled"; }
  bool InstallChecked() const override { return false; }
  std::string SourceFieldText() const override { return SourceFolder; }
  TStringList OriginalFileNames() const override { return {}; }
  [[noreturn]] void ReportBuildError(int, const std::exception &error) override {
    throw std::runtime_error(error.what());
  }
  void FlushBuildLog() override { BuildLog.reset(); }
  void CopyInstaller(const std::string &) override {}
  void EnsureEnvironmentClosed(int, const std::string &, const std::string &) override {}
  void BuildEnvironment(int index) override { ::BuildEnvironment(*this, index); }
  bool StandardEditionBuild() override { return false; }
};

void CopyTree(const std::string &from, const std::string &to) {
  Fs::ForceFolders(to);
  for (const auto &entry : Fs::FindFiles(from + "\\*"))
    if (entry.IsDirectory)
      CopyTree(from + "\\" + entry.Name, to + "\\" + entry.Name);
    else
      Fs::CopyFile(from + "\\" + entry.Name, to + "\\" + entry.Name, false);
}

double Milliseconds(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Children's processor time so far, in milliseconds (not available from Win32 without job objects).
double ChildrenCpu() {
#ifdef _WIN32
  return -1;
#else
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
         usage.ru_stime.tv_usec / 1e3;
#endif
}

// The compiler alone: start it and wait for its end, draining its few lines meanwhile. (Waiting
// for the end of the pipe instead would wait for the child's console too, under Wine.)
double BareRun(const std::string &commandLine) {
  TPipe input, output;
  std::uint32_t error = 0;
  CreateChildPipe(input, TChildEnd::Read, error);
  CreateChildPipe(output, TChildEnd::Write, error);
  auto start = TClock::now();
  TChildProcess child;
  if (!child.Start(commandLine, input.ReadEnd, output.WriteEnd))
    return -1;
  output.WriteEnd.Close();
  input.ReadEnd.Close();
  char buffer[4096];
  std::uint32_t waiting = 0;
  while (!child.WaitForExit(1))
    if (output.ReadEnd.BytesWaiting(waiting) && waiting > 0)
      output.ReadEnd.Read(buffer, waiting < sizeof buffer ? waiting : sizeof buffer);
  return Milliseconds(TClock::now() - start);
}

std::string ToolPath(const std::string &toolsFolder, const std::string &name) {
#ifdef _WIN32
  return toolsFolder + "\\" + name + "\\" + name + ".exe";
#else
  return toolsFolder + "\\" + name + "\\" + name;
#endif
}

// One unattended run of every environment; its wall time in seconds, or -1 when it failed.
double TimedRun(const TSampleMachine &machine, int jobs, const std::string &work) {
  std::vector<std::string> parameters = {"/build",
                                         "/env:all",
                                         "/source:" + machine.Sources,
                                         "/dest:Compiled",
                                         "/install",
                                         "/yes",
                                         "/log:" + work + "\\Log.txt",
                                         "/result:" + work + "\\Result-jobs" + std::to_string(jobs) +
                                             ".json"};
  if (jobs != 1)
    parameters.push_back("/jobs:" + std::to_string(jobs));
  std::string lastLine;
  auto start = TClock::now();
  int code = RunUnattended(parameters, [&lastLine](const std::string &line) { lastLine = line; });
  double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  if (code != ExitOk) {
    std::fprintf(stderr, "/jobs:%d failed with exit code %d: %s (see %s\\Log.txt)\n", jobs, code,
                 lastLine.c_str(), work.c_str());
    return -1;
  }
  return seconds;
}

int JobsTiming(int argc, char **argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: buildtiming jobs <sample folder> <tools folder> <work folder> <pause|busy> "
                         "<milliseconds> <jobs>...\n");
    return 2;
  }
  std::string sample = argv[2], tools = argv[3], work = argv[4], mode = argv[5];
  long milliseconds = std::strtol(argv[6], nullptr, 10);
  if (mode != "pause" && mode != "busy") {
    std::fprintf(stderr, "buildtiming: the stand-ins pause or are busy, not '%s'\n", mode.c_str());
    return 2;
  }
  std::string settings = "[StandIn]\r\n" +
                         std::string(mode == "pause" ? "PauseMilliseconds=" : "BusyMilliseconds=") +
                         std::to_string(milliseconds) + "\r\n";
  TSampleMachine machine = InstallSampleMachine(
      sample, work, [&tools](const std::string &name) { return ToolPath(tools, name); }, settings);
  if (TimedRun(machine, 1, work) < 0) // the first run also finds what an older Quivex left
    return 1;
  std::printf("nine environments of the sample, built and installed; stand-ins %s %ld ms per compile\n",
              mode == "pause" ? "pausing" : "computing", milliseconds);
  double first = 0;
  for (int i = 7; i < argc; ++i) {
    int jobs = int(std::strtol(argv[i], nullptr, 10));
    double seconds = TimedRun(machine, jobs, work);
    if (seconds < 0)
      return 1;
    if (i == 7)
      first = seconds;
    std::printf("  /jobs:%-3d %8.2f s %8.2fx\n", jobs, seconds, seconds / first);
    std::fflush(stdout);
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc > 1 && std::string(argv[1]) == "jobs")
    return JobsTiming(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: buildtiming <sample folder> <dcc32 program> <work folder>\n");
    return 2;
  }
  std::string sample = argv[1], compiler = argv[2], work = argv[3];
  CopyTree(sample + "\\Quivex", work + "\\Src");
  CopyTree(sample + "\\Environments\\Borland\\Delphi7", work + "\\Delphi7");
  Fs::CopyFile(compiler, work + "\\Delphi7\\bin\\dcc32.exe", false);
#ifndef _WIN32
  Fs::ForceFolders(work + "\\System32");
  Fs::SetSystemFolder(work + "\\System32");
#endif
  TLabel status("Status");
  TEnviron &row = Environments[0];
  row.RootDir = work + "\\Delphi7";
  row.StatusLabel = &status;
  row.IsDelphi = true;
  row.Edition = "CSS";
  row.Version = row.ProductVersion = 7;
  EnvironmentCount = 1;
  THost host;
  host.SourceFolder = work + "\\Src";
  host.DestinationBase = work + "\\Src\\Compiled";

  auto start = TClock::now();
  double cpuBefore = ChildrenCpu();
  host.BuildEnvironment(0);
  double total = Milliseconds(TClock::now() - start), cpu = ChildrenCpu() - cpuBefore;
  std::printf("full build: %.0f ms wall, stand-ins' processor time %.0f ms\n\n", total, cpu);

  std::printf("%-16s %12s %12s %12s\n", "package", "driver ms", "compiler ms", "driver adds");
  std::string commandLine = BaseCommandLine(host, 0);
  double sumDriver = 0, sumBare = 0;
  for (const auto &package : PackagesToBuild(host, 0)) {
    if (package.AddNoBde)
      commandLine += " -DNOUSE_BDE";
    std::string name = package.Stem + host.PackageSuffix;
    auto before = TClock::now();
    CompilePackage(host, 0, commandLine, package.Subfolder, name, host.SourceFolder);
    double driver = Milliseconds(TClock::now() - before);
    double bare = BareRun(commandLine + " \"" + host.SourceFolder + "\\" + name + ".dpk\" -LE\"" +
                          host.EnvironmentFolder + package.Subfolder + "\"");
    sumDriver += driver;
    sumBare += bare;
    std::printf("%-16s %12.1f %12.1f %12.1f\n", name.c_str(), driver, bare, driver - bare);
  }
  std::printf("%-16s %12.1f %12.1f %12.1f\n", "all", sumDriver, sumBare, sumDriver - sumBare);
  return 0;
}
