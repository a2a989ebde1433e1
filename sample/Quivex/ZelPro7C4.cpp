//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("ZelPro7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEPACKAGE("ZelUI7C4.bpi");
USEUNIT("ZelProSeries.pas");
USEUNIT("ZelStatistics.pas");
USEUNIT("ZelTools.pas");
USEUNIT("ZelNavigator.pas");
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
