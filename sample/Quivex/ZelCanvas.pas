{**********************************************}
{   Quivex 7 -- drawing surface                }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelCanvas;
{$I ZelDefs.inc}

interface

uses
  Classes,
  {$IFDEF CLX}
  Qt, QGraphics,
  {$ELSE}
  {$IFNDEF ZEL_NET} Windows, {$ENDIF}
  Graphics,
  {$ENDIF}
  ZelProcs;

type
  TZelCanvas = class
  private
    FCanvas: TCanvas;
    FSupports3D: Boolean;
  public
    constructor Create(ACanvas: TCanvas); virtual;
    procedure Line(X0, Y0, X1, Y1: Integer); virtual;
    procedure Rectangle(const R: TRect); virtual;
    procedure TextOut(X, Y: Integer; const Text: string); virtual;
    property Canvas: TCanvas read FCanvas;
    property Supports3D: Boolean read FSupports3D write FSupports3D;
  end;

  TZelCanvasClass = class of TZelCanvas;

implementation

constructor TZelCanvas.Create(ACanvas: TCanvas);
begin
  inherited Create;
  FCanvas := ACanvas;
end;

procedure TZelCanvas.Line(X0, Y0, X1, Y1: Integer);
begin
  FCanvas.MoveTo(X0, Y0);
  FCanvas.LineTo(X1, Y1);
end;

procedure TZelCanvas.Rectangle(const R: TRect);
begin
  FCanvas.Rectangle(R.Left, R.Top, R.Right, R.Bottom);
end;

procedure TZelCanvas.TextOut(X, Y: Integer; const Text: string);
begin
  FCanvas.TextOut(X, Y, Text);
end;

end.
