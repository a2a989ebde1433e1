// A main window for the Decision Cube tests: the fields the rebuild reads, the closing question
// recorded; rows come from SetRow.
#pragma once
#include "environments/Environments.h"
#include "session/BuildHost.h"
#include "TestRows.h"

#include <stdexcept>
#include <string>
#include <vector>

class TCubeHost : public TBuildHost {
public:
  std::vector<std::string> Calls; // the overridable operations called

  bool AskYesNo(const std::string &message) override {
    throw std::logic_error("unexpected question: " + message);
  }
  std::string DestinationFolder(const std::string &base) override { return base + "Compiled"; }
  bool InstallChecked() const override { return true; }
  std::string SourceFieldText() const override { return SourceFolder; }
  TStringList OriginalFileNames() const override { return {}; }
  [[noreturn]] void ReportBuildError(int, const std::exception &error) override {
    throw std::runtime_error(error.what());
  }
  void FlushBuildLog() override {}
  void CopyInstaller(const std::string &) override {}
  void EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) override {
    Calls.push_back("EnsureEnvironmentClosed " + std::to_string(index) + " " + kindName + " " + suffix);
  }
  void BuildEnvironment(int) override {}
  bool StandardEditionBuild() override { return false; }
};

