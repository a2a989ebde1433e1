#include "CommandLine.h"

#include "StandInError.h"
#include "StandInFiles.h"

#include "framework/WinApi.h"

#include <cstdio>
#include <cstdlib>

namespace StandIn {

std::vector<std::string> SplitCommandLine(const std::string &text) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (inArgument) {
        arguments.push_back(current);
        current.clear();
        inArgument = false;
      }
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      std::size_t count = 0;
      while (i < text.size() && text[i] == '\\') {
        ++count;
        ++i;
      }
      if (i < text.size() && text[i] == '"') {
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          ++i;
        }
      } else {
        current.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    current += c;
    ++i;
  }
  if (inArgument) {
    arguments.push_back(current);
  }
  return arguments;
}

std::vector<std::string> ExpandResponseFiles(const std::vector<std::string> &arguments) {
  std::vector<std::string> expanded;
  for (const std::string &argument : arguments) {
    if (argument.size() > 1 && argument[0] == '@') {
      std::string file = argument.substr(1);
      auto bytes = ReadFileBytes(file);
      if (!bytes) {
        throw EStandInError("Fatal: Unable to open response file '" + file + "'");
      }
      for (std::string &inner : SplitCommandLine(*bytes)) {
        expanded.push_back(std::move(inner));
      }
    } else {
      expanded.push_back(argument);
    }
  }
  return expanded;
}

void RecordCommandLine(int argc, char **argv) {
  const char *log = std::getenv("ZEL_STANDIN_COMMANDS");
  if (!log || !*log)
    return;
#ifdef _WIN32
  std::string commandLine = ::GetCommandLineA();
#else
  std::string commandLine = argc > 0 ? argv[0] : "";
  for (int i = 1; i < argc; ++i)
    commandLine += std::string(" ") + argv[i];
#endif
  // One write of the whole line, so that tools that run at once keep their lines whole.
  std::string line = CurrentFolder() + "|" + commandLine + "\n";
  if (std::FILE *file = std::fopen(NativePath(log).c_str(), "ab")) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}

std::vector<std::string> ProgramArguments(int argc, char **argv) {
  RecordCommandLine(argc, argv);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.emplace_back(argv[i]);
  }
  return ExpandResponseFiles(arguments);
}

} // namespace StandIn
