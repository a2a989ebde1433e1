//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("Zel7C4.res");
USEPACKAGE("vcl40.bpi");
USEUNIT("ZelConst.pas");
USEUNIT("ZelProcs.pas");
USEUNIT("ZelCanvas.pas");
USEUNIT("ZeEngine.pas");
USEUNIT("ZelAxis.pas");
USEUNIT("ZelLegend.pas");
USEUNIT("ZelSeries.pas");
USEUNIT("ZelFunctions.pas");
USEUNIT("ZelChart.pas");
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
