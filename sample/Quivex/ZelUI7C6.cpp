//---------------------------------------------------------------------------

#include <basepch.h>
#pragma hdrstop
USEFORMNS("ZelPenDlg.pas", Zelpendlg, ZelPenEditor);
USEFORMNS("ZelBrushDlg.pas", Zelbrushdlg, ZelBrushEditor);
USEFORMNS("ZelGallery.pas", Zelgallery, ZelGalleryForm);
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
