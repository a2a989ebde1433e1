// One install of a Delphi 7 environment (design packages, paths and default project options,
// runtime packages into the system folder, help, the install record), natively, with and without
// the journal that records every change ahead of it. The machine is reset between installs, outside
// the timing, so that each install makes the same changes.
#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Files.h"
#include "framework/RegFile.h"
#include "ideintegration/InstallDriver.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"

#include "PeImage.h"
#include "Resources.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

class TBenchHost : public TBuildHost {
public:
  bool AskYesNo(const std::string &) override { return true; }
  std::string DestinationFolder(const std::string &base) override { return base + "Compiled"; }
  bool InstallChecked() const override { return true; }
  std::string SourceFieldText() const override { return SourceFolder; }
  TStringList OriginalFileNames() const override { return {}; }
  [[noreturn]] void ReportBuildError(int, const std::exception &error) override { throw error; }
  void FlushBuildLog() override { BuildLog.reset(); }
  void CopyInstaller(const std::string &) override {}
  void EnsureEnvironmentClosed(int, const std::string &, const std::string &) override {}
  void BuildEnvironment(int) override {}
  bool StandardEditionBuild() override { return false; }
};

void WritePackage(const std::string &path, const std::string &description) {
  using namespace StandIn;
  Fs::WriteWholeFile(
      path, BuildPeImage(TImageKind::Dll,
                         {TResource{TResourceId::Number(ResourceTypeRcData), TResourceId::Text("DESCRIPTION"),
                                    0, Utf16FromAnsi(description) + std::string(2, '\0')}}));
}

// A Delphi 7 environment as an IDE keeps it, and its compiled tree.
struct TMachine {
  std::string Root;
  TBenchHost Host;
  TCheckBox Row{"Delphi 7 Enterprise"};
  TLabel Status{""};

  TMachine() {
    char folder[] = "/tmp/zeljournalbench-XXXXXX";
    Root = mkdtemp(folder);
    Fs::SetSystemFolder(Root + "/System32");
    Fs::ForceFolders(Root + "\\System32");
    SetJournalFolder(Root + "\\Journal");
    TEnviron &row = Environments[0];
    row = TEnviron{};
    row.RootDir = Root + "\\Delphi7";
    row.IsDelphi = true;
    row.Edition = "CSS";
    row.Version = row.ProductVersion = 7;
    row.CheckBox = &Row;
    row.StatusLabel = &Status;
    EnvironmentCount = 1;
    Host.SourceFolder = Root + "\\Quivex";
    Host.DestinationBase = Host.SourceFolder + "\\Compiled";
    Fs::ForceFolders(Host.SourceFolder);
    Fs::WriteWholeFile(Host.SourceFolder + "\\ZeEngine.pas", "unit ZeEngine;");
    SetEnvironmentNames(Host, 0);
    const std::string e = Host.EnvironmentFolder;
    Fs::ForceFolders(e + "\\Bin");
    Fs::ForceFolders(e + "\\System");
    Fs::ForceFolders(e + "\\Lib");
    for (const std::string stem : {"DclZel", "DclZelPro", "DclZGL", "DclZQR"})
      WritePackage(e + "\\Bin\\" + PackageFileName(0, stem, LibraryVersion), "Quivex 7 " + stem);
    for (const std::string stem : {"ZelImage", "Zel", "ZelUI", "ZelDB", "ZelPro", "ZelGL", "ZelLanguage"})
      WritePackage(e + "\\System\\" + PackageFileName(0, stem, LibraryVersion), "Quivex 7 " + stem);
    Fs::WriteWholeFile(e + "\\Lib\\ZeEngine.dcu", "unit");
    Fs::ForceFolders(Host.DestinationBase + "\\Docs");
    Fs::WriteWholeFile(Host.DestinationBase + "\\Docs\\Quivex7.hlp", "help");
  }
  ~TMachine() { std::system(("rm -rf '" + Root + "'").c_str()); }

  // The environment before the install: its keys, its options and help files, an older runtime
  // package in the system folder.
  void Reset() {
    ResetRegistryStore();
    ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n"
                  "\"C:\\\\Old\\\\DclZel67.bpl\"=\"Quivex 6\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Disabled Packages]\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Library]\r\n"
                  "\"Search Path\"=\"$(DELPHI)\\\\Lib\"\r\n\"Browsing Path\"=\"$(DELPHI)\\\\Source\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n");
    Fs::ForceFolders(Root + "\\Delphi7\\bin");
    Fs::ForceFolders(Root + "\\Delphi7\\Help");
    Fs::WriteWholeFile(Root + "\\Delphi7\\bin\\defproj.dof",
                       "[Directories]\r\nSearchPath=$(DELPHI)\\Lib\r\n");
    Fs::WriteWholeFile(Root + "\\Delphi7\\Help\\D7.cnt", ":Base D7.hlp\r\n");
    for (const auto &file : Fs::FindFiles(Root + "\\System32\\*"))
      Fs::DeleteFile(Root + "\\System32\\" + file.Name);
    Fs::WriteWholeFile(Root + "\\System32\\Zel77.bpl", "an older runtime package");
    // A fresh journal folder, as a user's holds a few journals: a folder that had thousands made
    // and deleted in it would cost the POSIX layer a long scan for each new name.
    for (const auto &file : Fs::FindFiles(Root + "\\Journal\\*"))
      Fs::DeleteFile(Root + "\\Journal\\" + file.Name);
    Fs::RemoveFolder(Root + "\\Journal");
    // Each install is one run on a settled machine, as a user makes it: the disk has written what
    // the installs before it left, so that a flush waits for this install's own bytes only.
    ::sync();
  }
};

void BM_Install(benchmark::State &state, bool journalled) {
  TMachine machine;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Reset();
    state.ResumeTiming();
    if (journalled) {
      TChangeScope scope("Delphi 7 Enterprise", EnvironmentRegistryKey(0),
                         {machine.Host.DestinationBase, machine.Host.SourceFolder});
      PerformInstall(machine.Host, 0, true);
      scope.Commit();
      state.counters["records"] = double(scope.Journal().Changes().size());
    } else {
      PerformInstall(machine.Host, 0, true);
    }
  }
}

BENCHMARK_CAPTURE(BM_Install, WithoutJournal, false)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Install, WithJournal, true)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
