// Files on POSIX, behaving as Windows does for the program: Windows paths resolved without regard
// to case, Win32 error codes, and the read-only attribute honoured (even for root, who could
// otherwise delete or overwrite anything).
#include "Win32Codes.h"
#include "framework/CodePage.h"
#include "framework/Files.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace Fs {
namespace {

thread_local std::uint32_t lastError = 0;

std::mutex driveMutex;
std::map<char, std::string> &DriveRoots() {
  static std::map<char, std::string> roots{{'Z', "/"}};
  return roots;
}
std::string &SystemFolderSetting() {
  static std::string folder = "/tmp/zelrecompile-system32";
  return folder;
}

bool Fail(std::uint32_t code) {
  lastError = code;
  return false;
}
bool FailErrno() {
  return Fail(Win32Codes::FromErrno(errno));
}

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

bool SameNameIgnoringCase(const char *a, const std::string &b) {
  std::size_t i = 0;
  for (; a[i] && i < b.size(); ++i)
    if (Upper(a[i]) != Upper(b[i]))
      return false;
  return a[i] == 0 && i == b.size();
}

bool IsDir(const std::string &native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool Exists(const std::string &native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0;
}
bool IsReadOnlyNative(const std::string &native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
}

// The entry of folder whose name equals component without regard to case; the exact name wins.
std::optional<std::string> FindEntry(const std::string &folder, const std::string &component) {
  std::string exact = folder == "/" ? "/" + component : folder + "/" + component;
  if (Exists(exact))
    return component;
  DIR *dir = ::opendir(folder.c_str());
  if (!dir)
    return std::nullopt;
  std::optional<std::string> found;
  while (dirent *entry = ::readdir(dir)) {
    if (SameNameIgnoringCase(entry->d_name, component)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string Join(const std::string &folder, const std::string &name) {
  if (folder.empty() || folder.back() == '/')
    return folder + name;
  return folder + "/" + name;
}

// Splits "C:\a\b" into the native root and the components below it.
std::string RootOf(const std::string &path, std::size_t &rest) {
  rest = 0;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    rest = 2;
    std::lock_guard lock(driveMutex);
    auto it = DriveRoots().find(Upper(path[0]));
    return it != DriveRoots().end() ? it->second : "/nonexistent-drive-" + std::string(1, Upper(path[0]));
  }
  if (!path.empty() && (path[0] == '\\' || path[0] == '/'))
    return "/";
  return CurrentFolder();
}

std::string ParentOf(const std::string &native) {
  auto slash = native.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

} // namespace

std::string NativePath(const std::string &path) {
  std::size_t pos;
  std::string resolved = RootOf(path, pos);
  bool resolving = true;
  while (pos < path.size()) {
    std::size_t end = path.find_first_of("\\/", pos);
    if (end == std::string::npos)
      end = path.size();
    std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty() || component == ".")
      continue;
    if (component == "..") {
      resolved = ParentOf(resolved);
      resolving = true; // back out of a missing folder: what follows may well exist, as on Windows
      continue;
    }
    if (resolving) {
      if (auto entry = FindEntry(resolved, component)) {
        resolved = Join(resolved, *entry);
        continue;
      }
      resolving = false; // nothing below a missing component can exist
    }
    resolved = Join(resolved, component);
  }
  return resolved;
}

void SetDriveRoot(char drive, const std::string &nativeFolder) {
  std::lock_guard lock(driveMutex);
  DriveRoots()[Upper(drive)] = nativeFolder;
}

void SetSystemFolder(const std::string &nativeFolder) {
  SystemFolderSetting() = nativeFolder;
}

std::uint32_t LastErrorCode() {
  return lastError;
}
void SetLastErrorCode(std::uint32_t code) {
  lastError = code;
}

TPathAttributes PathAttributes(const std::string &path) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0)
    return {};
  return TPathAttributes{true, S_ISDIR(st.st_mode), S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0};
}

bool FileExists(const std::string &path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string &path) {
  return IsDir(NativePath(path));
}

bool CreateFolder(const std::string &path) {
  std::string native = NativePath(path);
  if (::mkdir(native.c_str(), 0777) != 0)
    return FailErrno();
  return true;
}

bool ForceFolders(const std::string &path) {
  std::string native = NativePath(path);
  if (IsDir(native))
    return true;
  std::string parent = ParentOf(native);
  if (parent != native && !IsDir(parent) && !ForceFolders(parent))
    return false;
  if (::mkdir(native.c_str(), 0777) != 0 && errno != EEXIST)
    return FailErrno();
  return true;
}

bool RemoveFolder(const std::string &path) {
  if (::rmdir(NativePath(path).c_str()) != 0)
    return FailErrno();
  return true;
}

bool CopyFile(const std::string &source, const std::string &target, bool failIfExists) {
  std::string from = NativePath(source), to = NativePath(target);
  struct stat st;
  if (::stat(from.c_str(), &st) != 0)
    return FailErrno();
  if (S_ISDIR(st.st_mode))
    return Fail(ErrorAccessDenied);
  if (Exists(to)) {
    if (failIfExists)
      return Fail(ErrorFileExists);
    if (IsDir(to) || IsReadOnlyNative(to))
      return Fail(ErrorAccessDenied);
  }
  auto bytes = ReadWholeFile(source);
  if (!bytes)
    return false;
  int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, st.st_mode & 0777);
  if (fd < 0)
    return FailErrno();
  std::size_t written = 0;
  while (written < bytes->size()) {
    ssize_t n = ::write(fd, bytes->data() + written, bytes->size() - written);
    if (n < 0) {
      int error = errno;
      ::close(fd);
      return Fail(Win32Codes::FromErrno(error));
    }
    written += std::size_t(n);
  }
  ::fchmod(fd, st.st_mode & 0777); // a read-only source gives a read-only copy, as on Windows
  std::array<timespec, 2> times{st.st_atim, st.st_mtim};
  ::futimens(fd, times.data());
  ::close(fd);
  return true;
}

