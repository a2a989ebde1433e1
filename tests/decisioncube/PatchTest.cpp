#include "CubeHost.h"
#include "TestSupport.h"
#include "decisioncube/DecisionCubeSources.h"
#include "framework/Exception.h"
#include "framework/Files.h"

#include <gtest/gtest.h>

namespace {

class PatchTest : public ::testing::Test {
protected:
  TTempFolder root;
  TCubeHost host;

  PatchTest() {
    ResetEnvironments();
    host.DecisionCubeFolder = root / "source\\Decision Cube";
    Fs::ForceFolders(host.DecisionCubeFolder);
  }
  ~PatchTest() override { ResetEnvironments(); }

  std::string PathOf(const std::string &name) const { return host.DecisionCubeFolder + "\\" + name; }
  void Write(const std::string &name, const TStringList &lines) const { SaveLines(PathOf(name), lines); }
  TStringList Lines(const std::string &name) const { return LoadLines(PathOf(name)); }
  // The two units with nothing to patch, so that a test of the package projects reaches them.
  void WriteUnits() const {
    Write("MXReg.pas", {"unit MXReg;", "uses Classes;"});
    Write("MXGraph.pas", {"unit MXGraph;", "    property View3D;", "    property View3DOptions;"});
  }
};

struct TNamesCase {
  int Version;
  bool IsDelphi;
  const char *DesignSource, *RuntimeSource, *SymbolFile, *RuntimeLibrary, *DesignLibrary, *Suffix;
};

TEST_F(PatchTest, FileNamesAndPackageSuffixByVersion) {
  const TNamesCase cases[] = {
      {7, true, "dcldss.dpk", "dss.dpk", "dss.dcp", "dss70.bpl", "dcldss70.bpl", "7"},
      {6, true, "dcldss.dpk", "dss.dpk", "dss.dcp", "dss60.bpl", "dcldss60.bpl", "6"},
      {5, true, "dcldss50.dpk", "dss50.dpk", "dss50.dcp", "dss50.bpl", "dcldss50.bpl", "5"},
      {6, false, "dcldss.dpk", "dss.dpk", "dss.dcp", "dss60.bpl", "dcldss60.bpl", "C6"},
      {5, false, "dcldss50.dpk", "dss50.dpk", "dss50.dcp", "dss50.bpl", "dcldss50.bpl", "C5"},
      {9, true, "dcldss.dpk", "dss.dpk", "dss.dcp", "dss90.bpl", "dcldss90.bpl", "5"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.Version) + (c.IsDelphi ? " Delphi" : " C++Builder"));
    SetRow(0, root.Path(), c.IsDelphi, false, false, "CSS", c.Version);
    EXPECT_EQ(DesignPackageSource(c.Version), c.DesignSource);
    EXPECT_EQ(RuntimePackageSource(c.Version), c.RuntimeSource);
    EXPECT_EQ(RuntimePackageSymbolFile(c.Version), c.SymbolFile);
    EXPECT_EQ(RuntimePackageLibrary(c.Version), c.RuntimeLibrary);
    EXPECT_EQ(DesignPackageLibrary(c.Version), c.DesignLibrary);
    EXPECT_EQ(DecisionCubePackageSuffix(0), c.Suffix);
  }
}

struct TProjectCase {
  const char *Name;
  int Version;
  bool IsDelphi;
  TStringList Design, PatchedDesign, Runtime, PatchedRuntime; // no runtime file: not read
};

