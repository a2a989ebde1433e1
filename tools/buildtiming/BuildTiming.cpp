// buildtiming <sample folder> <dcc32 program> <work folder>
// Builds the sample library for a Delphi 7 Enterprise environment with the stand-in compiler, then
// times each package twice: through the build driver (CompilePackage: the clean-up, the status,
// the log, the runner) and as the bare compiler command (spawn and wait). The difference is what
// the driver adds to the tools' own time.
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Files.h"
#include "framework/Process.h"
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

} // namespace

int main(int argc, char **argv) {
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
