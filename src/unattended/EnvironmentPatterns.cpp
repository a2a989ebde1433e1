#include "unattended/EnvironmentPatterns.h"

#include "framework/Text.h"
#include "unattended/Switches.h"

namespace {
// Backtracking to the last "*" only: linear in practice, and no recursion for long patterns.
bool Matches(const std::string &name, const std::string &pattern) {
  std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}
} // namespace

bool MatchesPattern(const std::string &name, const std::string &pattern) {
  return Matches(UpperCase(name), UpperCase(pattern));
}

std::vector<int> SelectEnvironments(const std::vector<std::string> &rowNames,
                                    const std::vector<std::string> &patterns) {
  std::vector<bool> taken(rowNames.size(), false);
  for (const auto &pattern : patterns) {
    bool all = UpperCase(pattern) == "ALL", any = false;
    for (std::size_t i = 0; i < rowNames.size(); ++i)
      if (all || MatchesPattern(rowNames[i], pattern)) {
        taken[i] = true;
        any = true;
      }
    if (!any)
      throw EUsageError("No environment matches /env:" + pattern + " (/list shows them).");
  }
  std::vector<int> indexes;
  for (std::size_t i = 0; i < rowNames.size(); ++i)
    if (taken[i])
      indexes.push_back(int(i));
  return indexes;
}
