#include "InstallFixture.h"

#include "PeImage.h"
#include "TestRows.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"

bool TInstallHost::AskYesNo(const std::string &message) {
  return Application().Desktop().AskYesNo(message);
}

void TInstallHost::ReportBuildError(int index, const std::exception &error) {
  EnsureBuildLog();
  BuildLog->push_back("EXCEPTION:");
  BuildLog->push_back(error.what());
  BuildLog->push_back(std::string(44, '-'));
  Reports.push_back(index);
  throw EAbort();
}

void TInstallHost::FlushBuildLog() {
  ++Flushes;
  if (BuildLog)
    FlushedLines = *BuildLog;
  BuildLog.reset();
}

InstallFixture::InstallFixture() {
  ResetProgramState();
  Application().SetDesktop(&desktop);
#ifndef _WIN32
  Fs::SetSystemFolder(ChildPath(root / "System32"));
  Fs::CreateFolder(root / "System32");
#endif
  systemFolder = SystemFolder();
  host.DestinationBase = root / "Src\\Compiled";
  host.SourceText = root / "Src";
  Fs::ForceFolders(host.DestinationBase);
}

InstallFixture::~InstallFixture() {
  // Under Wine the system folder is the prefix's own: the runtime packages an install copied there
  // go again, also when an assertion failed.
  for (const auto &folder : copiedToSystem_)
    for (const auto &name : ListFiles(folder + "\\*.bpl"))
      Fs::DeleteFile(systemFolder + "\\" + name);
  Application().SetDesktop(nullptr);
  ResetProgramState();
  ExpectScriptFollowed(desktop);
}

int InstallFixture::AddRow(const std::string &caption, bool isDelphi, bool isDotNet,
                           const std::string &edition, int version) {
  int index = EnvironmentCount;
  SetRow(index, root / ("Borland\\Env" + std::to_string(index)), isDelphi, false, isDotNet, edition, version);
  auto checkBox = std::make_unique<TCheckBox>("Row" + std::to_string(index));
  auto status = std::make_unique<TLabel>("Status" + std::to_string(index));
  checkBox->SetCaption(caption);
  TEnviron &row = Environments[std::size_t(index)];
  row.CheckBox = checkBox.get();
  row.StatusLabel = status.get();
  Fs::ForceFolders(row.RootDir + "\\bin");
  Fs::ForceFolders(row.RootDir + "\\Help");
  controls_.push_back(std::move(checkBox));
  controls_.push_back(std::move(status));
  return index;
}

void InstallFixture::WritePackage(const std::string &path, const std::string &description) {
  using namespace StandIn;
  std::string text = Utf16FromAnsi(description) + std::string(2, '\0');
  WriteTextFile(path, BuildPeImage(TImageKind::Dll, {TResource{TResourceId::Number(ResourceTypeRcData),
                                                               TResourceId::Text("DESCRIPTION"), 0, text}}));
}

void InstallFixture::BuildTree(int index) {
  SetEnvironmentNames(host, index);
  const std::string e = host.EnvironmentFolder;
  if (Environments[std::size_t(index)].IsDotNet) {
    for (const char *name :
         {"Velmora.Quivex.Vcl", "Velmora.Quivex.Vcl.Languages", "Velmora.Quivex.Vcl.Design"})
      WritePackage(e + "\\Assemblies\\" + name + ".dll", name);
    WriteTextFile(e + "\\Lib\\ZeEngine.dcuil", "unit");
    return;
  }
  std::string edition = EditionSuffix(index);
  for (const std::string &stem :
       {"DclZel" + edition, "DclZelPro" + edition, std::string("DclZGL"), std::string("DclZQR")})
    WritePackage(e + "\\Bin\\" + PackageFileName(index, stem, LibraryVersion), "Quivex 7 " + stem);
  for (const char *stem : {"ZelImage", "Zel", "ZelUI"})
    WritePackage(e + "\\System\\" + PackageFileName(index, stem, LibraryVersion),
                 std::string("Quivex 7 ") + stem);
  WriteTextFile(e + "\\Lib\\ZeEngine.dcu", "unit");
  copiedToSystem_.push_back(e + "\\System");
}

std::optional<TValues> InstallFixture::Values(TRootKey rootKey, const std::string &key) {
  TRegistry registry(rootKey);
  if (!registry.OpenKeyReadOnly(key))
    return std::nullopt;
  TValues values;
  for (const auto &name : registry.GetValueNames())
    values[name] = registry.ReadString(name);
  return values;
}

std::string InstallFixture::Key(int index, const std::string &subkey) const {
  return "\\" + EnvironmentRegistryKey(index) + (subkey.empty() ? "" : "\\" + subkey);
}
