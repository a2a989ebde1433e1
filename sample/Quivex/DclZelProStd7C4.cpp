//---------------------------------------------------------------------------

#include <vcl.h>
#pragma hdrstop
USERES("DclZelProStd7C4.res");
USEPACKAGE("vcl40.bpi");
USEPACKAGE("Zel7C4.bpi");
USEPACKAGE("ZelUI7C4.bpi");
USEPACKAGE("ZelPro7C4.bpi");
USEPACKAGE("DclZelStd7C4.bpi");
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
