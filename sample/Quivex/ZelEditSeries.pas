{**********************************************}
{   Quivex 7 -- series property editing        }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelEditSeries;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics, QControls, QForms,
  {$ELSE}
  Graphics, Controls, Forms,
  {$ENDIF}
  SysUtils, Classes, ZeEngine, ZelSeries, ZelPenDlg, ZelBrushDlg;

type
  TZelSeriesEditor = class
  private
    FSeries: TZelCustomSeries;
  public
    constructor Create(ASeries: TZelCustomSeries);
    function EditColor(AOwner: TComponent): Boolean;
    {$IFNDEF ZELNOSERIESDESIGN}
    procedure EditAtDesignTime(AOwner: TComponent);
    {$ENDIF}
    property Series: TZelCustomSeries read FSeries;
  end;

implementation

constructor TZelSeriesEditor.Create(ASeries: TZelCustomSeries);
begin
  inherited Create;
  FSeries := ASeries;
end;

function TZelSeriesEditor.EditColor(AOwner: TComponent): Boolean;
var
  Pen: TPen;
begin
  Pen := TPen.Create;
  try
    Pen.Color := FSeries.Color;
    Result := EditZelPen(AOwner, Pen);
    if Result then
      FSeries.Color := Pen.Color;
  finally
    Pen.Free;
  end;
end;

{$IFNDEF ZELNOSERIESDESIGN}
procedure TZelSeriesEditor.EditAtDesignTime(AOwner: TComponent);
begin
  EditColor(AOwner);
end;
{$ENDIF}

end.
