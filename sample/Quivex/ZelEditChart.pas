{**********************************************}
{   Quivex 7 -- chart editor                   }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelEditChart;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics, QControls, QForms, QStdCtrls, QExtCtrls, QComCtrls,
  {$ELSE}
  {$IFNDEF ZEL_NET} Windows, Messages, {$ENDIF}
  Graphics, Controls, Forms, StdCtrls, ExtCtrls, ComCtrls,
  {$ENDIF}
  SysUtils, Classes, ZelConst, ZeEngine, ZelChart, ZelEditSeries, ZelGallery;

type
  TZelChartEditor = class(TForm)
    PanelMain: TPanel;
    PageEditor: TPageControl;
    TabChart: TTabSheet;
    TabSeries: TTabSheet;
    TreeSeries: TTreeView;
    MemoTitle: TMemo;
    PanelButtons: TPanel;
    ButtonAdd: TButton;
    ButtonClose: TButton;
    procedure ButtonAddClick(Sender: TObject);
    procedure FormShow(Sender: TObject);
  private
    FChart: TZelCustomChart;
  public
    property Chart: TZelCustomChart read FChart write FChart;
  end;

procedure EditZelChart(AOwner: TComponent; AChart: TZelCustomChart);

implementation

{$IFDEF CLX}
{$R *.xfm}
{$ELSE}
{$R *.dfm}
{$ENDIF}

procedure EditZelChart(AOwner: TComponent; AChart: TZelCustomChart);
begin
  with TZelChartEditor.Create(AOwner) do
  try
    Chart := AChart;
    ShowModal;
  finally
    Free;
  end;
end;

procedure TZelChartEditor.FormShow(Sender: TObject);
begin
  Caption := Format(ZelMsgEditChart, [FChart.Name]);
  MemoTitle.Lines := FChart.Title;
end;

procedure TZelChartEditor.ButtonAddClick(Sender: TObject);
var
  SeriesClass: TComponentClass;
begin
  SeriesClass := ChooseZelSeries(Self);
  if Assigned(SeriesClass) then
    FChart.Engine.AddSeries(TZelCustomSeries(SeriesClass.Create(FChart.Owner)));
end;

end.
