{**********************************************}
{   Quivex 7 -- standard series                }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelSeries;
{$I ZelDefs.inc}

interface

uses
  Classes, ZelCanvas, ZeEngine, ZelAxis;

type
  TZelLineSeries = class(TZelCustomSeries)
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); override;
  end;

  TZelBarSeries = class(TZelCustomSeries)
  private
    FBarWidthPercent: Integer;
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); override;
  public
    constructor Create(AOwner: TComponent); override;
  published
    property BarWidthPercent: Integer read FBarWidthPercent write FBarWidthPercent default 70;
  end;

  TZelPieSeries = class(TZelCustomSeries)
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); override;
  end;

implementation

procedure TZelLineSeries.DrawValue(ACanvas: TZelCanvas; Index: Integer);
begin
  if Index > 0 then
    ACanvas.Line(Round(XValues[Index - 1]), Round(YValues[Index - 1]),
                 Round(XValues[Index]), Round(YValues[Index]));
end;

constructor TZelBarSeries.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FBarWidthPercent := 70;
end;

procedure TZelBarSeries.DrawValue(ACanvas: TZelCanvas; Index: Integer);
begin
  ACanvas.Rectangle(Rect(Round(XValues[Index]) - 4, Round(YValues[Index]),
                         Round(XValues[Index]) + 4, 0));
end;

procedure TZelPieSeries.DrawValue(ACanvas: TZelCanvas; Index: Integer);
begin
  ACanvas.TextOut(0, 16 * Index, FloatToStr(YValues[Index]));
end;

end.
