// What the stand-in make builds from a C++Builder package makefile: the Pascal units and C++
// sources of OBJFILES (each found on PATHPAS or PATHCPP) compiled to .obj, with a .hpp header and a
// .dcu for every Pascal unit; then the link, which needs every RESFILES resource and every PACKAGES
// import library (.bpi), and writes the package (a real PE image carrying the description of the
// linker's -D option), its .bpi, its .lib, the debug symbol table .tds and the incremental link
// state files .ilc, .ild, .ilf and .ils. Relative paths are taken from the current folder, as make
// runs the compiler and linker there.
#pragma once
#include "Makefile.h"
#include "Resources.h"

#include <string>

class TPackageMake {
public:
  // The names of the macros defined on make's command line also reach the Pascal compiler as
  // conditional symbols, as the library's package makefiles pass them on.
  TPackageMake(const StandIn::TMakefile &makefile, const std::string &makefileName,
               std::vector<std::string> commandLineDefines);

  // Raises EStandInError at the first failure; the message is what make prints.
  void Build();

private:
  struct TObject {
    std::string ObjectPath;
    std::string SourcePath;
    bool IsPascal;
  };

  std::vector<TObject> FindSources() const;
  void CompilePascal(const std::vector<TObject> &objects);
  void CompileCpp(const TObject &object);
  void Link();
  std::vector<std::string> Folders(const std::string &macro) const;
  std::vector<std::string> PascalSwitches(char letter) const;
  std::string PackageDescription() const;
  void Write(const std::string &path, const std::string &bytes) const;

  const StandIn::TMakefile &makefile_;
  std::string makefileName_;
  std::vector<std::string> commandLineDefines_;
  double version_;
  std::string project_;
  std::vector<std::string> pascalUnits_;
  std::vector<StandIn::TResource> unitResources_;
};
