// Command lines as the Borland tools receive them on Windows.
#pragma once
#include <string>
#include <vector>

namespace StandIn {

// Splits a command line by the rules of the Microsoft C runtime, which the program's process layer
// also follows on POSIX: blanks separate outside double quotes; 2n backslashes before a quote give
// n backslashes and the quote toggles quoting; 2n+1 give n backslashes and a literal quote; ""
// inside quotes is a literal quote. So -U"C:\a";"C:\b" arrives as -UC:\a;C:\b.
std::vector<std::string> SplitCommandLine(const std::string &text);

// Replaces every "@file" argument by the arguments the file holds (line ends count as blanks).
// A response file that cannot be read raises EStandInError.
std::vector<std::string> ExpandResponseFiles(const std::vector<std::string> &arguments);

// A check of which tools a run starts, and where, names a file in the environment variable
// ZEL_STANDIN_COMMANDS: each stand-in appends to it a line "<current folder>|<command line>", the
// command line as the process received it.
void RecordCommandLine(int argc, char **argv);

// The arguments of main() after the program name, with response files expanded (and the command
// line recorded, as above).
std::vector<std::string> ProgramArguments(int argc, char **argv);

} // namespace StandIn
