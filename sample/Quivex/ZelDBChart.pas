{**********************************************}
{   Quivex 7 -- data-aware chart               }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelDBChart;
{$I ZelDefs.inc}

interface

uses
  SysUtils, Classes, {$IFDEF ZEL_D6UP} Variants, {$ENDIF}
  DB, {$IFNDEF NOUSE_BDE} DBTables, {$ENDIF}
  ZeEngine, ZelSeries, ZelChart;

type
  TZelCustomDBChart = class(TZelCustomChart)
  private
    FAutoRefresh: Boolean;
    FShowGlassCursor: Boolean;
  public
    constructor Create(AOwner: TComponent); override;
    procedure RefreshData; virtual;
  published
    property AutoRefresh: Boolean read FAutoRefresh write FAutoRefresh default True;
    property ShowGlassCursor: Boolean read FShowGlassCursor write FShowGlassCursor default True;
  end;

  TZelDBChart = class(TZelCustomDBChart)
  published
    property Align;
    property Title;
    property Visible;
  end;

  TZelDataSource = class(TComponent)
  private
    FDataSet: TDataSet;
    FValueField: string;
  published
    property DataSet: TDataSet read FDataSet write FDataSet;
    property ValueField: string read FValueField write FValueField;
  end;

implementation

constructor TZelCustomDBChart.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FAutoRefresh := True;
  FShowGlassCursor := True;
end;

procedure TZelCustomDBChart.RefreshData;
begin
  Invalidate;
end;

end.
