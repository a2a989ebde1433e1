// What the stand-in tests share: running a tool as a real child process the way the program runs
// it (one Windows command line, a current folder, the exit code and everything it printed), a
// simulated environment folder with the stand-ins in its bin folder, and reading a package's
// description the way the platform reads it.
#pragma once
#include "TestSupport.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <optional>
#include <string>
#include <vector>

struct TToolRun {
  int ExitCode = -1;
  std::string Output;
};

// Runs the command line (program path first) in the folder and waits for it. Natively the command
// line is split by the Windows rules, as the program's process layer does; under Wine it goes to
// CreateProcess unchanged.
TToolRun RunTool(const std::string &commandLine, const std::string &folder);

// An environment of a Borland product in a temporary folder, laid out as installed: bin with the
// stand-ins copied in, lib with the symbol files of the environment's own packages. Those are empty
// files: the stand-ins know the units of an environment's packages by name.
class TSimulatedEnvironment {
public:
  TSimulatedEnvironment(const std::string &root, const std::vector<std::string> &tools,
                        const std::vector<std::string> &libraryFiles);
  // Writes bin\StandIn.ini with the compiler version the stand-ins report.
  void SetCompilerVersion(const std::string &version);

  const std::string &Root() const { return root_; }
  std::string Bin() const { return root_ + "\\bin"; }
  std::string Lib() const { return root_ + "\\lib"; }
  // The installed tool's path as a command line names it ("...\bin\dcc32.exe" under Wine).
  std::string Tool(const std::string &name) const;

private:
  std::string root_;
};

// The DESCRIPTION resource of a package: nullopt when it has none. Fails the test when the file
// cannot be loaded as a module. Win32 loads the package with LoadLibraryExA as a data file and asks
// FindResourceA; POSIX uses the framework's own reader of the resource directory.
std::optional<std::string> DescriptionResource(const std::string &packagePath);
// The description as text: the UTF-16 resource without its terminating zero, in Windows-1252.
std::optional<std::string> PackageDescriptionText(const std::string &packagePath);

bool FileExists(const std::string &path);
// Names of the files in a folder matching the mask, sorted.
std::vector<std::string> FileNames(const std::string &folder, const std::string &mask);
