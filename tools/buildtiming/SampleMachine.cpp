#include "SampleMachine.h"

#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"

namespace {

void Require(bool done, const std::string &what) {
  if (!done)
    throw Exception("Installing the sample machine: " + what + " failed (" +
                    std::to_string(Fs::LastErrorCode()) + ").");
}

void CopyTree(const std::string &from, const std::string &to) {
  Fs::ForceFolders(to);
  for (const auto &entry : Fs::FindFiles(from + "\\*")) {
    if (entry.Name == ".keep")
      continue;
    if (entry.IsDirectory)
      CopyTree(from + "\\" + entry.Name, to + "\\" + entry.Name);
    else
      Require(Fs::CopyFile(from + "\\" + entry.Name, to + "\\" + entry.Name, false), "copying " + entry.Name);
  }
}

// A folder as a REGEDIT4 string holds it: every backslash doubled.
std::string RegText(const std::string &text) {
  std::string escaped;
  for (char c : text)
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return escaped;
}

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

} // namespace

TSampleMachine InstallSampleMachine(const std::string &sample, const std::string &root,
                                    const std::function<std::string(const std::string &tool)> &toolPath,
                                    const std::string &standInSettings) {
  TSampleMachine machine{root, root + "\\Program Files", root + "\\Quivex"};
  const std::string borland = machine.ProgramFiles + "\\Borland";
  CopyTree(sample + "\\Environments\\Borland", borland);
  const struct {
    const char *Folder;
    std::initializer_list<const char *> Tools;
  } environments[] = {
      {"Delphi5", {"dcc32", "Delphi32"}},
      {"Delphi6", {"dcc32", "Delphi32"}},
      {"Delphi7", {"dcc32", "Delphi32"}},
      {"CBuilder4", {"dcc32", "make", "bpr2mak", "bcb"}},
      {"CBuilder6", {"dcc32", "make", "bpr2mak", "bcb"}},
      {"BDS\\2.0", {"dccil", "Delphi32"}},
  };
  for (const auto &environment : environments) {
    const std::string bin = borland + "\\" + environment.Folder + "\\bin";
    for (const char *tool : environment.Tools)
      Require(Fs::CopyFile(toolPath(tool), bin + "\\" + tool + ".exe", false),
              std::string("copying ") + tool);
    if (!standInSettings.empty()) {
      std::string ini = Fs::ReadWholeFile(bin + "\\StandIn.ini").value_or("");
      Require(Fs::WriteWholeFile(bin + "\\StandIn.ini", ini + standInSettings), "writing StandIn.ini");
    }
  }
  CopyTree(sample + "\\Quivex", machine.Sources);

  auto fixture = Fs::ReadWholeFile(sample + "\\Machine.reg");
  Require(fixture.has_value(), "reading Machine.reg");
  ImportRegText(Replaced(*fixture, "C:\\\\Program Files", RegText(machine.ProgramFiles)));
  // The older Quivex that Delphi 7's paths still name; the install takes it off them.
  const std::string quivex6 = machine.ProgramFiles + "\\Quivex 6\\Delphi7\\Lib";
  Require(Fs::ForceFolders(quivex6) && Fs::WriteWholeFile(quivex6 + "\\ZeEngine.dcu", "unit"), "Quivex 6");
  // The .NET Framework's assembly cache tool, found through its shell association.
  const std::string gacFolder = machine.ProgramFiles + "\\Microsoft.NET\\SDK\\v1.1\\Bin";
  Require(Fs::ForceFolders(gacFolder) &&
              Fs::CopyFile(toolPath("gacutil"), gacFolder + "\\gacutil.exe", false),
          "copying gacutil");
  ImportRegText(
      "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\Applications\\gacutil.exe\\shell\\open\\command]\r\n@=\"\\\"" +
      RegText(gacFolder) + "\\\\gacutil.exe\\\" \\\"%1\\\"\"\r\n");

#ifndef _WIN32
  Fs::ForceFolders(root + "\\System32");
  Fs::SetSystemFolder(Fs::NativePath(root + "\\System32"));
#endif
  // The OpenGL design package is registered only where the system folder holds OpenGL32.dll.
  const std::string system = Fs::SystemFolder();
  if (Fs::FindFiles(system + "\\OpenGL32.dll").empty())
    Fs::WriteWholeFile(system + "\\OpenGL32.dll", "");
  for (const auto &entry : Fs::FindFiles(sample + "\\Environments\\System\\*"))
    if (!entry.IsDirectory)
      Require(
          Fs::CopyFile(sample + "\\Environments\\System\\" + entry.Name, system + "\\" + entry.Name, false),
          "copying " + entry.Name);
  return machine;
}
