// Stand-in for Borland's make.exe as a C++Builder package build runs it:
//   make -B -DNAME -DNAME=value -f"Src\Zel7C6.mak"
// It reads the makefile (a C++Builder 4 .bpk is one) and builds the package it describes.
#include "CommandLine.h"
#include "Makefile.h"
#include "PackageMake.h"
#include "StandInConfig.h"
#include "StandInError.h"
#include "StandInFiles.h"

#include <iostream>
#include <map>

using namespace StandIn;

namespace {

struct TMakeOptions {
  std::string Makefile;
  std::map<std::string, std::string> Macros;
  std::vector<std::string> Targets;
  std::vector<std::string> CommandLineDefines;
};

TMakeOptions ParseOptions(const std::vector<std::string> &arguments) {
  TMakeOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (argument.size() < 2 || argument[0] != '-') {
      options.Targets.push_back(argument);
      continue;
    }
    char letter = argument[1];
    std::string value = argument.substr(2);
    if (letter == 'f') {
      if (value.empty() && i + 1 < arguments.size()) {
        value = arguments[++i];
      }
      options.Makefile = value;
    } else if (letter == 'D') {
      auto equals = value.find('=');
      std::string name = value.substr(0, equals);
      options.Macros[name] = equals == std::string::npos ? "1" : value.substr(equals + 1);
      options.CommandLineDefines.push_back(name);
    } else if (letter == 'U') {
      options.Macros.erase(value);
    } else if (std::string("BsnKiaerNWmpI").find(letter) == std::string::npos) {
      throw EStandInError("Fatal: Illegal command line option: " + argument);
    }
  }
  return options;
}

std::string FindMakefile(const std::string &given) {
  if (!given.empty()) {
    return given;
  }
  return IsFile("makefile") || !IsFile("makefile.mak") ? "makefile" : "makefile.mak";
}

} // namespace

int main(int argc, char **argv) {
  std::cout << "MAKE Version 5.2  Copyright (c) 1987, 2002 Borland\n";
  try {
    TMakeOptions options = ParseOptions(ProgramArguments(argc, argv));
    std::map<std::string, std::string> macros = options.Macros;
    macros["MAKEDIR"] = ProgramFolder();
    macros["MAKE"] = ProgramFileName();
    TMakefile makefile(macros, [](const std::string &line) { std::cout << line << "\n"; });
    std::string file = FindMakefile(options.Makefile);
    makefile.Read(file);
    std::string project = Trim(makefile.Macro("PROJECT"));
    for (const std::string &target : options.Targets) {
      if (!SameText(target, project) && !SameText(target, makefile.DefaultTarget())) {
        throw EStandInError("Fatal: Don't know how to make '" + target + "'");
      }
    }
    PauseIfAsked(); // as the compiler does: make compiles the package's units
    TPackageMake(makefile, file, options.CommandLineDefines).Build();
    std::cout.flush();
    return 0;
  } catch (const EStandInError &error) {
    std::cout << error.Message() << "\n";
    std::cout.flush();
    return 1;
  }
}
