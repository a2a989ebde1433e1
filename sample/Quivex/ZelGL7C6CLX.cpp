//---------------------------------------------------------------------------

#include <basepch.h>
#pragma hdrstop
USEFORMNS("ZelGLEditor.pas", Zelgleditor, ZelGLEditorForm);
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
