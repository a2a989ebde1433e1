#include "Environments.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Registry.h"

#include <algorithm>
#include <optional>
#include <vector>

std::array<TEnviron, MaxEnvironments> Environments;
std::int32_t EnvironmentCount = 0;

namespace {

// The text of a value, or nothing when the value is absent or holds no text: a value of the wrong
// type must not end detection and hide every later environment.
std::optional<std::string> ReadText(TRegistry &registry, const std::string &name) {
  if (!registry.ValueExists(name))
    return std::nullopt;
  try {
    return registry.ReadString(name);
  } catch (const ERegistryException &) {
    return std::nullopt;
  }
}

std::string ProgramFilesFolder() {
  TRegistry registry(TRootKey::LocalMachine);
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  if (!registry.KeyExists(key))
    throw Exception("Cannot open registry key: LOCAL_MACHINE");
  registry.OpenKeyReadOnly(key);
  return ReadText(registry, "ProgramFilesDir").value_or(""); // no text: no default folder is found
}

struct TTry {
  std::string Product; // "Delphi", "C++Builder", "D8.NET"
  int Number = 0;
  bool IsDelphi = false;
  bool IsDotNet = false;
  bool IsCLX = false;

  std::string RegistryKey() const {
    return IsDotNet ? "SOFTWARE\\Borland\\BDS\\" + std::to_string(Number) + ".0"
                    : "SOFTWARE\\Borland\\" + Product + "\\" + std::to_string(Number) + ".0";
  }
};

struct TFound {
  std::string RootDir;
  std::string Edition;
};

TFound FindRootAndEdition(TRegistry &registry, const TTry &attempt) {
  TFound found;
  bool fromRegistry = false;
  if (registry.KeyExists(attempt.RegistryKey()) && registry.OpenKeyReadOnly(attempt.RegistryKey())) {
    found.RootDir = ReadText(registry, "RootDir").value_or("");
    found.Edition = ReadText(registry, attempt.IsDotNet ? "Edition" : "Version").value_or("");
    registry.CloseKey();
    fromRegistry = !found.RootDir.empty();
  }
  if (found.RootDir.empty()) {
    std::string folder = ProgramFilesFolder() + "\\Borland\\" + (attempt.IsDelphi ? "Delphi" : "CBuilder") +
                         std::to_string(attempt.Number);
    std::string executable = attempt.IsDotNet ? "\\bin\\bds.exe" : "\\bin\\dcc32.exe";
    found.RootDir = Fs::FileExists(folder + executable) ? folder : std::string();
  }
  if (fromRegistry && found.RootDir.size() > 1 && found.RootDir.back() == '\\')
    found.RootDir.pop_back();
  return found;
}

std::string RegistryDecorations(TRegistry &registry, const TTry &attempt) {
  std::string suffix;
  if (registry.KeyExists(attempt.RegistryKey()) && registry.OpenKeyReadOnly(attempt.RegistryKey())) {
    if (attempt.IsDotNet) {
      if (auto pack = ReadText(registry, "UpdatePackInstalled"))
        suffix += " (update " + *pack + ")";
    } else {
      // The highest numbered update with either value wins, even when that value is empty.
      for (int k = 3; k >= 1; --k) {
        auto update = ReadText(registry, "Update #" + std::to_string(k));
        if (!update)
          update = ReadText(registry, "Update #" + std::to_string(k) + " Installed");
        if (update) {
          if (!update->empty())
            suffix += " (update " + std::to_string(k) + ")";
          break;
        }
      }
    }
    if (!attempt.IsDelphi) {
      auto patch = ReadText(registry, "UPGRADE_PATCH");
      if (patch && !patch->empty())
        suffix += " (update)";
    }
    registry.CloseKey();
  }
  return suffix;
}

class TDetection {
public:
  TDetection(TForm &form, TGroupBox &groupBox, std::function<void(TControl &)> onClick)
      : form_(form), groupBox_(groupBox), onClick_(std::move(onClick)),
        rowStep_(Application().PixelsPerInch() * 20 / 96) {}

