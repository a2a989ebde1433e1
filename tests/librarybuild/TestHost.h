// A main window for the build's tests: the fields the build reads and writes, the questions
// answered from a script, and every operation call recorded.
#pragma once
#include "session/BuildHost.h"
#include "environments/Environments.h"
#include "TestRows.h"

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

class TTestHost : public TBuildHost {
public:
  bool Install = false;
  bool StandardBuild = false;
  TStringList Units{"ZeChart", "ZeAxis", "ZeEngine"};
  std::deque<bool> Answers;            // answers to the coming questions, in order
  std::vector<std::string> Questions;  // every question asked
  std::vector<std::string> Calls;      // the overridable operations called

  bool AskYesNo(const std::string &message) override;
  std::string DestinationFolder(const std::string &base) override { return base + "Compiled"; }
  bool InstallChecked() const override { return Install; }
  std::string SourceFieldText() const override { return SourceFolder; }
  TStringList OriginalFileNames() const override { return Units; }
  [[noreturn]] void ReportBuildError(int, const std::exception &error) override {
    throw std::runtime_error(error.what());
  }
  void FlushBuildLog() override {}
  void CopyInstaller(const std::string &folder) override { Calls.push_back("CopyInstaller " + folder); }
  void BeforeCompile(int index, const std::string &commandLine, const std::string &) override {
    Calls.push_back("BeforeCompile " + std::to_string(index));
    LastBaseCommandLine = commandLine;
  }
  void EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) override {
    Calls.push_back("EnsureEnvironmentClosed " + kindName + " " + suffix);
  }
  void BuildEnvironment(int) override {}
  bool StandardEditionBuild() override { return StandardBuild; }

  std::string LastBaseCommandLine;
};

