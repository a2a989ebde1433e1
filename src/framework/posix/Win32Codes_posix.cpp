#include "Win32Codes.h"

#include <cerrno>

namespace Win32Codes {

std::uint32_t FromErrno(int error) {
  switch (error) {
  case 0: return 0;
  case ENOENT: return Fs::ErrorFileNotFound;
  case ENOTDIR: return Fs::ErrorPathNotFound;
  case EACCES: case EPERM: case EROFS: case EISDIR: return Fs::ErrorAccessDenied;
  case EEXIST: return Fs::ErrorAlreadyExists;
  case ENAMETOOLONG: return Fs::ErrorFilenameTooLong;
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
