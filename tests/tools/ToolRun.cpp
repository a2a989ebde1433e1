#include "ToolRun.h"

#include "CommandLine.h"
#include "Resources.h"
#include "StandInFiles.h"
#include "framework/Files.h"
#include "framework/Handles.h"
#include "framework/Resources.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
const char *const ExeSuffix = ".exe";
#else
const char *const ExeSuffix = "";
#endif

} // namespace

std::string Quote(const std::string &text) {
  return "\"" + text + "\"";
}

#ifdef _WIN32
TToolRun RunTool(const std::string &commandLine, const std::string &folder) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    ADD_FAILURE() << "CreatePipe failed: " << ::GetLastError();
    return {};
  }
  UniqueHandle reader(readEnd), writer(writeEnd);
  ::SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();
  PROCESS_INFORMATION info{};
  std::string mutableLine = commandLine;
  if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << commandLine << ": error " << ::GetLastError();
    return {};
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  writer.Close(); // the child holds the only write end now: reading ends when it exits
  TToolRun run;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(reader.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    run.Output.append(buffer, read);
  }
  ::WaitForSingleObject(process.Get(), INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process.Get(), &exitCode);
  run.ExitCode = static_cast<int>(exitCode);
  run.Output.erase(std::remove(run.Output.begin(), run.Output.end(), '\r'), run.Output.end());
  return run;
}
#else
TToolRun RunTool(const std::string &commandLine, const std::string &folder) {
  std::vector<std::string> arguments = StandIn::SplitCommandLine(commandLine);
  if (arguments.empty()) {
    ADD_FAILURE() << "empty command line";
    return {};
  }
  std::string program = StandIn::NativePath(arguments.front());
  std::string directory = StandIn::NativePath(folder);
  int ends[2];
  if (::pipe(ends) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  UniqueFd reader(ends[0]), writer(ends[1]);
  std::vector<char *> argv;
  for (std::string &argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(writer.Get(), 1);
    ::dup2(writer.Get(), 2);
    if (::chdir(directory.c_str()) != 0) {
      ::_exit(126);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  writer.Close();
  TToolRun run;
  char buffer[4096];
  ssize_t count;
  while ((count = ::read(reader.Get(), buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
    if (count > 0) {
      run.Output.append(buffer, static_cast<std::size_t>(count));
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
#endif

TSimulatedEnvironment::TSimulatedEnvironment(const std::string &root, const std::vector<std::string> &tools,
                                             const std::vector<std::string> &libraryFiles)
    : root_(root) {
  Fs::ForceFolders(Bin());
  Fs::ForceFolders(Lib());
  for (const std::string &tool : tools) {
    std::string source = ProgramPath(tool);
    EXPECT_TRUE(Fs::CopyFile(source, Tool(tool), false)) << "cannot install " << source;
#ifndef _WIN32
    std::filesystem::permissions(StandIn::NativePath(Tool(tool)), std::filesystem::perms::owner_all);
#endif
  }
  for (const std::string &file : libraryFiles) {
    WriteTextFile(Lib() + "\\" + file, "");
  }
}

void TSimulatedEnvironment::SetCompilerVersion(const std::string &version) {
  WriteTextFile(Bin() + "\\StandIn.ini", "[Compiler]\r\nVersion=" + version + "\r\n");
}

std::string TSimulatedEnvironment::Tool(const std::string &name) const {
  return Bin() + "\\" + name + ExeSuffix;
}

#ifdef _WIN32
std::optional<std::string> DescriptionResource(const std::string &packagePath) {
  UniqueModule module(::LoadLibraryExA(packagePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) {
    ADD_FAILURE() << "LoadLibraryExA(" << packagePath << ") failed: " << ::GetLastError();
    return std::nullopt;
  }
  HRSRC found = ::FindResourceA(module.Get(), "DESCRIPTION", MAKEINTRESOURCEA(10));
  if (!found) {
    return std::nullopt;
  }
  DWORD size = ::SizeofResource(module.Get(), found);
  const void *data = ::LockResource(::LoadResource(module.Get(), found));
  return std::string(static_cast<const char *>(data), size);
}
#else
std::optional<std::string> DescriptionResource(const std::string &packagePath) {
  std::optional<std::string> bytes;
  std::uint32_t error = 0;
  if (!LoadDataResource(packagePath, "DESCRIPTION", bytes, error)) {
    ADD_FAILURE() << "cannot load " << packagePath << " as a module: error " << error;
  }
  return bytes;
}
#endif

std::optional<std::string> PackageDescriptionText(const std::string &packagePath) {
  auto bytes = DescriptionResource(packagePath);
  if (!bytes) {
    return std::nullopt;
  }
  return StandIn::AnsiFromUtf16(*bytes);
}

bool FileExists(const std::string &path) {
  return Fs::FileExists(path);
}

std::vector<std::string> FileNames(const std::string &folder, const std::string &mask) {
  std::vector<std::string> names;
  for (const auto &found : Fs::FindFiles(folder + "\\" + mask)) {
    if (!found.IsDirectory) {
      names.push_back(found.Name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}
