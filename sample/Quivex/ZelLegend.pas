{**********************************************}
{   Quivex 7 -- chart legend                   }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelLegend;
{$I ZelDefs.inc}

interface

uses
  Classes, ZelCanvas, ZeEngine;

type
  TZelLegendAlignment = (laLeft, laRight, laTop, laBottom);

  TZelLegend = class(TPersistent)
  private
    FAlignment: TZelLegendAlignment;
    FVisible: Boolean;
  public
    constructor Create;
    procedure Draw(ACanvas: TZelCanvas; AEngine: TZelEngine; X, Y: Integer);
  published
    property Alignment: TZelLegendAlignment read FAlignment write FAlignment default laRight;
    property Visible: Boolean read FVisible write FVisible default True;
  end;

implementation

constructor TZelLegend.Create;
begin
  inherited Create;
  FAlignment := laRight;
  FVisible := True;
end;

procedure TZelLegend.Draw(ACanvas: TZelCanvas; AEngine: TZelEngine; X, Y: Integer);
var
  I: Integer;
begin
  if not FVisible then
    Exit;
  for I := 0 to AEngine.SeriesCount - 1 do
    ACanvas.TextOut(X, Y + 16 * I, AEngine.Series[I].Title);
end;

end.
