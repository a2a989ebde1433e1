// The layer's reads: the machine as the run's earlier steps left it, which under a plan is the
// machine as the plan would leave it, and in a batch as its noted changes will leave it.
#include "ChangeBatch.h"
#include "EnvironmentChanges.h"
#include "Plan.h"

#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <algorithm>

namespace Changes {

bool FileExists(const std::string &path) {
  TPlanScope *plan = ChangeOverlay();
  return plan ? plan->FileExists(path) : Fs::FileExists(path);
}

bool DirectoryExists(const std::string &path) {
  TPlanScope *plan = ChangeOverlay();
  return plan ? plan->DirectoryExists(path) : Fs::DirectoryExists(path);
}

TStringList LoadLines(const std::string &path) {
  TPlanScope *plan = ChangeOverlay();
  if (plan && !plan->FileExists(path))
    throw EFileError("Cannot open file \"" + path + "\". " + SystemErrorMessage(Fs::ErrorFileNotFound));
  // A file whose bytes the plan cannot know is read as it is now.
  auto bytes = plan ? plan->FileBytes(path) : std::nullopt;
  return bytes ? SplitLines(*bytes) : ::LoadLines(path);
}

std::optional<TRegValue> ReadValue(TRegistry &registry, const std::string &name) {
  TPlanScope *plan = ChangeOverlay();
  if (plan)
    if (auto planned = plan->PlannedValue(registry.RootKey(), plan->OpenKeyPath(registry), name))
      return planned->Exists ? std::optional(TRegValue{name, planned->Type, planned->Data}) : std::nullopt;
  return registry.HasOpenKey() ? registry.ReadValue(name) : std::nullopt;
}

bool ValueExists(TRegistry &registry, const std::string &name) {
  return ReadValue(registry, name).has_value();
}

std::string ReadString(TRegistry &registry, const std::string &name) {
  auto value = ReadValue(registry, name);
  if (!value)
    return {};
  if (value->Type != rdString && value->Type != rdExpandString)
    throw ERegistryException("Invalid data type for '" + name + "'");
  return value->Data;
}

std::vector<std::string> GetValueNames(TRegistry &registry, std::vector<std::string> *unrepresentable) {
  std::vector<std::string> names;
  if (registry.HasOpenKey())
    names = registry.GetValueNames(unrepresentable);
  TPlanScope *plan = ChangeOverlay();
  if (!plan)
    return names;
  // The registry lists a value written over in its place and a new one after the others.
  for (const auto &[name, exists] :
       plan->PlannedValueNames(registry.RootKey(), plan->OpenKeyPath(registry))) {
    auto same = [&](const std::string &other) { return UpperCase(other) == UpperCase(name); };
    bool listed = std::any_of(names.begin(), names.end(), same);
    if (!exists)
      std::erase_if(names, same);
    else if (!listed)
      names.push_back(name);
  }
  return names;
}

} // namespace Changes