bool MoveFile(const std::string &source, const std::string &target) {
  std::string from = NativePath(source), to = NativePath(target);
  if (!Exists(from))
    return Fail(ErrorFileNotFound);
  if (Exists(to))
    return Fail(ErrorAlreadyExists);
  if (::rename(from.c_str(), to.c_str()) == 0)
    return true;
  if (errno != EXDEV)
    return FailErrno();
  if (!CopyFile(source, target, true))
    return false;
  return ::unlink(from.c_str()) == 0 || FailErrno();
}

bool DeleteFile(const std::string &path) {
  std::string native = NativePath(path);
  if (IsDir(native))
    return Fail(ErrorAccessDenied);
  if (IsReadOnlyNative(native))
    return Fail(ErrorAccessDenied);
  if (::unlink(native.c_str()) != 0)
    return FailErrno();
  return true;
}

bool SetReadOnly(const std::string &path, bool readOnly) {
  std::string native = NativePath(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0)
    return FailErrno();
  mode_t mode = readOnly ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | 0200);
  if (::chmod(native.c_str(), mode & 07777) != 0)
    return FailErrno();
  return true;
}

namespace {
constexpr std::uint64_t UnixEpochInFileTime = 116444736000000000ULL;
TFileTime ToFileTime(const timespec &ts) {
  return UnixEpochInFileTime + std::uint64_t(ts.tv_sec) * 10000000ULL + std::uint64_t(ts.tv_nsec) / 100;
}
timespec ToTimespec(TFileTime time) {
  std::uint64_t units = time - UnixEpochInFileTime;
  return timespec{time_t(units / 10000000ULL), long((units % 10000000ULL) * 100)};
}
} // namespace

