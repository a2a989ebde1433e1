// The process list on Linux: the program of every process from /proc. Paths are shown as Wine
// shows Linux paths to Windows programs (drive Z:, backslashes), so that the list reads the same
// on both platforms and compares with the Windows paths the program forms.
#include "framework/Files.h"
#include "framework/Handle.h"
#include "framework/ProcessList.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>

namespace {

struct DirectoryTraits {
  using HandleType = DIR *;
  static HandleType Invalid() noexcept { return nullptr; }
  static bool IsValid(HandleType h) noexcept { return h != nullptr; }
  static void Close(HandleType h) noexcept { ::closedir(h); }
};

bool IsProcessId(const char *name) {
  if (!*name)
    return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9')
      return false;
  return true;
}

std::string InListForm(const std::string &nativePath) {
  std::string shown = "Z:" + nativePath;
  for (char &c : shown)
    if (c == '/')
      c = '\\';
  return shown;
}

} // namespace

bool ListProcessesByProcFs(TProcessList &list) {
  list.clear();
  ScopedHandle<DirectoryTraits> proc(::opendir("/proc"));
  if (!proc)
    return false;
  while (dirent *entry = ::readdir(proc.Get())) {
    if (!IsProcessId(entry->d_name))
      continue;
    std::string link = std::string("/proc/") + entry->d_name + "/exe";
    char target[PATH_MAX];
    ssize_t length = ::readlink(link.c_str(), target, sizeof(target) - 1);
    // Kernel threads have no program, and other users' processes do not show theirs.
    if (length > 0)
      list.push_back({InListForm(std::string(target, std::size_t(length))), std::atoi(entry->d_name)});
    else
      list.push_back({UnreadableProcessName, -1});
  }
  return true;
}

std::string ProcessListPath(const std::string &programPath) {
  // /proc names the file itself, with every symbolic link resolved.
  std::string native = Fs::NativePath(programPath);
  char resolved[PATH_MAX];
  if (::realpath(native.c_str(), resolved))
    native = resolved;
  return InListForm(native);
}
