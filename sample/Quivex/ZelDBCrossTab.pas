{**********************************************}
{   Quivex 7 -- database cross tables          }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelDBCrossTab;
{$I ZelDefs.inc}

interface

uses
  SysUtils, Classes, DB, ZeEngine, ZelSeries, ZelDBChart;

type
  TZelGroupFormula = (gfCount, gfSum);

  TZelDBCrossTab = class(TComponent)
  private
    FChart: TZelCustomDBChart;
    FDataSet: TDataSet;
    FFormula: TZelGroupFormula;
    FGroupField: string;
    FLabelField: string;
    FValueField: string;
  public
    procedure Refresh;
  published
    property Chart: TZelCustomDBChart read FChart write FChart;
    property DataSet: TDataSet read FDataSet write FDataSet;
    property Formula: TZelGroupFormula read FFormula write FFormula default gfSum;
    property GroupField: string read FGroupField write FGroupField;
    property LabelField: string read FLabelField write FLabelField;
    property ValueField: string read FValueField write FValueField;
  end;

implementation

procedure TZelDBCrossTab.Refresh;
begin
  if Assigned(FDataSet) and Assigned(FChart) and FDataSet.Active then
    FChart.RefreshData;
end;

end.
