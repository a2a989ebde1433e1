{**********************************************}
{   Quivex 7 Pro -- chart tools                }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelTools;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics, QControls,
  {$ELSE}
  Graphics, Controls,
  {$ENDIF}
  Classes, ZelCanvas, ZeEngine, ZelChart, ZelEditChart;

type
  TZelChartTool = class(TComponent)
  private
    FChart: TZelCustomChart;
    FActive: Boolean;
  public
    constructor Create(AOwner: TComponent); override;
    procedure MouseEvent(X, Y: Integer); virtual;
  published
    property Active: Boolean read FActive write FActive default True;
    property Chart: TZelCustomChart read FChart write FChart;
  end;

  TZelCursorTool = class(TZelChartTool)
  public
    procedure MouseEvent(X, Y: Integer); override;
  end;

  TZelCommander = class(TZelChartTool)
  public
    procedure EditChart;
  end;

implementation

{$IFNDEF ZEL_NET}
{$R ZelTools.res}
{$R ZelComma.res}
{$ENDIF}

constructor TZelChartTool.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FActive := True;
end;

procedure TZelChartTool.MouseEvent(X, Y: Integer);
begin
end;

procedure TZelCursorTool.MouseEvent(X, Y: Integer);
begin
  if Active and Assigned(Chart) then
    Chart.Invalidate;
end;

procedure TZelCommander.EditChart;
begin
  if Assigned(Chart) then
    EditZelChart(Self, Chart);
end;

end.
