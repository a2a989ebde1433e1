#include "TestSupport.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "framework/Desktop.h"
#include "framework/Files.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <string>

#ifdef _WIN32
#include "framework/WinApi.h"
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
std::string PlatformPath(std::string path) { // the build's Linux paths, as Wine sees them
  for (auto &c : path)
    if (c == '/')
      c = '\\';
  return "Z:" + path;
}
std::string TempBase() {
  char buffer[MAX_PATH + 1] = {};
  ::GetTempPathA(MAX_PATH, buffer);
  std::string base = buffer;
  if (!base.empty() && base.back() == '\\')
    base.pop_back();
  return base;
}
unsigned ProcessId() { return unsigned(::GetCurrentProcessId()); }
#else
std::string PlatformPath(std::string path) { return path; }
std::string TempBase() {
  const char *tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}
unsigned ProcessId() { return unsigned(::getpid()); }
#endif
} // namespace

TTempFolder::TTempFolder() {
  static std::atomic<int> counter{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    path_ = TempBase() + "\\zeltest-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
    if (Fs::CreateFolder(path_))
      return;
  }
  ADD_FAILURE() << "cannot create a temporary folder below " << TempBase();
}

TTempFolder::~TTempFolder() { RemoveTree(path_); }

std::string TTempFolder::operator/(const std::string &relative) const { return path_ + "\\" + relative; }

std::string SourcePath(const std::string &relative) {
  return PlatformPath(ZEL_SOURCE_DIR) + "\\" + relative;
}

std::string BinaryPath(const std::string &relative) {
  return PlatformPath(ZEL_BINARY_DIR) + "\\" + relative;
}

std::string ChildPath(const std::string &path) {
#ifdef _WIN32
  return path;
#else
  return Fs::NativePath(path);
#endif
}

std::string ExecutableName(const std::string &baseName) {
#ifdef _WIN32
  return baseName + ".exe";
#else
  return baseName;
#endif
}

std::string ProgramPath(const std::string &name) {
  // Tools are built into their own folders below tools/; search the usual places.
  for (const std::string &folder : {std::string("tools\\") + name, std::string("tools"), std::string("")}) {
    std::string candidate = BinaryPath(folder.empty() ? ExecutableName(name) : folder + "\\" + ExecutableName(name));
    if (Fs::FileExists(candidate))
      return candidate;
  }
  return BinaryPath("tools\\" + name + "\\" + ExecutableName(name));
}

void WriteTextFile(const std::string &path, const std::string &bytes) {
  auto slash = path.find_last_of("\\/");
  if (slash != std::string::npos)
    Fs::ForceFolders(path.substr(0, slash));
  ASSERT_TRUE(Fs::WriteWholeFile(path, bytes)) << "cannot write " << path << ": " << Fs::LastErrorCode();
}

std::string ReadTextFile(const std::string &path) {
  auto bytes = Fs::ReadWholeFile(path);
  EXPECT_TRUE(bytes.has_value()) << "cannot read " << path;
  return bytes.value_or(std::string());
}

void RemoveTree(const std::string &path) {
  if (path.empty())
    return;
  for (const auto &entry : Fs::FindFiles(path + "\\*")) {
    std::string full = path + "\\" + entry.Name;
    if (entry.IsDirectory) {
      RemoveTree(full);
    } else {
      Fs::SetReadOnly(full, false);
      Fs::DeleteFile(full);
    }
  }
  Fs::RemoveFolder(path);
}

#ifdef _WIN32
namespace {
const char *const SandboxBase = "Software\\ZelRecompileTests";
std::string SandboxName() { return std::string(SandboxBase) + "\\" + std::to_string(ProcessId()); }

void DeleteTree(HKEY parent, const std::string &path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return;
  char name[256];
  for (;;) {
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    DeleteTree(key, name);
  }
  ::RegCloseKey(key);
  ::RegDeleteKeyA(parent, path.c_str());
}
} // namespace

TRegistrySandbox::TRegistrySandbox() {
  DeleteTree(HKEY_CURRENT_USER, SandboxName());
  struct {
    HKEY Root;
    const char *Name;
  } roots[] = {{HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_CURRENT_USER, "HKCU"}, {HKEY_CLASSES_ROOT, "HKCR"}};
  HKEY keys[3] = {};
  for (int i = 0; i < 3; ++i)
    ::RegCreateKeyExA(HKEY_CURRENT_USER, (SandboxName() + "\\" + roots[i].Name).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &keys[i], nullptr);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(::RegOverridePredefKey(roots[i].Root, keys[i]), ERROR_SUCCESS);
    ::RegCloseKey(keys[i]);
  }
}

