{**********************************************}
{   Quivex 7 -- chart axes                     }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelAxis;
{$I ZelDefs.inc}

interface

uses
  Classes, ZelProcs, ZelCanvas, ZeEngine;

type
  TZelAxisKind = (akLeft, akTop, akRight, akBottom, akDepth);

  TZelAxis = class(TPersistent)
  private
    FKind: TZelAxisKind;
    FMinimum: Double;
    FMaximum: Double;
    FAutomatic: Boolean;
    FLabelFormat: string;
  public
    constructor Create(AKind: TZelAxisKind);
    procedure AdjustTo(AEngine: TZelEngine);
    procedure Draw(ACanvas: TZelCanvas; const Bounds: TRect);
    property Kind: TZelAxisKind read FKind;
  published
    property Automatic: Boolean read FAutomatic write FAutomatic default True;
    property Minimum: Double read FMinimum write FMinimum;
    property Maximum: Double read FMaximum write FMaximum;
    property LabelFormat: string read FLabelFormat write FLabelFormat;
  end;

implementation

constructor TZelAxis.Create(AKind: TZelAxisKind);
begin
  inherited Create;
  FKind := AKind;
  FAutomatic := True;
end;

procedure TZelAxis.AdjustTo(AEngine: TZelEngine);
var
  I: Integer;
begin
  if not FAutomatic then
    Exit;
  FMinimum := 0;
  FMaximum := 0;
  for I := 0 to AEngine.SeriesCount - 1 do
  begin
    if AEngine.Series[I].YValues.MinValue < FMinimum then
      FMinimum := AEngine.Series[I].YValues.MinValue;
    if AEngine.Series[I].YValues.MaxValue > FMaximum then
      FMaximum := AEngine.Series[I].YValues.MaxValue;
  end;
end;

procedure TZelAxis.Draw(ACanvas: TZelCanvas; const Bounds: TRect);
begin
  case FKind of
    akLeft:   ACanvas.Line(Bounds.Left, Bounds.Top, Bounds.Left, Bounds.Bottom);
    akBottom: ACanvas.Line(Bounds.Left, Bounds.Bottom, Bounds.Right, Bounds.Bottom);
    akRight:  ACanvas.Line(Bounds.Right, Bounds.Top, Bounds.Right, Bounds.Bottom);
    akTop:    ACanvas.Line(Bounds.Left, Bounds.Top, Bounds.Right, Bounds.Top);
  end;
end;

end.
