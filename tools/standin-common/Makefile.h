// Borland makefiles as C++Builder writes them (a C++Builder 4 package project is one, later
// versions convert their XML projects into one with bpr2mak): macro definitions, $(NAME) and
// $(NAME:old=new) references, the directives !if !ifdef !ifndef !elif !else !endif !include
// !message !error !undef with $d(NAME) and the usual operators, explicit and implicit rules with
// their commands and inline response files (&&! ... !). The stand-in make reads a package
// makefile with this and builds the package the macros describe; it runs no commands.
#pragma once
#include "PascalScanner.h"

#include <map>
#include <string>
#include <vector>

namespace StandIn {

struct TMakeRule {
  std::vector<std::string> Targets;
  std::string Dependencies; // as written, unexpanded
  bool Implicit = false;    // .pas.obj:
  int Line = 0;
};

class TMakefile {
public:
  // Macros defined on make's command line; the makefile's own definitions replace them.
  TMakefile(std::map<std::string, std::string> macros, TPrinter print);

  // Raises EStandInError with make's wording ("Fatal X.mak 12: Error directive: ...").
  void Read(const std::string &path);

  bool Defined(const std::string &name) const;
  // The macro's value with every reference in it expanded; empty when undefined.
  std::string Macro(const std::string &name) const;
  std::string Expand(const std::string &text) const;
  const std::vector<TMakeRule> &Rules() const { return rules_; }
  // The first explicit rule's first target, expanded ("" when there is none).
  std::string DefaultTarget() const;

private:
  std::string Expand(const std::string &text, int depth) const;
  bool Condition(const std::string &expression, int line) const;
  void ReadLines(const std::string &path, int depth);
  [[noreturn]] void Fatal(int line, const std::string &text) const;

  std::map<std::string, std::string> macros_; // upper-case names: make compares them without case
  TPrinter print_;
  std::vector<TMakeRule> rules_;
  std::string file_;
};

} // namespace StandIn
