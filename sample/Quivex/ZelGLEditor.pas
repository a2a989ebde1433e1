{**********************************************}
{   Quivex 7 -- OpenGL settings editor         }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelGLEditor;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics, QControls, QForms, QStdCtrls, QComCtrls,
  {$ELSE}
  Windows, Messages, Graphics, Controls, Forms, StdCtrls, ComCtrls,
  {$ENDIF}
  SysUtils, Classes, ZelGLCanvas, ZelChart;

type
  TZelGLEditorForm = class(TForm)
    CheckLight: TCheckBox;
    LabelShininess: TLabel;
    TrackShininess: TTrackBar;
    ButtonClose: TButton;
    procedure TrackShininessChange(Sender: TObject);
  private
    FCanvas: TZelGLCanvas;
  public
    property GLCanvas: TZelGLCanvas read FCanvas write FCanvas;
  end;

implementation

{$IFDEF CLX}
{$R *.xfm}
{$ELSE}
{$R *.dfm}
{$ENDIF}

procedure TZelGLEditorForm.TrackShininessChange(Sender: TObject);
begin
  if Assigned(FCanvas) then
    FCanvas.Shininess := TrackShininess.Position;
end;

end.
