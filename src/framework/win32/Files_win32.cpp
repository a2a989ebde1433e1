#include "framework/Files.h"
#include "framework/Handles.h"

#include <shlobj.h>

#include <array>

namespace Fs {
namespace {
bool Failed() {
  return false;
} // the Win32 call has set the thread's last error already

std::string ParentOf(const std::string &path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
} // namespace

std::uint32_t LastErrorCode() {
  return ::GetLastError();
}
void SetLastErrorCode(std::uint32_t code) {
  ::SetLastError(code);
}

TPathAttributes PathAttributes(const std::string &path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return {};
  return TPathAttributes{true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

bool FileExists(const std::string &path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string &path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string &path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool ForceFolders(const std::string &path) {
  if (path.empty() || DirectoryExists(path))
    return true;
  std::string parent = ParentOf(path);
  if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':') && !ForceFolders(parent))
    return false;
  return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveFolder(const std::string &path) {
  return ::RemoveDirectoryA(path.c_str()) != 0;
}

bool CopyFile(const std::string &source, const std::string &target, bool failIfExists) {
  return ::CopyFileA(source.c_str(), target.c_str(), failIfExists) != 0;
}

bool MoveFile(const std::string &source, const std::string &target) {
  return ::MoveFileA(source.c_str(), target.c_str()) != 0;
}

bool DeleteFile(const std::string &path) {
  return ::DeleteFileA(path.c_str()) != 0;
}

bool SetReadOnly(const std::string &path, bool readOnly) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return Failed();
  attributes =
      readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  return ::SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool SetLastWriteTime(const std::string &path, TFileTime time) {
  UniqueHandle file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return Failed();
  FILETIME ft{DWORD(time & 0xFFFFFFFFu), DWORD(time >> 32)};
  return ::SetFileTime(file.Get(), nullptr, nullptr, &ft) != 0;
}

std::optional<TFileTime> LastWriteTime(const std::string &path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  return (TFileTime(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

TFileTime CurrentFileTime() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return (TFileTime(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::vector<TFoundFile> FindFiles(const std::string &mask) {
  std::vector<TFoundFile> found;
  WIN32_FIND_DATAA data;
  UniqueFindHandle find(::FindFirstFileA(mask.c_str(), &data));
  if (!find)
    return found;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..")
      continue;
    TFoundFile file;
    file.Name = name;
    file.IsDirectory = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    file.IsHidden = data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN;
    file.IsSystem = data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM;
    file.IsReadOnly = data.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
    found.push_back(std::move(file));
  } while (::FindNextFileA(find.Get(), &data));
  return found;
}

std::string CurrentFolder() {
  std::array<char, MAX_PATH + 1> buffer{};
  DWORD n = ::GetCurrentDirectoryA(DWORD(buffer.size()), buffer.data());
  return std::string(buffer.data(), n < buffer.size() ? n : 0);
}

bool SetCurrentFolder(const std::string &path) {
  return ::SetCurrentDirectoryA(path.c_str()) != 0;
}

namespace {

std::wstring WideFromSystemCodePage(const std::string &text) {
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(std::size_t(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring &wide) {
  int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(std::size_t(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// Both calls answer with the length they need when the buffer is too small.
template <typename TCall> std::wstring PathCall(TCall call) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = call(path.data(), DWORD(path.size()));
    if (n == 0)
      return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);
  }
}

std::wstring LongPath(const std::wstring &path) {
  return PathCall(
      [&path](wchar_t *buffer, DWORD size) { return ::GetLongPathNameW(path.c_str(), buffer, size); });
}

} // namespace

std::string ComparablePath(const std::string &path) {
  std::wstring wide = WideFromSystemCodePage(path);
  std::wstring full = PathCall([&wide](wchar_t *buffer, DWORD size) {
    return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  });
  if (full.empty())
    full = wide;
  // A folder not made yet has no long name of its own: that of its nearest existing parent, with
  // the rest as written.
  std::wstring existing = full, rest;
  for (;;) {
    std::wstring longPath = LongPath(existing);
    if (!longPath.empty()) {
      if (!rest.empty() && longPath.back() == L'\\')
        longPath.pop_back();
      full = longPath + rest;
      break;
    }
    std::size_t slash = existing.find_last_of(L'\\');
    bool driveRoot = slash == 2 && existing[1] == L':';
    if (slash == std::wstring::npos || slash == 0 || (driveRoot && existing.size() == 3))
      break;
    rest = existing.substr(slash) + rest;
    existing.resize(driveRoot ? 3 : slash); // "C:" alone would be that drive's current folder
  }
  while (full.size() > 3 && full.back() == L'\\')
    full.pop_back();
  // The letters as the file system compares them: outside ASCII too.
  if (!full.empty())
    ::CharUpperBuffW(full.data(), DWORD(full.size()));
  return Utf8(full);
}

std::string SystemFolder() {
  std::array<char, MAX_PATH + 1> buffer{};
#if defined(_WIN64)
  // The folder the 32-bit environments load their runtime packages from: on 64-bit Windows that is
  // the 32-bit system folder (SysWOW64), which a 32-bit program reaches as its "system32".
  UINT wow64 = ::GetSystemWow64DirectoryA(buffer.data(), UINT(buffer.size()));
  if (wow64 > 0 && wow64 < buffer.size())
    return std::string(buffer.data(), wow64);
#endif
  UINT n = ::GetSystemDirectoryA(buffer.data(), UINT(buffer.size()));
  return std::string(buffer.data(), n < buffer.size() ? n : 0);
}

std::optional<std::string> ReadWholeFile(const std::string &path) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return std::nullopt;
  std::string bytes;
  std::array<char, 65536> chunk;
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.Get(), chunk.data(), DWORD(chunk.size()), &n, nullptr)) {
      // A failed read is no end of file: the bytes so far would pass for the whole file.
      DWORD error = ::GetLastError();
      file.Close();
      ::SetLastError(error);
      return std::nullopt;
    }
    if (n == 0)
      return bytes;
    bytes.append(chunk.data(), n);
  }
}

bool RenameOver(const std::string &source, const std::string &target) {
  DWORD attributes = ::GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ::MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

namespace {

// Writes bytes into a file that CreateFile makes with the disposition given; a file it could not
// write whole is deleted again.
bool WriteFileWhole(const std::string &path, const std::string &bytes, DWORD disposition) {
  UniqueHandle file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return Failed();
  DWORD written = 0;
  if (!bytes.empty() && (!::WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
                         written != bytes.size())) {
    DWORD error = ::GetLastError();
    file.Close();
    ::DeleteFileA(path.c_str());
    ::SetLastError(error ? error : ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

} // namespace

bool WriteWholeFile(const std::string &path, const std::string &bytes) {
  // Windows refuses to replace a read-only file; Wine's MoveFileEx does not, so ask first.
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::string temporary = TemporaryNameBeside(path);
  if (!WriteFileWhole(temporary, bytes, CREATE_ALWAYS))
    return false;
  if (!::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DWORD error = ::GetLastError();
    ::DeleteFileA(temporary.c_str());
    ::SetLastError(error);
    return false;
  }
  return true;
}

bool WriteNewFile(const std::string &path, const std::string &bytes) {
  return WriteFileWhole(path, bytes, CREATE_NEW);
}

bool AppendToFileDurably(const std::string &path, const std::string &bytes) {
  UniqueHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return Failed();
  DWORD written = 0;
  if (!bytes.empty() && (!::WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
                         written != bytes.size()))
    return Failed();
  return ::FlushFileBuffers(file.Get()) != 0;
}

struct TDurableFile::THandle {
  UniqueHandle File;
};

TDurableFile::TDurableFile(std::string path) : path_(std::move(path)) {}

TDurableFile::~TDurableFile() = default;

bool TDurableFile::Append(const std::string &bytes, TFlush flush) {
  if (!handle_) {
    UniqueHandle file(::CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      return Failed();
    handle_ = std::make_unique<THandle>(THandle{std::move(file)});
  }
  DWORD written = 0;
  if (!bytes.empty() &&
      (!::WriteFile(handle_->File.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
       written != bytes.size()))
    return Failed();
  return flush == TFlush::Later || ::FlushFileBuffers(handle_->File.Get()) != 0 || Failed();
}

bool TDurableFile::Flush() {
  return !handle_ || ::FlushFileBuffers(handle_->File.Get()) != 0 || Failed();
}

void TDurableFile::Close() {
  handle_.reset();
}

std::string TemporaryFolder() {
  std::array<char, MAX_PATH + 1> buffer{};
  DWORD n = ::GetTempPathA(DWORD(buffer.size()), buffer.data());
  std::string folder(buffer.data(), n <= buffer.size() ? n : 0);
  while (!folder.empty() && folder.back() == '\\')
    folder.pop_back();
  return folder;
}

std::string LocalAppDataFolder() {
  std::array<char, MAX_PATH> buffer{};
  if (::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, buffer.data()) != S_OK)
    return {};
  return buffer.data();
}

std::string ProgramFileName() {
  std::array<char, 1024> buffer{};
  DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
  return std::string(buffer.data(), n);
}

} // namespace Fs

std::string SystemErrorMessage(std::uint32_t code) {
  char *text = nullptr;
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
  std::string message = n && text ? std::string(text, n) : "System error code " + std::to_string(code);
  if (text)
    ::LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}
