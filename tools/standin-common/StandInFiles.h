// File access for the stand-in tools. They receive Windows paths from the build ("C:\Out\Lib", or
// "/tmp/x\Src\Zel77.dpk" in the native build) and must find files the way Windows and Wine do:
// either separator, every component matched without regard to case. The program's framework does
// the same; the stand-ins keep their own small copy so that they stay independent of the program
// they serve.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace StandIn {

// The path the operating system takes for a Windows path. Win32: unchanged. POSIX: "\" and "/"
// both separate, existing components are matched without regard to case (an exact match wins),
// the missing rest is kept as written; "Z:" is "/", another drive letter X is the folder named by
// the environment variable ZEL_DRIVE_X.
std::string NativePath(const std::string &path);

bool IsFile(const std::string &path);
bool IsFolder(const std::string &path);
std::optional<std::string> ReadFileBytes(const std::string &path);
// Writes the whole file, replacing it; the folder must exist (as with the real tools, which never
// create their output folders).
bool WriteFileBytes(const std::string &path, const std::string &bytes);
bool RemoveFile(const std::string &path);

// The separator the tools use when they join names themselves.
char PathSeparator();
// folder + separator + name; name alone when folder is empty or name is absolute.
std::string JoinPath(const std::string &folder, const std::string &name);
std::string FolderOf(const std::string &path); // without the last separator; "" when there is none
std::string NameOf(const std::string &path);
std::string StemOf(const std::string &path);      // the name without its extension
std::string ExtensionOf(const std::string &path); // with the full stop; "" when there is none
std::string ChangeExtension(const std::string &path, const std::string &extension);
bool IsAbsolutePath(const std::string &path);

std::string ProgramFileName(); // the running tool's own file
std::string ProgramFolder();
std::string CurrentFolder();
// The first folder of the list that holds a file of that name: that folder joined with the name.
std::optional<std::string> FindInFolders(const std::string &name, const std::vector<std::string> &folders);

// Text helpers: ASCII case rules, as the Borland tools compare identifiers and file names.
bool SameText(const std::string &a, const std::string &b);
std::string UpperCase(std::string text);
std::string LowerCase(std::string text);
std::string Trim(const std::string &text);
bool StartsWithText(const std::string &text, const std::string &prefix);
// Splits at the separator, trims every piece and drops empty ones ("a; b;;" gives a, b).
std::vector<std::string> SplitList(const std::string &text, char separator);
// Splits at blanks, tabs and line ends.
std::vector<std::string> SplitWords(const std::string &text);
// The key=value lines of a text, trimmed, in order; lines without "=" are left out.
std::vector<std::pair<std::string, std::string>> KeyValueLines(const std::string &text);

// Reads a value of a small INI file (no file, section or key: nullopt).
std::optional<std::string> IniValue(const std::string &path, const std::string &section,
                                    const std::string &key);

} // namespace StandIn
