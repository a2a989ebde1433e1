// Stand-in for the .NET Framework's gacutil.exe as the install step runs it:
//   gacutil /i "E\Assemblies\Velmora.Quivex.Vcl.dll"
// The cache is a text file beside the tool, "GlobalAssemblyCache.txt", one line per assembly:
// its name, "=", and the file it was installed from. /u removes, /l lists.
#include "CommandLine.h"
#include "PeImage.h"
#include "StandInError.h"
#include "StandInFiles.h"

#include <cctype>
#include <iostream>
#include <utility>
#include <vector>

using namespace StandIn;

namespace {

using TCache = std::vector<std::pair<std::string, std::string>>;

std::string CacheFile() {
  return JoinPath(ProgramFolder(), "GlobalAssemblyCache.txt");
}

TCache LoadCache() {
  auto bytes = ReadFileBytes(CacheFile());
  return bytes ? KeyValueLines(*bytes) : TCache();
}

bool SaveCache(const TCache &cache) {
  std::string text;
  for (const auto &[name, path] : cache) {
    text += name + "=" + path + "\r\n";
  }
  return WriteFileBytes(CacheFile(), text);
}

int Install(const std::string &path) {
  auto image = ReadFileBytes(path);
  if (!image) {
    std::cout << "Failure adding assembly to the cache: The system cannot find the file specified.\n";
    return 1;
  }
  if (!IsPeImage(*image)) {
    std::cout
        << "Failure adding assembly to the cache: The module was expected to contain an assembly manifest.\n";
    return 1;
  }
  std::string name = StemOf(path);
  TCache cache = LoadCache();
  std::erase_if(cache, [&](const auto &entry) { return SameText(entry.first, name); });
  cache.emplace_back(name, path);
  if (!SaveCache(cache)) {
    std::cout << "Failure adding assembly to the cache: Access is denied.\n";
    return 1;
  }
  std::cout << "Assembly successfully added to the cache\n";
  return 0;
}

int Uninstall(const std::string &name) {
  TCache cache = LoadCache();
  std::size_t removed = std::erase_if(cache, [&](const auto &entry) { return SameText(entry.first, name); });
  if (removed == 0) {
    std::cout << "No assemblies found matching: " << name << "\n";
  } else {
    std::cout << "Assembly: " << name << "\nUninstalled: " << name << "\n";
    if (!SaveCache(cache)) {
      std::cout << "Failure removing assembly from the cache: Access is denied.\n";
      return 1;
    }
  }
  std::cout << "Number of assemblies uninstalled = " << removed << "\nNumber of failures = 0\n";
  return 0;
}

int List(const std::string &name) {
  std::cout << "The Global Assembly Cache contains the following assemblies:\n";
  std::size_t count = 0;
  for (const auto &[assembly, path] : LoadCache()) {
    if (name.empty() || SameText(name, assembly)) {
      std::cout << "        " << assembly << "\n";
      ++count;
    }
  }
  std::cout << "\nNumber of items = " << count << "\n";
  return 0;
}

bool IsOption(const std::string &argument, const std::string &name) {
  return argument.size() == name.size() + 1 && (argument[0] == '/' || argument[0] == '-') &&
         SameText(argument.substr(1), name);
}

int Run(const std::vector<std::string> &arguments) {
  bool logo = true;
  char command = '\0';
  std::string operand;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (IsOption(argument, "nologo") || IsOption(argument, "silent")) {
      logo = false;
    } else if (IsOption(argument, "i") || IsOption(argument, "if") || IsOption(argument, "u") ||
               IsOption(argument, "l")) {
      command = static_cast<char>(std::tolower(static_cast<unsigned char>(argument[1])));
      if (i + 1 < arguments.size()) {
        operand = arguments[++i];
      }
    } else {
      command = '?';
    }
  }
  if (logo) {
    std::cout << "\nMicrosoft (R) .NET Global Assembly Cache Utility.  Version 1.1.4322.573\n"
              << "Copyright (C) Microsoft Corporation 1998-2002. All rights reserved.\n\n";
  }
  if (command == 'i' && !operand.empty()) {
    return Install(operand);
  }
  if (command == 'u' && !operand.empty()) {
    return Uninstall(operand);
  }
  if (command == 'l') {
    return List(operand);
  }
  std::cout << "Usage: Gacutil <command> [ <options> ]\nCommands:\n"
            << "  /i <assembly_path>\n    Installs an assembly into the global assembly cache.\n"
            << "  /u <assembly_name>\n    Uninstalls an assembly from the global assembly cache.\n"
            << "  /l [ <assembly_name> ]\n    List the global assembly cache.\n";
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  try {
    return Run(ProgramArguments(argc, argv));
  } catch (const EStandInError &error) {
    std::cout << error.Message() << "\n";
    return 1;
  }
}
