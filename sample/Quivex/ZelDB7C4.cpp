//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("ZelDB7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("vcldb40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEUNIT("ZelDBChart.pas");
USEUNIT("ZelDBCrossTab.pas");
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
