{**********************************************}
{   Quivex 7 -- pen editor dialog              }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelPenDlg;
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
  TZelPenEditor = class(TForm)
    LabelStyle: TLabel;
    ComboStyle: TComboBox;
    LabelWidth: TLabel;
    EditWidth: TEdit;
    CheckVisible: TCheckBox;
    ShapeColor: TShape;
    ButtonOK: TButton;
    ButtonCancel: TButton;
    procedure FormShow(Sender: TObject);
  private
    FPen: TPen;
  public
    property Pen: TPen read FPen write FPen;
  end;

function EditZelPen(AOwner: TComponent; APen: TPen): Boolean;

implementation

{$IFDEF CLX}
{$R *.xfm}
{$ELSE}
{$R *.dfm}
{$ENDIF}

function EditZelPen(AOwner: TComponent; APen: TPen): Boolean;
begin
  with TZelPenEditor.Create(AOwner) do
  try
    Pen := APen;
    Result := ShowModal = mrOk;
  finally
    Free;
  end;
end;

procedure TZelPenEditor.FormShow(Sender: TObject);
begin
  EditWidth.Text := IntToStr(FPen.Width);
  ShapeColor.Brush.Color := FPen.Color;
end;

end.
