// The process list on Win32. Tool Help and PSAPI are optional parts of the system (Tool Help is
// missing on NT 4, PSAPI on Windows 9x), so their entry points are looked up at run time and kept
// for the program's life; a missing one only leaves the list empty.
#include "framework/Handles.h"
#include "framework/ProcessList.h"

#include <tlhelp32.h>

#include <array>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

using TCreateSnapshot = HANDLE(WINAPI *)(DWORD flags, DWORD processId);
using TWalkSnapshot = BOOL(WINAPI *)(HANDLE snapshot, PROCESSENTRY32 *entry);
using TEnumProcesses = BOOL(WINAPI *)(DWORD *ids, DWORD size, DWORD *sizeNeeded);
using TGetModuleFileNameEx = DWORD(WINAPI *)(HANDLE process, HMODULE module, char *name, DWORD size);

#if !defined(_WIN64)
static_assert(sizeof(PROCESSENTRY32) == 296, "the ANSI entry record of 32-bit Windows");
#endif

constexpr DWORD SnapProcesses = 2;         // TH32CS_SNAPPROCESS
constexpr DWORD QueryAndReadAccess = 1040; // PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
constexpr DWORD ModuleNameSize = 261;

template <typename TFunction> TFunction EntryPoint(HMODULE module, const char *name) {
  return module ? reinterpret_cast<TFunction>(reinterpret_cast<void *>(::GetProcAddress(module, name)))
                : nullptr;
}

std::mutex bindingMutex;

struct TToolHelp {
  TCreateSnapshot CreateSnapshot = nullptr;
  TWalkSnapshot First = nullptr;
  TWalkSnapshot Next = nullptr;
};

// kernel32 is loaded in every process: it is looked up, never loaded again.
TToolHelp BindToolHelp() {
  std::lock_guard lock(bindingMutex);
  static bool bound = false;
  static TToolHelp functions;
  if (!bound) {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    functions.CreateSnapshot = EntryPoint<TCreateSnapshot>(kernel, "CreateToolhelp32Snapshot");
    functions.First = EntryPoint<TWalkSnapshot>(kernel, "Process32First");
    functions.Next = EntryPoint<TWalkSnapshot>(kernel, "Process32Next");
    bound = true;
  }
  return functions;
}

struct TPsApi {
  TEnumProcesses EnumProcesses = nullptr;
  TGetModuleFileNameEx GetModuleFileNameEx = nullptr;
};

// PSAPI is loaded on first use and kept; a failed load is tried again on the next use.
TPsApi BindPsApi() {
  std::lock_guard lock(bindingMutex);
  static UniqueModule library;
  static TPsApi functions;
  if (!library) {
    library.Reset(::LoadLibraryA("PSAPI.dll"));
    functions.EnumProcesses = EntryPoint<TEnumProcesses>(library.Get(), "EnumProcesses");
    functions.GetModuleFileNameEx = EntryPoint<TGetModuleFileNameEx>(library.Get(), "GetModuleFileNameExA");
  }
  return functions;
}

} // namespace

bool PsApiPreferred() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996) // the platform test the choice is defined by
#endif
  if (!::GetVersionExA(&version))
    return false;
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 3;
}

bool ListProcessesByPsApi(TProcessList &list) {
  list.clear();
  TPsApi psApi = BindPsApi();
  if (!psApi.EnumProcesses || !psApi.GetModuleFileNameEx)
    return false;
  static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
  std::vector<std::uint32_t> ids;
  auto enumerate = [&psApi](std::uint32_t *buffer, std::uint32_t bytes, std::uint32_t &filled) {
    DWORD got = 0;
    bool ok = psApi.EnumProcesses(reinterpret_cast<DWORD *>(buffer), bytes, &got) != FALSE;
    filled = got;
    return ok;
  };
  if (!EnumerateAllProcessIds(enumerate, ids))
    return false;
  for (std::uint32_t id : ids) {
    if (id == 0)
      continue;
    UniqueHandle process(::OpenProcess(QueryAndReadAccess, FALSE, id));
    if (!process)
      continue;
    std::array<char, ModuleNameSize> name{};
    if (psApi.GetModuleFileNameEx(process.Get(), nullptr, name.data(), ModuleNameSize) != 0)
      list.push_back({std::string(name.data()), std::int32_t(id)});
    else
      list.push_back({UnreadableProcessName, -1});
  }
  return true;
}

bool ListProcessesByToolHelp(TProcessList &list) {
  list.clear();
  TToolHelp toolHelp = BindToolHelp();
  if (!toolHelp.CreateSnapshot || !toolHelp.First || !toolHelp.Next)
    return false;
  UniqueHandle snapshot(toolHelp.CreateSnapshot(SnapProcesses, 0));
  if (!snapshot)
    return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = toolHelp.First(snapshot.Get(), &entry); more; more = toolHelp.Next(snapshot.Get(), &entry))
    list.push_back({std::string(entry.szExeFile, strnlen(entry.szExeFile, MAX_PATH)),
                    std::int32_t(entry.th32ProcessID)});
  return true;
}

std::string ProcessListPath(const std::string &programPath) {
  return programPath;
}
