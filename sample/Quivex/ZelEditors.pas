{**********************************************}
{   Quivex 7 -- design-time editors            }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelEditors;
{$I ZelDefs.inc}

interface

uses
  Classes,
  {$IFDEF ZEL_D6UP}
  DesignIntf, DesignEditors,
  {$ELSE}
  DsgnIntf,
  {$ENDIF}
  ZelChart, ZelEditChart {$IFNDEF ZELNOSERIESDESIGN}, ZelEditSeries{$ENDIF};

type
  TZelChartComponentEditor = class(TComponentEditor)
  public
    procedure ExecuteVerb(Index: Integer); override;
    function GetVerb(Index: Integer): string; override;
    function GetVerbCount: Integer; override;
  end;

implementation

procedure TZelChartComponentEditor.ExecuteVerb(Index: Integer);
begin
  if Index = 0 then
    EditZelChart(nil, TZelCustomChart(Component));
end;

function TZelChartComponentEditor.GetVerb(Index: Integer): string;
begin
  Result := '&Edit Chart...';
end;

function TZelChartComponentEditor.GetVerbCount: Integer;
begin
  Result := 1;
end;

end.
