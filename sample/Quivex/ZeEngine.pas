{**********************************************}
{   Quivex 7 -- charting engine                }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZeEngine;
{$I ZelDefs.inc}

interface

uses
  SysUtils, Classes,
  {$IFDEF CLX}
  QGraphics,
  {$ELSE}
  Graphics,
  {$ENDIF}
  ZelConst, ZelProcs, ZelCanvas;

type
  TZelCustomSeries = class;
  TZelEngine = class;

  TZelValueList = class
  private
    FCount: Integer;
    FValues: array of Double;
    function GetValue(Index: Integer): Double;
  public
    procedure Add(const Value: Double);
    procedure Clear;
    function MaxValue: Double;
    function MinValue: Double;
    property Count: Integer read FCount;
    property Value[Index: Integer]: Double read GetValue; default;
  end;

  TZelCustomSeries = class(TComponent)
  private
    FEngine: TZelEngine;
    FTitle: string;
    FColor: TColor;
    FXValues: TZelValueList;
    FYValues: TZelValueList;
  protected
    procedure DrawValue(ACanvas: TZelCanvas; Index: Integer); virtual; abstract;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
    function AddXY(const X, Y: Double): Integer;
    procedure Draw(ACanvas: TZelCanvas); virtual;
    property Engine: TZelEngine read FEngine;
    property XValues: TZelValueList read FXValues;
    property YValues: TZelValueList read FYValues;
  published
    property Title: string read FTitle write FTitle;
    property Color: TColor read FColor write FColor default clRed;
  end;

  TZelEngine = class(TComponent)
  private
    FSeries: TList;
    function GetSeries(Index: Integer): TZelCustomSeries;
    function GetSeriesCount: Integer;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
    procedure AddSeries(ASeries: TZelCustomSeries);
    procedure RemoveSeries(ASeries: TZelCustomSeries);
    procedure Draw(ACanvas: TZelCanvas); virtual;
    property Series[Index: Integer]: TZelCustomSeries read GetSeries;
    property SeriesCount: Integer read GetSeriesCount;
  end;

implementation

{$IFNDEF ZEL_NET}
{$R ZelResou.res}
{$ENDIF}

{ TZelValueList }

function TZelValueList.GetValue(Index: Integer): Double;
begin
  Result := FValues[Index];
end;

procedure TZelValueList.Add(const Value: Double);
begin
  if FCount = Length(FValues) then
    SetLength(FValues, FCount + 64);
  FValues[FCount] := Value;
  Inc(FCount);
end;

procedure TZelValueList.Clear;
begin
  FCount := 0;
  FValues := nil;
end;

function TZelValueList.MaxValue: Double;
var
  I: Integer;
begin
  Result := 0;
  for I := 0 to FCount - 1 do
    if (I = 0) or (FValues[I] > Result) then
      Result := FValues[I];
end;

function TZelValueList.MinValue: Double;
var
  I: Integer;
begin
  Result := 0;
  for I := 0 to FCount - 1 do
    if (I = 0) or (FValues[I] < Result) then
      Result := FValues[I];
end;

{ TZelCustomSeries }

constructor TZelCustomSeries.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FColor := clRed;
  FXValues := TZelValueList.Create;
  FYValues := TZelValueList.Create;
end;

destructor TZelCustomSeries.Destroy;
begin
  if Assigned(FEngine) then
    FEngine.RemoveSeries(Self);
  FYValues.Free;
  FXValues.Free;
  inherited Destroy;
end;

function TZelCustomSeries.AddXY(const X, Y: Double): Integer;
begin
  FXValues.Add(X);
  FYValues.Add(Y);
  Result := FYValues.Count - 1;
end;

procedure TZelCustomSeries.Draw(ACanvas: TZelCanvas);
var
  I: Integer;
begin
  for I := 0 to FYValues.Count - 1 do
    DrawValue(ACanvas, I);
end;

{ TZelEngine }

constructor TZelEngine.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FSeries := TList.Create;
end;

destructor TZelEngine.Destroy;
begin
  FSeries.Free;
  inherited Destroy;
end;

function TZelEngine.GetSeries(Index: Integer): TZelCustomSeries;
begin
  Result := TZelCustomSeries(FSeries[Index]);
end;

function TZelEngine.GetSeriesCount: Integer;
begin
  Result := FSeries.Count;
end;

procedure TZelEngine.AddSeries(ASeries: TZelCustomSeries);
begin
  if FSeries.Count >= ZelMaxSeries then
    raise Exception.Create(ZelMsgNoSeries);
  FSeries.Add(ASeries);
  ASeries.FEngine := Self;
end;

procedure TZelEngine.RemoveSeries(ASeries: TZelCustomSeries);
begin
  FSeries.Remove(ASeries);
  ASeries.FEngine := nil;
end;

procedure TZelEngine.Draw(ACanvas: TZelCanvas);
var
  I: Integer;
begin
  for I := 0 to SeriesCount - 1 do
    Series[I].Draw(ACanvas);
end;

end.
