// libFuzzer target for the command line of a run without a person (scripts/fuzz builds and runs
// it). The bytes are a command line as Windows hands it to the program:
// - SplitCommandLine splits it as a reading of the C runtime's rules, written here one character
//   at a time, does; and any program and arguments, quoted by those rules, split back to themselves;
// - the parameters give options or an EUsageError (nothing else), the options keep their rules,
//   and options written out as switches, quoted into a command line and split again give the same
//   options. The same holds for the installer's switches.
#include "FuzzSupport.h"
#include "framework/Process.h"
#include "unattended/Switches.h"

#include <algorithm>
#include <optional>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The rules as a small machine: outside quotes, inside them, or just after a closing quote (where
// another quote is a literal one). A run of backslashes counts only before a quote: 2n give n and
// the quote still opens or closes, 2n+1 give n and a literal quote.
std::vector<std::string> ReferenceSplit(const std::string &line) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < line.size() && IsBlank(line[i]))
      ++i;
  };
  skipBlanks();
  if (i == line.size())
    return parts;
  std::string program;
  if (line[i] == '"') {
    for (++i; i < line.size() && line[i] != '"'; ++i)
      program += line[i];
    if (i < line.size())
      ++i; // the closing quote; whatever follows starts the first argument
  } else {
    for (; i < line.size() && !IsBlank(line[i]); ++i)
      program += line[i];
  }
  parts.push_back(program);
  enum { Outside, Inside, JustClosed };
  for (skipBlanks(); i < line.size(); skipBlanks()) {
    std::string argument;
    int state = Outside;
    while (i < line.size() && !(IsBlank(line[i]) && state != Inside)) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++slashes;
        ++i;
      }
      bool quote = i < line.size() && line[i] == '"';
      if (slashes > 0 && state == JustClosed)
        state = Outside;
      if (!quote) {
        argument.append(slashes, '\\');
        if (slashes == 0) {
          argument += line[i++];
          if (state == JustClosed)
            state = Outside;
        }
        continue;
      }
      argument.append(slashes / 2, '\\');
      ++i;
      if (slashes % 2 == 1)
        argument += '"';
      else if (state == Outside)
        state = Inside;
      else if (state == Inside)
        state = JustClosed;
      else {
        argument += '"';
        state = Outside;
      }
    }
    parts.push_back(argument);
  }
  return parts;
}

// An argument as a Windows program quotes it for the C runtime of the program it starts.
std::string QuoteArgument(const std::string &argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
    return argument;
  std::string quoted = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t slashes = 0;
    for (; i < argument.size() && argument[i] == '\\'; ++i)
      ++slashes;
    if (i == argument.size()) {
      quoted.append(2 * slashes, '\\');
      break;
    }
    if (argument[i] == '"')
      quoted.append(2 * slashes + 1, '\\');
    else
      quoted.append(slashes, '\\');
    quoted += argument[i];
  }
  return quoted + "\"";
}

// The program part knows no escapes: quoted it cannot hold a quote, bare no blank nor a first quote.
std::optional<std::string> QuoteProgram(const std::string &program) {
  if (program.find('"') == std::string::npos)
    return "\"" + program + "\"";
  if (program[0] != '"' && program.find_first_of(" \t") == std::string::npos)
    return program;
  return std::nullopt;
}

std::string CommandLine(const std::string &quotedProgram, const std::vector<std::string> &arguments) {
  std::string line = quotedProgram;
  for (const auto &argument : arguments)
    line += " " + QuoteArgument(argument);
  return line;
}

// The parameters that a program passes when it starts another run with these options. The spelling
// of each switch ("/" or "-", the case of its name) comes from the bits of spelling.
std::vector<std::string> WriteSwitches(const TUnattendedOptions &options, unsigned spelling) {
  std::vector<std::string> parameters;
  auto add = [&](std::string name, const std::string *value) {
    if (spelling & 1)
      for (auto &c : name)
        c = FuzzUpper(c);
    parameters.push_back(((spelling & 2) ? "-" : "/") + name + (value ? ":" + *value : ""));
    spelling = (spelling >> 2) | (spelling << 30);
  };
  if (options.Standard)
    parameters.push_back((spelling & 4) ? "standard" : "STANDARD");
  add(options.Action == TUnattendedOptions::TAction::List ? "list" : "build", nullptr);
  for (const auto &pattern : options.Patterns)
    add("env", &pattern);
  if (options.Source)
    add("source", &*options.Source);
  if (options.Destination)
    add("dest", &*options.Destination);
  for (auto [flag, name] : {std::pair{options.Xfm, "xfm"}, std::pair{options.Install, "install"},
                            std::pair{options.DecisionCube, "dcube"}, std::pair{options.Yes, "yes"}})
    if (flag)
      add(name, nullptr);
  if (!options.LogFile.empty())
    add("log", &options.LogFile);
  if (!options.ResultFile.empty())
    add("result", &options.ResultFile);
  return parameters;
}

