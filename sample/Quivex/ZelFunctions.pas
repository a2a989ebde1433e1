{**********************************************}
{   Quivex 7 -- series functions               }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelFunctions;
{$I ZelDefs.inc}

interface

uses
  Classes, ZeEngine, ZelSeries;

type
  TZelFunction = class(TComponent)
  public
    function Calculate(ASource: TZelCustomSeries): Double; virtual; abstract;
  end;

  TZelAverageFunction = class(TZelFunction)
  public
    function Calculate(ASource: TZelCustomSeries): Double; override;
  end;

  TZelSumFunction = class(TZelFunction)
  public
    function Calculate(ASource: TZelCustomSeries): Double; override;
  end;

implementation

function TZelSumFunction.Calculate(ASource: TZelCustomSeries): Double;
var
  I: Integer;
begin
  Result := 0;
  for I := 0 to ASource.YValues.Count - 1 do
    Result := Result + ASource.YValues[I];
end;

function TZelAverageFunction.Calculate(ASource: TZelCustomSeries): Double;
var
  I: Integer;
begin
  Result := 0;
  for I := 0 to ASource.YValues.Count - 1 do
    Result := Result + ASource.YValues[I];
  if ASource.YValues.Count > 0 then
    Result := Result / ASource.YValues.Count;
end;

end.
