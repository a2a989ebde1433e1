#include "TestHost.h"


#include <gtest/gtest.h>

bool TTestHost::AskYesNo(const std::string &message) {
  Questions.push_back(message);
  if (Answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << message;
    return false;
  }
  bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}
