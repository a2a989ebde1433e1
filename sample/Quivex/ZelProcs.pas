{**********************************************}
{   Quivex 7 -- general routines               }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelProcs;
{$I ZelDefs.inc}

interface

uses
  SysUtils, Classes,
  {$IFDEF CLX}
  QGraphics,
  {$ELSE}
  Graphics,
  {$ENDIF}
  ZelConst;

type
  TZelPoint = record
    X, Y: Integer;
  end;

function ZelPoint(X, Y: Integer): TZelPoint;
function ZelRoundDate(const Value: TDateTime): TDateTime;
function ZelMixColors(A, B: TColor; Percent: Integer): TColor;
function ZelFormatValue(const Value: Double; const Format: string): string;
procedure ZelSwapInteger(var A, B: Integer);

implementation

function ZelPoint(X, Y: Integer): TZelPoint;
begin
  Result.X := X;
  Result.Y := Y;
end;

function ZelRoundDate(const Value: TDateTime): TDateTime;
begin
  Result := Trunc(Value);
end;

function ZelMixColors(A, B: TColor; Percent: Integer): TColor;
var
  RA, GA, BA, RB, GB, BB: Integer;
begin
  A := ColorToRGB(A);
  B := ColorToRGB(B);
  RA := A and $FF; GA := (A shr 8) and $FF; BA := (A shr 16) and $FF;
  RB := B and $FF; GB := (B shr 8) and $FF; BB := (B shr 16) and $FF;
  Result := ((RA * Percent + RB * (100 - Percent)) div 100) or
            (((GA * Percent + GB * (100 - Percent)) div 100) shl 8) or
            (((BA * Percent + BB * (100 - Percent)) div 100) shl 16);
end;

function ZelFormatValue(const Value: Double; const Format: string): string;
begin
  if Format = '' then
    Result := FloatToStr(Value)
  else
    Result := FormatFloat(Format, Value);
end;

procedure ZelSwapInteger(var A, B: Integer);
var
  T: Integer;
begin
  T := A; A := B; B := T;
end;

end.
