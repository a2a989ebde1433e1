// What the checks of one environment look at, read once and never written: the environment's row and
// registry keys, its default project options, and, through a reader the environments of one check
// share, the folders and files they name, the system folder and the running processes.
#pragma once
#include "changes/Change.h"
#include "environments/Environments.h"
#include "framework/Files.h"
#include "framework/ProcessList.h"
#include "framework/Registry.h"
#include "framework/TextLines.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The values of one registry key as they stood when it was read.
struct TKeyValues {
  std::string Path; // "HKEY_CURRENT_USER\Software\Borland\Delphi\7.0\Known Packages"
  bool Exists = false;
  std::vector<TRegValue> Values;
  // The value of that name, ignoring case as the registry does; null when there is none.
  const TRegValue *Find(const std::string &name) const;
  // The data of a string value; empty when the value is missing or holds no text.
  std::string Text(const std::string &name) const;
};

// Reads the machine for the checks and keeps what it read, so that every key, folder and file is
// read once however many checks and environments ask (a CLX row shares its twin's keys, every row
// the system folder). Paths are compared as Windows compares them: case and "/" or "\" aside.
class TMachineReader {
public:
  const TKeyValues &Key(TRootKey root, const std::string &path);
  bool FolderExists(const std::string &folder);
  // The files and folders in a folder; none when it does not exist.
  const std::vector<Fs::TFoundFile> &Entries(const std::string &folder);
  bool FileExists(const std::string &path);
  std::optional<Fs::TFileTime> LastWriteTime(const std::string &path);
  const std::optional<std::string> &Contents(const std::string &path);
  // A text file's lines; nothing when it cannot be read.
  const std::optional<TStringList> &Lines(const std::string &path);
  // A package's description; nothing when the file cannot be loaded as a package.
  const std::optional<std::string> &Description(const std::string &path);
  const TProcessList &Processes();
  // How many times the machine itself was asked (registry keys, folders, files, the process list).
  int Reads() const { return reads_; }

private:
  struct TFolder {
    bool Exists = false;
    std::vector<Fs::TFoundFile> Entries;
    std::map<std::string, std::size_t> ByName; // upper-case name -> entry
  };
  const TFolder &Folder(const std::string &folder);

  std::map<std::string, TKeyValues> keys_;
  std::map<std::string, TFolder> folders_;
  std::map<std::string, std::optional<Fs::TFileTime>> times_;
  std::map<std::string, std::optional<std::string>> contents_;
  std::map<std::string, std::optional<TStringList>> lines_;
  std::map<std::string, std::optional<std::string>> descriptions_;
  std::optional<TProcessList> processes_;
  int reads_ = 0;
};

// The same path however Windows lets it be written: upper case, "\" only, no trailing "\".
std::string FoldPath(const std::string &path);
bool SamePath(const std::string &a, const std::string &b);
// The last part of a path (its folder part: FolderOf, with the changes layer).
std::string NameOf(const std::string &path);

// Where the compiled trees are and where the sources: the window's fields, or the switches.
struct TDoctorSettings {
  std::string SourceFolder;    // empty: not known
  std::string DestinationBase; // empty: not known
};

struct TEnvironmentSnapshot {
  TEnvironmentSnapshot(TMachineReader &machine) : Machine(machine) {}
  int Index = 0;
  TEnviron Row;            // the row's fields (its controls are not used)
  std::string Name;        // the row's caption
  std::string RegistryKey; // "Software\Borland\Delphi\7.0", below HKEY_CURRENT_USER
  std::string FolderName;  // the output tree's name: "Delphi7", "BuilderC6", "Delphi7CLX"
  TDoctorSettings Settings;
  std::string EnvironmentFolder; // DestinationBase\FolderName; empty without a destination
  std::string SystemFolder;
  TKeyValues KnownPackages, DisabledPackages, KnownAssemblies, Library;
  TKeyValues InstallRecord; // the program's own key, the same for every environment
  // Every registry value the environment's journals (those not undone) say a run left, with the
  // state that run left it in and its state now; the newest run's word for each value.
  struct TJournalledValue {
    TChange Change;   // Root, Key, Name and After as the run left them
    std::string When; // the run's time, from its journal
    TValueState Now;
  };
  std::vector<TJournalledValue> JournalledValues;
  TMachineReader &Machine;
};

// Reads what the checks of row index need that is not read on demand through the machine reader.
TEnvironmentSnapshot TakeSnapshot(int index, const TDoctorSettings &settings, TMachineReader &machine);
