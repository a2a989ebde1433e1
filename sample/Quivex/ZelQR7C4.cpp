//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("ZelQR7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("qrpt40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEUNIT("ZelQRChart.pas");
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