  void TryEnvironment(const TTry &attempt) {
    TFound found = FindRootAndEdition(registry_, attempt);
    if (found.RootDir.empty())
      return;
    top_ += rowStep_;
    auto &status = form_.Own<TLabel>("");
    status.AutoSize = true;
    status.SetBounds(460, top_, 0, 13);
    status.SetParent(&groupBox_);

    auto &checkBox = form_.Own<TCheckBox>("");
    TEnviron row;
    row.ProductVersion = attempt.IsDotNet ? attempt.Number + 6 : attempt.Number;
    std::string name = attempt.Product + " " + std::to_string(row.ProductVersion);
    if (found.Edition == "CSS")
      name += " Enterprise";
    else if (found.Edition == "PRO")
      name += " Professional";
    else if (found.Edition == "STD") {
      name += " Standard";
      row.IsStandard = true;
    }
    name += RegistryDecorations(registry_, attempt);
    if (attempt.IsCLX)
      name += " (CLX)";
    if (attempt.IsDotNet)
      name += " (BDS " + std::to_string(attempt.Number) + " " + found.Edition + ")";
    checkBox.SetCaption(name);
    checkBox.SetBounds(5, top_, 205, 17);
    checkBox.SetParent(&groupBox_);
    checkBox.TabOrder = EnvironmentCount; // a check box takes the focus: the rows follow each other
    checkBox.SetChecked(true);
    checkBox.OnClick = onClick_;

    auto &path = form_.Own<TLabel>("");
    path.AutoSize = true;
    path.SetBounds(220, top_, 0, 13);
    path.SetCaption(found.RootDir);
    path.SetParent(&groupBox_);

    rows_.push_back({&checkBox, &path, &status});
    row.CheckBox = &checkBox;
    row.RootDir = path.Caption();
    row.StatusLabel = &status;
    row.IsCLX = attempt.IsCLX;
    row.IsDotNet = attempt.IsDotNet;
    row.IsDelphi = attempt.IsDelphi;
    row.Edition = found.Edition;
    row.Version = attempt.Number;
    Environments[std::size_t(EnvironmentCount)] = row;
    ++EnvironmentCount;
  }

  // The columns stand at 5, 220 and 460; where a display name or a folder needs more room than its
  // column has, the columns to its right move over so that nothing is clipped or overlaps.
  void ArrangeColumns() {
    int checkWidth = 205, pathLeft = 220, statusLeft = 460;
    for (const auto &row : rows_)
      checkWidth = std::max(checkWidth, row.CheckBox->NeededWidth());
    pathLeft = std::max(pathLeft, 5 + checkWidth + ScaleToScreen(10));
    for (const auto &row : rows_)
      statusLeft = std::max(statusLeft, pathLeft + row.Path->Width() + ScaleToScreen(16));
    for (const auto &row : rows_) {
      row.CheckBox->SetWidth(checkWidth);
      row.Path->SetLeft(pathLeft);
      row.Status->SetLeft(statusLeft);
    }
  }

private:
  struct TRowControls {
    TCheckBox *CheckBox;
    TLabel *Path;
    TLabel *Status;
  };
  std::vector<TRowControls> rows_;
  TForm &form_;
  TGroupBox &groupBox_;
  std::function<void(TControl &)> onClick_;
  TRegistry registry_{TRootKey::LocalMachine};
  int rowStep_;
  int top_ = 0;
};

} // namespace

void DetectEnvironments(TForm &form, TGroupBox &groupBox, std::function<void(TControl &)> onCheckBoxClick) {
  TDetection detection(form, groupBox, std::move(onCheckBoxClick));
  for (const char *product : {"Delphi", "C++Builder"}) {
    bool isDelphi = std::string(product) == "Delphi";
    for (int n = 4; n <= 10; ++n) {
      detection.TryEnvironment({product, n, isDelphi, false, false});
      if (n >= 6)
        detection.TryEnvironment({product, n, isDelphi, false, true});
    }
  }
  detection.TryEnvironment({"D8.NET", 2, true, true, false});
  detection.ArrangeColumns();
}

void ResetEnvironments() {
  Environments = {};
  EnvironmentCount = 0;
}

std::string EnvironmentRegistryKey(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  std::string product = row.IsDotNet ? "BDS" : row.IsDelphi ? "Delphi" : "C++Builder";
  return "Software\\Borland\\" + product + "\\" + std::to_string(row.Version) + ".0";
}

std::string CompilerExeName(int index) {
  return Environments[std::size_t(index)].IsDotNet ? "dccil.exe" : "dcc32.exe";
}

std::string PackageFileName(int index, const std::string &stem, int libraryVersion) {
  const TEnviron &row = Environments[std::size_t(index)];
  return stem + std::to_string(libraryVersion) + (row.IsDelphi ? "" : "C") + std::to_string(row.Version) +
         (row.IsCLX ? "Clx" : "") + ".bpl";
}
