{**********************************************}
{   Quivex 7 -- OpenGL registration            }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelGLReg;
{$I ZelDefs.inc}

interface

procedure Register;

implementation

uses
  Classes,
  {$IFDEF ZEL_D6UP}
  DesignIntf,
  {$ELSE}
  DsgnIntf,
  {$ENDIF}
  ZelGLCanvas, ZelGLEditor;

{$R ZelGLReg.dcr}

type
  TZelGLCanvasComponent = class(TComponent);

procedure Register;
begin
  RegisterComponents('Quivex', [TZelGLCanvasComponent]);
end;

end.
