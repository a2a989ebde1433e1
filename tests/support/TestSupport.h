// What several test programs share: temporary folders that clean up even when an assertion fails,
// and paths into the source and build trees in the form the platform's file layer takes.
#pragma once
#include "framework/Registry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A fresh, empty folder below the system's temporary folder, removed with everything in it when
// the object goes out of scope. Path() is in the platform's form (Windows path under Wine).
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder &) = delete;
  TTempFolder &operator=(const TTempFolder &) = delete;
  const std::string &Path() const { return path_; }
  // Path() + "\" + relative.
  std::string operator/(const std::string &relative) const;

private:
  std::string path_;
};

// A path below the source tree ("sample\Quivex") or the build tree, usable by the file layer.
class TScriptedDesktop;

// A script a test gave the desktop: no answer went wrong, and every step was used.
void ExpectScriptFollowed(const TScriptedDesktop &desktop);

std::string SourcePath(const std::string &relative);
std::string BinaryPath(const std::string &relative);
// A program built by this project (a stand-in tool or a test child), with ".exe" on Win32.
std::string ProgramPath(const std::string &name);
// The file name of a program of that base name on this platform: ".exe" added on Win32.
std::string ExecutableName(const std::string &baseName);

// A path as a child program's own file functions take it: unchanged on Win32, the Linux path on
// POSIX (the test child knows no "\\").
std::string ChildPath(const std::string &path);

// Writes text to a file, creating missing folders; fails the current test when it cannot.
void WriteTextFile(const std::string &path, const std::string &bytes);
std::string ReadTextFile(const std::string &path);

// Removes a folder tree (tests only: the product never deletes whole trees).
void RemoveTree(const std::string &path);

// A registry of the test's own: the native build empties its in-memory registry; the Win32 build
// maps HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this process to fresh keys
// (RegOverridePredefKey), so that tests under Wine never touch the prefix's real settings.
class TRegistrySandbox {
public:
  TRegistrySandbox();
  ~TRegistrySandbox();
  TRegistrySandbox(const TRegistrySandbox &) = delete;
  TRegistrySandbox &operator=(const TRegistrySandbox &) = delete;
};

// Copies a folder tree (tests only).
void CopyTree(const std::string &source, const std::string &target);
// What a machine holds, as text to compare before and after: the registry keys (each value as
// "HKEY_...\Key\Name = type:data", sorted) and the folders (every file with its size and bytes'
// hash, and every folder, sorted). Time stamps are left out.
std::string MachineSnapshot(const std::vector<std::pair<TRootKey, std::string>> &keys,
                            const std::vector<std::string> &folders);
// The files below a folder as sorted relative paths ("Lib\ZelDefs.inc"), folders left out.
std::vector<std::string> ListTree(const std::string &folder);

// Replays every input kept in fuzz/corpus/<target> (the seeds, what the fuzzer merged, and any
// finding) through the fuzz target, built into the test with its entry renamed (zel_fuzz_replay):
// a broken rule or any other exception fails the test with the input's name. Returns how many
// inputs it replayed.
using TFuzzTarget = int (*)(const std::uint8_t *data, std::size_t size);
int ReplayFuzzCorpus(const std::string &target, TFuzzTarget oneInput);
