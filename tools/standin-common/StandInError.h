// The one error type of the stand-in tools: its message is the text the tool prints before it ends
// with exit code 1 ("Zel77.dpk(12) Fatal: Required package 'rtl' not found").
#pragma once
#include "framework/Exception.h"

class EStandInError : public Exception {
public:
  using Exception::Exception;
};
