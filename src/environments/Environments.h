// The installed Borland environments: one TEnviron row per environment, found once in the registry
// when the main window is created, and named everywhere by its index.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

class TCheckBox;
class TLabel;
class TForm;
class TGroupBox;
class TControl;

struct TEnviron {
  TCheckBox *CheckBox = nullptr; // owned by the main window
  std::string RootDir;           // installation folder, no trailing backslash
  TLabel *StatusLabel = nullptr; // owned by the main window
  bool IsDelphi = false;         // Delphi rows and the .NET row
  bool IsCLX = false;            // the second row of a version: its CLX variant
  bool IsDotNet = false;         // the Borland Developer Studio row
  bool IsStandard = false;       // Edition is exactly "STD"
  std::string Edition;           // "CSS", "PRO", "STD" or whatever the registry holds
  std::int32_t Version = 0;      // 4..10, or 2 for the BDS key
  std::int32_t ProductVersion = 0; // Version, or Version + 6 for the .NET row
};

constexpr int MaxEnvironments = 100;
extern std::array<TEnviron, MaxEnvironments> Environments;
extern std::int32_t EnvironmentCount;

// Fills Environments and creates each row's controls (owned by form, children of groupBox). Every
// row's check box gets onCheckBoxClick. Raises Exception("Cannot open registry key: LOCAL_MACHINE")
// when the Program Files key is missing and a default folder is needed; rows found before stay.
void DetectEnvironments(TForm &form, TGroupBox &groupBox, std::function<void(TControl &)> onCheckBoxClick);

// Empties the table (tests, and a second window in one process).
void ResetEnvironments();

std::string EnvironmentRegistryKey(int index); // "Software\Borland\Delphi\7.0"
std::string CompilerExeName(int index);        // "dcc32.exe" or "dccil.exe"
std::string PackageFileName(int index, const std::string &stem, int libraryVersion); // "DCLZEL77.bpl"
