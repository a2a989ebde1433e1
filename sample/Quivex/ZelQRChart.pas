{**********************************************}
{   Quivex 7 -- charts in QuickReport          }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelQRChart;
{$I ZelDefs.inc}

interface

uses
  Windows, Graphics, Controls, Classes, QuickRpt, QRCtrls, ZelChart;

type
  TZelQRChart = class(TQRPrintable)
  private
    FChart: TZelCustomChart;
  public
    constructor Create(AOwner: TComponent); override;
    procedure Print(OfsX, OfsY: Integer); override;
  published
    property Chart: TZelCustomChart read FChart;
  end;

implementation

{$R ZelQRIcon.res}

constructor TZelQRChart.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FChart := TZelChart.Create(Self);
end;

procedure TZelQRChart.Print(OfsX, OfsY: Integer);
begin
  inherited Print(OfsX, OfsY);
end;

end.
