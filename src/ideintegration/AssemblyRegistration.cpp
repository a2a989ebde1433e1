#include "AssemblyRegistration.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "process/ExecuteCommand.h"

const char *const CacheToolMissing = "Cannot find .Net GACUTIL.EXE tool in current search path.";
std::function<void(int index, const std::string &reason)> CacheStepSkipped;

std::string DesignAssemblyName() {
  return "Velmora.Quivex.Vcl.Design";
}
std::string VclAssemblyName() {
  return "Velmora.Quivex.Vcl";
}
std::string LanguagesAssemblyName() {
  return "Velmora.Quivex.Vcl.Languages";
}

std::string AssemblyPath(const TBuildHost &host, const std::string &name) {
  return host.EnvironmentFolder + "\\Assemblies\\" + name + ".dll";
}

std::string FindGacUtil() {
  TRegistry registry(TRootKey::ClassesRoot);
  if (!registry.OpenKeyReadOnly("\\Applications\\gacutil.exe\\shell\\open\\command"))
    return {};
  std::string command = registry.ReadString("");
  std::size_t placeholder = command.find("\"%1\"");
  if (placeholder != std::string::npos)
    command.erase(placeholder, 4); // the blank before it and the quotes around the program stay
  return command;
}

void RegisterDesignAssembly(TInstallContext &install) {
  TRegistry &registry = install.InstallRegistry;
  std::string design = DesignAssemblyName();
  for (const auto &name : Changes::GetValueNames(registry))
    if (name.find(design) != std::string::npos) // the one comparison that minds case
      Changes::DeleteValue(registry, name);     // a value that stays is harmless: not checked
  Changes::WriteString(registry, AssemblyPath(install.Host, design), design);
}

namespace {

void InstallIntoCache(const TBuildHost &host, int index) {
  std::string tool = FindGacUtil();
  if (tool.empty()) {
    Application().Desktop().ShowMessage(std::string("Error: ") + CacheToolMissing);
    if (CacheStepSkipped)
      CacheStepSkipped(index, CacheToolMissing);
    return;
  }
  for (const std::string &name : {VclAssemblyName(), LanguagesAssemblyName()})
    ExecuteCommand(tool + " /i \"" + AssemblyPath(host, name) + "\"",
                   "Cannot install assembly to GAC: " + name);
}

void WriteAssemblyFolder(TRegistry &registry, const std::string &key, const std::string &folder) {
  if (!Changes::OpenKey(registry, key, true))
    return;
  Changes::WriteString(registry, "", folder);
  registry.CloseKey();
}

} // namespace

void InstallAssemblies(TInstallContext &install, bool silent) {
  TBuildHost &host = install.Host;
  if (silent || host.AskYesNo("Install Quivex assemblies to .Net Global Assembly Cache ?"))
    InstallIntoCache(host, install.Index);
  std::string folder = host.EnvironmentFolder + "\\Assemblies";
  TRegistry machine(TRootKey::LocalMachine);
  WriteAssemblyFolder(machine, "\\Software\\Microsoft\\.NETFramework\\AssemblyFolders\\Quivex.VCL", folder);
  WriteAssemblyFolder(install.InstallRegistry,
                      "\\" + EnvironmentRegistryKey(install.Index) + "\\AssemblyFolders\\QuivexComponents",
                      folder);
}
