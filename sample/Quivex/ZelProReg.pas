{**********************************************}
{   Quivex 7 Pro -- component registration     }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelProReg;
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
  ZelProSeries, ZelStatistics, ZelTools, ZelNavigator, ZelEditors;

{$R ZelProReg.dcr}

procedure Register;
begin
  RegisterComponents('Quivex Pro', [TZelCursorTool, TZelCommander, TZelPageNavigator]);
  RegisterNoIcon([TZelCandleSeries, TZelFunnelSeries, TZelSurfaceSeries]);
end;

end.
