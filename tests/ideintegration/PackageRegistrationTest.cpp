// "Known Packages" before and after: the new design packages in, every other entry of them out,
// older versions and the environment's own chart packages moved to "Disabled Packages".
#include "ideintegration/PackageRegistration.h"
#include "InstallFixture.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"
#include "framework/WinApi.h"
#include "session/BuildLog.h"

#include <algorithm>

namespace {

class PackageRegistrationTest : public InstallFixture {
protected:
  void Register(int index) {
    TInstallContext install{host, index};
    ASSERT_TRUE(OpenEnvironmentKey(install.InstallRegistry, index, "Known Packages"));
    RegisterDesignPackages(install);
  }
  std::string Bin(const std::string &name) { return host.EnvironmentFolder + "\\Bin\\" + name; }
  std::string System(const std::string &name) { return host.EnvironmentFolder + "\\System\\" + name; }
  void MakeOpenGLAvailable() {
#ifndef _WIN32 // the prefix's system folder has its own OpenGL32.dll
    WriteTextFile(systemFolder + "\\OpenGL32.dll", "MZ");
#endif
  }
};

TEST_F(PackageRegistrationTest, OlderVersionsAndOwnChartPackagesMoveToDisabledPackages) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  MakeOpenGLAvailable();
  ImportRegText("REGEDIT4\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n"
                "\"C:\\\\Elsewhere\\\\dclzel77.bpl\"=\"a copy in another folder\"\r\n"
                "\"C:\\\\Old\\\\DCLZEL57.BPL\"=\"Quivex 5 Components\"\r\n"
                "\"$(DELPHI)\\\\Bin\\\\dclzel70.bpl\"=\"Quivex Standard\"\r\n"
                "\"C:\\\\Old\\\\DclZelPro67.bpl\"=\"Quivex 6 Pro Components\"\r\n"
                "\"C:\\\\Old\\\\dclzqr47.bpl\"=\"Quivex 4 for QuickReport\"\r\n"
                "\"$(DELPHI)\\\\Bin\\\\dclusr70.bpl\"=\"Borland User Components\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Disabled Packages]\r\n"
                "\"$(DELPHI)\\\\Bin\\\\dclado70.bpl\"=\"Borland ADO DB Components\"\r\n");
  Register(d7);

  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages")),
            (TValues{{"$(DELPHI)\\Bin\\dclusr70.bpl", "Borland User Components"},
                     {Bin("DclZel77.bpl"), "Quivex 7 DclZel"},
                     {Bin("DclZelPro77.bpl"), "Quivex 7 DclZelPro"},
                     {Bin("DclZGL77.bpl"), "Quivex 7 DclZGL"},
                     {Bin("DclZQR77.bpl"), "Quivex 7 DclZQR"},
                     {System("ZelImage77.bpl"), "Quivex 7 ZelImage"}}));
  // The record carries what the IDE itself writes for an unticked package: its path and description.
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Disabled Packages")),
            (TValues{{"$(DELPHI)\\Bin\\dclado70.bpl", "Borland ADO DB Components"},
                     {"C:\\Old\\DCLZEL57.BPL", "Quivex 5 Components"},
                     {"$(DELPHI)\\Bin\\dclzel70.bpl", "Quivex Standard"},
                     {"C:\\Old\\DclZelPro67.bpl", "Quivex 6 Pro Components"},
                     {"C:\\Old\\dclzqr47.bpl", "Quivex 4 for QuickReport"}}));

  // A second install finds only its own entries and replaces them.
  Register(d7);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages"))->size(), 6u);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Disabled Packages"))->size(), 5u);
}

TEST_F(PackageRegistrationTest, WithoutDisabledPackagesTheOldEntriesJustGo) {
  int cb6 = AddRow("C++Builder 6", false, false, "PRO", 6);
  BuildTree(cb6);
  ImportRegText("REGEDIT4\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Known Packages]\r\n"
                "\"C:\\\\Old\\\\DclZel6C6.bpl\"=\"Quivex 6\"\r\n"
                "\"$(BCB)\\\\Bin\\\\DCLZEL60.BPL\"=\"Quivex Standard\"\r\n");
  Register(cb6);
  auto known = *Values(TRootKey::CurrentUser, Key(cb6, "Known Packages"));
  EXPECT_EQ(known.count(Bin("DclZel7C6.bpl")), 1u);
  EXPECT_EQ(known.count(System("ZelImage7C6.bpl")), 1u);
  for (const auto &[name, data] : known)
    EXPECT_EQ(name.find("C:\\Old"), std::string::npos) << name;
  EXPECT_EQ(known.count("$(BCB)\\Bin\\DCLZEL60.BPL"), 0u);
  EXPECT_FALSE(Values(TRootKey::CurrentUser, Key(cb6, "Disabled Packages")));
}

