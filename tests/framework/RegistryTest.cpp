#include "framework/Registry.h"
#include "TestSupport.h"
#include "framework/Exception.h"
#include "framework/RegFile.h"
#include "framework/WinApi.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

class RegistryTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
};

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names; // the real registry enumerates in its own order
}

TEST_F(RegistryTest, StringsRoundTripAndAbsentValuesReadEmpty) {
  TRegistry registry(TRootKey::CurrentUser);
  EXPECT_FALSE(registry.KeyExists("\\Software\\Zel\\Settings"));
  EXPECT_FALSE(registry.OpenKey("\\Software\\Zel\\Settings", false));
  ASSERT_TRUE(registry.OpenKey("\\Software\\Zel\\Settings", true));
  registry.WriteString("Sources", "C:\\Src");
  registry.WriteString("Empty", "");
  EXPECT_EQ(registry.ReadString("sources"), "C:\\Src"); // names ignore case
  EXPECT_TRUE(registry.ValueExists("Empty"));
  EXPECT_EQ(registry.ReadString("Empty"), "");
  EXPECT_FALSE(registry.ValueExists("Missing"));
  EXPECT_EQ(registry.ReadString("Missing"), "");
  EXPECT_EQ(Sorted(registry.GetValueNames()), (std::vector<std::string>{"Empty", "Sources"}));
  EXPECT_TRUE(registry.DeleteValue("Empty"));
  EXPECT_FALSE(registry.DeleteValue("Empty"));
  registry.CloseKey();
  EXPECT_TRUE(registry.KeyExists("\\SOFTWARE\\zel\\settings"));
  EXPECT_TRUE(registry.KeyExists("Software\\Zel"));
}

TEST_F(RegistryTest, ANonTextValueRaisesWhenReadAsText) {
  TRegistry registry(TRootKey::LocalMachine);
  ASSERT_TRUE(registry.OpenKey("SOFTWARE\\Borland\\C++Builder\\6.0", true));
  registry.WriteInteger("UPGRADE_PATCH", 1);
  EXPECT_TRUE(registry.ValueExists("UPGRADE_PATCH"));
  try {
    registry.ReadString("UPGRADE_PATCH");
    FAIL() << "no error";
  } catch (const ERegistryException &error) {
    EXPECT_EQ(error.Message(), "Invalid data type for 'UPGRADE_PATCH'");
  }
  auto value = registry.ReadValue("UPGRADE_PATCH");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->Type, rdInteger);
  EXPECT_EQ(value->Data, std::string("\x01\0\0\0", 4));
}

// A value that another program rewrites while it is read, growing and shrinking, always reads as one
// of the texts it held: never empty, never cut.
TEST_F(RegistryTest, AValueThatGrowsWhileItIsReadIsReadWhole) {
  const std::string shortText(10, 's'), longText(100000, 'L');
  {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Zel\\Paths", true));
    registry.WriteString("Search Path", shortText);
  }
  std::atomic<bool> done{false};
  std::thread writer([&] {
    TRegistry registry(TRootKey::CurrentUser);
    registry.OpenKey("\\Software\\Zel\\Paths", false);
    for (int i = 0; !done; ++i)
      registry.WriteString("Search Path", i % 2 ? longText : shortText);
  });
  TRegistry reader(TRootKey::CurrentUser);
  ASSERT_TRUE(reader.OpenKey("\\Software\\Zel\\Paths", false));
  int wrong = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string text = reader.ReadString("Search Path");
    wrong += text != shortText && text != longText;
  }
  done = true;
  writer.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(RegistryTest, AKeyOpenedReadOnlyRefusesWrites) {
  TRegistry writer(TRootKey::CurrentUser);
  ASSERT_TRUE(writer.OpenKey("\\Software\\Zel", true));
  writer.WriteString("A", "1");
  TRegistry reader(TRootKey::CurrentUser);
  ASSERT_TRUE(reader.OpenKeyReadOnly("\\Software\\Zel"));
  EXPECT_EQ(reader.ReadString("A"), "1");
  try {
    reader.WriteString("A", "2");
    FAIL() << "no error";
  } catch (const ERegistryException &error) {
    EXPECT_EQ(error.Message(), "Failed to set data for 'A'");
  }
  EXPECT_FALSE(reader.DeleteValue("A"));
  EXPECT_EQ(writer.ReadString("A"), "1");
  TRegistry closed(TRootKey::CurrentUser); // nothing open: nothing to write to
  EXPECT_THROW(closed.WriteString("A", "3"), ERegistryException);
}

TEST_F(RegistryTest, RelativePathsStartAtTheOpenKeyAndDeleteKeyTakesTheSubtree) {
  TRegistry registry(TRootKey::LocalMachine);
  ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Borland", true));
  ASSERT_TRUE(registry.OpenKey("Delphi\\7.0", true));
  EXPECT_EQ(registry.CurrentPath(), "SOFTWARE\\Borland\\Delphi\\7.0");
  registry.WriteString("RootDir", "C:\\D7");
  ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Borland\\Delphi\\7.0\\Known Packages", true));
  registry.CloseKey();
  ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Borland", false));
  EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{"Delphi"});
  ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Borland Two", true)); // a sibling with a longer name
  registry.CloseKey();
  EXPECT_TRUE(registry.DeleteKey("\\SOFTWARE\\Borland"));
  EXPECT_FALSE(registry.KeyExists("\\SOFTWARE\\Borland\\Delphi\\7.0\\Known Packages"));
  EXPECT_FALSE(registry.KeyExists("\\SOFTWARE\\Borland"));
  EXPECT_TRUE(registry.KeyExists("\\SOFTWARE\\Borland Two"));
}

