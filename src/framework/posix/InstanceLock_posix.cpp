#include "framework/InstanceLock.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>

// flock belongs to the open file description, so a second open of the same file, in this process
// or another, is refused while the first stays open; the kernel drops it when its holder ends.
TInstanceLock::TInstanceLock(const std::string &name) {
  const char *temp = std::getenv("TMPDIR");
  std::string path = std::string(temp && *temp ? temp : "/tmp") + "/" + name + ".lock";
  handle_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  held_ = handle_.IsValid() && ::flock(handle_.Get(), LOCK_EX | LOCK_NB) == 0;
}
