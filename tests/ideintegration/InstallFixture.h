// What the install tests share: a main window double, a machine of the test's own (registry
// sandbox, temporary folders, a system folder), environment rows with their controls, and built
// output trees holding real package files with descriptions.
#pragma once
#include "TestSupport.h"
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Desktop.h"
#include "framework/Registry.h"
#include "session/BuildHost.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TInstallHost : public TBuildHost {
public:
  bool StandardBuild = false;
  bool Running = false;
  std::string SourceText;
  std::vector<int> Reports; // rows whose error was reported
  int Flushes = 0;
  TStringList FlushedLines; // the log as the last flush left it in the view

  bool AskYesNo(const std::string &message) override;
  std::string DestinationFolder(const std::string &base) override { return base + "Compiled"; }
  bool InstallChecked() const override { return true; }
  std::string SourceFieldText() const override { return SourceText; }
  TStringList OriginalFileNames() const override { return {}; }
  [[noreturn]] void ReportBuildError(int index, const std::exception &error) override;
  void FlushBuildLog() override;
  bool RunInProgress() const override { return Running; }
  void CopyInstaller(const std::string &) override {}
  void EnsureEnvironmentClosed(int, const std::string &, const std::string &) override {}
  void BuildEnvironment(int) override {}
  bool StandardEditionBuild() override { return StandardBuild; }
};

using TValues = std::map<std::string, std::string>;

class InstallFixture : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TScriptedDesktop desktop;
  TTempFolder root;
  TInstallHost host;
  std::string systemFolder;

  InstallFixture();
  ~InstallFixture() override;

  // A row of Environments with its check box ("Delphi 7" ...) and a fresh RootDir; returns its index.
  int AddRow(const std::string &caption, bool isDelphi, bool isDotNet, const std::string &edition,
             int version);
  // Sets the host's names for the row and fills its output tree below DestinationBase: the design
  // packages in Bin, the image and runtime packages in System, each a real package file, and the
  // compiled units in Lib.
  void BuildTree(int index);
  static void WritePackage(const std::string &path, const std::string &description);

  // The string values of a key as name -> data, or nothing when the key is missing.
  static std::optional<TValues> Values(TRootKey rootKey, const std::string &key);
  std::string Key(int index, const std::string &subkey) const;

private:
  std::vector<std::unique_ptr<TControl>> controls_;
  std::vector<std::string> copiedToSystem_;
};