TEST_F(PatchTest, PackageProjectsRequireTheNewLibraryPackages) {
  const TProjectCase cases[] = {
      {"Delphi 7 with dclbde: every dclzel line, in any case",
       7,
       true,
       {"requires", "  rtl,", "  dclbde,", "  DclZel70,", "  vcl, dclZEL70 {old}", "  designide;"},
       {"requires", "  rtl,", "  dclbde,", "  dclzel77,", "  dclzel77,", "  designide;"},
       {"package dss;", "requires", "  rtl,", "  Zel70;", "  ZelDB70;"},
       {"package dss;", "requires", "  rtl,", "  zel77;", "  ZelDB70;"}},
      {"Delphi 7 without dclbde: inserted above the first replaced line, the rest left",
       7,
       true,
       {"requires", "  rtl,", "  DclZel70,", "  DclZelPro70,", "  designide;"},
       {"requires", "  rtl,", "  dclbde,", "  dclzel77,", "  DclZelPro70,", "  designide;"},
       {"requires", "  Zel70;"},
       {"requires", "  zel77;"}},
      {"Delphi 6 without dclbde",
       6,
       true,
       {"requires", "  DclZel60,", "  designide;"},
       {"requires", "  dclbde,", "  dclzel76,", "  designide;"},
       {"requires", "  vcl,", "  zel60;"},
       {"requires", "  vcl,", "  zel76;"}},
      {"C++Builder 6 with dclbde",
       6,
       false,
       {"requires", "  dclbde,", "  DclZel60,", "  designide;"},
       {"requires", "  dclbde,", "  dclzel7C6,", "  designide;"},
       {"requires", "  Zel60;"},
       {"requires", "  zel7C6;"}},
      {"Delphi 5: only the entry that ends the list",
       5,
       true,
       {"requires", "  vcl50,", "  DclZel50Ext,", "  dss50,", "  DclZel50;"},
       {"requires", "  vcl50,", "  DclZel50Ext,", "  dss50,", "  dclzel75;"},
       {"requires", "  vcl50,", "  ZelDB50,", "  Zel55;"},
       {"requires", "  vcl50,", "  ZelDB50,", "  zel75;"}},
      {"a later version: the runtime package is not read", 9, true, {"  dclzel65;"}, {"  dclzel75;"}, {}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    SetRow(0, root.Path(), c.IsDelphi, false, false, "CSS", c.Version);
    WriteUnits();
    const std::string design = DesignPackageSource(c.Version), runtime = RuntimePackageSource(c.Version);
    Write(design, c.Design);
    Fs::DeleteFile(PathOf(runtime));
    if (!c.Runtime.empty())
      Write(runtime, c.Runtime);
    PatchDecisionCubeSources(host, 0);
    EXPECT_EQ(Lines(design), c.PatchedDesign);
    if (!c.Runtime.empty()) {
      EXPECT_EQ(Lines(runtime), c.PatchedRuntime);
    }
    Fs::DeleteFile(PathOf(design));
  }
}

// The sample's Delphi 7 sources, patched twice: the second pass finds everything done.
TEST_F(PatchTest, PatchingTwiceChangesNothingAndKeepsTheFirstBackups) {
  CopyTree(SourcePath("sample\\Environments\\Borland\\Delphi7\\source\\Decision Cube"),
           host.DecisionCubeFolder);
  SetRow(0, root.Path(), true, false, false, "CSS", 7);
  const std::string registration = ReadTextFile(PathOf("MXReg.pas")),
                    design = ReadTextFile(PathOf("dcldss.dpk"));
  BackupDecisionCubeSources(host, 0);
  PatchDecisionCubeSources(host, 0);

  const std::vector<std::string> files = ListTree(host.DecisionCubeFolder);
  EXPECT_EQ(ReadTextFile(PathOf("BackupOf_MXReg.pas")), registration);
  EXPECT_EQ(ReadTextFile(PathOf("BackupOf_dcldss.dpk")), design);
  EXPECT_FALSE(Fs::FileExists(PathOf("BackupOf_MXGraph.pas")));
  EXPECT_FALSE(Fs::FileExists(PathOf("BackupOf_dss.dpk")));
  EXPECT_NE(ReadTextFile(PathOf("MXReg.pas")).find("  MXGraph, QuivexReg;\r\n"), std::string::npos);
  EXPECT_NE(ReadTextFile(PathOf("dcldss.dpk")).find("  dss,\r\n  dclbde,\r\n  dclzel77,\r\n  designide;"),
            std::string::npos);
  EXPECT_NE(ReadTextFile(PathOf("dss.dpk")).find("  vcldb,\r\n  zel77;\r\n"), std::string::npos);
  std::vector<std::string> first;
  for (const auto &file : files)
    first.push_back(ReadTextFile(host.DecisionCubeFolder + "\\" + file));

  BackupDecisionCubeSources(host, 0);
  PatchDecisionCubeSources(host, 0);
  EXPECT_EQ(ListTree(host.DecisionCubeFolder), files);
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(ReadTextFile(host.DecisionCubeFolder + "\\" + files[i]), first[i]) << files[i];
}

TEST_F(PatchTest, ChartUnitGetsTheLibraryPropertiesAfterView3DOnce) {
  const TStringList properties = {"    property View3DOptions;",
                                  "    property BackImageTransp;",
                                  "    property BackWall;",
                                  "    property BorderRound;",
                                  "    property Border;",
                                  "    property MarginUnits;",
                                  "    property PrintProportional;",
                                  "    property RightWall;",
                                  "    property ScrollMouseButton;",
                                  "    property SubFoot;",
                                  "    property SubTitle;",
                                  "    property OnClickTitle;",
                                  "    property AxisBehind;",
                                  "    property DepthAxis;",
                                  "    property CustomAxes;",
                                  "    property Zoom;",
                                  "    property Shadow;"};
  // A View3D line that ends the file has no line after it and is not patched yet.
  TStringList lines = {"  published", "    property View3DWalls;", "    PROPERTY view3d;"};
  ASSERT_TRUE(PatchChartUnit(lines));
  TStringList expected = {"  published", "    property View3DWalls;", "    PROPERTY view3d;"};
  expected.insert(expected.end(), properties.begin(), properties.end());
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(PatchChartUnit(lines));
  EXPECT_EQ(lines, expected);

  // A class patched before and a second one that is not: the second gets the lines.
  TStringList two = {"    property View3D;", "    property View3DOptions;", "  end;", "    property View3D;",
                     "  end;"};
  ASSERT_TRUE(PatchChartUnit(two));
  ASSERT_EQ(two.size(), 22u);
  EXPECT_EQ(two[4], "    property View3DOptions;");
  EXPECT_EQ(two[20], "    property Shadow;");
  EXPECT_EQ(two[21], "  end;");
}

TEST_F(PatchTest, RegistrationLineKeepsItsWholeRest) {
  const std::string tail = ", " + std::string(400, 'X') + ";";
  TStringList lines = {"uses", "  QuivexReg, OldChartReg,", "  Classes, chartreg" + tail, "  ChartReg;"};
  ASSERT_TRUE(PatchRegistrationUnit(lines));
  // The line naming both is passed over; only the first other line changes.
  EXPECT_EQ(lines,
            (TStringList{"uses", "  QuivexReg, OldChartReg,", "  Classes, QuivexReg" + tail, "  ChartReg;"}));
  ASSERT_TRUE(PatchRegistrationUnit(lines));
  EXPECT_EQ(lines[3], "  QuivexReg;");
  EXPECT_FALSE(PatchRegistrationUnit(lines));
}

TEST_F(PatchTest, AFailureStopsTheEditsThatFollow) {
  SetRow(0, root.Path(), true, false, false, "CSS", 7);
  Write("dcldss.dpk", {"requires", "  DclZel70,", "  designide;"});
  Write("dss.dpk", {"requires", "  Zel70;"});
  try {
    BackupDecisionCubeSources(host, 0);
    ADD_FAILURE() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Error copying file: MXReg.pas");
  }
  EXPECT_FALSE(Fs::FileExists(PathOf("BackupOf_dcldss.dpk")));

  Write("MXReg.pas", {"uses ChartReg;"});
  EXPECT_THROW(PatchDecisionCubeSources(host, 0), EFileError); // no chart unit
  EXPECT_EQ(Lines("MXReg.pas"), TStringList{"uses QuivexReg;"});
  EXPECT_EQ(Lines("dcldss.dpk"), (TStringList{"requires", "  DclZel70,", "  designide;"}));
  EXPECT_EQ(Lines("dss.dpk"), (TStringList{"requires", "  Zel70;"}));
}

} // namespace