TEST_F(PackageRegistrationTest, EditionsAndStandardBuildsRegisterTheirOwnPackages) {
  int d6 = AddRow("Delphi 6 Standard", true, false, "STD", 6), d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  MakeOpenGLAvailable();
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\6.0\\Known Packages]\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n");
  BuildTree(d6);
  Register(d6);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d6, "Known Packages")),
            (TValues{{Bin("DclZelStd76.bpl"), "Quivex 7 DclZelStd"},
                     {Bin("DclZelProStd76.bpl"), "Quivex 7 DclZelProStd"},
                     {Bin("DclZGL76.bpl"), "Quivex 7 DclZGL"},
                     {System("ZelImage76.bpl"), "Quivex 7 ZelImage"}}));

  host.StandardBuild = true;
  BuildTree(d7);
  Register(d7);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages")),
            (TValues{{Bin("DclZel77.bpl"), "Quivex 7 DclZel"}, {Bin("DclZQR77.bpl"), "Quivex 7 DclZQR"}}));
}

#ifndef _WIN32
// Natively the system folder is the test's own; the prefix's always has OpenGL.
TEST_F(PackageRegistrationTest, OpenGLPackageNeedsOpenGLInTheSystemFolder) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n");
  Register(d7);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages"))->count(Bin("DclZGL77.bpl")), 0u);
  WriteTextFile(systemFolder + "\\opengl.DLL", "MZ");
  Register(d7);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages"))->count(Bin("DclZGL77.bpl")), 1u);
}
#endif

#ifdef _WIN32
// A package entry whose name the ANSI code page cannot hold is left alone and named in the log,
// instead of failing every install on a name that was read as "?".
TEST_F(PackageRegistrationTest, AnEntryNamedOutsideTheCodePageIsSkippedWithALogLine) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  BuildTree(d7);
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n");
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Borland\\Delphi\\7.0\\Known Packages", 0,
                            KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const std::wstring name = L"C:\\\u0416\u4E2D\\DclZel77.bpl";
  const wchar_t data[] = L"Quivex 7 in a folder named outside the code page";
  ASSERT_EQ(::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data), sizeof data),
            ERROR_SUCCESS);
  Register(d7);
  EXPECT_EQ(::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  ::RegCloseKey(key);
  EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages"))->count(Bin("DclZel77.bpl")), 1u);
  ASSERT_TRUE(BuildLog);
  EXPECT_EQ(std::count_if(BuildLog->begin(), BuildLog->end(),
                          [](const std::string &line) {
                            return line.rfind(
                                       "Skipped a package entry whose name this program cannot read: C:\\",
                                       0) == 0;
                          }),
            1);
}
#endif

// A new package that is missing or damaged ends the registration before any entry changes: the IDE
// keeps loading the packages it had.
TEST_F(PackageRegistrationTest, AMissingOrDamagedPackageLeavesTheOldRegistrationsInPlace) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  const std::string before =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n"
      "\"C:\\\\Old\\\\DclZel77.bpl\"=\"Quivex 7 Components\"\r\n"
      "\"C:\\\\Old\\\\DclZelPro77.bpl\"=\"Quivex 7 Pro Components\"\r\n"
      "\"C:\\\\Old\\\\DclZel67.bpl\"=\"Quivex 6 Components\"\r\n";
  const TValues old{{"C:\\Old\\DclZel77.bpl", "Quivex 7 Components"},
                    {"C:\\Old\\DclZelPro77.bpl", "Quivex 7 Pro Components"},
                    {"C:\\Old\\DclZel67.bpl", "Quivex 6 Components"}};
  for (const char *damaged : {"DclZel77.bpl", "DclZelPro77.bpl"})
    for (bool missing : {true, false}) {
      SCOPED_TRACE(std::string(damaged) + (missing ? " missing" : " damaged"));
      BuildTree(d7);
      if (missing)
        Fs::DeleteFile(Bin(damaged));
      else
        WriteTextFile(Bin(damaged), "not a package");
      ImportRegText(before);
      try {
        Register(d7);
        ADD_FAILURE() << "no error";
      } catch (const Exception &error) {
        EXPECT_EQ(error.Message().rfind("Can't load package " + Bin(damaged) + ".\r\n", 0), 0u)
            << error.Message();
      }
      EXPECT_EQ(Values(TRootKey::CurrentUser, Key(d7, "Known Packages")), old);
    }
}

} // namespace
