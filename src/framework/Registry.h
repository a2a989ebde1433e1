// A registry accessor in the manner of the program's registry steps: one object per step, a root
// key, at most one open key, string values read and written by name. Win32 uses the real registry;
// POSIX an in-memory store with the same behaviour (see RegFile.h to load and save it).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class TRootKey { ClassesRoot, CurrentUser, LocalMachine };

// Value types, numbered as Win32 numbers them.
enum TRegDataType : std::uint32_t {
  rdNone = 0,
  rdString = 1,       // REG_SZ
  rdExpandString = 2, // REG_EXPAND_SZ
  rdBinary = 3,       // REG_BINARY
  rdInteger = 4,      // REG_DWORD
  rdMultiString = 7,  // REG_MULTI_SZ
};

// A value as stored: for the string types the text without its terminating zero, for rdInteger
// four bytes little-endian, otherwise the raw bytes.
struct TRegValue {
  std::string Name; // empty for a key's default value
  std::uint32_t Type = rdString;
  std::string Data;
};

std::string RootKeyName(TRootKey root); // "HKEY_LOCAL_MACHINE", ...

class TRegistry {
public:
  explicit TRegistry(TRootKey root = TRootKey::CurrentUser);
  ~TRegistry();
  TRegistry(const TRegistry &) = delete;
  TRegistry &operator=(const TRegistry &) = delete;

  TRootKey RootKey() const { return root_; }
  void SetRootKey(TRootKey root);

  // Key paths: a leading "\" starts at the root; otherwise a path is relative to the open key, if
  // any. Opening a key closes the one open before.
  bool KeyExists(const std::string &key);
  bool OpenKey(const std::string &key, bool canCreate);
  bool OpenKeyReadOnly(const std::string &key);
  void CloseKey();
  bool HasOpenKey() const { return !currentPath_.empty() || keyOpen_; }
  const std::string &CurrentPath() const { return currentPath_; }

  bool ValueExists(const std::string &name);
  // The text of a string value, empty when the value is absent (a failed read raises, as ReadValue). A value of another type raises
  // ERegistryException "Invalid data type for 'name'".
  std::string ReadString(const std::string &name);
  // Raises ERegistryException "Failed to set data for 'name'" when the registry refuses.
  void WriteString(const std::string &name, const std::string &value);
  void WriteInteger(const std::string &name, std::int32_t value);
  void WriteValue(const TRegValue &value);
  // The value, or nothing when it does not exist. A value that exists but cannot be read raises
  // ERegistryException "Failed to get data for 'name'": a failed read never passes for empty.
  std::optional<TRegValue> ReadValue(const std::string &name);
  bool DeleteValue(const std::string &name);
  // The names of the open key's values. On Win32 a name that the ANSI code page cannot hold is left
  // out, and added to unrepresentable (with "?" for what it lacks) when that is given.
  std::vector<std::string> GetValueNames(std::vector<std::string> *unrepresentable = nullptr);
  std::vector<std::string> GetKeyNames();
  // Deletes a key with everything below it.
  bool DeleteKey(const std::string &key);

  struct TImpl;

private:
  std::string Resolve(const std::string &key) const;
  TRootKey root_;
  std::string currentPath_;
  bool keyOpen_ = false;
  std::unique_ptr<TImpl> impl_;
};

#ifndef _WIN32
// POSIX only: empties the in-memory registry (tests start from a clean machine).
void ResetRegistryStore();
#endif
