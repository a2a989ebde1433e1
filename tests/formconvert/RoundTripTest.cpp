// Realistic forms in the IDE's text form (data/*.txt), made binary by Free Pascal's
// ObjectTextToBinary (data/make-binaries), must come back from the binary byte for byte. The same
// binaries, cut short or damaged, must end in an EReadError.
#include "TestSupport.h"
#include "formconvert/ObjectText.h"
#include "framework/Files.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string DataPath(const std::string &name) {
  return SourcePath("tests\\formconvert\\data\\" + name);
}

std::vector<std::string> DataForms() {
  std::vector<std::string> names;
  for (const auto &file : Fs::FindFiles(DataPath("*.txt")))
    names.push_back(file.Name.substr(0, file.Name.size() - 4));
  return names;
}

TEST(RoundTripTest, BinaryFormsGiveBackTheirOriginalText) {
  std::vector<std::string> names = DataForms();
  ASSERT_GE(names.size(), 4u);
  for (const auto &name : names) {
    SCOPED_TRACE(name);
    std::string binary = ReadTextFile(DataPath(name + ".dfm"));
    ASSERT_EQ(std::uint8_t(binary.at(0)), 0xFF) << "not a binary form";
    EXPECT_EQ(ObjectResourceToText(binary), ReadTextFile(DataPath(name + ".txt")));
  }
}

class DamagedFormTest : public ::testing::Test {
protected:
  std::string binary = ReadTextFile(DataPath("MainForm.dfm"));
};

TEST_F(DamagedFormTest, EveryTruncationEndsInAReadError) {
  ASSERT_GT(binary.size(), 1000u);
  for (std::size_t length = 0; length < binary.size(); ++length) {
    try {
      ObjectResourceToText(std::string_view(binary).substr(0, length));
      ADD_FAILURE() << "a form cut to " << length << " bytes converted";
    } catch (const EReadError &) {
    }
  }
}

TEST_F(DamagedFormTest, EveryCorruptedByteConvertsOrEndsInAReadError) {
  // Any outcome but a crash, a hang or another kind of error is fine: many a changed byte still
  // leaves a well-formed stream.
  int failures = 0;
  for (std::size_t position = 0; position < binary.size(); ++position) {
    for (unsigned char value : {0x00, 0x01, 0x07, 0x0E, 0x13, 0x7F, 0xF3, 0xFF}) {
      std::string damaged = binary;
      damaged[position] = char(value);
      try {
        ObjectResourceToText(damaged);
      } catch (const EReadError &) {
        ++failures;
      }
    }
  }
  EXPECT_GT(failures, 0);
}

} // namespace
