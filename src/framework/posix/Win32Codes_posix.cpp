#include "Win32Codes.h"
#include "framework/Files.h"

#include <cerrno>

namespace Win32Codes {

std::uint32_t FromErrno(int error) {
  using namespace Fs;
  switch (error) {
  case 0: return 0;
  case ENOENT: return ErrorFileNotFound;
  case ENOTDIR: return ErrorPathNotFound;
  case EACCES: case EPERM: case EROFS: case EISDIR: return ErrorAccessDenied;
  case EEXIST: return ErrorAlreadyExists;
  case ENAMETOOLONG: return ErrorFilenameTooLong;
  case ENOTEMPTY: return ErrorDirNotEmpty;
  case ENOSPC: return ErrorDiskFull;
  case EBUSY: return ErrorSharingViolation;
  case ENOEXEC: return ErrorBadExeFormat;
  case EMFILE: case ENFILE: return ErrorTooManyOpenFiles;
  case ENOMEM: return ErrorNotEnoughMemory;
  case EPIPE: return ErrorBrokenPipe;
  default: return ErrorGenFailure;
  }
}

} // namespace Win32Codes
