{**********************************************}
{   Quivex 7 -- QuickReport registration       }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelQRReg;
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
  ZelQRChart;

{$R ZelQRReg.dcr}

procedure Register;
begin
  RegisterComponents('QReport', [TZelQRChart]);
end;

end.
