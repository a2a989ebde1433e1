#include "TestHost.h"

#include "framework/Controls.h"

#include <gtest/gtest.h>
#include <memory>

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

void SetRow(int index, const char *rootDir, bool isDelphi, bool isCLX, bool isDotNet, const char *edition,
            int version) {
  static std::vector<std::unique_ptr<TLabel>> labels; // the rows' status labels live as long as the tests
  labels.push_back(std::make_unique<TLabel>("Status"));
  TEnviron &row = Environments[std::size_t(index)];
  row = TEnviron{};
  row.RootDir = rootDir;
  row.IsDelphi = isDelphi;
  row.IsCLX = isCLX;
  row.IsDotNet = isDotNet;
  row.Edition = edition;
  row.IsStandard = std::string(edition) == "STD";
  row.Version = version;
  row.ProductVersion = isDotNet ? version + 6 : version;
  row.StatusLabel = labels.back().get();
  if (EnvironmentCount <= index)
    EnvironmentCount = index + 1;
}