TEST_F(RegistryTest, RegistryFilesImportAndExportEveryValueKind) {
  const std::string text = "REGEDIT4\r\n"
                           "\r\n"
                           "; a comment\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\7.0]\r\n"
                           "\"RootDir\"=\"C:\\\\Program Files\\\\Borland\\\\Delphi7\\\\\"\r\n"
                           "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                           "@=\"default\"\r\n"
                           "\"Count\"=dword:0000002a\r\n"
                           "\"Bytes\"=hex:01,ff,\\\r\n"
                           "  10\r\n"
                           "\"Path\"=hex(2):25,41,25,00\r\n"
                           "\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Zel]\r\n"
                           "\"Gone\"=\"x\"\r\n"
                           "\"Gone\"=-\r\n";
  ImportRegText(text);
  TRegistry registry(TRootKey::LocalMachine);
  ASSERT_TRUE(registry.OpenKeyReadOnly("SOFTWARE\\Borland\\Delphi\\7.0"));
  EXPECT_EQ(registry.ReadString("RootDir"), "C:\\Program Files\\Borland\\Delphi7\\");
  EXPECT_EQ(registry.ReadString("Quote"), "say \"hi\"");
  EXPECT_EQ(registry.ReadString(""), "default");
  EXPECT_EQ(registry.ReadValue("Count")->Data, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(registry.ReadValue("Bytes")->Data, "\x01\xff\x10");
  EXPECT_EQ(registry.ReadString("Path"), "%A%");
  TRegistry user(TRootKey::CurrentUser);
  ASSERT_TRUE(user.OpenKeyReadOnly("Software\\Zel"));
  EXPECT_FALSE(user.ValueExists("Gone"));

  // What is exported imports back to the same values.
  auto exported = ExportRegistryKey(TRootKey::LocalMachine, "SOFTWARE\\Borland");
  std::string saved = FormatRegText(exported);
  EXPECT_EQ(saved.rfind("REGEDIT4\r\n", 0), 0u);
  registry.CloseKey();
  registry.DeleteKey("\\SOFTWARE\\Borland");
  ImportRegText(saved);
  ASSERT_TRUE(registry.OpenKeyReadOnly("SOFTWARE\\Borland\\Delphi\\7.0"));
  EXPECT_EQ(registry.ReadString("Quote"), "say \"hi\"");
  EXPECT_EQ(registry.ReadValue("Bytes")->Data, "\x01\xff\x10");
  EXPECT_EQ(registry.ReadString("Path"), "%A%");
  EXPECT_EQ(registry.ReadValue("Path")->Type, rdExpandString);
}

TEST_F(RegistryTest, MalformedRegistryFilesAreRejectedWithTheLine) {
  const std::pair<const char *, const char *> cases[] = {
      {"not a registry file", "line 1: not a registry file"},
      {"REGEDIT4\r\n\"x\"=\"y\"\r\n", "line 2: value outside a key"},
      {"REGEDIT4\r\n[HKEY_NOWHERE\\x]\r\n", "line 2: unknown root key"},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=\"unterminated\r\n", "line 3: unterminated text"},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=qword:1\r\n", "line 3: unknown value data"},
  };
  for (const auto &[text, expected] : cases) {
    try {
      ParseRegText(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const Exception &error) {
      std::string lower = error.Message();
      EXPECT_NE(lower.find(expected), std::string::npos) << error.Message();
    }
  }
}

#ifdef _WIN32
// The real registry of the machine, without the sandbox: the predefined keys, rights and types.
TEST(RealRegistry, KeysAreMadeOnlyWhenAskedAndAReadOnlyKeyStaysUnchanged) {
  const std::string key = "\\Software\\ZelRecompileTests\\Real" + std::to_string(::GetCurrentProcessId());
  TRegistry user(TRootKey::CurrentUser);
  user.DeleteKey(key);
  EXPECT_FALSE(user.OpenKey(key, false));
  EXPECT_FALSE(user.KeyExists(key));
  ASSERT_TRUE(user.OpenKey(key + "\\Deeper", true)); // every missing level is made
  user.WriteString("Text", "1");
  user.WriteInteger("Number", 5);
  EXPECT_EQ(user.ReadString("Text"), "1");
  EXPECT_THROW(user.ReadString("Number"), ERegistryException);
  user.CloseKey();

  TRegistry machine(TRootKey::LocalMachine);
  ASSERT_TRUE(machine.OpenKeyReadOnly("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
  EXPECT_FALSE(machine.ReadString("ProgramFilesDir").empty());
  EXPECT_THROW(machine.WriteString("ZelRecompileTest", "x"), ERegistryException);
  EXPECT_FALSE(machine.ValueExists("ZelRecompileTest"));
  EXPECT_FALSE(machine.KeyExists("SOFTWARE\\No Such Vendor\\No Such Product"));
  EXPECT_TRUE(user.DeleteKey(key));
  EXPECT_FALSE(user.KeyExists(key));
}
#endif

} // namespace
