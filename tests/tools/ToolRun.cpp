#include "ToolRun.h"

#include "Resources.h"
#include "StandInFiles.h"
#include "framework/Files.h"
#include "framework/Process.h"
#include "framework/Resources.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>


// Through the program's own process layer: a hidden child with a new console, the current folder
// set around the start.
TToolRun RunTool(const std::string &commandLine, const std::string &folder) {
  TPipe input, output;
  std::uint32_t error = 0;
  if (!CreateChildPipe(input, TChildEnd::Read, error) || !CreateChildPipe(output, TChildEnd::Write, error)) {
    ADD_FAILURE() << "cannot create a pipe: error " << error;
    return {};
  }
  const std::string previousFolder = Fs::CurrentFolder();
  if (!Fs::SetCurrentFolder(folder)) {
    ADD_FAILURE() << "cannot change to " << folder << ": error " << Fs::LastErrorCode();
    return {};
  }
  TChildProcess child;
  const bool started = child.Start(commandLine, input.ReadEnd, output.WriteEnd);
  Fs::SetCurrentFolder(previousFolder);
  if (!started) {
    ADD_FAILURE() << "cannot start " << commandLine << ": error " << child.StartError();
    return {};
  }
  input.WriteEnd.Close();  // the tools read no input
  output.WriteEnd.Close(); // the child holds the only write end now: reading ends when it exits
  TToolRun run;
  char buffer[4096];
  while (std::uint32_t count = output.ReadEnd.Read(buffer, sizeof buffer))
    run.Output.append(buffer, count);
  child.WaitForExit();
  run.ExitCode = static_cast<int>(child.ExitCode());
  // The C runtime ends lines with CR LF on Windows.
  run.Output.erase(std::remove(run.Output.begin(), run.Output.end(), '\r'), run.Output.end());
  return run;
}

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
  return Bin() + "\\" + ExecutableName(name);
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
