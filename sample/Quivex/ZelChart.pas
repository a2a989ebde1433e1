{**********************************************}
{   Quivex 7 -- the chart component            }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelChart;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  Qt, QGraphics, QControls,
  {$ELSE}
  {$IFNDEF ZEL_NET} Windows, Messages, {$ENDIF}
  Graphics, Controls,
  {$ENDIF}
  SysUtils, Classes, ZelConst, ZelCanvas, ZeEngine, ZelAxis, ZelLegend, ZelSeries;

type
  TZelCustomChart = class(TCustomControl)
  private
    FEngine: TZelEngine;
    FLeftAxis: TZelAxis;
    FBottomAxis: TZelAxis;
    FLegend: TZelLegend;
    FTitle: TStrings;
    FView3D: Boolean;
    procedure SetTitle(Value: TStrings);
  protected
    procedure Paint; override;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
    property Engine: TZelEngine read FEngine;
    property LeftAxis: TZelAxis read FLeftAxis;
    property BottomAxis: TZelAxis read FBottomAxis;
    property Legend: TZelLegend read FLegend;
    property Title: TStrings read FTitle write SetTitle;
    property View3D: Boolean read FView3D write FView3D default True;
  end;

  TZelChart = class(TZelCustomChart)
  published
    property Align;
    property Anchors;
    property Color;
    property Title;
    property View3D;
    property Visible;
  end;

implementation

{$IFNDEF ZEL_NET}
{$R ZelChaEx.res}
{$ENDIF}

constructor TZelCustomChart.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  Width := ZelDefaultWidth;
  Height := ZelDefaultHeight;
  FEngine := TZelEngine.Create(Self);
  FLeftAxis := TZelAxis.Create(akLeft);
  FBottomAxis := TZelAxis.Create(akBottom);
  FLegend := TZelLegend.Create;
  FTitle := TStringList.Create;
  FView3D := True;
end;

destructor TZelCustomChart.Destroy;
begin
  FTitle.Free;
  FLegend.Free;
  FBottomAxis.Free;
  FLeftAxis.Free;
  inherited Destroy;
end;

procedure TZelCustomChart.SetTitle(Value: TStrings);
begin
  FTitle.Assign(Value);
end;

procedure TZelCustomChart.Paint;
var
  Surface: TZelCanvas;
begin
  Surface := TZelCanvas.Create(Canvas);
  try
    FLeftAxis.AdjustTo(FEngine);
    FLeftAxis.Draw(Surface, ClientRect);
    FBottomAxis.Draw(Surface, ClientRect);
    FEngine.Draw(Surface);
    FLegend.Draw(Surface, FEngine, ClientWidth - 100, 8);
  finally
    Surface.Free;
  end;
end;

end.
