// The running processes of the machine, each with the full path of its program, for telling
// whether a given program runs. Win32 asks the system through Tool Help or PSAPI, bound at run
// time; Linux reads /proc.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One running process: its program's path as the list shows it ("[System]" when it could not be
// read) and its identifier (-1 with "[System]").
struct TProcessEntry {
  std::string ExeName;
  std::int32_t ProcessId = 0;
};
using TProcessList = std::vector<TProcessEntry>;

// The text an entry shows for a process whose program failed to be read.
inline const char *const UnreadableProcessName = "[System]";

// EnumProcesses' contract: fill ids (room for `bytes` bytes) and say how many bytes it filled;
// false when the call fails.
using TProcessIdEnumerator =
    std::function<bool(std::uint32_t *ids, std::uint32_t bytes, std::uint32_t &bytesFilled)>;
// Every process identifier, however many: the call cannot say how many there are, only that it
// filled the whole buffer, so a full buffer is taken as a sign of more and the call is repeated with
// twice the room. False when a call fails.
bool EnumerateAllProcessIds(const TProcessIdEnumerator &enumerate, std::vector<std::uint32_t> &ids);

#ifdef _WIN32
// The NT family from major version 4 on, where PSAPI gives full paths.
bool PsApiPreferred();
// EnumProcesses and GetModuleFileNameExA of "PSAPI.dll": full paths. False, with the list empty,
// when the library or the call fails.
bool ListProcessesByPsApi(TProcessList &list);
// CreateToolhelp32Snapshot, Process32First and Process32Next of kernel32: the executable file text
// of each process. False when no snapshot could be taken.
bool ListProcessesByToolHelp(TProcessList &list);
#else
// /proc/<id>/exe of every process, shown as Wine shows a Linux path (drive Z:, backslashes).
// False when /proc cannot be read.
bool ListProcessesByProcFs(TProcessList &list);
#endif

// The text the list shows for the program at path, for comparing with its entries: the path itself
// on Win32; on Linux the file it resolves to, in the list's form.
std::string ProcessListPath(const std::string &programPath);
