{**********************************************}
{   Quivex 7 -- JPEG export                    }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelJPEG;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics,
  {$ELSE}
  Graphics, Jpeg,
  {$ENDIF}
  Classes, ZelChart, ZelImageExport;

type
  TZelJPEGFormat = class(TZelImageFormat)
  private
    FQuality: Integer;
  public
    constructor Create;
    function Extension: string; override;
    procedure SaveToStream(AChart: TZelCustomChart; AStream: TStream); override;
    property Quality: Integer read FQuality write FQuality;
  end;

implementation

{$R ZelImaBa.res}

constructor TZelJPEGFormat.Create;
begin
  inherited Create;
  FQuality := 95;
end;

function TZelJPEGFormat.Extension: string;
begin
  Result := 'jpg';
end;

procedure TZelJPEGFormat.SaveToStream(AChart: TZelCustomChart; AStream: TStream);
begin
  {$IFNDEF CLX}
  with TJPEGImage.Create do
  try
    CompressionQuality := FQuality;
    SaveToStream(AStream);
  finally
    Free;
  end;
  {$ENDIF}
end;

end.
