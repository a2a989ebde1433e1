{**********************************************}
{   Quivex 7 Pro -- page navigator             }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelNavigator;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QControls, QExtCtrls, QButtons,
  {$ELSE}
  Controls, ExtCtrls, Buttons,
  {$ENDIF}
  Classes, ZelChart, ZelTools;

type
  TZelPageNavigator = class(TCustomPanel)
  private
    FChart: TZelCustomChart;
    FPage: Integer;
  public
    procedure Next;
    procedure Previous;
    property Page: Integer read FPage;
  published
    property Align;
    property Chart: TZelCustomChart read FChart write FChart;
  end;

implementation

{$IFNDEF ZEL_NET}
{$R ZelNavig.res}
{$ENDIF}

procedure TZelPageNavigator.Next;
begin
  Inc(FPage);
  if Assigned(FChart) then
    FChart.Invalidate;
end;

procedure TZelPageNavigator.Previous;
begin
  if FPage > 0 then
    Dec(FPage);
  if Assigned(FChart) then
    FChart.Invalidate;
end;

end.
