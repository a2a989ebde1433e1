{**********************************************}
{   Quivex 7 Pro -- statistical functions      }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelStatistics;
{$I ZelDefs.inc}

interface

uses
  Classes, Math, ZeEngine, ZelFunctions, ZelProSeries;

type
  TZelStdDeviationFunction = class(TZelFunction)
  public
    function Calculate(ASource: TZelCustomSeries): Double; override;
  end;

  TZelMedianFunction = class(TZelFunction)
  public
    function Calculate(ASource: TZelCustomSeries): Double; override;
  end;

implementation

function TZelStdDeviationFunction.Calculate(ASource: TZelCustomSeries): Double;
var
  I: Integer;
  Mean, Sum: Double;
begin
  Result := 0;
  if ASource.YValues.Count < 2 then
    Exit;
  Mean := 0;
  for I := 0 to ASource.YValues.Count - 1 do
    Mean := Mean + ASource.YValues[I];
  Mean := Mean / ASource.YValues.Count;
  Sum := 0;
  for I := 0 to ASource.YValues.Count - 1 do
    Sum := Sum + Sqr(ASource.YValues[I] - Mean);
  Result := Sqrt(Sum / (ASource.YValues.Count - 1));
end;

function TZelMedianFunction.Calculate(ASource: TZelCustomSeries): Double;
begin
  if ASource.YValues.Count = 0 then
    Result := 0
  else
    Result := ASource.YValues[ASource.YValues.Count div 2];
end;

end.
