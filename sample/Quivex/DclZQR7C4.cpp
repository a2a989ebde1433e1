//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("DclZQR7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("qrpt40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEPACKAGE("ZelQR7C4.bpi");
USEUNIT("ZelQRReg.pas");
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
