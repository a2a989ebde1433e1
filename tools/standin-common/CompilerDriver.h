// The command-line compilers dcc32 and dccil: options as the Borland compilers take them (from the
// compiler's .cfg file beside it, a .cfg file in the current folder, the project's .cfg file and
// the command line, in this order), the compile, and the products where the real compilers write
// them: units to -N, the package symbol file to -LN, the package or assembly to -LE, programs to
// -E, each beside the source when its switch is missing.
#pragma once
#include "EnvironmentUnits.h"

#include <string>
#include <vector>

namespace StandIn {

// Returns the exit code: 0 when compiled, 1 on the first fatal error (its message printed).
int RunCompiler(TTargetKind target, const std::vector<std::string> &arguments);

} // namespace StandIn
