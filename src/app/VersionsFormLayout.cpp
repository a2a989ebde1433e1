// The window's layout: every component's parent, caption, position at 96 dots per inch, tab order
// and defaults, scaled to the screen when the window is made.
#include "VersionsForm.h"

#include "framework/Application.h"

namespace {

struct TPlacement {
  TControl *Control;
  TWinControl *Parent;
  const char *Caption;
  int Left, Top, Width, Height;
  int TabOrder;
};

// The unit base names of the library, read by the source staging.
const char *const LibraryUnits[] = {
    "ZelConst",     "ZelProcs",      "ZelCanvas",      "ZeEngine",    "ZelAxis",      "ZelLegend",
    "ZelSeries",    "ZelFunctions",  "ZelChart",       "ZelPenDlg",   "ZelBrushDlg",  "ZelGallery",
    "ZelEditSeries", "ZelEditChart", "ZelDBChart",     "ZelDBCrossTab", "ZelProSeries", "ZelStatistics",
    "ZelTools",     "ZelNavigator",  "ZelGLCanvas",    "ZelGLEditor", "ZelImageExport", "ZelJPEG",
    "ZelPNG",       "ZelTranslate",  "ZelLanguages",   "QuivexReg",   "ZelEditors",   "ZelProReg",
    "ZelGLReg",     "ZelQRChart",    "ZelQRReg",
};

} // namespace

void TVersionsForm::CreateComponents() {
  SetCaption("Recompile Quivex source code");
  TPlacement placements[] = {
      {&Label1, this, "&Quivex source code:", 16, 13, 109, 13, -1},
      {&Edit1, this, "", 132, 10, 189, 21, 3},
      {&SpeedButton1, this, "...", 325, 9, 23, 22, -1},
      {&Label2, this, "Relative &Destination:", 28, 41, 98, 13, -1},
      {&Edit2, this, "Compiled", 131, 37, 190, 21, 4},
      {&CBMakeXFM, this, "Recreate all XFM files (for CLX)", 392, 5, 200, 17, 5},
      {&CBInstall, this, "&Install packages into IDEs (VCL versions)", 392, 26, 217, 17, 7},
      {&CBDCube, this, "Recompile Decision Cube packages", 392, 48, 265, 17, 8},
      {&PageControl1, this, "", 8, 72, 673, 297, 6},
      {&TabSheet1, &PageControl1, "Compile", 0, 0, 0, 0, -1},
      {&TabSheet2, &PageControl1, "Log", 0, 0, 0, 0, -1},
      {&GroupBox1, &TabSheet1, "Installed environments:", 0, 0, 0, 0, -1},
      // The log page's button and view take the focus as well: the button, then the view.
      {&Panel1, &TabSheet2, "", 0, 0, 0, 41, 0},
      {&Memo1, &TabSheet2, "", 0, 0, 0, 0, 1},
      {&Button4, &Panel1, "&View with Notepad", 8, 8, 161, 25, 0},
      {&Button3, this, "Unselect all", 8, 378, 75, 25, 2},
      {&Button2, this, "BEGIN", 240, 378, 225, 25, 1},
      {&Button1, this, "Close", 600, 378, 75, 25, 0},
      {&OriginalFiles, this, "", 152, 112, 201, 225, 9},
  };
  SetBounds(0, 0, ScaleToScreen(688), ScaleToScreen(407));
  for (const auto &p : placements) {
    p.Control->SetCaption(p.Caption);
    p.Control->TabOrder = p.TabOrder;
    p.Control->SetBounds(ScaleToScreen(p.Left), ScaleToScreen(p.Top), ScaleToScreen(p.Width),
                         ScaleToScreen(p.Height));
    p.Control->SetParent(p.Parent);
  }
  // The labels size to their text and keep their right edge at the field; the options widen when
  // the screen's font needs more room than the design gave them, so that nothing is clipped.
  for (TLabel *label : {&Label1, &Label2}) {
    label->Alignment = TAlignment::taRightJustify;
    label->AutoSize = true;
    label->AdjustBounds();
  }
  Label1.FocusControl = &Edit1;
  Label2.FocusControl = &Edit2;
  for (TCheckBox *option : {&CBMakeXFM, &CBInstall, &CBDCube})
    option->GrowToFitCaption();
  SpeedButton1.Flat = true;
  Button2.Font = TFontStyle{"MS Sans Serif", 11, true};
  CBMakeXFM.SetChecked(true);
  CBInstall.SetChecked(true);
  GroupBox1.Align = TAlign::alClient;
  Panel1.Align = TAlign::alTop;
  Memo1.Align = TAlign::alClient;
  Memo1.ScrollBars = true;
  Memo1.WordWrap = false;
  Button4.SetEnabled(false);
  OriginalFiles.WordWrap = false;
  OriginalFiles.SetVisible(false);
  OriginalFiles.SetLines(TStringList(std::begin(LibraryUnits), std::end(LibraryUnits)));
  PageControl1.Realign();
  TabSheet1.Realign();
  TabSheet2.Realign();

  Button1.OnClick = [this](TControl &sender) { Button1Click(sender); };
  Button3.OnClick = [this](TControl &sender) { Button3Click(sender); };
  Button2.OnClick = [this](TControl &sender) { Button2Click(sender); };
  Button4.OnClick = [this](TControl &sender) { Button4Click(sender); };
  SpeedButton1.OnClick = [this](TControl &sender) { SpeedButton1Click(sender); };
  Edit2.OnChange = [this](TControl &sender) { Edit2Change(sender); };
  GroupBox1.OnContextMenu = [this](TControl &target) { return RowMenuItems(target); };
}
