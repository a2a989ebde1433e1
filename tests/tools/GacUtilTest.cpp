// The stand-in global assembly cache tool, run as the install step runs it.
#include "PeImage.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

namespace {

class GacUtilTest : public ::testing::Test {
protected:
  GacUtilTest() : framework_(temp_ / "Microsoft.NET\\Framework\\v1.1.4322", {"gacutil"}, {}) {
    WriteTextFile(Assembly("Velmora.Quivex.Vcl"), StandIn::BuildPeImage(StandIn::TImageKind::Dll, {}));
    WriteTextFile(Assembly("Velmora.Quivex.Vcl.Languages"),
                  StandIn::BuildPeImage(StandIn::TImageKind::Dll, {}));
  }

  std::string Assembly(const std::string &name) const {
    return temp_ / ("Out\\Delphi8\\Assemblies\\" + name + ".dll");
  }
  std::string Cache() const { return framework_.Bin() + "\\GlobalAssemblyCache.txt"; }
  // The tool text found in the registry ends with a blank; the install step adds " /i ".
  TToolRun Gac(const std::string &arguments) {
    return RunTool(Quoted(framework_.Tool("gacutil")) + "  " + arguments, temp_.Path());
  }

  TTempFolder temp_;
  TSimulatedEnvironment framework_;
};

TEST_F(GacUtilTest, InstallRecordsTheAssemblyBesideTheTool) {
  TToolRun run = Gac("/i " + Quoted(Assembly("Velmora.Quivex.Vcl")));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Microsoft (R) .NET Global Assembly Cache Utility."), std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("\nAssembly successfully added to the cache\n"), std::string::npos) << run.Output;
  ASSERT_EQ(Gac("/i " + Quoted(Assembly("Velmora.Quivex.Vcl.Languages"))).ExitCode, 0);
  // Installing again replaces the record instead of adding a second one.
  ASSERT_EQ(Gac("/i " + Quoted(Assembly("Velmora.Quivex.Vcl"))).ExitCode, 0);
  EXPECT_EQ(ReadTextFile(Cache()),
            "Velmora.Quivex.Vcl.Languages=" + Assembly("Velmora.Quivex.Vcl.Languages") +
                "\r\nVelmora.Quivex.Vcl=" + Assembly("Velmora.Quivex.Vcl") + "\r\n");
}

TEST_F(GacUtilTest, ListAndUninstall) {
  ASSERT_EQ(Gac("/i " + Quoted(Assembly("Velmora.Quivex.Vcl"))).ExitCode, 0);
  TToolRun run = Gac("/l");
  EXPECT_NE(run.Output.find("        Velmora.Quivex.Vcl\n\nNumber of items = 1"), std::string::npos)
      << run.Output;
  run = Gac("/nologo /u velmora.quivex.vcl");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output.find("Microsoft (R)"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Number of assemblies uninstalled = 1"), std::string::npos) << run.Output;
  EXPECT_EQ(ReadTextFile(Cache()), "");
}

TEST_F(GacUtilTest, AMissingAssemblyFails) {
  TToolRun run = Gac("/i " + Quoted(Assembly("Velmora.Quivex.Vcl.Design")));
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(
      run.Output.find("Failure adding assembly to the cache: The system cannot find the file specified."),
      std::string::npos)
      << run.Output;
  EXPECT_FALSE(FileExists(Cache()));
}

TEST_F(GacUtilTest, AFileThatIsNoAssemblyFails) {
  WriteTextFile(Assembly("Notes"), "just text");
  TToolRun run = Gac("/i " + Quoted(Assembly("Notes")));
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("The module was expected to contain an assembly manifest."), std::string::npos)
      << run.Output;
}

TEST_F(GacUtilTest, WithoutACommandItShowsItsUsage) {
  TToolRun run = Gac("");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Usage: Gacutil <command>"), std::string::npos) << run.Output;
}

} // namespace
