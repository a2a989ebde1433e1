// The sample machine installed below a folder of its own, as scripts/install-sample installs it
// into a Wine prefix: the environment folders of sample\Environments below "<root>\Program Files"
// with the stand-ins in their bin folders, the registry fixture sample\Machine.reg with its folders
// moved there, the library sources in "<root>\Quivex". The build-run benchmark and the tests that
// build all nine sample environments start from it.
#pragma once
#include <functional>
#include <string>

struct TSampleMachine {
  std::string Root;
  std::string ProgramFiles; // Root + "\Program Files"
  std::string Sources;      // Root + "\Quivex"
};

// sample: the repository's sample folder; toolPath: the built stand-in of a name ("dcc32", ...).
// standInSettings: lines added to every environment's bin\StandIn.ini ("[StandIn]\r\n...").
// Natively the system folder becomes "<root>\System32"; under Windows it is the system's own and
// receives what the sample's environments put there. Raises Exception on a failed step.
TSampleMachine InstallSampleMachine(const std::string &sample, const std::string &root,
                                    const std::function<std::string(const std::string &tool)> &toolPath,
                                    const std::string &standInSettings = "");
