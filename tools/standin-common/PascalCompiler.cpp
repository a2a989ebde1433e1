#include "PascalCompiler.h"

#include "StandInError.h"
#include "StandInFiles.h"

namespace StandIn {

namespace {

// The class of the form a form file describes, which names the form's resource as the compiler
// links it: "object ChartEditForm: TChartEditForm" in text, a short string after "TPF0" in binary.
std::string FormClassName(const std::string &bytes) {
  if (bytes.compare(0, 4, "TPF0") == 0 && bytes.size() > 5) {
    std::size_t at = 4;
    auto byte = static_cast<unsigned char>(bytes[at]);
    if ((byte & 0xF0) == 0xF0) { // flags of an inherited or inline form, maybe with a child index
      ++at;
      if ((byte & 0x02) && at < bytes.size()) {
        static const std::size_t sizes[] = {0, 0, 1, 2, 4};
        auto type = static_cast<unsigned char>(bytes[at]);
        at += 1 + (type < 5 ? sizes[type] : 0);
      }
    }
    if (at < bytes.size()) {
      std::size_t length = static_cast<unsigned char>(bytes[at]);
      return bytes.substr(at + 1, length);
    }
    return "FORM";
  }
  std::vector<std::string> words = SplitWords(bytes.substr(0, bytes.find('\n')));
  if (words.size() >= 3 && words[1].back() == ':') {
    return words[2];
  }
  if (words.size() >= 2 && words[0] != "object" && words[0] != "inherited") {
    return "FORM";
  }
  return words.size() >= 2 ? words[1] : "FORM";
}

bool IsFormFile(const std::string &name) {
  std::string extension = LowerCase(ExtensionOf(name));
  return extension == ".dfm" || extension == ".xfm" || extension == ".nfm";
}

} // namespace

TPascalCompiler::TPascalCompiler(TCompileSettings settings, TPrinter print)
    : settings_(std::move(settings)), print_(std::move(print)), scanner_(settings_.Scan, print_) {}

TPascalModule TPascalCompiler::ReadModule(const std::string &path) {
  return ReadPascalModule(scanner_, path, settings_.Defines);
}

std::string TPascalCompiler::Location(const TModuleReference &reference) const {
  return reference.File < 0 ? std::string() : scanner_.Location(reference.File, reference.Line) + " ";
}

void TPascalCompiler::Fatal(const TModuleReference &reference, const std::string &text) const {
  throw EStandInError(Location(reference) + "Fatal: " + text);
}

std::vector<TRequiredPackage> TPascalCompiler::FindPackages(const std::vector<TModuleReference> &names,
                                                            const std::string &ownerFolder) {
  std::vector<std::string> folders = settings_.PackagePath;
  folders.push_back(ownerFolder);
  std::vector<TRequiredPackage> packages;
  for (const TModuleReference &reference : names) {
    std::optional<std::string> path;
    for (const std::string &extension : settings_.PackageExtensions) {
      if ((path = FindInFolders(reference.Name + extension, folders))) {
        break;
      }
    }
    if (!path) {
      Fatal(reference, "Required package '" + reference.Name + "' not found");
    }
    TRequiredPackage package{reference.Name, *path, std::nullopt};
    if (auto bytes = ReadFileBytes(*path)) {
      package.Symbols = ReadPackageSymbols(*bytes);
    }
    packages.push_back(std::move(package));
  }
  return packages;
}

std::vector<TCompiledUnit> TPascalCompiler::CompileUnits(const TUnitOwner &owner,
                                                         const std::vector<TModuleReference> &units,
                                                         const std::vector<TRequiredPackage> &packages) {
  owner_ = &owner;
  contained_.clear();
  packageUnits_.clear();
  states_.clear();
  compiled_.clear();
  for (const TRequiredPackage &package : packages) {
    if (package.Symbols) {
      for (const std::string &unit : package.Symbols->Units) {
        packageUnits_.emplace(UpperCase(unit), package.Name);
      }
    }
  }
  for (const TModuleReference &unit : units) {
    if (!owner.PackageName.empty()) {
      auto inPackage = packageUnits_.find(UpperCase(unit.Name));
      if (inPackage != packageUnits_.end()) {
        Fatal(unit, "Package '" + inPackage->second + "' already contains unit '" + unit.Name + "'");
      }
    }
    contained_.emplace(UpperCase(unit.Name), unit);
  }
  for (const TModuleReference &unit : units) {
    ResolveUse(unit, false);
  }
  owner_ = nullptr;
  return std::move(compiled_);
}

void TPascalCompiler::ResolveUse(const TModuleReference &reference, bool fromInterface) {
  if (TryUse(reference.Name, reference, fromInterface)) {
    return;
  }
  // .NET: Graphics is Borland.Vcl.Graphics when -NS names Borland.Vcl.
  for (const std::string &prefix : settings_.Namespaces) {
    if (TryUse(prefix + "." + reference.Name, reference, fromInterface)) {
      return;
    }
  }
  Fatal(reference, "File not found: '" + reference.Name + settings_.UnitExtension + "'");
}

bool TPascalCompiler::TryUse(const std::string &name, const TModuleReference &reference, bool fromInterface) {
  std::string key = UpperCase(name);
  if (auto state = states_.find(key); state != states_.end()) {
    if (state->second == TState::Interface && fromInterface) {
      Fatal(reference, "Circular unit reference to '" + name + "'");
    }
    return true;
  }
  if (auto unit = contained_.find(key); unit != contained_.end()) {
    const TModuleReference &listed = unit->second;
    std::optional<std::string> path;
    if (!listed.InFile.empty()) {
      std::string file = JoinPath(owner_->Folder, listed.InFile);
      if (!IsFile(file)) {
        Fatal(listed, "File not found: '" + listed.InFile + "'");
      }
      path = file;
    } else {
      path = FindSource(listed.Name);
      if (!path) {
        if (FindCompiledUnit(listed.Name)) {
          states_[key] = TState::Done; // a compiled unit without its source is taken as it is
          return true;
        }
        Fatal(listed, "File not found: '" + listed.Name + settings_.UnitExtension + "'");
      }
    }
    CompileUnit(listed, *path, false);
    return true;
  }
  if (packageUnits_.count(key)) {
    return true;
  }
  if (auto source = FindSource(name)) {
    if (!owner_->PackageName.empty() && settings_.ShowImplicitImportWarning && settings_.Scan.ShowWarnings) {
      print_(owner_->Location + " Warning: Unit '" + name + "' implicitly imported into package '" +
             owner_->PackageName + "'");
    }
    TModuleReference implicit = reference;
    implicit.Name = name;
    CompileUnit(implicit, *source, true);
    return true;
  }
  if (FindCompiledUnit(name) || IsEnvironmentUnit(name, settings_.Target, settings_.Scan.CompilerVersion)) {
    states_[key] = TState::Done;
    return true;
  }
  return false;
}

void TPascalCompiler::CompileUnit(const TModuleReference &reference, const std::string &path, bool implicit) {
  std::string key = UpperCase(reference.Name);
  states_[key] = TState::Interface;
  TPascalModule module = ReadModule(path);
  if (module.Kind != TModuleKind::Unit) {
    throw EStandInError(scanner_.Location(module.File, module.HeaderLine) + " Fatal: '" + reference.Name +
                        "' is not a unit");
  }
  if (!SameText(module.Name, reference.Name)) {
    throw EStandInError(scanner_.Location(module.File, module.HeaderLine) + " Fatal: Unit identifier '" +
                        module.Name + "' does not match file name");
  }
  for (const TModuleReference &used : module.InterfaceUses) {
    ResolveUse(used, true);
  }
  states_[key] = TState::Implementation;
  for (const TModuleReference &used : module.ImplementationUses) {
    ResolveUse(used, false);
  }
  if (module.Directives.Errors > 0) {
    Fatal(reference, "Could not compile used unit '" + NameOf(path) + "'");
  }
  TCompiledUnit unit;
  unit.Name = module.Name;
  unit.SourcePath = path;
  unit.Implicit = implicit;
  for (const auto *list : {&module.InterfaceUses, &module.ImplementationUses}) {
    for (const TModuleReference &used : *list) {
      unit.Uses.push_back(used.Name);
    }
  }
  unit.Resources = LoadResources(module.Directives, path);
  states_[key] = TState::Done;
  compiled_.push_back(std::move(unit));
}

std::vector<TResource> TPascalCompiler::ModuleResources(const TPascalModule &module) {
  return LoadResources(module.Directives, module.Path);
}

std::vector<TResource> TPascalCompiler::LoadResources(const TDirectiveResults &directives,
                                                      const std::string &moduleFile) {
  std::vector<TResource> resources;
  for (const TResourceDirective &directive : directives.Resources) {
    TModuleReference where{directive.Name, {}, directive.File, directive.Line};
    std::vector<std::string> folders = {FolderOf(scanner_.FileName(directive.File)), FolderOf(moduleFile)};
    folders.insert(folders.end(), settings_.ResourcePath.begin(), settings_.ResourcePath.end());
    folders.insert(folders.end(), settings_.UnitPath.begin(), settings_.UnitPath.end());
    auto path = IsAbsolutePath(directive.Name)
                    ? (IsFile(directive.Name) ? std::optional<std::string>(directive.Name) : std::nullopt)
                    : FindInFolders(directive.Name, folders);
    if (!path) {
      Fatal(where, "File not found: '" + directive.Name + "'");
    }
    auto bytes = ReadFileBytes(*path);
    if (!bytes) {
      Fatal(where, "Could not open '" + *path + "'");
    }
    if (IsFormFile(directive.Name)) {
      resources.push_back(
          {TResourceId::Number(ResourceTypeRcData), TResourceId::Text(FormClassName(*bytes)), 0, *bytes});
      continue;
    }
    std::string extension = LowerCase(ExtensionOf(directive.Name));
    if (extension == ".res" || extension == ".dcr") {
      try {
        for (TResource &resource : ReadResFile(*bytes, directive.Name)) {
          resources.push_back(std::move(resource));
        }
      } catch (const EStandInError &error) {
        throw EStandInError(Location(where) + error.Message());
      }
    }
  }
  return resources;
}

std::optional<std::string> TPascalCompiler::FindSource(const std::string &name) const {
  std::vector<std::string> folders = {owner_->Folder};
  folders.insert(folders.end(), settings_.UnitPath.begin(), settings_.UnitPath.end());
  return FindInFolders(name + ".pas", folders);
}

std::optional<std::string> TPascalCompiler::FindCompiledUnit(const std::string &name) const {
  std::vector<std::string> folders = {owner_->Folder};
  folders.insert(folders.end(), settings_.UnitPath.begin(), settings_.UnitPath.end());
  if (!settings_.UnitOutput.empty()) {
    folders.push_back(settings_.UnitOutput);
  }
  return FindInFolders(name + settings_.UnitExtension, folders);
}

} // namespace StandIn
