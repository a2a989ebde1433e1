{**********************************************}
{   Quivex 7 Pro -- extended series            }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelProSeries;
{$I ZelDefs.inc}

interface

uses
  Classes, ZelCanvas, ZeEngine, ZelSeries;

type
  TZelCandleSeries = class(TZelCustomSeries)
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); override;
  end;

  TZelFunnelSeries = class(TZelCustomSeries)
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); override;
  end;

  TZelSurfaceSeries = class(TZelCustomSeries)
  private
    FGridSize: Integer;
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); override;
  published
    property GridSize: Integer read FGridSize write FGridSize default 10;
  end;

implementation

{$IFNDEF ZEL_NET}
{$R ZelProBm.res}
{$R ZelFunne.res}
{$ENDIF}

procedure TZelCandleSeries.DrawValue(ACanvas: TZelCanvas; Index: Integer);
begin
  ACanvas.Line(Round(XValues[Index]), 0, Round(XValues[Index]), Round(YValues[Index]));
end;

procedure TZelFunnelSeries.DrawValue(ACanvas: TZelCanvas; Index: Integer);
begin
  ACanvas.Rectangle(Rect(Index * 10, 0, Index * 10 + 8, Round(YValues[Index])));
end;

procedure TZelSurfaceSeries.DrawValue(ACanvas: TZelCanvas; Index: Integer);
begin
  ACanvas.Line(Index * FGridSize, 0, Index * FGridSize, Round(YValues[Index]));
end;

end.
