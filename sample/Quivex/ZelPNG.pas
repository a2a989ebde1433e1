{**********************************************}
{   Quivex 7 -- PNG export                     }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelPNG;
{$I ZelDefs.inc}

interface

uses
  SysUtils, Classes, ZelChart, ZelImageExport;

type
  TZelPNGFormat = class(TZelImageFormat)
  private
    FCompression: Integer;
  public
    function Extension: string; override;
    procedure SaveToStream(AChart: TZelCustomChart; AStream: TStream); override;
    property Compression: Integer read FCompression write FCompression;
  end;

implementation

const
  PngSignature: array[0..7] of Byte = (137, 80, 78, 71, 13, 10, 26, 10);

function TZelPNGFormat.Extension: string;
begin
  Result := 'png';
end;

procedure TZelPNGFormat.SaveToStream(AChart: TZelCustomChart; AStream: TStream);
begin
  AStream.WriteBuffer(PngSignature, SizeOf(PngSignature));
end;

end.
