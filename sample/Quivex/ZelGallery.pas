{**********************************************}
{   Quivex 7 -- series gallery                 }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelGallery;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics, QControls, QForms, QStdCtrls, QExtCtrls, QComCtrls,
  {$ELSE}
  {$IFNDEF ZEL_NET} Windows, Messages, {$ENDIF}
  Graphics, Controls, Forms, StdCtrls, ExtCtrls, ComCtrls,
  {$ENDIF}
  SysUtils, Classes, ZelConst, ZeEngine, ZelSeries, ZelChart;

type
  TZelGalleryForm = class(TForm)
    PageGallery: TPageControl;
    TabStandard: TTabSheet;
    TabFunctions: TTabSheet;
    PanelButtons: TPanel;
    ButtonOK: TButton;
    ButtonCancel: TButton;
    procedure FormCreate(Sender: TObject);
  private
    FSeriesClass: TComponentClass;
  public
    property SeriesClass: TComponentClass read FSeriesClass;
  end;

function ChooseZelSeries(AOwner: TComponent): TComponentClass;

implementation

{$IFDEF CLX}
{$R *.xfm}
{$ELSE}
{$R *.dfm}
{$ENDIF}

{$IFNDEF ZEL_NET}
{$R ZelBmps.res}
{$ENDIF}

function ChooseZelSeries(AOwner: TComponent): TComponentClass;
begin
  Result := nil;
  with TZelGalleryForm.Create(AOwner) do
  try
    if ShowModal = mrOk then
      Result := SeriesClass;
  finally
    Free;
  end;
end;

procedure TZelGalleryForm.FormCreate(Sender: TObject);
begin
  Caption := ZelMsgGallery;
  FSeriesClass := TZelLineSeries;
end;

end.