bool SetLastWriteTime(const std::string &path, TFileTime time) {
  std::array<timespec, 2> times{timespec{0, UTIME_OMIT}, ToTimespec(time)};
  if (::utimensat(AT_FDCWD, NativePath(path).c_str(), times.data(), 0) != 0)
    return FailErrno();
  return true;
}

std::optional<TFileTime> LastWriteTime(const std::string &path) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) {
    FailErrno();
    return std::nullopt;
  }
  return ToFileTime(st.st_mtim);
}

TFileTime CurrentFileTime() {
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return ToFileTime(now);
}

namespace {
// Windows wildcard matching: "*" any run, "?" one character, no regard to case. "*.*" matches
// every name, also one without a dot, as it does on Windows.
bool MatchesMask(const char *name, const char *mask) {
  if (std::strcmp(mask, "*.*") == 0)
    return true;
  const char *starMask = nullptr, *starName = nullptr;
  while (*name) {
    if (*mask == '*') {
      starMask = ++mask;
      starName = name;
    } else if (*mask == '?' || (*mask && Upper(*mask) == Upper(*name))) {
      ++mask;
      ++name;
    } else if (starMask) {
      mask = starMask;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*mask == '*')
    ++mask;
  return *mask == 0;
}
} // namespace

std::vector<TFoundFile> FindFiles(const std::string &mask) {
  std::vector<TFoundFile> found;
  auto separator = mask.find_last_of("\\/");
  std::string folder = separator == std::string::npos ? "." : mask.substr(0, separator + 1);
  std::string pattern = separator == std::string::npos ? mask : mask.substr(separator + 1);
  std::string native = NativePath(folder);
  DIR *dir = ::opendir(native.c_str());
  if (!dir) {
    FailErrno();
    return found;
  }
  while (dirent *entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
      continue;
    if (!MatchesMask(entry->d_name, pattern.c_str()))
      continue;
    std::string full = Join(native, entry->d_name);
    struct stat st;
    if (::stat(full.c_str(), &st) != 0)
      continue;
    TFoundFile file;
    file.Name = entry->d_name;
    file.IsDirectory = S_ISDIR(st.st_mode);
    file.IsReadOnly = S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
    found.push_back(std::move(file));
  }
  ::closedir(dir);
  if (found.empty())
    lastError = ErrorFileNotFound;
  return found;
}

std::string CurrentFolder() {
  std::array<char, 4096> buffer{};
  return ::getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string("/");
}

bool SetCurrentFolder(const std::string &path) {
  if (::chdir(NativePath(path).c_str()) != 0)
    return FailErrno();
  return true;
}

std::string ComparablePath(const std::string &path) {
  std::string native = NativePath(path);
  while (native.size() > 1 && native.back() == '/')
    native.pop_back();
  return UpperCaseSystemCodePage(native);
}

std::string SystemFolder() {
  return SystemFolderSetting();
}

std::optional<std::string> ReadWholeFile(const std::string &path) {
  std::string native = NativePath(path);
  if (IsDir(native)) {
    Fail(ErrorAccessDenied);
    return std::nullopt;
  }
  FILE *file = std::fopen(native.c_str(), "rb");
  if (!file) {
    FailErrno();
    return std::nullopt;
  }
  std::string bytes;
  std::array<char, 65536> chunk;
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
    bytes.append(chunk.data(), n);
  bool failed = std::ferror(file);
  std::fclose(file);
  if (failed) {
    Fail(31);
    return std::nullopt;
  }
  return bytes;
}

bool RenameOver(const std::string &source, const std::string &target) {
  std::string native = NativePath(target);
  if (IsDir(native) || IsReadOnlyNative(native))
    return Fail(ErrorAccessDenied);
  return ::rename(NativePath(source).c_str(), native.c_str()) == 0 || FailErrno();
}

bool WriteWholeFile(const std::string &path, const std::string &bytes) {
  std::string native = NativePath(path);
  if (IsDir(native) || IsReadOnlyNative(native))
    return Fail(ErrorAccessDenied);
  std::string temporary = NativePath(TemporaryNameBeside(path));
  FILE *file = std::fopen(temporary.c_str(), "wb");
  if (!file)
    return FailErrno();
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || ::rename(temporary.c_str(), native.c_str()) != 0) {
    int error = errno;
    ::unlink(temporary.c_str());
    return Fail(Win32Codes::FromErrno(error ? error : EIO));
  }
  return true;
}