bool SameOptions(const TUnattendedOptions &a, const TUnattendedOptions &b) {
  return a.Action == b.Action && a.Patterns == b.Patterns && a.Source == b.Source &&
         a.Destination == b.Destination && a.Xfm == b.Xfm && a.Install == b.Install &&
         a.DecisionCube == b.DecisionCube && a.Yes == b.Yes && a.LogFile == b.LogFile &&
         a.ResultFile == b.ResultFile && a.Standard == b.Standard;
}

bool IsPathValue(const std::string &value) {
  return !value.empty() && value.find_first_of("\"<>|*?") == std::string::npos;
}

void CheckOptions(const TUnattendedOptions &options, const std::vector<std::string> &parameters) {
  FUZZ_CHECK(IsUnattendedCommandLine(parameters));
  FUZZ_CHECK(!options.Standard || FuzzSameIgnoringCase(parameters[0], "STANDARD"));
  if (options.Action == TUnattendedOptions::TAction::List) {
    FUZZ_CHECK(options.Patterns.empty() && !options.Source && !options.Destination);
    FUZZ_CHECK(!options.Xfm && !options.Install && !options.DecisionCube && !options.Yes);
    FUZZ_CHECK(options.LogFile.empty() && options.ResultFile.empty());
  } else {
    FUZZ_CHECK(!options.Patterns.empty());
  }
  for (const auto &pattern : options.Patterns)
    FUZZ_CHECK(!pattern.empty());
  for (const auto &path : {options.Source, options.Destination})
    FUZZ_CHECK(!path || IsPathValue(*path));
  FUZZ_CHECK(options.LogFile.empty() || IsPathValue(options.LogFile));
  FUZZ_CHECK(options.ResultFile.empty() || IsPathValue(options.ResultFile));
}

void CheckSwitches(const std::vector<std::string> &parameters, unsigned spelling) {
  TUnattendedOptions options;
  try {
    options = ParseSwitches(parameters);
  } catch (const EUsageError &error) {
    FUZZ_CHECK(!error.Message().empty());
    return;
  }
  CheckOptions(options, parameters);
  std::vector<std::string> written = WriteSwitches(options, spelling);
  FUZZ_CHECK(SameOptions(ParseSwitches(written), options));
  std::vector<std::string> split = SplitCommandLine(CommandLine("ZelRecompile.exe", written));
  FUZZ_CHECK(split.size() == written.size() + 1);
  FUZZ_CHECK(SameOptions(ParseSwitches({split.begin() + 1, split.end()}), options));
}

void CheckInstallSwitches(const std::vector<std::string> &parameters, unsigned spelling) {
  TInstallSwitches switches;
  try {
    switches = ParseInstallSwitches(parameters);
  } catch (const EUsageError &error) {
    FUZZ_CHECK(!error.Message().empty());
    return;
  }
  FUZZ_CHECK(switches.ResultFile.empty() || IsPathValue(switches.ResultFile));
  std::vector<std::string> kept; // the parameters that are no switch, in their order
  for (const auto &parameter : parameters)
    if (!(parameter.size() > 1 && (parameter[0] == '/' || parameter[0] == '-')))
      kept.push_back(parameter);
  FUZZ_CHECK(switches.Parameters == kept);
  std::vector<std::string> written = switches.Parameters;
  if (switches.Yes)
    written.insert(written.begin() + std::ptrdiff_t(spelling % (written.size() + 1)),
                   (spelling & 8) ? "-YES" : "/yes");
  if (!switches.ResultFile.empty())
    written.push_back(((spelling & 16) ? "-Result:" : "/result:") + switches.ResultFile);
  TInstallSwitches again = ParseInstallSwitches(written);
  FUZZ_CHECK(again.Yes == switches.Yes && again.ResultFile == switches.ResultFile &&
             again.Parameters == switches.Parameters);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string line(reinterpret_cast<const char *>(data), size);
  std::vector<std::string> parts = SplitCommandLine(line);
  FUZZ_CHECK(parts == ReferenceSplit(line));
  if (parts.empty())
    return 0;

  std::vector<std::string> arguments(parts.begin() + 1, parts.end());
  std::string program = QuoteProgram(parts[0]).value_or("program");
  std::vector<std::string> again = SplitCommandLine(CommandLine(program, arguments));
  FUZZ_CHECK(again.size() == parts.size());
  FUZZ_CHECK(std::equal(arguments.begin(), arguments.end(), again.begin() + 1));
  FUZZ_CHECK(!QuoteProgram(parts[0]) || again[0] == parts[0]);

  unsigned spelling = 0;
  for (char c : line)
    spelling = spelling * 31 + static_cast<unsigned char>(c);
  CheckSwitches(arguments, spelling);
  CheckInstallSwitches(arguments, spelling);
  IsUnattendedInstallCommandLine(arguments, parts[0]);
  return 0;
}
