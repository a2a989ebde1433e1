{**********************************************}
{   Quivex 7 -- brush editor dialog            }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelBrushDlg;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics, QControls, QForms, QStdCtrls, QExtCtrls,
  {$ELSE}
  {$IFNDEF ZEL_NET} Windows, Messages, {$ENDIF}
  Graphics, Controls, Forms, StdCtrls, ExtCtrls,
  {$ENDIF}
  SysUtils, Classes, ZelCanvas;

type
  TZelBrushEditor = class(TForm)
    RadioStyle: TRadioGroup;
    PanelSample: TPanel;
    ButtonOK: TButton;
    ButtonCancel: TButton;
    procedure RadioStyleClick(Sender: TObject);
  private
    FBrush: TBrush;
  public
    property Brush: TBrush read FBrush write FBrush;
  end;

function EditZelBrush(AOwner: TComponent; ABrush: TBrush): Boolean;

implementation

{$IFDEF CLX}
{$R *.xfm}
{$ELSE}
{$R *.dfm}
{$ENDIF}

{$IFNDEF ZEL_NET}
{$R ZelBrushes.res}
{$ENDIF}

function EditZelBrush(AOwner: TComponent; ABrush: TBrush): Boolean;
begin
  with TZelBrushEditor.Create(AOwner) do
  try
    Brush := ABrush;
    Result := ShowModal = mrOk;
  finally
    Free;
  end;
end;

procedure TZelBrushEditor.RadioStyleClick(Sender: TObject);
begin
  FBrush.Style := TBrushStyle(RadioStyle.ItemIndex);
  PanelSample.Invalidate;
end;

end.
