// installtiming <source folder> <destination folder> [runs]
// Times the install of this machine's Delphi 7 row (the first Delphi 7 row the window detects that
// is not CLX) from a compiled destination: runs in turn with and without the journal that records
// each change ahead of it, each over the install before it (a reinstall, so that every run makes the
// same changes). Prints the median of each and their ratio. The journals go to a folder of the
// harness, emptied after each run, as a user's holds a few.
#include "app/VersionsForm.h"
#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "ideintegration/InstallDriver.h"
#include "session/EnvironmentJournal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

int Delphi7Row() {
  for (int index = 0; index < EnvironmentCount; ++index) {
    const TEnviron &row = Environments[std::size_t(index)];
    if (row.IsDelphi && !row.IsDotNet && !row.IsCLX && row.Version == 7)
      return index;
  }
  return -1;
}

double Milliseconds(const std::function<void()> &work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void EmptyFolder(const std::string &folder) {
  for (const auto &file : Fs::FindFiles(folder + "\\*"))
    Fs::DeleteFile(folder + "\\" + file.Name);
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: installtiming <source folder> <destination folder> [runs]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
  Application().SetParameters({});
  TVersionsForm form; // headless: the rows as the window detects them, and the host of the install
  const int index = Delphi7Row();
  if (index < 0) {
    std::fprintf(stderr, "installtiming: this machine has no Delphi 7 row\n");
    return 1;
  }
  form.SourceFolder = argv[1];
  form.DestinationBase = argv[2];
  const std::string journals = Fs::TemporaryFolder() + "\\ZelInstallTimingJournal";
  SetJournalFolder(journals);

  PerformInstall(form, index, true); // the first install, which the runs then repeat
  std::vector<double> without, with;
  for (int run = 0; run < runs; ++run) {
    without.push_back(Milliseconds([&] { PerformInstall(form, index, true); }));
    with.push_back(Milliseconds([&] { RunWithJournal(form, index, [&] { PerformInstall(form, index, true); }); }));
    EmptyFolder(journals);
  }
  Fs::RemoveFolder(journals);
  double plain = Median(without), journalled = Median(with);
  std::printf("row:              %s\n", Environments[std::size_t(index)].CheckBox->Caption().c_str());
  std::printf("without journal:  median %.2f ms of %d runs (fastest %.2f ms)\n", plain, runs,
              *std::min_element(without.begin(), without.end()));
  std::printf("with journal:     median %.2f ms of %d runs (fastest %.2f ms)\n", journalled, runs,
              *std::min_element(with.begin(), with.end()));
  std::printf("ratio:            %.3f\n", journalled / plain);
  return 0;
}
