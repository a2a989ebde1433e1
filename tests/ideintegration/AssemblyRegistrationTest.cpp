// The .NET environment's registrations, with the real cache tool stand-in behind its shell
// association.
#include "ideintegration/AssemblyRegistration.h"
#include "InstallFixture.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "session/BuildLog.h"

#include <algorithm>

namespace {

const char *const GacKey = "\\Applications\\gacutil.exe\\shell\\open\\command";
const char *const FrameworkKey = "\\Software\\Microsoft\\.NETFramework\\AssemblyFolders\\Quivex.VCL";

std::string RegText(std::string text) {
  for (std::size_t at = 0; (at = text.find('\\', at)) != std::string::npos; at += 2)
    text.insert(at, "\\");
  for (std::size_t at = 0; (at = text.find('"', at)) != std::string::npos; at += 2)
    text.insert(at, "\\");
  return text;
}

void SetGacCommand(const std::string &command) {
  ImportRegText(
      "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\Applications\\gacutil.exe\\shell\\open\\command]\r\n@=\"" +
      RegText(command) + "\"\r\n");
}

TEST(FindGacUtil, TakesTheShellCommandWithoutItsFilePlaceholder) {
  TRegistrySandbox sandbox;
  EXPECT_EQ(FindGacUtil(), ""); // no association: not found, whatever the search path holds
  const struct {
    const char *command, *tool;
  } cases[] = {
      {"\"C:\\Program Files\\NET\\gacutil.exe\" \"%1\"", "\"C:\\Program Files\\NET\\gacutil.exe\" "},
      {"C:\\NET\\gacutil.exe \"%1\" /f \"%1\"", "C:\\NET\\gacutil.exe  /f \"%1\""},
      {"C:\\NET\\gacutil.exe %1", "C:\\NET\\gacutil.exe %1"},
      {"", ""},
  };
  for (const auto &c : cases) {
    SetGacCommand(c.command);
    EXPECT_EQ(FindGacUtil(), c.tool) << c.command;
  }
}

class AssemblyRegistrationTest : public InstallFixture {
protected:
  int net = AddRow("Delphi 8", true, true, "CSS", 2);
  std::string tool = root / ("NET Framework\\" + ExecutableName("gacutil"));
  AssemblyRegistrationTest() {
    BuildTree(net);
    EXPECT_TRUE(Fs::ForceFolders(root / "NET Framework"));
    EXPECT_TRUE(Fs::CopyFile(ProgramPath("gacutil"), tool, false));
  }
  std::string Cache() {
    std::string path = root / "NET Framework\\GlobalAssemblyCache.txt";
    return Fs::FileExists(path) ? ReadTextFile(path) : "";
  }
  void Install(bool silent) {
    TInstallContext install{host, net};
    InstallAssemblies(install, silent);
  }
  std::string Assemblies() { return host.EnvironmentFolder + "\\Assemblies"; }
};

TEST_F(AssemblyRegistrationTest, KnownAssembliesComparesWithRegardToCase) {
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\BDS\\2.0\\Known Assemblies]\r\n"
                "\"C:\\\\Older\\\\Velmora.Quivex.Vcl.Design.dll\"=\"Velmora.Quivex.Vcl.Design\"\r\n"
                "\"C:\\\\Old\\\\velmora.quivex.vcl.design.dll\"=\"kept\"\r\n"
                "\"C:\\\\Other.dll\"=\"Other\"\r\n");
  TInstallContext install{host, net};
  ASSERT_TRUE(OpenEnvironmentKey(install.InstallRegistry, net, "Known Assemblies"));
  RegisterDesignAssembly(install);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(net, "Known Assemblies")),
            (TValues{{"C:\\Old\\velmora.quivex.vcl.design.dll", "kept"},
                     {"C:\\Other.dll", "Other"},
                     {Assemblies() + "\\Velmora.Quivex.Vcl.Design.dll", "Velmora.Quivex.Vcl.Design"}}));
}

TEST_F(AssemblyRegistrationTest, TheBuildRunInstallsIntoTheCacheAndRecordsBothFolders) {
  SetGacCommand(Quoted(tool) + " \"%1\"");
  Install(true);
  std::string cache = Cache();
  EXPECT_NE(cache.find("Velmora.Quivex.Vcl=" + Assemblies() + "\\Velmora.Quivex.Vcl.dll"), std::string::npos)
      << cache;
  EXPECT_NE(cache.find("Velmora.Quivex.Vcl.Languages="), std::string::npos) << cache;
  EXPECT_EQ(cache.find("Design"), std::string::npos) << cache;
  EXPECT_EQ(Values(TRootKey::LocalMachine, FrameworkKey), (TValues{{"", Assemblies()}}));
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(net, "AssemblyFolders\\QuivexComponents")),
            (TValues{{"", Assemblies()}}));
}

TEST_F(AssemblyRegistrationTest, DecliningTheCacheOrLackingTheToolStillRecordsTheFolders) {
  SetGacCommand(Quoted(tool) + " \"%1\"");
  desktop.ExpectQuestion("Install Quivex assemblies to .Net Global Assembly Cache ?", false);
  Install(false);
  EXPECT_EQ(Cache(), "");
  EXPECT_EQ(Values(TRootKey::LocalMachine, FrameworkKey), (TValues{{"", Assemblies()}}));

  TRegistry(TRootKey::ClassesRoot).DeleteKey("\\Applications");
  TRegistry(TRootKey::LocalMachine).DeleteKey(FrameworkKey);
  desktop.ExpectMessage("Error: Cannot find .Net GACUTIL.EXE tool in current search path.");
  Install(true); // the build run is told too
  EXPECT_EQ(Values(TRootKey::LocalMachine, FrameworkKey), (TValues{{"", Assemblies()}}));
}

TEST_F(AssemblyRegistrationTest, AFailingCacheRunEndsTheStepBeforeTheFolders) {
  SetGacCommand(Quoted(tool) + " \"%1\"");
  Fs::DeleteFile(Assemblies() + "\\Velmora.Quivex.Vcl.dll");
  try {
    Install(true);
    ADD_FAILURE() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Compilation aborted.");
  }
  ASSERT_TRUE(BuildLog);
  EXPECT_EQ(
      std::count(BuildLog->begin(), BuildLog->end(), "Cannot install assembly to GAC: Velmora.Quivex.Vcl"),
      1);
  EXPECT_EQ(Cache().find("Languages"), std::string::npos);
  EXPECT_FALSE(Values(TRootKey::LocalMachine, FrameworkKey));
}

} // namespace
