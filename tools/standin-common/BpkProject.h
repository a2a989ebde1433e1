// C++Builder 5 and 6 project files (.bpk, .bpr): XML with the project's make macros as elements
// (<MACROS><PROJECT value="Zel7C6.bpl"/>...), its tool options (<OPTIONS>) and linker lists
// (<LINKER>). bpr2mak turns one into a Borland makefile that make builds.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace StandIn {

struct TXmlElement {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Attributes;
  std::vector<TXmlElement> Children;
  int Line = 0;

  const TXmlElement *Child(const std::string &name) const;
  std::string Attribute(const std::string &name) const;
};

// The document's root element. The parser takes what C++Builder writes: a declaration, comments,
// elements with attributes, text (ignored) and the five entities and &#n; codes. It has no
// notion of a byte order mark: a file starting with one fails at line 1, column 1, which is why
// the program strips the mark before it runs the converter. Errors raise EStandInError.
TXmlElement ParseXml(const std::string &bytes, const std::string &fileName);

// The make macros of a project, in file order: <MACROS>, then <OPTIONS>, then <LINKER>.
struct TBpkProject {
  std::vector<std::pair<std::string, std::string>> Macros;
  std::vector<std::pair<std::string, std::string>> Options;
  std::vector<std::pair<std::string, std::string>> Linker;
};

TBpkProject ReadBpkProject(const std::string &bytes, const std::string &fileName);
// The makefile for a project: the macros, the include of the environment's definitions when the
// project names them, and the rules that build the package from its objects and resources.
std::string WriteProjectMakefile(const TBpkProject &project, const std::string &projectFile);

} // namespace StandIn
