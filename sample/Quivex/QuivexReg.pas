{**********************************************}
{   Quivex 7 -- component registration         }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit QuivexReg;
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
  ZeEngine, ZelSeries, ZelFunctions, ZelChart, ZelEditors
  {$IFNDEF ZEL_NODB}, ZelDBChart, ZelDBCrossTab{$ENDIF};

{$IFNDEF ZEL_NET}
{$R QuivexReg.dcr}
{$ENDIF}

procedure Register;
begin
  RegisterComponents('Quivex', [TZelChart]);
  {$IFNDEF ZEL_NODB}
  RegisterComponents('Quivex', [TZelDBChart, TZelDBCrossTab]);
  {$ENDIF}
  RegisterNoIcon([TZelLineSeries, TZelBarSeries, TZelPieSeries]);
  RegisterComponentEditor(TZelChart, TZelChartComponentEditor);
end;

end.
