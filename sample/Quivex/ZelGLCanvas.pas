{**********************************************}
{   Quivex 7 -- OpenGL drawing surface         }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelGLCanvas;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics,
  {$ELSE}
  Windows, Graphics,
  {$ENDIF}
  Classes, OpenGL, ZelCanvas;

type
  TZelGLCanvas = class(TZelCanvas)
  private
    FShininess: Integer;
    FLightOn: Boolean;
  public
    constructor Create(ACanvas: TCanvas); override;
    procedure Line(X0, Y0, X1, Y1: Integer); override;
    property LightOn: Boolean read FLightOn write FLightOn;
    property Shininess: Integer read FShininess write FShininess;
  end;

implementation

{$R ZelGLIcon.res}

constructor TZelGLCanvas.Create(ACanvas: TCanvas);
begin
  inherited Create(ACanvas);
  Supports3D := True;
  FShininess := 10;
  FLightOn := True;
end;

procedure TZelGLCanvas.Line(X0, Y0, X1, Y1: Integer);
begin
  glBegin(GL_LINES);
  glVertex2i(X0, Y0);
  glVertex2i(X1, Y1);
  glEnd;
end;

end.
