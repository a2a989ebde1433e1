#include "PackageRegistration.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"

#include <vector>

namespace {

bool Contains(const std::string &text, const std::string &part) {
  return UpperCase(text).find(UpperCase(part)) != std::string::npos;
}

void DeleteValueChecked(TRegistry &registry, const std::string &name) {
  if (!Changes::DeleteValue(registry, name))
    throw Exception("Cannot delete registry: " + name);
}

bool OpenGLInstalled() {
  std::string system = SystemFolder();
  return Changes::FileExists(system + "\\OpenGL32.dll") || Changes::FileExists(system + "\\OpenGL.dll");
}

} // namespace

std::string EnvironmentPackageFileName(int index, const std::string &stem) {
  return stem + std::to_string(Environments[std::size_t(index)].Version) + "0.bpl";
}

void RetirePackage(TInstallContext &install, const std::string &oldFileName, const std::string &valueName) {
  if (!Contains(valueName, oldFileName))
    return;
  // The IDE's own record of an unticked package: the package's full path and its description.
  std::string description = Changes::ReadString(install.InstallRegistry, valueName);
  DeleteValueChecked(install.InstallRegistry, valueName);
  TRegistry disabled(TRootKey::CurrentUser);
  if (OpenEnvironmentKey(disabled, install.Index, "Disabled Packages"))
    Changes::WriteString(disabled, valueName, description);
}

void RegisterPackage(TInstallContext &install, const std::string &stem, const std::string &versionText) {
  int version = std::stoi(versionText);
  std::string current = PackageFileName(install.Index, stem, version);
  std::string path = install.PackageFolder + "\\" + current;
  const std::string edition = EditionSuffix(install.Index);
  // Read before anything is deleted: a new package that cannot be loaded must leave the working
  // registration of the old one in place.
  std::string description = PackageDescription(path);
  std::vector<std::string> unrepresentable;
  for (const auto &name : Changes::GetValueNames(install.InstallRegistry, &unrepresentable)) {
    if (Contains(name, current))
      DeleteValueChecked(install.InstallRegistry, name);
    for (int older = version - 1; older >= 1; --older)
      RetirePackage(install, PackageFileName(install.Index, stem, older), name);
    RetirePackage(install, EnvironmentPackageFileName(install.Index, stem), name);
    // A Standard edition's own chart package carries no edition in its name ("DclZel60.bpl"): left
    // enabled beside the library's, the IDE finds its units in two packages.
    if (!edition.empty() && stem.size() > edition.size() &&
        stem.compare(stem.size() - edition.size(), edition.size(), edition) == 0)
      RetirePackage(install, EnvironmentPackageFileName(install.Index, stem.substr(0, stem.size() - edition.size())),
                    name);
  }
  for (const auto &name : unrepresentable)
    if (install.SkippedNames.insert(name).second)
      AppendToBuildLog("Skipped a package entry whose name this program cannot read: " + name);
  Changes::WriteString(install.InstallRegistry, path, description);
}

void RegisterDesignPackages(TInstallContext &install) {
  TBuildHost &host = install.Host;
  const TEnviron &row = Environments[std::size_t(install.Index)];
  bool fullBuild = !host.StandardEditionBuild();
  std::string edition = EditionSuffix(install.Index);
  std::string version = std::to_string(LibraryVersion);
  std::string bin = host.EnvironmentFolder + "\\Bin", system = host.EnvironmentFolder + "\\System";
  struct TDesignPackage {
    std::string Stem, Folder;
  };
  std::vector<TDesignPackage> packages{{"DclZel" + edition, bin}};
  if (fullBuild)
    packages.push_back({"DclZelPro" + edition, bin});
  if (fullBuild && OpenGLInstalled())
    packages.push_back({"DclZGL", bin});
  if (!row.IsStandard)
    packages.push_back({"DclZQR", bin});
  if (fullBuild)
    packages.push_back({"ZelImage", system});
  // Every package is loaded once before the first entry changes, so that a damaged build fails the
  // install while the environment still has all of its old registrations.
  for (const auto &package : packages)
    PackageDescription(package.Folder + "\\" + PackageFileName(install.Index, package.Stem, LibraryVersion));
  for (const auto &package : packages) {
    install.PackageFolder = package.Folder;
    RegisterPackage(install, package.Stem, version);
  }
}
