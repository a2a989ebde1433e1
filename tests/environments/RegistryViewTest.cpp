// The Borland environments are 32-bit programs: their machine-wide keys live in the registry's
// 32-bit view. The program must see, write and delete them there whichever build it is (on 64-bit
// Windows the 64-bit build's own view is another key). These tests use the prefix's real
// HKEY_LOCAL_MACHINE, which the per-process registry sandbox cannot redirect between views.
#ifdef _WIN32
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Registry.h"
#include "framework/WinApi.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

const char *const DelphiKey = "Software\\Borland\\Delphi\\7.0";

bool KeyExistsInView(const char *key, REGSAM view) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(handle);
  return true;
}

// Removes the test's keys from the 32-bit view, also when an assertion failed.
struct TThirtyTwoBitKeys {
  ~TThirtyTwoBitKeys() {
    TRegistry(TRootKey::LocalMachine).DeleteKey(std::string("\\") + DelphiKey);
    TRegistry(TRootKey::LocalMachine).DeleteKey("\\Software\\ZelRecompileViewTest");
  }
};

TEST(RegistryViewTest, EnvironmentKeysAreSeenWrittenAndDeletedInTheThirtyTwoBitView) {
  TThirtyTwoBitKeys cleanup;
  TTempFolder root;
  WriteTextFile(root / "Delphi7\\bin\\dcc32.exe", "");
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, DelphiKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::string rootDir = root / "Delphi7";
  ::RegSetValueExA(key, "RootDir", 0, REG_SZ, reinterpret_cast<const BYTE *>(rootDir.c_str()),
                   DWORD(rootDir.size() + 1));
  ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>("CSS"), 4);
  ::RegCloseKey(key);
#if defined(_WIN64)
  ASSERT_FALSE(KeyExistsInView(DelphiKey, KEY_WOW64_64KEY)) << "the key must exist only in the 32-bit view";
#endif

  ResetEnvironments();
  TForm form{"Form"};
  TGroupBox groupBox{"GroupBox1"};
  groupBox.SetParent(&form);
  DetectEnvironments(form, groupBox, [](TControl &) {});
  ASSERT_EQ(EnvironmentCount, 2);
  EXPECT_EQ(Environments[0].CheckBox->Caption(), "Delphi 7 Enterprise");
  EXPECT_EQ(Environments[0].RootDir, rootDir);
  ResetEnvironments();

  TRegistry registry(TRootKey::LocalMachine);
  ASSERT_TRUE(registry.OpenKey("\\Software\\ZelRecompileViewTest\\Written", true));
  registry.WriteString("Value", "32");
  registry.CloseKey();
  EXPECT_TRUE(KeyExistsInView("Software\\ZelRecompileViewTest\\Written", KEY_WOW64_32KEY));
#if defined(_WIN64)
  EXPECT_FALSE(KeyExistsInView("Software\\ZelRecompileViewTest\\Written", KEY_WOW64_64KEY));
#endif
  EXPECT_TRUE(registry.DeleteKey("\\Software\\ZelRecompileViewTest"));
  EXPECT_FALSE(KeyExistsInView("Software\\ZelRecompileViewTest", KEY_WOW64_32KEY));
}

} // namespace
#endif
