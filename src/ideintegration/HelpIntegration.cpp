#include "HelpIntegration.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Files.h"
#include "framework/Registry.h"
#include "framework/Text.h"

namespace {

std::string DocsFolder(const TBuildHost &host) {
  return host.DestinationBase + "\\Docs";
}

// Edits one of the environment's help files when it is there; SaveLines replaces it in one step.
template <typename TEdit> void EditHelpFile(const std::string &path, TEdit edit) {
  if (!Changes::FileExists(path))
    return;
  TStringList lines = Changes::LoadLines(path);
  edit(lines);
  RemoveBlankLines(lines);
  Changes::SaveLines(path, lines);
}

} // namespace

void RegisterHelpFile(const TBuildHost &host, const std::string &name) {
  std::string docs = DocsFolder(host);
  if (!Changes::FileExists(docs + "\\" + name))
    return;
  TRegistry registry(TRootKey::LocalMachine);
  if (registry.OpenKey("\\Software\\Microsoft\\Windows\\Help", false))
    Changes::WriteString(registry, name, docs);
}

std::string IdeHelpFileName(int index, const std::string &extension) {
  const TEnviron &row = Environments[std::size_t(index)];
  std::string prefix = !row.IsDelphi ? "BCB" : row.Version <= 6 ? "Delphi" : "D";
  return row.RootDir + "\\Help\\" + prefix + std::to_string(row.Version) + extension;
}

void RemoveLibraryHelpLines(TStringList &lines, const std::string &name, const std::string &suffix) {
  auto names = [&](const std::string &line) {
    std::string upper = UpperCase(line);
    for (int n = 7; n >= 4; --n)
      if (upper.find(name + std::to_string(n) + suffix) != std::string::npos)
        return true;
    return !suffix.empty() && upper.find(name + suffix) != std::string::npos;
  };
  std::erase_if(lines, names);
}

void RemoveBlankLines(TStringList &lines) {
  std::erase_if(lines, [](const std::string &line) {
    for (char c : line)
      if (static_cast<unsigned char>(c) > ' ')
        return false;
    return true;
  });
}

void MergeIdeHelp(TBuildHost &host, int index) {
  for (const char *name : {"Quivex7.hlp", "Quivex7.ohc", "Quivex7.cnt", "Quivex7Lib.toc"})
    RegisterHelpFile(host, name);
  EditHelpFile(IdeHelpFileName(index, ".cnt"), [](TStringList &lines) {
    RemoveLibraryHelpLines(lines, "QUIVEX", ".OHC");
    lines.push_back(":Include Quivex7.ohc");
    RemoveLibraryHelpLines(lines, "QUIVEX", ".HLP");
    lines.push_back(":Index Quivex=Quivex7.hlp");
  });
  EditHelpFile(IdeHelpFileName(index, ".ohi"), [](TStringList &lines) {
    RemoveLibraryHelpLines(lines, "QUIVEX", ".HLP");
    lines.push_back(":Index Quivex=Quivex7.hlp");
    RemoveLibraryHelpLines(lines, "QUIVEX", "GUIDE.HLP");
    lines.push_back(":Index Quivex Pro v7 User Guide=Quivex7Guide.hlp");
  });
  EditHelpFile(IdeHelpFileName(index, ".ohl"), [](TStringList &lines) {
    RemoveLibraryHelpLines(lines, "QUIVEX", ".HLP");
    lines.push_back(":LINK Quivex7.hlp");
    RemoveLibraryHelpLines(lines, "QUIVEX", "GUIDE.HLP");
    lines.push_back(":LINK Quivex7Guide.hlp");
  });
}

void RegisterLibraryHelpFiles(const TBuildHost &host) {
  for (const char *name : {"ZelUser7.hlp", "Quivex7Guide.hlp", "Quivex7Guide.toc"})
    RegisterHelpFile(host, name);
}
