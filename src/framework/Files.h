// Files and folders. Paths are Windows paths ("C:\Src\Lib", "\Out", "Sub\File.pas"). On POSIX a path
// is resolved as Windows and Wine see it: "\" and "/" both separate, every component is matched
// without regard to case, and a drive letter maps to a folder (Z: is "/", as under Wine).
// Functions return false on failure and leave the Win32 error code in LastErrorCode() (POSIX maps
// errno to the same codes), so the callers above can word their own messages.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Fs {

// The Win32 error codes this program meets; POSIX produces the same numbers.
enum : std::uint32_t {
  ErrorFileNotFound = 2,
  ErrorPathNotFound = 3,
  ErrorTooManyOpenFiles = 4,
  ErrorAccessDenied = 5,
  ErrorNotEnoughMemory = 8,
  ErrorGenFailure = 31,
  ErrorSharingViolation = 32,
  ErrorFileExists = 80,
  ErrorBrokenPipe = 109,
  ErrorDiskFull = 112,
  ErrorDirNotEmpty = 145,
  ErrorAlreadyExists = 183,
  ErrorBadExeFormat = 193,
  ErrorFilenameTooLong = 206,
};

struct TFoundFile {
  std::string Name; // the name only, as stored on disk
  bool IsDirectory = false;
  bool IsHidden = false;
  bool IsSystem = false;
  bool IsReadOnly = false;
};

// Last-write time in Windows FILETIME units (100 ns since 1601-01-01 UTC).
using TFileTime = std::uint64_t;

std::uint32_t LastErrorCode();
void SetLastErrorCode(std::uint32_t code);

// What is at a path, in one look: nothing, a file or a folder, and whether it is marked read-only.
struct TPathAttributes {
  bool Exists = false;
  bool IsDirectory = false;
  bool IsReadOnly = false;
};
TPathAttributes PathAttributes(const std::string &path);

bool FileExists(const std::string &path);      // an existing file, not a folder
bool DirectoryExists(const std::string &path); // an existing folder
bool CreateFolder(const std::string &path);    // one level; false when it exists already
bool ForceFolders(const std::string &path);    // every missing level
bool RemoveFolder(const std::string &path);    // an empty folder
bool CopyFile(const std::string &source, const std::string &target, bool failIfExists);
bool MoveFile(const std::string &source, const std::string &target); // fails when the target exists
// Renames source over target, replacing it in one step: the last move of an edit made on a copy.
// A read-only target is refused (error 5), as Windows refuses it and Wine does not.
bool RenameOver(const std::string &source, const std::string &target);
bool DeleteFile(const std::string &path);
bool SetReadOnly(const std::string &path, bool readOnly);
bool SetLastWriteTime(const std::string &path, TFileTime time);
std::optional<TFileTime> LastWriteTime(const std::string &path);
TFileTime CurrentFileTime();

// The entries matching a mask such as "C:\Src\*.pas" ("*" and "?" as Windows matches them, without
// regard to case), without "." and "..", in the order the file system returns them.
std::vector<TFoundFile> FindFiles(const std::string &mask);

std::string CurrentFolder();
bool SetCurrentFolder(const std::string &path);
// One text for every spelling of one place, for telling whether two paths name the same file or
// folder: the full path ("." and ".." resolved, relative to the current folder), long names for
// the short ones of its existing part, no trailing separator, every letter in upper case. Win32:
// in UTF-8; POSIX: the native path in the system code page. A key to compare, not a path to open.
std::string ComparablePath(const std::string &path);
// The folder for runtime packages: the 32-bit system folder on Win32 (GetSystemWow64Directory in the
// 64-bit build, else GetSystemDirectory); a configurable folder on POSIX.
std::string SystemFolder();

// Whole-file access. ReadWholeFile fails, with the error code, when the file cannot be opened or a
// read fails, also after some bytes. WriteWholeFile writes a temporary file beside the target and
// renames it over the target, so that a failure never leaves half a file.
std::optional<std::string> ReadWholeFile(const std::string &path);
// A name beside path for the copy an edit writes before it renames it over path, unique to this
// process and call ("defproj.dof.<token>.zeltmp").
std::string TemporaryNameBeside(const std::string &path);
bool WriteWholeFile(const std::string &path, const std::string &bytes);
// The user's folder for temporary files (GetTempPath on Win32, $TMPDIR or /tmp on POSIX), without a
// final separator.
std::string TemporaryFolder();
// Writes a file that nobody reads before it is whole (a copy being made) straight into its place,
// without WriteWholeFile's temporary file; fails when the file exists.
bool WriteNewFile(const std::string &path, const std::string &bytes);

// Appends bytes to a file (created when missing) and flushes them to the disk before it returns, so
// that a record written ahead of a change survives a crash or a power loss.
bool AppendToFileDurably(const std::string &path, const std::string &bytes);

// The same for a file that takes many records in turn: it is opened (created when missing) at the
// first Append and stays open, readable by others, until Close or the object's end, so that each
// record costs a write and a flush only.
class TDurableFile {
public:
  explicit TDurableFile(std::string path);
  ~TDurableFile();
  TDurableFile(const TDurableFile &) = delete;
  TDurableFile &operator=(const TDurableFile &) = delete;

  const std::string &Path() const { return path_; }
  // Later: written, and flushed when the system sees fit; for a line that no change waits for.
  enum class TFlush { Now, Later };
  bool Append(const std::string &bytes, TFlush flush = TFlush::Now);
  // Flushes what was appended: for records appended Later that must now be on the disk.
  bool Flush();
  void Close();

private:
  struct THandle;
  std::string path_;
  std::unique_ptr<THandle> handle_;
};
// The user's folder for a program's local data (CSIDL_LOCAL_APPDATA on Win32; on POSIX
// $ZEL_LOCALAPPDATA, else $XDG_DATA_HOME, else ~/.local/share).
std::string LocalAppDataFolder();

// The folder that holds the running program, and its full file name.
std::string ProgramFileName();

#ifndef _WIN32
// POSIX only: the Linux path a Windows path resolves to (existing components matched without
// regard to case; the missing rest kept as written).
std::string NativePath(const std::string &path);
// POSIX only: the folder a drive letter stands for (Z: is "/" unless set otherwise).
void SetDriveRoot(char drive, const std::string &nativeFolder);
void SetSystemFolder(const std::string &nativeFolder);
#endif

} // namespace Fs

// The system's text for a Win32 error code ("The system cannot find the file specified"), without a
// trailing full stop or line end.
std::string SystemErrorMessage(std::uint32_t code);
