// Stand-in for the Delphi command-line compiler dcc32.exe, as the library build runs it:
//   dcc32 -Q -B -$D- ... -LN"E\lib" -E"E\bin" -N"E\lib" -U"E\lib";"Src" -I"Src" -R"Src"
//         -DZELENTERPRISE "Src\Zel77.dpk" -LE"E\System"
#include "CommandLine.h"
#include "CompilerDriver.h"
#include "StandInError.h"

#include <iostream>

int main(int argc, char **argv) {
  try {
    return StandIn::RunCompiler(StandIn::TTargetKind::Win32, StandIn::ProgramArguments(argc, argv));
  } catch (const EStandInError &error) {
    std::cout << error.Message() << "\n";
    return 1;
  }
}
