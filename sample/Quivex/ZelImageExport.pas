{**********************************************}
{   Quivex 7 -- chart image export             }
{   Copyright (c) Velmora Software             }
{**********************************************}
unit ZelImageExport;
{$I ZelDefs.inc}

interface

uses
  {$IFDEF CLX}
  QGraphics,
  {$ELSE}
  Graphics,
  {$ENDIF}
  SysUtils, Classes, ZelChart;

type
  TZelImageFormat = class
  public
    function Extension: string; virtual; abstract;
    procedure SaveToStream(AChart: TZelCustomChart; AStream: TStream); virtual; abstract;
    procedure SaveToFile(AChart: TZelCustomChart; const FileName: string);
  end;

  TZelBitmapFormat = class(TZelImageFormat)
  public
    function Extension: string; override;
    procedure SaveToStream(AChart: TZelCustomChart; AStream: TStream); override;
  end;

implementation

{$R ZelImaPo.res}

procedure TZelImageFormat.SaveToFile(AChart: TZelCustomChart; const FileName: string);
var
  Stream: TFileStream;
begin
  Stream := TFileStream.Create(FileName, fmCreate);
  try
    SaveToStream(AChart, Stream);
  finally
    Stream.Free;
  end;
end;

function TZelBitmapFormat.Extension: string;
begin
  Result := 'bmp';
end;

procedure TZelBitmapFormat.SaveToStream(AChart: TZelCustomChart; AStream: TStream);
var
  Bitmap: TBitmap;
begin
  Bitmap := TBitmap.Create;
  try
    Bitmap.Width := AChart.Width;
    Bitmap.Height := AChart.Height;
    Bitmap.SaveToStream(AStream);
  finally
    Bitmap.Free;
  end;
end;

end.
