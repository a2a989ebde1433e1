#include "PackageRegistration.h"

#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"

namespace {

bool Contains(const std::string &text, const std::string &part) {
  return UpperCase(text).find(UpperCase(part)) != std::string::npos;
}

void DeleteValueChecked(TRegistry &registry, const std::string &name) {
  if (!registry.DeleteValue(name))
    throw Exception("Cannot delete registry: " + name);
}

bool OpenGLInstalled() {
  std::string system = SystemFolder();
  return Fs::FileExists(system + "\\OpenGL32.dll") || Fs::FileExists(system + "\\OpenGL.dll");
}

} // namespace

std::string EnvironmentPackageFileName(int index, const std::string &stem) {
  return stem + std::to_string(Environments[std::size_t(index)].Version) + "0.bpl";
}

void RetirePackage(TInstallContext &install, const std::string &oldFileName, const std::string &valueName) {
  if (!Contains(valueName, oldFileName))
    return;
  // The IDE's own record of an unticked package: the package's full path and its description.
  std::string description = install.InstallRegistry.ReadString(valueName);
  DeleteValueChecked(install.InstallRegistry, valueName);
  TRegistry disabled(TRootKey::CurrentUser);
  if (OpenEnvironmentKey(disabled, install.Index, "Disabled Packages"))
    disabled.WriteString(valueName, description);
}

void RegisterPackage(TInstallContext &install, const std::string &stem, const std::string &versionText) {
  int version = std::stoi(versionText);
  std::string current = PackageFileName(install.Index, stem, version);
  for (const auto &name : install.InstallRegistry.GetValueNames()) {
    if (Contains(name, current))
      DeleteValueChecked(install.InstallRegistry, name);
    for (int older = version - 1; older >= 1; --older)
      RetirePackage(install, PackageFileName(install.Index, stem, older), name);
    RetirePackage(install, EnvironmentPackageFileName(install.Index, stem), name);
  }
  std::string path = install.PackageFolder + "\\" + current;
  install.InstallRegistry.WriteString(path, PackageDescription(path));
}

void RegisterDesignPackages(TInstallContext &install) {
  TBuildHost &host = install.Host;
  const TEnviron &row = Environments[std::size_t(install.Index)];
  bool fullBuild = !host.StandardEditionBuild();
  std::string edition = EditionSuffix(install.Index);
  std::string version = std::to_string(LibraryVersion);
  install.PackageFolder = host.EnvironmentFolder + "\\Bin";
  RegisterPackage(install, "DclZel" + edition, version);
  if (fullBuild)
    RegisterPackage(install, "DclZelPro" + edition, version);
  if (fullBuild && OpenGLInstalled())
    RegisterPackage(install, "DclZGL", version);
  if (!row.IsStandard)
    RegisterPackage(install, "DclZQR", version);
  install.PackageFolder = host.EnvironmentFolder + "\\System";
  if (fullBuild)
    RegisterPackage(install, "ZelImage", version);
}
