// The design packages of a Delphi or C++Builder environment in its "Known Packages", and the
// entries of older library versions and of the environment's own chart packages moved to
// "Disabled Packages".
#pragma once
#include "InstallDriver.h"

#include <string>

// Registers the design packages of the environment; "Known Packages" is open on InstallRegistry.
void RegisterDesignPackages(TInstallContext &install);
// Replaces every entry of the package with one for PackageFolder's file, and retires the entries
// of its older versions.
void RegisterPackage(TInstallContext &install, const std::string &stem, const std::string &versionText);
// Moves the value valueName out of the open "Known Packages" into "Disabled Packages" when its name
// contains oldFileName (ignoring case). The record keeps the value's name and description, as the
// IDE writes it when the user unticks a package.
void RetirePackage(TInstallContext &install, const std::string &oldFileName, const std::string &valueName);
// The environment's own chart package: stem + Version + "0.bpl" ("DclZel70.bpl" on Delphi 7).
std::string EnvironmentPackageFileName(int index, const std::string &stem);
