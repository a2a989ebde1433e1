// Stand-in for the Delphi for .NET command-line compiler dccil.exe, as the library build runs it:
//   dccil ... -U"R\units" -NSBorland.VCL "Src\Velmora.Quivex.VCL.dpk" -LE"E\Assemblies"
//         -LUSystem.Drawing  -W-UNIT_PLATFORM -W-SYMBOL_PLATFORM  -DZELKEYS
// It writes .dcuil units, the .dcpil package symbol file and the assembly (.dll).
#include "CommandLine.h"
#include "CompilerDriver.h"
#include "StandInError.h"

#include <iostream>

int main(int argc, char **argv) {
  try {
    return StandIn::RunCompiler(StandIn::TTargetKind::DotNet, StandIn::ProgramArguments(argc, argv));
  } catch (const EStandInError &error) {
    std::cout << error.Message() << "\n";
    return 1;
  }
}