namespace {

// Writes all of bytes to fd; 0, or the errno of the write that failed.
int WriteAll(int fd, const std::string &bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return errno ? errno : EIO;
    done += std::size_t(n);
  }
  return 0;
}

} // namespace

bool WriteNewFile(const std::string &path, const std::string &bytes) {
  std::string native = NativePath(path);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return errno == EEXIST ? Fail(ErrorFileExists) : FailErrno(); // CREATE_NEW's code
  if (int error = WriteAll(fd, bytes)) {
    ::close(fd);
    ::unlink(native.c_str());
    return Fail(Win32Codes::FromErrno(error));
  }
  return ::close(fd) == 0 || FailErrno();
}

bool AppendToFileDurably(const std::string &path, const std::string &bytes) {
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0)
    return FailErrno();
  if (int error = WriteAll(fd, bytes)) {
    ::close(fd);
    return Fail(Win32Codes::FromErrno(error));
  }
  bool ok = ::fsync(fd) == 0;
  int error = errno;
  ::close(fd);
  return ok || Fail(Win32Codes::FromErrno(error));
}

struct TDurableFile::THandle {
  int Fd = -1;
  ~THandle() {
    if (Fd >= 0)
      ::close(Fd);
  }
};

TDurableFile::TDurableFile(std::string path) : path_(std::move(path)) {}

TDurableFile::~TDurableFile() = default;

bool TDurableFile::Append(const std::string &bytes, TFlush flush) {
  if (!handle_) {
    int fd = ::open(NativePath(path_).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
      return FailErrno();
    handle_ = std::make_unique<THandle>();
    handle_->Fd = fd;
  }
  if (int error = WriteAll(handle_->Fd, bytes))
    return Fail(Win32Codes::FromErrno(error));
  return flush == TFlush::Later || ::fsync(handle_->Fd) == 0 || FailErrno();
}

bool TDurableFile::Flush() {
  return !handle_ || ::fsync(handle_->Fd) == 0 || FailErrno();
}

void TDurableFile::Close() {
  handle_.reset();
}

std::string TemporaryFolder() {
  const char *folder = std::getenv("TMPDIR");
  std::string path = folder && *folder ? folder : "/tmp";
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

std::string LocalAppDataFolder() {
  for (const char *name : {"ZEL_LOCALAPPDATA", "XDG_DATA_HOME"})
    if (const char *value = std::getenv(name); value && *value)
      return value;
  const char *home = std::getenv("HOME");
  return std::string(home ? home : "/tmp") + "/.local/share";
}

std::string ProgramFileName() {
  std::array<char, 4096> buffer{};
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), std::size_t(n)) : std::string();
}

} // namespace Fs

std::string SystemErrorMessage(std::uint32_t code) {
  switch (code) {
  case 0:
    return "The operation completed successfully";
  case Fs::ErrorFileNotFound:
    return "The system cannot find the file specified";
  case Fs::ErrorPathNotFound:
    return "The system cannot find the path specified";
  case Fs::ErrorAccessDenied:
    return "Access is denied";
  case Fs::ErrorFileExists:
    return "The file exists";
  case Fs::ErrorAlreadyExists:
    return "Cannot create a file when that file already exists";
  case Fs::ErrorFilenameTooLong:
    return "The filename or extension is too long";
  case 145:
    return "The directory is not empty";
  case 112:
    return "There is not enough space on the disk";
  case 193:
    return "%1 is not a valid Win32 application";
  default:
    return "System error code " + std::to_string(code);
  }
}