TRegistrySandbox::~TRegistrySandbox() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT})
    ::RegOverridePredefKey(root, nullptr);
  DeleteTree(HKEY_CURRENT_USER, SandboxName());
}
#else
#include "framework/Registry.h"
TRegistrySandbox::TRegistrySandbox() { ResetRegistryStore(); }
TRegistrySandbox::~TRegistrySandbox() { ResetRegistryStore(); }
#endif

void CopyTree(const std::string &source, const std::string &target) {
  Fs::ForceFolders(target);
  for (const auto &entry : Fs::FindFiles(source + "\\*")) {
    if (entry.IsDirectory)
      CopyTree(source + "\\" + entry.Name, target + "\\" + entry.Name);
    else
      EXPECT_TRUE(Fs::CopyFile(source + "\\" + entry.Name, target + "\\" + entry.Name, false)) << entry.Name;
  }
}

namespace {
void ListInto(const std::string &folder, const std::string &prefix, std::vector<std::string> &files) {
  for (const auto &entry : Fs::FindFiles(folder + "\\*")) {
    if (entry.IsDirectory)
      ListInto(folder + "\\" + entry.Name, prefix + entry.Name + "\\", files);
    else
      files.push_back(prefix + entry.Name);
  }
}
} // namespace

std::vector<std::string> ListTree(const std::string &folder) {
  std::vector<std::string> files;
  ListInto(folder, "", files);
  std::sort(files.begin(), files.end());
  return files;
}

namespace {
void SnapshotFolder(const std::string &folder, const std::string &relative, std::vector<std::string> &lines) {
  for (const auto &entry : Fs::FindFiles(folder + "\\*")) {
    std::string name = relative.empty() ? entry.Name : relative + "\\" + entry.Name;
    if (entry.IsDirectory) {
      lines.push_back(name + "\\");
      SnapshotFolder(folder + "\\" + entry.Name, name, lines);
      continue;
    }
    std::string bytes = Fs::ReadWholeFile(folder + "\\" + entry.Name).value_or("<unreadable>");
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes)
      hash = (hash ^ c) * 1099511628211ull;
    lines.push_back(name + " " + std::to_string(bytes.size()) + " " + std::to_string(hash) +
                    (entry.IsReadOnly ? " read-only" : ""));
  }
}
} // namespace

std::string MachineSnapshot(const std::vector<std::pair<TRootKey, std::string>> &keys,
                            const std::vector<std::string> &folders) {
  std::vector<std::string> lines;
  for (const auto &[root, key] : keys)
    for (const auto &block : ExportRegistryKey(root, key)) {
      std::string path = RootKeyName(block.Root) + "\\" + UpperCase(block.Path);
      lines.push_back(path + "\\");
      for (const auto &value : block.Values)
        lines.push_back(path + "\\" + UpperCase(value.Name) + " = " + std::to_string(value.Type) + ":" + value.Data);
    }
  for (const auto &folder : folders) {
    std::vector<std::string> files;
    SnapshotFolder(folder, "", files);
    for (auto &file : files)
      lines.push_back(folder + ": " + file);
  }
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const auto &line : lines)
    text += line + "\n";
  return text;
}

void ExpectScriptFollowed(const TScriptedDesktop &desktop) {
  EXPECT_TRUE(desktop.Failures.empty()) << desktop.Failures.front();
  EXPECT_TRUE(desktop.AllStepsUsed());
}

int ReplayFuzzCorpus(const std::string &target, TFuzzTarget oneInput) {
  std::string corpus = SourcePath("fuzz\\corpus\\" + target);
  int replayed = 0;
  for (const auto &file : Fs::FindFiles(corpus + "\\*")) {
    if (file.IsDirectory)
      continue;
    std::string bytes = ReadTextFile(corpus + "\\" + file.Name);
    try {
      oneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    } catch (const std::exception &error) {
      ADD_FAILURE() << target << " input " << file.Name << ": " << error.what();
    }
    ++replayed;
  }
  return replayed;
}
