// A dry run's plan as a person reads it (lines grouped per environment: commands, files, registry
// values) and as a program reads it (the "plan" member of the JSON result).
#pragma once
#include "changes/Plan.h"

#include <string>
#include <vector>

// A value's state as one text: "REG_SZ \"C:\\Lib\"", "REG_DWORD 5", "REG_BINARY 01,ff", "(absent)".
std::string PlannedValueText(const TValueState &state);
std::vector<std::string> PlanLines(const std::vector<TEnvironmentPlan> &plan);
// {"environments": [{"name", "index", "commands", "files", "registry", "questions"}]}, its lines
// indented by indent after the first.
std::string PlanJson(const std::vector<TEnvironmentPlan> &plan, const std::string &indent);
