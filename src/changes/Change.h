// One change to an environment as the journal keeps it: what it touched, the state before, and the
// state it left. Undoing a change puts the state before back.
#pragma once
#include "framework/Registry.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TChangeKind {
  Key,    // a registry key the run created
  Value,  // a registry value written or deleted
  File,   // a file created, overwritten or deleted (a move is a delete and a create)
  Folder, // a folder the run created
};

// A registry value's state: absent, or its type and data as the registry holds them.
struct TValueState {
  bool Exists = false;
  std::uint32_t Type = rdString;
  std::string Data;
  bool operator==(const TValueState &) const = default;
};

// A file's state: absent, or its size and a hash of its bytes.
struct TFileState {
  bool Exists = false;
  std::uint64_t Size = 0;
  std::uint64_t Hash = 0;
  bool operator==(const TFileState &) const = default;
};

struct TChange {
  TChangeKind Kind = TChangeKind::Value;
  // Key and Value: the root, the key's path below it, the value's name.
  TRootKey Root = TRootKey::CurrentUser;
  std::string Key;
  std::string Name;
  TValueState Before, After;
  // File and Folder: the path; for a file the name of the saved copy of its bytes before, in the
  // journal's folder (empty when the file did not exist).
  std::string Path;
  TFileState FileBefore, FileAfter;
  std::string Copy;
  // For a file of path lists ("defproj.dof"): the saved bytes the run left, so that an uninstall
  // after someone edited the file can take out only the run's own entries.
  std::string AfterCopy;
};

// A path or key as Windows compares them: in capitals, "/" as "\", without a final "\".
std::string ComparableName(std::string path);

// The folder part of a path, without its final "\" (empty when the path has none).
std::string FolderOf(const std::string &path);

// A change refused as the system would refuse it: sets the last error to code and returns false.
bool RefuseChange(std::uint32_t code);

// Whether the file holds path lists that an uninstall merges rather than leaves ("defproj.dof").
bool IsPathListFile(const std::string &path);

// A 64-bit FNV-1a hash of bytes: enough to tell whether a file still holds what a run wrote.
std::uint64_t ContentHash(const std::string &bytes);
TFileState FileStateOf(const std::string &bytes);
// The file's state now (absent when it cannot be read).
TFileState CurrentFileState(const std::string &path);
// The value's state now; the key is opened read-only.
TValueState CurrentValueState(TRootKey root, const std::string &key, const std::string &name);
bool KeyExistsNow(TRootKey root, const std::string &key);
// "HKEY_CURRENT_USER\Software\...\Value" or the file's path: how a change is named to the user.
std::string ChangeSubject(const TChange &change);
// The registry's name of a value type ("REG_SZ", ...), and back (rdNone when unknown).
std::string RegistryTypeName(std::uint32_t type);
std::uint32_t RegistryTypeFromName(const std::string &name);
