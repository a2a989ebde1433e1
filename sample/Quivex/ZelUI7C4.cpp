//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("ZelUI7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEFORMNS("ZelPenDlg.pas", Zelpendlg, ZelPenEditor);
USEFORMNS("ZelBrushDlg.pas", Zelbrushdlg, ZelBrushEditor);
USEFORMNS("ZelGallery.pas", Zelgallery, ZelGalleryForm);
USEUNIT("ZelEditSeries.pas");
USEFORMNS("ZelEditChart.pas", Zeleditchart, ZelChartEditor);
//---------------------------------------------------------------------------
#pragma package(smart_init)
//---------------------------------------------------------------------------

//   Package source.
//---------------------------------------------------------------------------

#pragma argsused
int WINAPI DllEntryPoint(HINSTANCE hinst, unsigned long reason, void*)
{
        return 1;
}
//---------------------------------------------------------------------------
