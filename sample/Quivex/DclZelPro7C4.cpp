//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("DclZelPro7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEPACKAGE("ZelUI7C4.bpi");
USEPACKAGE("ZelPro7C4.bpi");
USEPACKAGE("DclZel7C4.bpi");
USEUNIT("ZelProReg.pas");
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
