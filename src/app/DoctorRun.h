// The check of the environments without a window: "/doctor" prints each named environment's
// findings, writes them into the result file on request, and says in its exit code whether one was
// an error. It reads only: no setting is saved and no run lock is taken.
#pragma once
#include "VersionsForm.h"
#include "unattended/Switches.h"

#include <functional>
#include <string>

// form is the headless window: its rows and saved folder fields; the switches override the fields
// for this check only. Returns 0 without errors, 1 with errors, 2 for a usage error.
int RunDoctorCommand(TVersionsForm &form, const TUnattendedOptions &options,
                     const std::function<void(const std::string &line)> &output);
