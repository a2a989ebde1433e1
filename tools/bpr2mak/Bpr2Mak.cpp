// Stand-in for C++Builder's project converter bpr2mak.exe:
//   bpr2mak [-o<makefile>] [-t<template>] "Src\Zel7C6.bpk"
// writes Src\Zel7C6.mak beside the project. Like the real converter it cannot read a project that
// starts with a UTF-8 byte order mark (exit code 1).
#include "BpkProject.h"
#include "CommandLine.h"
#include "StandInError.h"
#include "StandInFiles.h"

#include <cctype>
#include <iostream>

using namespace StandIn;

namespace {

int Convert(const std::vector<std::string> &arguments) {
  std::string project, output, templateFile;
  for (const std::string &argument : arguments) {
    if (argument.size() >= 2 && argument[0] == '-') {
      char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(argument[1])));
      if (letter == 'o') {
        output = argument.substr(2);
      } else if (letter == 't') {
        templateFile = argument.substr(2);
      } else if (letter != 'q') {
        throw EStandInError("Error: Unknown option: " + argument);
      }
    } else if (project.empty()) {
      project = argument;
    } else {
      throw EStandInError("Error: Too many project files: '" + argument + "'");
    }
  }
  if (project.empty()) {
    std::cout << "Syntax: bpr2mak [-o<makefile>] [-t<template>] project.bpr|project.bpk\n";
    return 1;
  }
  std::cout << "Loading project file\n";
  auto bytes = ReadFileBytes(project);
  if (!bytes) {
    throw EStandInError("Error: Unable to open project file '" + project + "'");
  }
  TBpkProject parsed = ReadBpkProject(*bytes, project);
  std::cout << "Loading template\n";
  if (!templateFile.empty() && !IsFile(templateFile)) {
    throw EStandInError("Error: Unable to open template file '" + templateFile + "'");
  }
  std::cout << "Generating Makefile\n";
  if (output.empty()) {
    output = ChangeExtension(project, ".mak");
  }
  if (!WriteFileBytes(output, WriteProjectMakefile(parsed, project))) {
    throw EStandInError("Error: Unable to create makefile '" + output + "'");
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  std::cout
      << "C++Builder Makefile Generator, Version 6.0\nCopyright (c) 2002 Borland Software Corporation\n";
  try {
    return Convert(ProgramArguments(argc, argv));
  } catch (const EStandInError &error) {
    std::cout << error.Message() << "\n";
    return 1;
  }
}
