// The private copy of the sources that an environment compiles in when it builds beside others.
// The build cleans earlier build products out of its source folder and the tools leave scratch
// files there (makefiles, C++Builder's products before they are moved): in a copy of its own, none
// of that touches another environment's files.
#pragma once
#include "changes/Change.h"
#include "framework/Files.h"
#include "session/BuildHost.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The copy's folder for the environment whose names host holds (SetEnvironmentNames): below the
// destination, "Staging\" and the name of the environment's output folder ("Staging\Delphi7").
std::string StagingFolder(const TBuildHost &host);

// The files of the source folder as a run begins, which every environment's copy is made from:
// while one environment returns its changes to the source folder, another may be making its copy.
class TSourceFiles {
public:
  // Reads sourceFolder with its subfolders, all but destinationBase when it lies inside. Raises
  // at the first failure.
  TSourceFiles(std::string sourceFolder, const std::string &destinationBase);
  const std::string &Folder() const { return folder_; }
  struct TFile {
    std::string RelativePath; // "Keys\Quivex.snk"
    std::string Bytes;
  };
  const std::vector<TFile> &Files() const { return files_; }

private:
  std::string folder_;
  std::vector<TFile> files_;
};

class TSourceStaging {
public:
  // Writes the source files into folder (made afresh: a copy an earlier run kept goes first).
  // Raises at the first failure.
  TSourceStaging(const TSourceFiles &sources, std::string folder);
  const std::string &Folder() const { return folder_; }

  // Leaves the source folder as the build of environment index would have left it had it built
  // there: the earlier build products that such a build removes first (CleanSourceFolder), then
  // every file the build deleted, added or changed in the copy. Nothing else of the source folder
  // changes. Raises at the first failure.
  void ReturnChanges(int index);
  // Removes the copy with everything in it; false when something could not be removed.
  bool Remove();

private:
  struct TIgnoringCase {
    bool operator()(const std::string &a, const std::string &b) const;
  };
  struct TCopied {
    TFileState State;
    std::optional<Fs::TFileTime> Written; // a file whose time is still this one was not written again
  };
  std::string sourceFolder_, folder_;
  std::map<std::string, TCopied, TIgnoringCase> copied_; // by relative path
};
