// The environment's help files and the Windows help registrations, merged twice.
#include "ideintegration/HelpIntegration.h"
#include "InstallFixture.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"

namespace {

class HelpIntegrationTest : public InstallFixture {
protected:
  std::string Docs() { return host.DestinationBase + "\\Docs"; }
  std::string Help(const std::string &name) { return Environments[0].RootDir + "\\Help\\" + name; }
  const char *const HelpKey = "\\Software\\Microsoft\\Windows\\Help";
};

TEST_F(HelpIntegrationTest, MergingTwiceLeavesOneLineOfEachAtTheEndAndRegistersTheFilesThatExist) {
  int d7 = AddRow("Delphi 7", true, false, "CSS", 7);
  for (const char *name : {"Quivex7.hlp", "Quivex7.cnt", "ZelUser7.hlp", "Quivex7Guide.hlp"})
    WriteTextFile(Docs() + "\\" + name, "help");
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n"
                "\"other.hlp\"=\"C:\\\\Other\"\r\n");
  WriteTextFile(Help("D7.cnt"), ":Base D7.hlp\r\n:Include quivex5.ohc\r\n\r\n:Index Quivex=quivex.hlp\r\n"
                                ":Include vcl.ohc\r\n   \r\n");
  WriteTextFile(Help("D7.ohi"), ":Index Delphi=d7.hlp\n:Index Quivex=Quivex6.hlp\n"
                                ":Index Quivex Pro v6 User Guide=Quivex6Guide.hlp");
  WriteTextFile(Help("D7.ohl"), ":LINK d7.hlp\r\n\r\n:LINK QUIVEX4.HLP\r\n");
  for (int run = 0; run < 2; ++run) {
    MergeIdeHelp(host, d7);
    RegisterLibraryHelpFiles(host);
    EXPECT_EQ(ReadTextFile(Help("D7.cnt")),
              ":Base D7.hlp\r\n:Include vcl.ohc\r\n:Include Quivex7.ohc\r\n:Index Quivex=Quivex7.hlp\r\n");
    EXPECT_EQ(ReadTextFile(Help("D7.ohi")), ":Index Delphi=d7.hlp\r\n:Index Quivex=Quivex7.hlp\r\n"
                                            ":Index Quivex Pro v7 User Guide=Quivex7Guide.hlp\r\n");
    EXPECT_EQ(ReadTextFile(Help("D7.ohl")),
              ":LINK d7.hlp\r\n:LINK Quivex7.hlp\r\n:LINK Quivex7Guide.hlp\r\n");
    EXPECT_EQ(Values(TRootKey::LocalMachine, HelpKey), (TValues{{"other.hlp", "C:\\Other"},
                                                                {"Quivex7.hlp", Docs()},
                                                                {"Quivex7.cnt", Docs()},
                                                                {"ZelUser7.hlp", Docs()},
                                                                {"Quivex7Guide.hlp", Docs()}}));
  }
}

TEST_F(HelpIntegrationTest, MissingFilesAndKeysAreSkippedAndAnUnwritableFileEndsTheMerge) {
  int d5 = AddRow("Delphi 5", true, false, "PRO", 5);
  WriteTextFile(Docs() + "\\ZelUser7.hlp", "help");
  MergeIdeHelp(host, d5); // no help files of the environment, no help key: nothing to do
  RegisterLibraryHelpFiles(host);
  EXPECT_FALSE(Values(TRootKey::LocalMachine, HelpKey));
  EXPECT_FALSE(Fs::FileExists(Help("Delphi5.cnt")));

  WriteTextFile(Help("Delphi5.ohl"), ":LINK quivex5.hlp\r\n");
  ASSERT_TRUE(Fs::SetReadOnly(Help("Delphi5.ohl"), true));
  try {
    MergeIdeHelp(host, d5);
    ADD_FAILURE() << "no error";
  } catch (const EFileError &error) {
    EXPECT_EQ(error.Message().rfind("Cannot create file \"" + Help("Delphi5.ohl") + "\". ", 0), 0u)
        << error.Message();
  }
  Fs::SetReadOnly(Help("Delphi5.ohl"), false);
  EXPECT_EQ(ReadTextFile(Help("Delphi5.ohl")), ":LINK quivex5.hlp\r\n"); // whole, as it was
}

} // namespace
